// Source maps written beside MOXY files by `quillon --compile --map` and `vorna --compile
// --map`: one line per statement, `POSITION LINE COLUMN`. The runner uses them to name
// the source line of a run-time error, a trace line or a listing line. No Qt.
#pragma once

#include "moxy/source_map.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace runner {

class SourceMap {
public:
    using Entry = moxy::SourceMapEntry;

    // Reads "POSITION LINE COLUMN" lines; lines that do not parse are passed over.
    static SourceMap parse(std::string_view text);

    bool empty() const { return m_entries.empty(); }
    // "line L, column C" of the statement that holds [position], or "" when unknown.
    std::string describe(std::size_t position) const;
    const Entry* find(std::size_t position) const;

private:
    std::vector<Entry> m_entries;  // ascending positions
};

}  // namespace runner
