#include "runner/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using runner::ParseStatus;

namespace {
const runner::NumberFormat kPoint{'.'};
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(Number, ReadsTheTextsAProgramWritesAndRejectsOthers) {
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"-7", -7},     {"+7", 7},      {".5", 0.5},       {"5.", 5},          {"  12  ", 12}, {"\t3", 3},
        {"1E+15", 1e15}, {"1.5E-05", 1.5e-5}, {"2e3", 2000}, {"007", 7},        {"1e-400", 0},  {"-0", 0},
        {"Infinity", kInf}, {"-Infinity", -kInf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -1;
        ASSERT_EQ(runner::parseNumber(c.text, kPoint, value), ParseStatus::Ok);
        EXPECT_EQ(value, c.expected);
    }
    double value = 0;
    ASSERT_EQ(runner::parseNumber("NaN", kPoint, value), ParseStatus::Ok);
    EXPECT_TRUE(std::isnan(value));
    for (const char* text : {"", " ", "abc", "1a", "1.2.3", "--1", "+", "-", ".", "1e", "1e+", "1 2", "0x10", "1,5"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(runner::parseNumber(text, kPoint, value), ParseStatus::NotANumber);
    }
    EXPECT_EQ(runner::parseNumber("1e400", kPoint, value), ParseStatus::Overflow);
    // The locale's separator, both ways.
    const runner::NumberFormat comma{','};
    ASSERT_EQ(runner::parseNumber("2,5", comma, value), ParseStatus::Ok);
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(runner::parseNumber("2.5", comma, value), ParseStatus::NotANumber);
    EXPECT_EQ(runner::formatNumber(-2.5, comma), "-2,5");
}

TEST(Number, SinglesRoundOnceAndWholesRoundHalvesToEven) {
    float single = 0;
    ASSERT_EQ(runner::parseSingle("16777217", kPoint, single), ParseStatus::Ok);
    EXPECT_EQ(single, 16777216.0f);
    EXPECT_EQ(runner::parseSingle("1e39", kPoint, single), ParseStatus::Overflow);
    EXPECT_FALSE(runner::singleOfNumber(1e-40, single)) << "below the normal singles the text decides";
    for (auto [value, expected] : {std::pair{1.5, 2}, {2.5, 2}, {-2.5, -2}, {0.49, 0}, {2147483647.4, 2147483647},
                                   {-2147483648.0, -2147483647 - 1}}) {
        SCOPED_TRACE(value);
        std::int32_t whole = 0;
        ASSERT_TRUE(runner::roundToWhole(value, whole));
        EXPECT_EQ(whole, expected);
    }
    for (double outside : {2147483647.5, -2147483649.0, std::nan(""), kInf}) {
        SCOPED_TRACE(outside);
        std::int32_t whole = 0;
        EXPECT_FALSE(runner::roundToWhole(outside, whole));
    }
}

TEST(Number, TextsHaveFifteenSignificantDigitsWithoutTrailingZeros) {
    // More values, with the numbers kept beside the texts, in kept_number_test.cpp.
    for (auto [value, expected] : {std::pair{999999999999999.0, "999999999999999"}, {-1.5e20, "-1.5E+20"},
                                   {1e100, "1E+100"}, {0.00015, "0.00015"}, {0.00001, "1E-05"}, {1e-100, "1E-100"},
                                   {1e14 + 0.5, "100000000000000"}, {999999999999999.9, "1E+15"},
                                   {123456789012345.67, "123456789012346"}, {0.00009999999999999999, "0.0001"},
                                   {4.9406564584124654e-324, "4.94065645841247E-324"}, {0.1 + 0.2, "0.3"},
                                   {-0.0, "0"}, {kInf, "Infinity"}, {-kInf, "-Infinity"}, {std::nan(""), "NaN"}}) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(runner::formatNumber(value, kPoint), expected);
    }
}
