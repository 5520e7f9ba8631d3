#include "runner/conversions.h"

#include "moxy/numbers.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace runner {

namespace {

constexpr double kExponentFormAbove = 1e15;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Checks the grammar and writes the number in C notation (with '.') into [out].
// Returns false when [text] is not a number. [special] receives infinities and NaN.
bool normalise(std::string_view text, NumberFormat format, std::string& out, bool& isSpecial, double& special) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    std::string_view body = text.substr(begin, end - begin);
    bool negative = false;
    std::string_view unsignedBody = body;
    if (!unsignedBody.empty() && (unsignedBody.front() == '+' || unsignedBody.front() == '-')) {
        negative = unsignedBody.front() == '-';
        unsignedBody.remove_prefix(1);
    }
    isSpecial = false;
    if (equalsIgnoringCase(unsignedBody, "infinity")) {
        isSpecial = true;
        special = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (equalsIgnoringCase(unsignedBody, "nan")) {
        isSpecial = true;
        special = std::numeric_limits<double>::quiet_NaN();
        return true;
    }

    out.clear();
    if (negative)
        out += '-';
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    bool seenSeparator = false;
    for (; i < unsignedBody.size(); ++i) {
        const char c = unsignedBody[i];
        if (c >= '0' && c <= '9') {
            out += c;
            ++mantissaDigits;
        } else if (c == format.decimalSeparator && !seenSeparator) {
            out += '.';
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < unsignedBody.size() && (unsignedBody[i] == 'E' || unsignedBody[i] == 'e')) {
        out += 'e';
        ++i;
        if (i < unsignedBody.size() && (unsignedBody[i] == '+' || unsignedBody[i] == '-'))
            out += unsignedBody[i++];
        std::size_t exponentDigits = 0;
        for (; i < unsignedBody.size() && unsignedBody[i] >= '0' && unsignedBody[i] <= '9'; ++i) {
            out += unsignedBody[i];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == unsignedBody.size();
}

// Fast path for the commonest cell text: a short run of digits with an optional sign.
bool parseSmallWhole(std::string_view text, double& value) {
    if (text.empty() || text.size() > 16)
        return false;
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative)
        i = 1;
    if (i == text.size())
        return false;
    std::int64_t result = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    value = negative ? -static_cast<double>(result) : static_cast<double>(result);
    return true;
}

}  // namespace

NumberFormat numberFormatFromEnvironment() {
    NumberFormat format;
    const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user) {
        const locale_t previous = uselocale(user);
        const lconv* conventions = localeconv();
        if (conventions && conventions->decimal_point && std::strlen(conventions->decimal_point) == 1)
            format.decimalSeparator = conventions->decimal_point[0];
        uselocale(previous);
        freelocale(user);
    }
    return format;
}

namespace {
// The grammar check, then a correctly rounded conversion of the number in C notation:
// std::from_chars, and for numbers out of its range the C library in the C locale, which
// tells an overflow (an infinity) from an underflow (zero or a denormal).
template <typename Number, typename Convert>
ParseStatus parseWith(std::string_view text, NumberFormat format, Number& value, Convert convert) {
    std::string normal;
    bool isSpecial = false;
    double special = 0;
    if (!normalise(text, format, normal, isSpecial, special))
        return ParseStatus::NotANumber;
    if (isSpecial) {
        value = static_cast<Number>(special);
        return ParseStatus::Ok;
    }
#if defined(__cpp_lib_to_chars)
    // (A C++ library without the floating-point from_chars, as in the browser's build,
    // takes the C library's path for every number: the same correctly rounded result.)
    Number converted = 0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), converted);
    if (error == std::errc() && end == normal.data() + normal.size()) {
        value = converted;
        return ParseStatus::Ok;
    }
#endif
    errno = 0;
    const Number result = convert(normal.c_str(), nullptr, cLocale());
    if (errno == ERANGE && std::isinf(result))
        return ParseStatus::Overflow;
    value = result;
    return ParseStatus::Ok;
}
}  // namespace

ParseStatus parseNumber(std::string_view text, NumberFormat format, double& value) {
    if (parseSmallWhole(text, value))
        return ParseStatus::Ok;
    return parseWith(text, format, value, strtod_l);
}

