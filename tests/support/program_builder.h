// Building MOXY programs in tests, benchmarks and test tools: cells numbered the way the
// Quillon compiler numbers its variables (slot k is cell 33150 + k, hi 130, lo 130 + k).
#pragma once

#include "moxy/format.h"

#include <string_view>

namespace testing_support {

// A reference to slot [k] (0 <= k <= 124).
inline moxy::Writer& slot(moxy::Writer& writer, int k) { return writer.cell(130, 130 + k); }

// slot [k] := [text]
inline moxy::Writer& set(moxy::Writer& writer, int k, std::string_view text) {
    return slot(writer, k).op(moxy::Op::Clear).text(text);
}

}  // namespace testing_support
