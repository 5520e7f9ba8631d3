// The Quillon compiler core: source text in, MOXY code out, in one left-to-right pass
// that looks for keywords at every character position. A pure function: no Qt, no files,
// no state between calls. The editor window and `quillon --compile` wrap it.
#pragma once

#include "moxy/compile.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr std::string_view kUndeclaredMessage = "Error: Variable doesnt exist. ";
inline constexpr std::string_view kReservedNameMessage = "Cannot use \"0\" as a variable name, it is reserved.";
inline constexpr std::string_view kAlreadyDeclaredMessage = "Error, variable already declared.";

// Compiles the Quillon program [source] (one byte per character). [report] receives every
// message in the order the editor would show them; [progress] receives the percentage for
// the caption, "Quillon Compiler N%", each time it changes. A declaration error abandons
// the compile (nothing is written) with the caret at the offending statement; the map has
// one entry per statement that appended code.
moxy::CompileResult compile(std::string_view source, const moxy::DiagnosticFunction& report,
                            const moxy::ProgressFunction& progress = {});

}  // namespace quillon
