// The VORNA compiler core: VORNA source text in, MOXY code and a source map out. A pure
// function with no Qt, no files and no state between calls; the editor window and
// `vorna --compile` ask for the file name and write the file around it.
#pragma once

#include "moxy/compile.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

// Most characters that the pointer moves of USE append in one compile. A USE whose move
// would go past it appends nothing (see compile()).
inline constexpr std::size_t kMaxPointerSteps = std::size_t{1} << 24;

// Compiles [source] into MOXY code without header, with one map entry per mnemonic that
// appended code (a line ends at CR LF, LF or CR). VORNA has no error messages and never
// abandons a compile. [progress], when given, receives the scan's percentage (scan
// position / length x 100, a half rounded to even; it can pass 100 when the last
// mnemonic reaches past the end) whenever it differs from the value it received last
// in this call.
moxy::CompileResult compile(std::string_view source, const moxy::ProgressFunction& progress = {});

// The same compile, with warnings to [report] (severity Warning, at the 1-based line and
// column of the mnemonic or word): upper-case words in which no mnemonic was compiled,
// USE of a name that no DIM before it declares, DIM and USE without their "[name]". The
// code is the same as without them.
moxy::CompileResult compile(std::string_view source, const moxy::DiagnosticFunction& report,
                            const moxy::ProgressFunction& progress);

}  // namespace vorna
