// The caption's progress percentage during a compile. No Qt.
#pragma once

#include <functional>

namespace scan {

// The caption's percentage: scan position / limit x 100 in floating point, rounded half to
// even, handed on only when it changes. Positions only grow, so the next position where
// the value changes is found once by bisection instead of being computed at every one.
class ProgressMeter {
public:
    ProgressMeter(const std::function<void(int)>& progress, long long limit) : m_progress(progress), m_limit(limit) {}

    void at(long long position);

    // The percentage at [position] of [limit].
    static long long percent(long long position, long long limit);

private:
    long long nextChange(long long position, long long value) const;

    const std::function<void(int)>& m_progress;
    long long m_limit;
    long long m_next = 1;  // the first position always reports
};

}  // namespace scan
