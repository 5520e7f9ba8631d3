#include "scan/progress_meter.h"

#include "moxy/numbers.h"

namespace scan {

long long ProgressMeter::percent(long long position, long long limit) {
    const double exact = static_cast<double>(position) / static_cast<double>(limit) * 100.0;
    return static_cast<long long>(moxy::roundHalfEven(exact));
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
