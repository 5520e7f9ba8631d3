#include "runner/source_map.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace runner {

SourceMap SourceMap::parse(std::string_view text) {
    SourceMap map;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        Entry entry;
        const char* cursor = line.data();
        const char* last = line.data() + line.size();
        auto number = [&](auto& value) {
            while (cursor < last && *cursor == ' ')
                ++cursor;
            const auto result = std::from_chars(cursor, last, value);
            cursor = result.ptr;
            return result.ec == std::errc();
        };
        if (number(entry.position) && number(entry.line) && number(entry.column) && entry.position > 0)
            map.m_entries.push_back(entry);
    }
    std::stable_sort(map.m_entries.begin(), map.m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.position < b.position; });
    return map;
}

SourceMap SourceMap::besideProgram(const std::string& programPath) {
    std::ifstream file(programPath + ".map", std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str());
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
