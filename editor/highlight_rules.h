// What the editor colours in one line of Quillon or VORNA text, found the way the compilers
// find it: the words come from their own tables (quillon/keywords.h, vorna/mnemonics.h)
// and the scan moves as theirs does, so a word that is coloured is one the compiler reads.
// Pure: no Qt and no state beyond what one line leaves open for the next, so the rules are
// tested on sample text without a window. highlighter.h applies them to the text box.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace editor {

enum class Highlight : std::uint8_t {
    Keyword,  // a Quillon keyword or a VORNA mnemonic
    Name,     // a bracket argument with its brackets: Quillon names, VORNA DIM[...] and USE[...]
    Literal,  // a Quillon brace literal with its braces
    Star,     // a Quillon star marker
    Comment,  // a Quillon comment with its "//" pairs
    Label,    // VORNA's LABEL
    Escape,   // VORNA's backtick and the character it takes
};
inline constexpr int kHighlightCount = 7;

// [length] characters from the 0-based [start] of a line.
struct Span {
    int start = 0;
    int length = 0;
    Highlight highlight = Highlight::Keyword;
    friend bool operator==(const Span&, const Span&) = default;
};

// What a line leaves open for the next one.
enum class LineState : std::uint8_t { Code, Comment };

// The spans of [line] (one byte per character, without its line end), left to right and
// not overlapping. [state] is what the line before left open; it becomes what this line
// leaves open.
using HighlightFunction = std::vector<Span> (*)(std::string_view line, LineState& state);

// Quillon: keywords in any case wherever the scan meets them, also inside longer words;
// the bracket arguments, star markers and brace literals a statement reads on its own
// line; comments from "//" to the next "//", across lines, to the end of the text when
// no closing pair follows.
std::vector<Span> highlightQuillon(std::string_view line, LineState& state);

// VORNA: mnemonics exactly as written in the table (upper case), the bracketed names of
// DIM and USE, LABEL, and the backtick with the character after it. Nothing stays open
// at a line's end: [state] always becomes Code.
std::vector<Span> highlightVorna(std::string_view line, LineState& state);

}  // namespace editor
