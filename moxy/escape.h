// Texts of MOXY programs shown to people: cells, literals and names in listings, traces,
// dumps, error reports and compile messages. Program texts are bytes; each place shows
// them readably, on one line, in its own way, all through escaped(). No Qt.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace moxy {

struct Escaping {
    bool quotes = true;         // in double quotes, a `"` written \"
    bool backslash = true;      // a `\` written \\ (so the escapes read back)
    bool lineBreaks = false;    // CR and LF written \r and \n
    bool tab = false;           // a tab written \t
    bool bytesAsIs = false;     // other characters outside 32..126 as they are, not \xHH
    std::size_t limit = std::numeric_limits<std::size_t>::max();  // a longer text is cut to
                                                                   // this many characters, "..." follows
    bool countCut = false;      // a cut text is followed by " (N characters)" after the "..."
};

// Listings and traces: "Hi \"you\"\x0d".
inline constexpr Escaping kQuoted{};
// The dump's cells: no quotes; \\ \r \n \t and \xHH outside 32..126.
inline constexpr Escaping kDumpText{false, true, true, true, false};
// Compile messages, one a line: only line breaks escaped, every other byte as the source
// wrote it.
inline constexpr Escaping kMessageText{false, false, true, false, true};

std::string escaped(std::string_view text, const Escaping& escaping = kQuoted);

// [text] in double quotes, with `"` and `\` escaped and other characters outside
// 32..126 written as \xHH.
inline std::string quoted(std::string_view text) { return escaped(text, kQuoted); }

}  // namespace moxy
