// The contract between the compilers and what runs them (the editor window, `--compile`):
// what a compile reports and what it returns. No Qt.
#pragma once

#include "moxy/source_map.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace moxy {

enum class Severity : std::uint8_t {
    Error,    // the editor shows it in a message box
    Warning,  // a doubt about the program that does not stop the compile
};

// A message of a compile, at the 1-based line and column of its statement (lines end at
// CR LF, LF or CR).
struct Diagnostic {
    int line = 0;
    int column = 0;
    Severity severity = Severity::Error;
    std::string text;
};

struct CompileResult {
    std::string code;                  // the program's code; the file adds CR LF (moxyFileText)
    std::vector<SourceMapEntry> map;   // one entry per statement that appended code, ascending
    std::vector<MapName> names;        // the declared names with fixed cells, in declaration order
    bool abandoned = false;            // the compile was given up: nothing may be written
    long long caret = -1;              // when abandoned: the 0-based source offset for the caret
};

using DiagnosticFunction = std::function<void(const Diagnostic&)>;
using ProgressFunction = std::function<void(int percent)>;

// The text of the MOXY file for compiled [code]: the code and CR LF.
std::string moxyFileText(std::string_view code);

}  // namespace moxy
