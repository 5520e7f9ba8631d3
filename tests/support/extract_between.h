// ExtractBetween written plainly: the reference scan::DelimiterSearch must agree with.
#pragma once

#include <optional>
#include <string_view>

namespace testing_support {

// The text between the first [open] at or after the 1-based [start] and the next [close]; without
// that [open], from the text's start. nullopt when no [close] follows or [start] is below 1.
std::optional<std::string_view> extractBetween(char open, char close, long long start, std::string_view text);

}  // namespace testing_support
