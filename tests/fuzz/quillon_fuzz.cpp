// Compiles arbitrary bytes as Quillon source. Any crash, sanitizer report or unbounded
// allocation is a bug. It also asks the compile's delimiter search a handful of questions
// about the same bytes and checks each answer against the plain reference ExtractBetween.
#include "support/extract_between.h"
#include "quillon/compiler.h"
#include "scan/delimiter_search.h"

#include <algorithm>
#include <cstdlib>

namespace {

void checkDelimiterSearch(std::string_view text) {
    static constexpr char kDelimiters[] = {'[', ']', '{', '}', 't', '*'};
    scan::DelimiterSearch search(text);
    long long start = 0;
    // The compile's questions mostly move forward, with small steps back and jumps.
    for (std::size_t i = 0; i + 1 < text.size() && i < 128; i += 2) {
        const auto move = static_cast<unsigned char>(text[i]);
        const auto pick = static_cast<unsigned char>(text[i + 1]);
        start = std::max(0LL, start + (move < 240 ? static_cast<long long>(move % 8) - 3 : (move - 240) * 64LL));
        const char open = kDelimiters[pick % std::size(kDelimiters)];
        const char close = kDelimiters[(pick / 8) % std::size(kDelimiters)];
        if (search.extract(open, close, start) != testing_support::extractBetween(open, close, start, text))
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const moxy::CompileResult result = quillon::compile(source, [](const moxy::Diagnostic&) {}, [](int) {});
    if (result.abandoned && !result.code.empty())
        std::abort();
    checkDelimiterSearch(source);
    return 0;
}
