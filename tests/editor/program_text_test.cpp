// Line ends, bytes and file names between the text box, the files and the compilers.
#include "editor/program_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProgramText, SeparatorsBecomeCrLfAndCharactersLatin1Bytes) {
    const struct {
        QString raw;
        std::string program;
    } cases[] = {
        {QString(), ""},
        {QStringLiteral("a") + QChar::ParagraphSeparator + QStringLiteral("b"), "a\r\nb"},
        {QStringLiteral("a") + QChar::LineSeparator + QStringLiteral("b"), "a\r\nb"},
        {QString(QChar::ParagraphSeparator) + QChar::ParagraphSeparator, "\r\n\r\n"},
        // U+00A0 stays a byte of its own (toPlainText() would make it a space).
        {QStringLiteral("\u00e9\u00a0\u00ff"), "\xe9\xa0\xff"},
        {QStringLiteral("\u20ac1"), "?1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        EXPECT_EQ(editor::programText(c.raw), c.program);
    }
    EXPECT_EQ(editor::boxText("\xe9\x01"), QStringLiteral("\u00e9\u0001"));
}

TEST(ProgramText, CaretOffsetCountsCrLfAsOneCharacter) {
    const std::string program = "ab\r\ncd\r\n";
    const struct {
        long long offset;
        int position;
    } cases[] = {{0, 0}, {2, 2}, {3, 3}, {4, 3}, {5, 4}, {8, 6}, {9, 6}, {-1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        EXPECT_EQ(editor::boxPosition(program, c.offset), c.position);
    }
}

TEST(ProgramText, OpenGivesEveryLineWithCrLf) {
    const struct {
        std::string file;
        std::string text;
    } cases[] = {
        {"", ""},
        {"one line", "one line\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"\r\n", "\r\n"},
        {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"a\n\n", "a\r\n\r\n"},
        {"\n\r", "\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(editor::openedText(c.file), c.text);
    }
}

TEST(ProgramText, ReplacesOnlyTheFileNamesLastExtension) {
    const struct {
        QString path;
        QString replaced;
    } cases[] = {
        {"prog.qlnp", "prog.moxy"},  {"prog", "prog.moxy"},         {"a.b.qlnp", "a.b.moxy"},
        {"dir.x/prog", "dir.x/prog.moxy"}, {".qlnp", ".qlnp.moxy"}, {"dir/.hidden", "dir/.hidden.moxy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(editor::replaceExtension(c.path, QStringLiteral(".moxy")), c.replaced);
    }
}

}  // namespace
