#include "editor/scan_support.h"

#include <climits>
#include <cmath>

namespace editor {

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

long long ProgressMeter::percent(long long position, long long limit) {
    const double exact = static_cast<double>(position) / static_cast<double>(limit) * 100.0;
    double whole = std::floor(exact);
    const double fraction = exact - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<long long>(whole);
}

void ProgressMeter::at(long long position) {
    if (!m_progress || position < m_next)
        return;
    const long long value = percent(position, m_limit);
    m_progress(static_cast<int>(value));
    m_next = nextChange(position, value);
}

// The first position after [position] whose percentage exceeds [value].
long long ProgressMeter::nextChange(long long position, long long value) const {
    long long below = position;
    long long step = 1;
    while (percent(position + step, m_limit) <= value) {
        below = position + step;
        step *= 2;
    }
    long long above = position + step;
    while (above - below > 1) {
        const long long middle = below + (above - below) / 2;
        if (percent(middle, m_limit) <= value)
            below = middle;
        else
            above = middle;
    }
    return above;
}

}  // namespace editor
