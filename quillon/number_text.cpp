#include "quillon/number_text.h"

#include "moxy/numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace quillon {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return at;
}

}  // namespace

std::optional<double> readNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Check the shape first: from_chars would also take "inf", "nan" and hex forms.
    std::size_t at = skipDigits(text, 0);
    std::size_t digits = at;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionEnd = skipDigits(text, at + 1);
        digits += fractionEnd - (at + 1);
        at = fractionEnd;
    }
    if (digits == 0)
        return std::nullopt;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        const std::size_t exponentEnd = skipDigits(text, exponent);
        if (exponentEnd == exponent)
            return std::nullopt;
        at = exponentEnd;
    }
    if (at != text.size())
        return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<long long> readWholeNumber(std::string_view text, long long lowest, long long highest) {
    const std::optional<double> value = readNumber(text);
    if (!value)
        return std::nullopt;
    const double whole = moxy::roundHalfEven(*value);
    if (!(whole >= static_cast<double>(lowest) && whole <= static_cast<double>(highest)))
        return std::nullopt;
    return static_cast<long long>(whole);
}

}  // namespace quillon
