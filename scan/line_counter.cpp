#include "scan/line_counter.h"

#include <climits>

namespace scan {

namespace {
int saturated(std::size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }
}  // namespace

std::pair<int, int> LineCounter::locate(std::size_t offset) {
    if (offset < m_done) {
        m_done = 0;
        m_line = 1;
        m_lineStart = 0;
    }
    for (; m_done < offset && m_done < m_text.size(); ++m_done) {
        const char c = m_text[m_done];
        if (c > '\r')
            continue;
        // A CR directly before an LF is part of one line break, counted at the LF.
        if (c == '\n' || (c == '\r' && (m_done + 1 == m_text.size() || m_text[m_done + 1] != '\n'))) {
            ++m_line;
            m_lineStart = m_done + 1;
        }
    }
    return {saturated(m_line), saturated(offset - m_lineStart + 1)};
}

}  // namespace scan