ParseStatus parseSingle(std::string_view text, NumberFormat format, float& value) {
    return parseWith(text, format, value, strtof_l);
}

bool roundToWhole(double value, std::int32_t& whole) {
    if (std::isnan(value))
        return false;
    const double rounded = moxy::roundHalfEven(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return false;
    whole = static_cast<std::int32_t>(rounded);
    return true;
}

bool formatsExactly(double value) {
    return std::isnan(value) || std::isinf(value) ||
           (std::fabs(value) < kExponentFormAbove && value == std::trunc(value));
}

namespace {
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}  // namespace

bool textValue(double value, double& kept) {
    const double magnitude = std::fabs(value);
    // Powers of ten up to 1e22 are exact doubles; scaling into [1e14, 1e15) by one of
    // them needs magnitudes from 1e-8 to 1e36.
    if (!(magnitude >= 1e-8 && magnitude < 1e36)) [[unlikely]] {
        if (std::isnan(value) || std::isinf(value) || value == 0) {
            kept = value == 0 ? 0.0 : value;  // the text of minus zero is 0
            return true;
        }
        return false;
    }
    if (magnitude < kExponentFormAbove && value == std::trunc(value)) {
        kept = value;
        return true;
    }
    // The decimal exponent: floor(log10(2) x binary exponent) is the true one or one less.
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int binaryExponent = static_cast<int>(bits >> 52) - 1023;
    int scale = std::min(22, 14 - (binaryExponent * 78913 >> 18));
    double scaled = 0;
    for (;;) {
        scaled = scale >= 0 ? magnitude * kPowersOfTen[scale] : magnitude / kPowersOfTen[-scale];
        if (scaled < 1e15)
            break;
        --scale;  // the magnitude's decimal exponent is one more than the estimate
    }
    // 15 significant digits: the exact product rounded to a whole number. The product in
    // double lies within half a unit of its last place of the exact one, and the half-way
    // points lie on its grid, so only a product exactly at a half needs to know on which
    // side of it the exact product lies.
    const double whole = static_cast<double>(static_cast<std::int64_t>(scaled));  // floor: 0 < scaled < 1e15
    const double fraction = scaled - whole;
    double digits = whole;
    if (fraction > 0.5) {
        digits = whole + 1;
    } else if (fraction == 0.5) [[unlikely]] {
        const double error = scale >= 0 ? std::fma(magnitude, kPowersOfTen[scale], -scaled)
                                         : std::fma(-scaled, kPowersOfTen[-scale], magnitude);  // the remainder
        if (error == 0)
            return false;  // an exact decimal tie: the text decides
        if (error > 0)
            digits = whole + 1;
    }
    // digits < 2^53 and the power exact: one correctly rounded operation, as reading the
    // text back does.
    const double result = scale >= 0 ? digits / kPowersOfTen[scale] : digits * kPowersOfTen[-scale];
    kept = value < 0 ? -result : result;
    return true;
}

std::string formatWhole(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatNumber(double value, NumberFormat format) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";  // also for minus zero
    if (std::fabs(value) < kExponentFormAbove && value == std::trunc(value))
        return formatWhole(static_cast<std::int64_t>(value));

    // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]x
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const bool negative = scientific.front() == '-';
    if (negative)
        scientific.remove_prefix(1);
    const std::size_t exponentMark = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, exponentMark))
        if (c != '.')
            digits += c;
    int exponent = 0;
    std::from_chars(scientific.data() + exponentMark + (scientific[exponentMark + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = negative ? "-" : "";
    if (exponent >= 15 || exponent < -4) {
        text += digits[0];
        if (digits.size() > 1) {
            text += format.decimalSeparator;
            text.append(digits, 1);
        }
        text += exponent < 0 ? "E-" : "E+";
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10)
            text += '0';
        text += std::to_string(magnitude);
    } else if (exponent >= 0) {
        const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += digits;
            text.append(integerDigits - digits.size(), '0');
        } else {
            text.append(digits, 0, integerDigits);
            text += format.decimalSeparator;
            text.append(digits, integerDigits);
        }
    } else {
        text += '0';
        text += format.decimalSeparator;
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
    }
    return text;
}

}  // namespace runner
