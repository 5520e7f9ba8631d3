// The colouring rules of both languages on sample text, without a window. Each case
// writes the expected colours as one character per character of the text:
// K keyword or mnemonic, N name, L literal, S star marker, C comment, B label,
// E escape, '.' plain; line ends stay line ends.
#include "editor/highlight_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using editor::Highlight;
using editor::LineState;

char letterOf(Highlight highlight) {
    switch (highlight) {
    case Highlight::Keyword:
        return 'K';
    case Highlight::Name:
        return 'N';
    case Highlight::Literal:
        return 'L';
    case Highlight::Star:
        return 'S';
    case Highlight::Comment:
        return 'C';
    case Highlight::Label:
        return 'B';
    case Highlight::Escape:
        return 'E';
    }
    return '?';
}

// The colours of [text], line by line with the state carried over, as the text box
// applies the rules; [end] gets what the last line leaves open.
std::string paint(editor::HighlightFunction rules, std::string_view text, LineState* end = nullptr) {
    std::string painted;
    LineState state = LineState::Code;
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
                            static_cast<std::size_t>(span.length), letterOf(span.highlight));
            last = span.start + span.length;
        }
        painted += colours;
        if (lineEnd == text.size())
            break;
        painted += '\n';
        start = lineEnd + 1;
    }
    if (end)
        *end = state;
    return painted;
}

struct Case {
    const char* text;
    const char* colours;
};

void check(editor::HighlightFunction rules, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(paint(rules, c.text), c.colours);
    }
}

TEST(QuillonColours, KeywordsInAnyCaseAndInsideWords) {
    check(editor::highlightQuillon, {
        {"print[a][b][c]", "KKKKKNNNNNNNNN"},
        {"PRINT[a][b][c]", "KKKKKNNNNNNNNN"},
        {"pRiNt[a][b][c]", "KKKKKNNNNNNNNN"},
        // The compiler finds keywords anywhere: "reprint" holds a print statement.
        {"reprint[a][b][c]", "..KKKKKNNNNNNNNN"},
        // The window keywords come before "set" in the chain.
        {"SetWindowX[a]", "KKKKKKKKKKNNN"},
        {"if=[a][b]", "KKKNNNNNN"},
        {"Count", "....."},
    });
}

TEST(QuillonColours, ArgumentsLiteralsAndStars) {
    check(editor::highlightQuillon, {
        // Names and literals are not searched for keywords.
        {"set[add]{print it}", "KKKNNNNNLLLLLLLLLL"},
        {"label{12}", "KKKKKLLLL"},
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
    });
}

TEST(QuillonColours, TheScanSkipsAndReentersAsTheCompilerDoes) {
    check(editor::highlightQuillon, {
        // The character right behind a statement is never examined.
        {"exitexit", "KKKK...."},
        {"exit exit", "KKKK.KKKK"},
        {"dim[a]exit", "KKKNNN...."},
        // The advances count only the bracketed text: after six blanks the scan goes on
        // inside the argument, where the compiler translates exit.
        {"getticks      [exit]", "KKKKKKKK......NKKKKN"},
    });
}

TEST(QuillonColours, CommentsRunToTheNextPairAcrossLines) {
    check(editor::highlightQuillon, {
        {"// print // exit", "CCCCCCCCCCC.KKKK"},
        {"///exit", "CCCKKKK"},
        {"a // note\nprint still\n// exit", "..CCCCCCC\nCCCCCCCCCCC\nCC.KKKK"},
        {"//\n\nexit//exit", "CC\n\nCCCCCCKKKK"},
        // The scan goes on at the closing pair's second "/", which may open a new comment.
        {"// a ///\nexit", "CCCCCCCC\nCCCC"},
    });
    LineState end = LineState::Code;
    EXPECT_EQ(paint(editor::highlightQuillon, "exit // open\nprint[a][b][c]\nEXIT", &end),
              "KKKK.CCCCCCC\nCCCCCCCCCCCCCC\nCCCC");
    EXPECT_EQ(end, LineState::Comment);
    EXPECT_EQ(paint(editor::highlightQuillon, "// shut //", &end), "CCCCCCCCCC");
    EXPECT_EQ(end, LineState::Code);
}

TEST(VornaColours, MnemonicsExactlyAsWritten) {
    check(editor::highlightVorna, {
        {"INC VUP", "KKK.KKK"},
        {"inc vup Inc", "..........."},
        {"SETPAR1 PRINT IF= GETPOINTER", "KKKKKKK.KKKKK.KKK.KKKKKKKKKK"},
        // The character right behind a mnemonic is never tested.
        {"INCVUP", "KKK..."},
        {"EXITS", "KKKK."},
        {"LABEL GOTO", "BBBBB.KKKK"},
    });
}

TEST(VornaColours, NamesOfDimAndUse) {
    check(editor::highlightVorna, {
        {"DIM[a] USE[a]", "KKKNNN.KKKNNN"},
        {"USE[]", "KKKNN"},
        // The scan reads the name too: SUB inside it is compiled.
        {"DIM[SUBTOTAL]", "KKKNKKKNNNNNN"},
        {"dim[a]", "......"},
        {"DIM[a", "KKK.."},
    });
}

TEST(VornaColours, BacktickTakesTheNextCharacter) {
    check(editor::highlightVorna, {
        {"`A", "EE"},
        {"``", "EE"},
        {"```A", "EEEE"},
        // The taken character does not begin a mnemonic.
        {"`DEC", "EE.."},
        {"INC`", "KKK."},
        {"x`\nINC", ".E\nKKK"},
    });
}

}  // namespace
