#include "debugger/program_map.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace debugger {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string unescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char kind = text[i + 1];
        if (kind == '\\' || kind == 'r' || kind == 'n' || kind == 't') {
            out += kind == '\\' ? '\\' : kind == 'r' ? '\r' : kind == 'n' ? '\n' : '\t';
            ++i;
        } else if (kind == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<NamedCell> parseMapNames(std::string_view text) {
    std::vector<NamedCell> names;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        constexpr std::string_view kPrefix = "name ";
        if (line.substr(0, kPrefix.size()) != kPrefix)
            continue;
        line.remove_prefix(kPrefix.size());
        // The cell is the last word; the name (which may hold blanks) is all before it.
        const std::size_t blank = line.rfind(' ');
        if (blank == std::string_view::npos || blank == 0)
            continue;
        const std::string_view cellText = line.substr(blank + 1);
        int cell = -1;
        const auto result = std::from_chars(cellText.data(), cellText.data() + cellText.size(), cell);
        if (result.ec != std::errc() || result.ptr != cellText.data() + cellText.size() || cell < 0)
            continue;
        names.push_back({unescapeText(line.substr(0, blank)), cell});
    }
    return names;
}

ProgramMap::ProgramMap(std::string_view text) : m_entries(moxy::parseSourceMap(text)), m_names(parseMapNames(text)) {}

ProgramMap ProgramMap::besideProgram(const std::string& programPath) {
    std::ifstream file(programPath + ".map", std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return ProgramMap(text.str());
}

const moxy::SourceMapEntry* ProgramMap::statementAt(std::size_t position) const {
    const auto after = std::upper_bound(
        m_entries.begin(), m_entries.end(), position,
        [](std::size_t value, const moxy::SourceMapEntry& entry) { return value < entry.position; });
    return after == m_entries.begin() ? nullptr : &*(after - 1);
}

bool ProgramMap::startsStatement(std::size_t position) const {
    const moxy::SourceMapEntry* entry = statementAt(position);
    return entry && entry->position == position;
}

const moxy::SourceMapEntry* ProgramMap::statementOnOrAfter(int line) const {
    const moxy::SourceMapEntry* best = nullptr;
    for (const moxy::SourceMapEntry& entry : m_entries) {
        if (entry.line < line)
            continue;
        if (!best || entry.line < best->line || (entry.line == best->line && entry.position < best->position))
            best = &entry;
    }
    return best;
}

std::optional<int> ProgramMap::cellOf(std::string_view name) const {
    for (const NamedCell& named : m_names)
        if (named.name == name)
            return named.cell;
    return std::nullopt;
}

}  // namespace debugger
