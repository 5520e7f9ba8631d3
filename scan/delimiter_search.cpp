#include "scan/delimiter_search.h"

#include <cstring>

namespace scan {

DelimiterSearch::DelimiterSearch(std::string_view text) : m_text(text) {}

std::size_t DelimiterSearch::scan(char c, std::size_t from, std::size_t to) const {
    if (from >= to)
        return to;
    const void* hit = std::memchr(m_text.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : to;
}

std::size_t DelimiterSearch::find(char c, std::size_t from) {
    const std::size_t size = m_text.size();
    if (from >= size)
        return size;
    // Most delimiters stand a few characters ahead: look there before asking what is known.
    const std::size_t nearEnd = from + kNear < size ? from + kNear : size;
    for (std::size_t at = from; at < nearEnd; ++at) {
        if (m_text[at] == c)
            return at;
    }
    if (nearEnd == size)
        return size;

    Known& known = m_known[static_cast<unsigned char>(c)];
    if (from == 0) {
        if (!known.firstKnown) {
            known.first = scan(c, 0, size);
            known.firstKnown = true;
        }
        return known.first;
    }

    ++m_clock;
    Stretch* right = nullptr;  // the known stretch that begins nearest after [from]
    for (int i = 0; i < known.count; ++i) {
        Stretch& stretch = known.stretches[i];
        if (stretch.from <= from && from <= stretch.found) {
            stretch.lastUse = m_clock;
            return stretch.found;
        }
        if (stretch.from > from && (!right || stretch.from < right->from))
            right = &stretch;
    }
    // Search only up to where the next known stretch begins.
    const std::size_t end = right ? right->from : size;
    const std::size_t hit = scan(c, from, end);
    if (right && hit == end) {
        right->from = from;
        right->lastUse = m_clock;
        return right->found;
    }
    Stretch* slot = nullptr;
    if (known.count < kStretches) {
        slot = &known.stretches[known.count++];
    } else {
        slot = &known.stretches[0];
        for (Stretch& stretch : known.stretches) {
            if (stretch.lastUse < slot->lastUse)
                slot = &stretch;
        }
    }
    *slot = {from, hit, m_clock};
    return hit;
}

std::optional<std::string_view> DelimiterSearch::extract(char open, char close, long long start) {
    if (start < 1)
        return std::nullopt;
    const std::size_t size = m_text.size();
    // Without an opening delimiter the closing one is searched from the first character.
    std::size_t textStart = 0;
    if (static_cast<unsigned long long>(start - 1) < size) {
        const std::size_t openAt = find(open, static_cast<std::size_t>(start - 1));
        if (openAt < size)
            textStart = openAt + 1;
    }
    const std::size_t closeAt = find(close, textStart);
    if (closeAt >= size)
        return std::nullopt;
    return m_text.substr(textStart, closeAt - textStart);
}

}  // namespace scan
