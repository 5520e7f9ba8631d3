// Compiles arbitrary bytes as VORNA source. Any crash, sanitizer report or unbounded
// allocation is a bug, and so is a source map that does not walk the code in order or a
// code longer than the compiler's bounds allow.
#include "moxy/format.h"
#include "vorna/compiler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    int lastPercent = -1;
    const moxy::CompileResult result = vorna::compile(source, [&](int percent) {
        if (percent == lastPercent || percent < 0)
            std::abort();
        lastPercent = percent;
    });
    // Labels 1 to 999 together are 499,500 markers; every other mnemonic or escape
    // appends at most one character per source character.
    const std::size_t labels = static_cast<std::size_t>(moxy::kHighestLabel) * (moxy::kHighestLabel + 1) / 2;
    if (result.code.size() > size + labels + vorna::kMaxPointerSteps)
        std::abort();
    // Every character of the code belongs to the entry of the mnemonic that appended it.
    if (!result.code.empty() && (result.map.empty() || result.map.front().position != 1))
        std::abort();
    std::size_t previous = 0;
    for (const moxy::SourceMapEntry& entry : result.map) {
        if (entry.position <= previous || entry.position > result.code.size() || entry.line < 1 || entry.column < 1)
            std::abort();
        previous = entry.position;
    }
    return 0;
}
