// The compile's helpers on their own: the delimiter search that stands in for the shared
// ExtractBetween, and the reading of numbers in label, getkey and freespace.
#include "moxy/numbers.h"
#include "quillon/number_text.h"
#include "scan/delimiter_search.h"
#include "support/extract_between.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

TEST(DelimiterSearch, AnswersLikeTheSharedExtractBetween) {
    // Random texts in which delimiters are near or far apart, asked in the compile's
    // pattern: starts that mostly move forward, with steps back, jumps and searches from
    // the first character.
    const char delimiters[] = {'[', ']', '{', '}', 't', '*'};
    std::uint32_t state = 2024;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 400; ++round) {
        const std::uint32_t sparseness = 1 + next() % 100;  // one delimiter in about that many
        std::string text(next() % 600, 'a');
        for (char& c : text) {
            if (next() % sparseness == 0)
                c = delimiters[next() % std::size(delimiters)];
        }
        scan::DelimiterSearch search(text);
        long long start = 0;
        for (int question = 0; question < 200; ++question) {
            const std::uint32_t move = next() % 16;
            start = move == 0 ? 1 : move == 1 ? start + static_cast<long long>(next() % 200) : start + move % 9 - 3;
            if (start < -1)
                start = -1;
            const char open = delimiters[next() % std::size(delimiters)];
            const char close = delimiters[next() % std::size(delimiters)];
            SCOPED_TRACE(std::string(1, open) + close + " from " + std::to_string(start) + " in " + text);
            ASSERT_EQ(search.extract(open, close, start), testing_support::extractBetween(open, close, start, text));
        }
    }
}

TEST(DelimiterSearch, MissingDelimiters) {
    const std::string text = "ab]c[de";
    scan::DelimiterSearch search(text);
    EXPECT_EQ(search.extract('[', ']', 1), std::nullopt);                           // no "]" after the "["
    EXPECT_EQ(search.extract('[', ']', 6), std::optional<std::string_view>("ab"));  // no "[": from the start
    EXPECT_EQ(search.extract('c', '[', 1), std::optional<std::string_view>(""));
    EXPECT_EQ(search.extract('d', ']', 1), std::nullopt);
    EXPECT_EQ(search.extract('[', ']', 0), std::nullopt);
    EXPECT_EQ(search.extract('[', ']', 99), std::optional<std::string_view>("ab"));
}

TEST(NumberText, ReadsDecimalNumbersWithBlanks) {
    const std::pair<std::string, std::optional<double>> cases[] = {
        {"7", 7},       {" 7 ", 7},     {"\t7", 7},     {"-4", -4},     {"+3", 3},      {"2.5", 2.5},
        {".5", 0.5},    {"5.", 5},      {"1e3", 1000},  {"1E-1", 0.1},  {"007", 7},     {"-0", 0},
        {"", {}},       {" ", {}},      {"-", {}},      {".", {}},      {"e3", {}},     {"1e", {}},
        {"1x", {}},     {"3 4", {}},    {"inf", {}},    {"nan", {}},    {"0x10", {}},   {"1,5", {}},
        {"--1", {}},    {"1e400", {}},  {"\r\n7", {}},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(quillon::readNumber(text), value);
    }
}

TEST(NumberText, RoundsHalvesToEven) {
    const std::pair<double, double> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},   {-0.5, 0},     {-1.5, -2},
                                               {-2.5, -2}, {2.49, 2},  {2.51, 3},  {999.5, 1000}, {1e300, 1e300}};
    for (const auto& [value, rounded] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(moxy::roundHalfEven(value), rounded);
    }
}
