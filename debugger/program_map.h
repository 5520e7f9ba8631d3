// What the debugger knows of a program's source from the map file beside it: the
// statements (`POSITION LINE COLUMN`) and the declared names (`name NAME CELL`, NAME
// escaped as in the state dump). Lines starting with `#` and lines that do not parse are
// passed over. No Qt.
#pragma once

#include "moxy/source_map.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace debugger {

// One declared name and the cell that holds it.
struct NamedCell {
    std::string name;
    int cell = 0;
};

// The `name NAME CELL` lines of a map file's text, in file order.
std::vector<NamedCell> parseMapNames(std::string_view text);

// Undoes the dump's escaping: \\ \r \n \t \xHH; any other backslash stays as it is.
std::string unescapeText(std::string_view text);

class ProgramMap {
public:
    ProgramMap() = default;
    // The map of a map file's [text].
    explicit ProgramMap(std::string_view text);
    // The map in [programPath].map, or an empty map when there is none.
    static ProgramMap besideProgram(const std::string& programPath);

    bool hasStatements() const { return !m_entries.empty(); }
    const std::vector<moxy::SourceMapEntry>& entries() const { return m_entries; }
    const std::vector<NamedCell>& names() const { return m_names; }

    // The statement that holds [position] (the last one starting at or before it), or
    // null before the first statement.
    const moxy::SourceMapEntry* statementAt(std::size_t position) const;
    // True when a statement's code starts at [position].
    bool startsStatement(std::size_t position) const;
    // The first statement on [line] or, when that line has no code, on the next line that
    // has some; null when no line from [line] on has code.
    const moxy::SourceMapEntry* statementOnOrAfter(int line) const;
    // The cell of [name], if the program declares it.
    std::optional<int> cellOf(std::string_view name) const;

private:
    std::vector<moxy::SourceMapEntry> m_entries;  // ascending positions
    std::vector<NamedCell> m_names;
};

}  // namespace debugger
