// Source lines and columns of offsets, for the compilers' messages and source maps. No Qt.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

namespace scan {

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

}  // namespace scan
