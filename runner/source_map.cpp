#include "runner/source_map.h"

#include <algorithm>

namespace runner {

SourceMap SourceMap::parse(std::string_view text) {
    SourceMap map;
    map.m_entries = moxy::parseSourceMap(text);
    return map;
}

const SourceMap::Entry* SourceMap::find(std::size_t position) const {
    const auto after = std::upper_bound(m_entries.begin(), m_entries.end(), position,
                                        [](std::size_t value, const Entry& entry) { return value < entry.position; });
    if (after == m_entries.begin())
        return nullptr;
    return &*(after - 1);
}

std::string SourceMap::describe(std::size_t position) const {
    const Entry* entry = find(position);
    if (!entry)
        return {};
    return "line " + std::to_string(entry->line) + ", column " + std::to_string(entry->column);
}

}  // namespace runner
