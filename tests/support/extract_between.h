// ExtractBetween written plainly: the reference that scan::DelimiterSearch must agree with,
// compared against by the randomized test and the fuzzer. Pure: no Qt.
#pragma once

#include <optional>
#include <string_view>

namespace testing_support {

// The text of [text] between the first [open] at or after the 1-based position [start]
// and the next [close] after it. When [open] does not occur there, the search for
// [close] starts at the first character, so the result runs from the start of the text.
// Fails (nullopt) when no [close] follows; a [start] below 1 fails too, since no
// character stands there.
std::optional<std::string_view> extractBetween(char open, char close, long long start, std::string_view text);

}  // namespace testing_support
