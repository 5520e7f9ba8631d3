// What both compilers' scans need besides ExtractBetween: source lines and columns for
// messages and source maps, and the caption's progress percentage. No Qt.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>

namespace editor {

// 1-based lines and columns of source offsets. A line ends at CR LF, LF or CR. Offsets are
// usually asked for in ascending order, so the text is walked once.
class LineCounter {
public:
    explicit LineCounter(std::string_view text) : m_text(text) {}

    // {line, column} of the 0-based [offset]; both saturate at INT_MAX.
    std::pair<int, int> locate(std::size_t offset);

private:
    std::string_view m_text;
    std::size_t m_done = 0;  // offsets before this one are counted
    std::size_t m_line = 1;
    std::size_t m_lineStart = 0;
};

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

}  // namespace editor
