// ExtractBetween for one compile, the delimiter search both compilers scan with: the same
// answers as the plain reference extractBetween (tests/support) over one fixed text, found without walking the same stretch of text again and again. The scan
// only moves forward, so each delimiter remembers the few stretches it last searched and
// what it found at their ends. No Qt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace scan {

class DelimiterSearch {
public:
    explicit DelimiterSearch(std::string_view text);

    // The text between the first [open] at or after the 1-based position [start] and the
    // next [close] after it; exactly extractBetween(open, close, start, text).
    std::optional<std::string_view> extract(char open, char close, long long start);

    // 0-based offset of the first [c] at or after the 0-based [from], or the text's
    // length when there is none.
    std::size_t find(char c, std::size_t from);

private:
    // No c stands in [from, found); found is the offset of one, or the text's length.
    struct Stretch {
        std::size_t from = 0;
        std::size_t found = 0;
        std::uint32_t lastUse = 0;
    };
    // A character's searches come from a few places that each move forward (near the
    // scan position, behind an opening delimiter found far ahead): a few stretches per
    // character keep each of them answered without searching again.
    static constexpr int kStretches = 4;
    static constexpr std::size_t kNear = 32;
    struct Known {
        std::array<Stretch, kStretches> stretches{};
        int count = 0;
        bool firstKnown = false;
        std::size_t first = 0;  // the answer from offset 0, asked whenever an opening delimiter is missing
    };

    std::size_t scan(char c, std::size_t from, std::size_t to) const;

    std::string_view m_text;
    std::array<Known, 256> m_known{};
    std::uint32_t m_clock = 0;
};

}  // namespace scan
