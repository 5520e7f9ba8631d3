// ExtractBetween written plainly: the reference scan::DelimiterSearch must agree with.
#pragma once

#include <optional>
#include <string_view>

namespace testing_support {

// The text between the first [open] at or after the 1-based [start] and the next [close]; without
// that [open], from the text's start. nullopt when no [close] follows or [start] is below 1.
inline std::optional<std::string_view> extractBetween(char open, char close, long long start, std::string_view text) {
    if (start < 1)
        return std::nullopt;
    long long openAt = -1;  // 0-based; -1: no [open], so [close] is searched from the first character
    if (static_cast<unsigned long long>(start - 1) < text.size()) {
        const auto found = text.find(open, static_cast<std::size_t>(start - 1));
        if (found != std::string_view::npos)
            openAt = static_cast<long long>(found);
    }
    const auto closeAt = text.find(close, static_cast<std::size_t>(openAt + 1));
    if (closeAt == std::string_view::npos)
        return std::nullopt;
    return text.substr(static_cast<std::size_t>(openAt + 1), closeAt - static_cast<std::size_t>(openAt + 1));
}

}  // namespace testing_support
