// The compile's helpers on their own: the delimiter search against the plain ExtractBetween,
// and the reading and rounding of the numbers in label, getkey and freespace.
#include "moxy/numbers.h"
#include "quillon/number_text.h"
#include "scan/delimiter_search.h"
#include "support/extract_between.h"

#include <gtest/gtest.h>

#include <cstdint>

// Random texts with delimiters near or far apart, asked in the compile's pattern: starts that
// mostly move forward, with steps back, jumps and searches from the first character.
TEST(DelimiterSearch, AnswersLikeThePlainExtractBetween) {
    const char delimiters[] = {'[', ']', '{', '}', 't', '*'};
    std::uint32_t state = 2024;
    auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (int round = 0; round < 400; ++round) {
        const std::uint32_t sparseness = 1 + next() % 100;
        std::string text(next() % 600, 'a');
        for (char& c : text)
            c = next() % sparseness == 0 ? delimiters[next() % std::size(delimiters)] : c;
        scan::DelimiterSearch search(text);
        long long start = 0;
        for (int question = 0; question < 200; ++question) {
            const std::uint32_t move = next() % 16;
            start = std::max(-1LL, move == 0 ? 1 : move == 1 ? start + static_cast<long long>(next() % 200) : start + move % 9 - 3);
            const char open = delimiters[next() % std::size(delimiters)], close = delimiters[next() % std::size(delimiters)];
            SCOPED_TRACE(std::string(1, open) + close + " from " + std::to_string(start) + " in " + text);
            ASSERT_EQ(search.extract(open, close, start), testing_support::extractBetween(open, close, start, text));
        }
    }
}

TEST(NumberText, ReadsDecimalNumbersWithBlanksAndRoundsHalvesToEven) {
    const std::pair<std::string, std::optional<double>> cases[] = {
        {" 7 ", 7},  {"\t7", 7},   {"-4", -4},   {"+3", 3},    {".5", 0.5},  {"5.", 5},     {"1E-1", 0.1},
        {"007", 7},  {"", {}},     {" ", {}},    {"-", {}},    {".", {}},    {"e3", {}},    {"1e", {}},
        {"1x", {}},  {"3 4", {}},  {"inf", {}},  {"nan", {}},  {"0x10", {}}, {"1,5", {}},   {"--1", {}},
        {"1e400", {}}, {"\r\n7", {}},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(quillon::readNumber(text), value);
    }
    const std::pair<double, double> halves[] = {{0.5, 0}, {1.5, 2}, {-0.5, 0}, {-2.5, -2}, {2.51, 3}, {1e300, 1e300}};
    for (const auto& [value, rounded] : halves)
        EXPECT_EQ(moxy::roundHalfEven(value), rounded) << value;
}
