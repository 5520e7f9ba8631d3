// What makes the editor shell the Quillon program or the VORNA program: names, captions,
// the extension of its source files, its icon and its compile function. The window and
// the --compile command line read everything that differs from here.
#pragma once

#include "editor/highlight_rules.h"

#include "moxy/source_map.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

// A message of a compile, at the 1-based line and column of its statement.
struct Message {
    int line = 0;
    int column = 0;
    std::string text;
};

// Where a statement's code starts.
using MapLine = moxy::SourceMapEntry;

struct Compiled {
    std::string code;        // the file gets this and CR LF
    bool abandoned = false;  // nothing may be written
    long long caret = -1;    // when abandoned: the 0-based offset in the source for the caret
    std::vector<MapLine> map;
};

using ReportFunction = std::function<void(const Message&)>;
using ProgressFunction = std::function<void(int percent)>;
// Compiles [source] (one byte per character, lines ending in CR LF when it comes from the
// window); [report] gets every message, [progress] the percentage when it changes.
using CompileFunction =
    std::function<Compiled(std::string_view source, const ReportFunction& report, const ProgressFunction& progress)>;

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
