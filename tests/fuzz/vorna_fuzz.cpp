// Compiles arbitrary bytes as VORNA source. Any crash, sanitizer report or unbounded
// allocation is a bug, and so is progress that repeats, code longer than the compiler's
// bounds allow, or a source map that does not walk the code in order from its first byte.
#include "moxy/format.h"
#include "vorna/compiler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int lastPercent = -1;
    const moxy::CompileResult result = vorna::compile(std::string_view(reinterpret_cast<const char*>(data), size), [&](int percent) {
        if (percent == lastPercent || percent < 0)
            std::abort();
        lastPercent = percent;
    });
    // Labels 1 to 999 add 499,500 markers; anything else at most one byte per source byte.
    if (result.code.size() > size + moxy::kHighestLabel * (moxy::kHighestLabel + 1) / 2 + vorna::kMaxPointerSteps ||
        (!result.code.empty() && (result.map.empty() || result.map.front().position != 1)))
        std::abort();
    std::size_t previous = 0;
    for (const moxy::SourceMapEntry& entry : result.map) {
        if (entry.position <= previous || entry.position > result.code.size() || entry.line < 1 || entry.column < 1)
            std::abort();
        previous = entry.position;
    }
    return 0;
}
