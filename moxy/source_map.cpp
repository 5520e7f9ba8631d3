#include "moxy/source_map.h"

#include "moxy/escape.h"

#include <algorithm>
#include <charconv>

namespace moxy {

std::string sourceMapText(const std::vector<SourceMapEntry>& map) {
    std::string text(kSourceMapHeader);
    text += '\n';
    for (const SourceMapEntry& entry : map) {
        text.append(std::to_string(entry.position)).append(" ");
        text.append(std::to_string(entry.line)).append(" ");
        text.append(std::to_string(entry.column)).append("\n");
    }
    return text;
}

std::string sourceMapNamesText(const std::vector<MapName>& names) {
    std::string text;
    for (const MapName& name : names)
        text.append("name ").append(escaped(name.name, kDumpText)).append(" ").append(std::to_string(name.cell)).append("\n");
    return text;
}

std::vector<SourceMapEntry> parseSourceMap(std::string_view text) {
    std::vector<SourceMapEntry> entries;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.front() == '#')
            continue;
        SourceMapEntry entry;
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
            entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SourceMapEntry& a, const SourceMapEntry& b) { return a.position < b.position; });
    return entries;
}

}  // namespace moxy
