#include "scan/progress_meter.h"

#include <cmath>

namespace scan {

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

}  // namespace scan
