#include "support/extract_between.h"

namespace testing_support {

std::optional<std::string_view> extractBetween(char open, char close, long long start, std::string_view text) {
    if (start < 1)
        return std::nullopt;
    // 0-based from here on; openAt -1: no [open], so [close] is searched from the first character.
    long long openAt = -1;
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
