// What makes the editor shell the Quillon program or the VORNA program: names, captions,
// the extension of its source files, its icon and its compile function. The window and
// the --compile command line read everything that differs from here.
#pragma once

#include "editor/highlight_rules.h"

#include "moxy/compile.h"

#include <QString>

#include <functional>
#include <string_view>

namespace editor {

// Compiles [source] (one byte per character, lines ending in CR LF when it comes from the
// window); [report] gets every message, [progress] the percentage when it changes.
using CompileFunction = std::function<moxy::CompileResult(
    std::string_view source, const moxy::DiagnosticFunction& report, const moxy::ProgressFunction& progress)>;

struct Program {
    QString name;            // the command's name, as its messages on standard error begin
    QString title;           // the caption at rest; dialogs take it too
    QString extension;       // of its source files, with the dot
    QString compileCaption;  // the menu item of the compile command
    QString iconFile;        // a resource path; empty: the window system's default icon
    QString description;     // for --help
    CompileFunction compile;
    HighlightFunction highlight = nullptr;  // the text box's colours; none without it
};

// The Quillon compiler: ".qlnp", "Compile to MOXY", its own icon, Quillon colours.
Program quillonProgram();

// The VORNA compiler: ".vornaproj", "Compile to ZAPL", no icon of its own, no messages,
// VORNA colours.
Program vornaProgram();

}  // namespace editor
