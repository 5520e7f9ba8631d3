// The Quillon compiler core: source text in, MOXY code out, in one left-to-right pass
// that looks for keywords at every character position. A pure function: no Qt, no files,
// no state between calls. The editor window and `quillon --compile` wrap it.
#pragma once

#include "moxy/source_map.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A message the editor shows in a message box, at the 1-based line and column of the
// statement's keyword (lines end at CR LF, LF or CR).
struct Diagnostic {
    int line = 0;
    int column = 0;
    std::string text;
};

// Where one statement's code starts.
using MapEntry = moxy::SourceMapEntry;

struct CompileResult {
    std::string code;          // the header and every statement's code; the file adds CR LF
    bool abandoned = false;    // a declaration error ended the compile: nothing is written
    long long caret = -1;      // when abandoned: the 0-based caret offset for the editor
    std::vector<MapEntry> map; // one entry per statement that appended code
};

inline constexpr std::string_view kUndeclaredMessage = "Error: Variable doesnt exist. ";
inline constexpr std::string_view kReservedNameMessage = "Cannot use \"0\" as a variable name, it is reserved.";
inline constexpr std::string_view kAlreadyDeclaredMessage = "Error, variable already declared.";

// Compiles the Quillon program [source] (one byte per character). [report] receives every
// message in the order the editor would show them; [progress] receives the percentage for
// the caption, "Quillon Compiler N%", each time it changes.
CompileResult compile(std::string_view source,
                      const std::function<void(const Diagnostic&)>& report,
                      const std::function<void(int percent)>& progress = {});

}  // namespace quillon
