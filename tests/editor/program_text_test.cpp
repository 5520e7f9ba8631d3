// Line ends, bytes and file names between the text box, the files and the compilers.
#include "editor/program_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(ProgramText, SeparatorsBecomeCrLfAndCharactersLatin1Bytes) {
    const std::pair<QString, std::string> cases[] = {
        {QString(), ""},
        {QStringLiteral("a") + QChar::ParagraphSeparator + QStringLiteral("b"), "a\r\nb"},
        {QStringLiteral("a") + QChar::LineSeparator + QStringLiteral("b"), "a\r\nb"},
        {QString(QChar::ParagraphSeparator) + QChar::ParagraphSeparator, "\r\n\r\n"},
        // U+00A0 stays a byte of its own (toPlainText() would make it a space).
        {QStringLiteral("\u00e9\u00a0\u00ff"), "\xe9\xa0\xff"},
        {QStringLiteral("\u20ac1"), "?1"},
    };
    for (const auto& [raw, program] : cases) {
        SCOPED_TRACE(raw.toStdString());
        EXPECT_EQ(editor::programText(raw), program);
    }
    EXPECT_EQ(editor::boxText("\xe9\x01"), QStringLiteral("\u00e9\u0001"));
}

TEST(ProgramText, CaretOffsetCountsCrLfAsOneCharacter) {
    const std::string program = "ab\r\ncd\r\n";
    const std::pair<long long, int> cases[] = {{0, 0}, {2, 2}, {3, 3}, {4, 3}, {5, 4}, {8, 6}, {9, 6}, {-1, 0}};
    for (const auto& [offset, position] : cases) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(editor::boxPosition(program, offset), position);
    }
}

TEST(ProgramText, OpenGivesEveryLineWithCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},                                  {"one line", "one line\r\n"}, {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"}, {"\r\n", "\r\n"},               {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"a\n\n", "a\r\n\r\n"},                     {"\n\r", "\r\n\r\n"},
    };
    for (const auto& [file, text] : cases) {
        SCOPED_TRACE(file);
        EXPECT_EQ(editor::openedText(file), text);
    }
}

TEST(ProgramText, ReplacesOnlyTheFileNamesLastExtension) {
    const std::pair<QString, QString> cases[] = {
        {"prog.qlnp", "prog.moxy"},  {"prog", "prog.moxy"},         {"a.b.qlnp", "a.b.moxy"},
        {"dir.x/prog", "dir.x/prog.moxy"}, {".qlnp", ".qlnp.moxy"}, {"dir/.hidden", "dir/.hidden.moxy"},
    };
    for (const auto& [path, replaced] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(editor::replaceExtension(path, QStringLiteral(".moxy")), replaced);
    }
}

}  // namespace
