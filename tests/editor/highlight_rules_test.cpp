// The colouring rules of both languages on sample text, without a window. Each case
// writes the expected colours as one character per character of the text:
// K keyword or mnemonic, N name, L literal, S star marker, C comment, B label,
// E escape, '.' plain; line ends stay line ends.
#include "editor/highlight_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using editor::LineState;

// The letters in the order of the Highlight values.
constexpr char kLetters[] = "KNLSCBE";
static_assert(sizeof kLetters - 1 == editor::kHighlightCount);

// The colours of [text], line by line with the state carried over, as the text box
// applies the rules; [state] ends as the last line leaves it.
std::string paint(editor::HighlightFunction rules, std::string_view text, LineState& state) {
    std::string painted;
    state = LineState::Code;
    std::size_t start = 0;
    while (true) {
        const std::size_t lineEnd = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, lineEnd - start);
        std::string colours(line.size(), '.');
        int last = -1;
        for (const editor::Span& span : rules(line, state)) {
            EXPECT_GE(span.start, last) << "spans overlap or go backwards";
            EXPECT_GT(span.length, 0);
            EXPECT_LE(static_cast<std::size_t>(span.start + span.length), line.size());
            colours.replace(static_cast<std::size_t>(span.start), static_cast<std::size_t>(span.length),
                            static_cast<std::size_t>(span.length), kLetters[static_cast<int>(span.highlight)]);
            last = span.start + span.length;
        }
        painted += colours;
        if (lineEnd == text.size())
            return painted;
        painted += '\n';
        start = lineEnd + 1;
    }
}

struct Case {
    const char* text;
    const char* colours;
    LineState end = LineState::Code;  // what the last line leaves open
};

void check(editor::HighlightFunction rules, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LineState end = LineState::Code;
        EXPECT_EQ(paint(rules, c.text, end), c.colours);
        EXPECT_EQ(end, c.end);
    }
}

TEST(QuillonColours, KeywordsArgumentsAndStarsWhereTheCompilerFindsThem) {
    check(editor::highlightQuillon, {
        {"pRiNt[a][b][c]", "KKKKKNNNNNNNNN"}, {"if=[a][b]", "KKKNNNNNN"}, {"Count", "....."},
        // The compiler finds keywords anywhere: "reprint" holds a print statement.
        {"reprint[a][b][c]", "..KKKKKNNNNNNNNN"},
        // The window keywords come before "set" in the chain.
        {"SetWindowX[a]", "KKKKKKKKKKNNN"},
        // Names and literals are not searched for keywords.
        {"set[add]{print it}", "KKKNNNNNLLLLLLLLLL"}, {"label{12}", "KKKKKLLLL"},
        {"print*[a][b]*[c]", "KKKKKSNNNNNNSNNN"},
        // The first star test looks for the keyword's last letter in lower case.
        {"PRINT*[a][b][c]", "KKKKK.NNNNNNNNN"},
        // dim takes no star.
        {"dim*[a]", "KKK.NNN"},
        // Brackets that no statement reads are plain, and keywords inside them count.
        {"[exit]", ".KKKK."},
        // An argument without its "]" on the line is left plain, and the scan goes on
        // right behind the keyword.
        {"print[a\n]", "KKKKK..\n."},
        {"print// note //", "KKKKKCCCCCCCCCC"},
        // The character right behind a statement is never examined.
        {"exitexit", "KKKK...."}, {"exit exit", "KKKK.KKKK"}, {"dim[a]exit", "KKKNNN...."},
        // The advances count only the bracketed text: after six blanks the scan goes on
        // inside the argument, where the compiler translates exit.
        {"getticks      [exit]", "KKKKKKKK......NKKKKN"},
    });
}

TEST(QuillonColours, CommentsRunToTheNextPairAcrossLines) {
    const LineState open = LineState::Comment;
    check(editor::highlightQuillon, {
        {"// print // exit", "CCCCCCCCCCC.KKKK"},
        {"///exit", "CCCKKKK"},
        {"a // note\nprint still\n// exit", "..CCCCCCC\nCCCCCCCCCCC\nCC.KKKK"},
        {"//\n\nexit//exit", "CC\n\nCCCCCCKKKK"},
        // The scan goes on at the closing pair's second "/", which may open a new comment.
        {"// a ///\nexit", "CCCCCCCC\nCCCC", open},
        {"exit // open\nprint[a][b][c]\nEXIT", "KKKK.CCCCCCC\nCCCCCCCCCCCCCC\nCCCC", open},
        {"// shut //", "CCCCCCCCCC"},
    });
}

TEST(VornaColours, MnemonicsExactlyAsWrittenNamesAndEscapes) {
    check(editor::highlightVorna, {
        {"inc vup Inc", "..........."}, {"SETPAR1 PRINT IF= GETPOINTER", "KKKKKKK.KKKKK.KKK.KKKKKKKKKK"},
        // The character right behind a mnemonic is never tested.
        {"INCVUP", "KKK..."}, {"EXITS", "KKKK."},
        {"LABEL GOTO", "BBBBB.KKKK"}, {"DIM[a] USE[a]", "KKKNNN.KKKNNN"}, {"USE[]", "KKKNN"},
        // The scan reads the name too: SUB inside it is compiled.
        {"DIM[SUBTOTAL]", "KKKNKKKNNNNNN"}, {"DIM[a", "KKK.."},
        // The backtick takes the next character, which does not begin a mnemonic.
        {"`A", "EE"}, {"``", "EE"}, {"```A", "EEEE"}, {"`DEC", "EE.."}, {"INC`", "KKK."}, {"x`\nINC", ".E\nKKK"},
    });
}

}  // namespace
