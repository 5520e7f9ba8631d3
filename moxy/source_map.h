// Source maps: which source line and column each statement's code comes from. The
// compilers write them beside MOXY files (`--map`), the runner reads them to name source
// lines in its error reports, traces and listings, and the debugger to show cells by
// their names. A map is a text file: the header line `# moxy source map`, then one line a
// statement, `POSITION LINE COLUMN`, then one line a declared name, `name NAME CELL`.
// Lines that start with "#" are notes that readers pass over; maps written before the
// header existed read the same. No Qt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace moxy {

// Where one statement's code starts: the 1-based position in the MOXY code of its first
// character, and the statement's 1-based source line and column.
struct SourceMapEntry {
    std::size_t position = 0;
    int line = 0;
    int column = 0;
};

// The first line of every map file; the compilers delete a stale map only when it starts
// with this line, so a file of the same name that someone else wrote is left alone.
inline constexpr std::string_view kSourceMapHeader = "# moxy source map";

// The map file's text: the header line, then one `POSITION LINE COLUMN` line an entry.
std::string sourceMapText(const std::vector<SourceMapEntry>& map);

// A declared name and the cell the compiled program keeps it in.
struct MapName {
    std::string name;
    int cell = 0;
};

// The map file's name lines, after the statement lines: `name NAME CELL` a name, NAME
// escaped as in the state dump (so a name never holds a line break; it may hold blanks,
// and the cell is the last word).
std::string sourceMapNamesText(const std::vector<MapName>& names);

// The entries of a map file's text, by ascending position; lines that start with "#" and
// lines that do not parse are passed over.
std::vector<SourceMapEntry> parseSourceMap(std::string_view text);

}  // namespace moxy
