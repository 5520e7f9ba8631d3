// ExtractBetween: the one text-scanning routine that both compilers share. Pure: no Qt.
#pragma once

#include <optional>
#include <string_view>

namespace editor {

// The text of [text] between the first [open] at or after the 1-based position [start]
// and the next [close] after it. When [open] does not occur there, the search for
// [close] starts at the first character, so the result runs from the start of the text.
// Fails (nullopt) when no [close] follows; a [start] below 1 fails too, since no
// character stands there.
std::optional<std::string_view> extractBetween(char open, char close, long long start, std::string_view text);

}  // namespace editor
