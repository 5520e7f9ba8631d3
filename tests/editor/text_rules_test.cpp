// The editor's rules without a window: line ends, bytes and file names; the colouring rules.
#include "editor/highlight_rules.h"
#include "editor/program_text.h"
#include "editor/workbench.h"

#include <gtest/gtest.h>


namespace {

// The window's Save, Open and Compile tests show the common line ends; these are the edges.
TEST(ProgramText, LineEndsBytesCaretsAndExtensions) {
    // U+00A0 stays a byte of its own (toPlainText() would make it a space); beyond Latin-1 is "?".
    EXPECT_EQ(editor::programText(QStringLiteral("a") + QChar::ParagraphSeparator + QStringLiteral("\u00e9\u00a0\u20ac")), "a\r\n\xe9\xa0?");
    EXPECT_EQ(editor::boxText("\xe9\x01"), QStringLiteral("\u00e9\u0001"));
    for (const auto& [offset, position] : {std::pair{0LL, 0}, {3LL, 3}, {4LL, 3}, {5LL, 4}, {9LL, 6}, {-1LL, 0}})
        EXPECT_EQ(editor::boxPosition("ab\r\ncd\r\n", offset), position) << offset;
    const std::pair<std::string, std::string> opened[] = {{"a\r\r\nb", "a\r\n\r\nb\r\n"}, {"\n\r", "\r\n\r\n"}, {"one", "one\r\n"}};
    for (const auto& [file, text] : opened)
        EXPECT_EQ(editor::openedText(file), text) << file;
    for (const auto& [path, replaced] : {std::pair<QString, QString>{"a.b.qlnp", "a.b.moxy"}, {"dir.x/prog", "dir.x/prog.moxy"}, {".qlnp", ".qlnp.moxy"}})
        EXPECT_EQ(editor::replaceExtension(path, QStringLiteral(".moxy")), replaced);
    for (const auto& [line, column, offset] : {std::tuple{1, 1, 0}, {1, 9, 2}, {2, 2, 5}, {3, 1, 7}, {4, 1, 10}, {4, 5, 11}, {9, 1, 11}})
        EXPECT_EQ(editor::offsetOf("ab\r\ncd\nef\rg", line, column), offset) << line << ":" << column;
}

// The colours of [text], one letter per character (K keyword or mnemonic, N name, L literal,
// S star, C comment, B label, E escape, '.' plain), line by line with the state carried over.
std::string paint(editor::HighlightFunction rules, std::string_view text, editor::LineState& state) {
    std::string painted;
    state = editor::LineState::Code;
    for (std::size_t start = 0;; start = painted.size()) {
        const std::string_view line = text.substr(start, std::min(text.find('\n', start), text.size()) - start);
        std::string colours(line.size(), '.');
        for (const editor::Span& span : rules(line, state))
            colours.replace(span.start, span.length, span.length, "KNLSCBE"[static_cast<int>(span.highlight)]);
        painted += colours;
        if (start + line.size() == text.size())
            return painted;
        painted += '\n';
    }
}

TEST(Colours, WhereTheCompilersFindTheirWords) {
    const editor::LineState open = editor::LineState::Comment, code = editor::LineState::Code;
    const std::tuple<editor::HighlightFunction, const char*, const char*, editor::LineState> cases[] = {
        {editor::highlightQuillon, "SetWindowX[a]", "KKKKKKKKKKNNN", code},  // window keywords before "set"
        {editor::highlightQuillon, "set[add]{print it}", "KKKNNNNNLLLLLLLLLL", code},
        {editor::highlightQuillon, "label{12}xexit", "KKKKKLLLL.KKKK", code},  // keywords inside words
        {editor::highlightQuillon, "print*[a][b]*[c]", "KKKKKSNNNNNNSNNN", code},
        {editor::highlightQuillon, "PRINT*[a][b][c]", "KKKKK.NNNNNNNNN", code},  // the star test's lower-case letter
        {editor::highlightQuillon, "dim*[a]", "KKK.NNN", code},
        {editor::highlightQuillon, "[exit]", ".KKKK.", code},
        {editor::highlightQuillon, "print[a\n]", "KKKKK..\n.", code},
        {editor::highlightQuillon, "exitexit", "KKKK....", code},
        {editor::highlightQuillon, "dim[a]exit", "KKKNNN....", code},
        {editor::highlightQuillon, "getticks      [exit]", "KKKKKKKK......NKKKKN", code},
        {editor::highlightQuillon, "print// note //", "KKKKKCCCCCCCCCC", code},
        {editor::highlightQuillon, "// print // exit", "CCCCCCCCCCC.KKKK", code},
        {editor::highlightQuillon, "///exit", "CCCKKKK", code},
        {editor::highlightQuillon, "a // note\nprint still\n// exit", "..CCCCCCC\nCCCCCCCCCCC\nCC.KKKK", code},
        {editor::highlightQuillon, "//\n\nexit//exit", "CC\n\nCCCCCCKKKK", code},
        {editor::highlightQuillon, "// a ///\nexit", "CCCCCCCC\nCCCC", open},
        {editor::highlightVorna, "inc vup Inc", "...........", code},
        {editor::highlightVorna, "SETPAR1 PRINT IF= GETPOINTER", "KKKKKKK.KKKKK.KKK.KKKKKKKKKK", code},
        {editor::highlightVorna, "INCVUP", "KKK...", code},
        {editor::highlightVorna, "LABEL GOTO", "BBBBB.KKKK", code},
        {editor::highlightVorna, "DIM[a] USE[a] USE[]", "KKKNNN.KKKNNN.KKKNN", code},
        {editor::highlightVorna, "DIM[SUBTOTAL]", "KKKNKKKNNNNNN", code},
        {editor::highlightVorna, "DIM[a", "KKK..", code},
        {editor::highlightVorna, "`A``", "EEEE", code},
        {editor::highlightVorna, "`DEC INC`", "EE...KKK.", code},
        {editor::highlightVorna, "x`\nINC", ".E\nKKK", code},
    };
    for (const auto& [rules, text, colours, end] : cases) {
        SCOPED_TRACE(text);
        editor::LineState state;
        EXPECT_EQ(paint(rules, text, state), colours);
        EXPECT_EQ(state, end);
    }
}

}  // namespace
