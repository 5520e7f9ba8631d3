// The conversions between cell text and numbers that every opcode shares: number,
// single, whole, text and digits. Exact and locale-aware through an explicit decimal
// separator, never through the C library's global locale. No Qt.
#pragma once

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

}  // namespace runner
