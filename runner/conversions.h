// The conversions between cell text and numbers that every opcode shares: number,
// single, whole, text and digits. Exact and locale-aware through an explicit decimal
// separator, never through the C library's global locale. No Qt.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace runner {

enum class ParseStatus : std::uint8_t { Ok, NotANumber, Overflow };

struct NumberFormat {
    char decimalSeparator = '.';
};

// The decimal separator of the user's LC_NUMERIC locale ("." in C and English).
NumberFormat numberFormatFromEnvironment();

// Reads [text] as a double: optional blanks, an optional sign, digits with at most one
// decimal separator, an optional exponent (E or e), optional blanks; or the texts
// Infinity, -Infinity and NaN that formatNumber writes. [value] is set only on Ok.
ParseStatus parseNumber(std::string_view text, NumberFormat format, double& value);
// The same grammar, rounded once to single precision.
ParseStatus parseSingle(std::string_view text, NumberFormat format, float& value);

// [value] rounded to the nearest 32-bit integer, exact halves to the even neighbour;
// false when it lies outside the 32-bit range or is not a number.
bool roundToWhole(double value, std::int32_t& whole);

// text(d): 15 significant digits, no trailing zeros, no decimal point for whole values,
// exponent form (1E+15, 1.5E-05) from 1e15 up and below 1e-4; Infinity, -Infinity, NaN.
std::string formatNumber(double value, NumberFormat format);

// digits(i): the decimal text of a whole number.
std::string formatWhole(std::int64_t value);

// True when formatNumber(value) reads back as exactly [value], so the text's number
// may be kept beside it.
bool formatsExactly(double value);

// The longest text formatNumber writes ("-1.23456789012345E-308").
constexpr std::size_t kLongestNumberText = 24;

// The number that formatNumber(value) reads back as, computed without writing the text:
// the value scaled by an exact power of ten, rounded to 15 significant digits and scaled
// back in one correctly rounded step. False when that shortcut cannot decide (an exact
// halfway case, a magnitude outside 1e-8 to 1e36, subnormals); the caller then takes the
// text round trip. formatNumber([kept]) is the same text as formatNumber([value]).
bool textValue(double value, double& kept);

// single(text) for a text whose number() is [number], without reading the text again:
// [number] rounded to single precision. False when [number] lies exactly halfway between
// two single-precision neighbours (the text itself decides which side it lies on) or
// outside the normal single-precision range.
inline bool singleOfNumber(double number, float& single) {
    const double magnitude = std::fabs(number);
    if (magnitude >= 0x1p-126 && magnitude < 0x1p127) {
        // The 29 bits that single precision drops: exactly the half of its last place?
        if ((__builtin_bit_cast(std::uint64_t, number) & 0x1FFFFFFFu) == 0x10000000u)
            return false;
        single = static_cast<float>(number);
        return true;
    }
    if (number == 0 || std::isnan(number) || std::isinf(number)) {
        single = static_cast<float>(number);
        return true;
    }
    return false;
}

}  // namespace runner
