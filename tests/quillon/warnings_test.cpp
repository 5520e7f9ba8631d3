// Warnings of the Quillon compiler: what the language accepts but most likely did not
// mean. Each comes at its statement's line and column, and the code is the same with and
// without them; legal programs, the examples among them, compile without any.
#include "quillon/compiler.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

namespace quillon {
namespace {

struct Found {
    int line;
    int column;
    std::string start;  // the warning's text begins with this
};

std::vector<moxy::Diagnostic> warningsOf(const std::string& source, std::string* code = nullptr) {
    std::vector<moxy::Diagnostic> warnings;
    const moxy::CompileResult result = compile(source, [&](const moxy::Diagnostic& d) {
        if (d.severity == moxy::Severity::Warning)
            warnings.push_back(d);
    });
    if (code)
        *code = result.code;
    return warnings;
}

TEST(QuillonWarnings, EachAtItsStatementAndTheCodeUnchanged) {
    const struct {
        std::string source;
        std::vector<Found> expected;
    } cases[] = {
        {"dim[x]\r\nset[x]{one\r\ntwo}\r\n", {{2, 1, "a { without its } on the same line"}}},
        {"dim[x]\r\nset[x]{one\r\n", {{2, 1, "a { without its }:"}}},
        {"dim[x]\r\n  label{4\r\nexit\r\n", {{2, 3, "a { without its }:"}}},
        {"dim[x]\r\nset[x]{caf\xe9}\r\n", {{2, 1, "character code 233 in the text is MOXY opcode 233"}}},
        {"dim[x]\r\nset[x]{caf\xc3\xa9}\r\n", {{2, 1, "the text holds the UTF-8 character \"\xc3\xa9\""}}},
        {"dim[x]\r\nset[x]{a\xff}\r\n", {{2, 1, "character code 255 in the text is a label marker"}}},
        {"dim[x]\r\nset[x]{a\tb}\r\n", {{2, 1, "character code 9 in the text is MOXY opcode 9"}}},
        {"dim[x]\r\nset[x]{a\x7f}\r\n", {{2, 1, "character code 127 in the text is no literal character"}}},
        // One warning a statement: a text over two lines is warned about for its braces.
        {"dim[x]\r\nset[x]{\xe9\xe9\r\n\xe9} set[x]{\xe9}\r\n",
         {{2, 1, "a { without its } on the same line"}, {3, 4, "character code 233"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string code;
        const std::vector<moxy::Diagnostic> warnings = warningsOf(c.source, &code);
        ASSERT_EQ(warnings.size(), c.expected.size());
        for (std::size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_EQ(warnings[i].line, c.expected[i].line);
            EXPECT_EQ(warnings[i].column, c.expected[i].column);
            EXPECT_EQ(warnings[i].text.substr(0, c.expected[i].start.size()), c.expected[i].start);
        }
        EXPECT_EQ(code, compile(c.source, {}).code);
    }
}

TEST(QuillonWarnings, NoneForWhatTheLanguageMeans) {
    const std::string legal[] = {
        "dim[x]\r\nset[x]{Hello, world! ~ {}\r\nprint[x][x][x]\r\nexit\r\n",
        "dim[x]\r\nset[x]{}\r\nlabel{1}\r\ngetkey[x]{37}\r\nfreespace{3}\r\n",
        "// a comment with { and \xe9 //\r\ndim[x]\r\nset[x]{a}\r\n",
        "dim[\xe9]\r\nset[\xe9]{b}\r\n",  // names may hold any character: they become cell digits
    };
    for (const std::string& source : legal) {
        SCOPED_TRACE(source);
        EXPECT_TRUE(warningsOf(source).empty()) << warningsOf(source).front().text;
    }
}

TEST(QuillonWarnings, NoneForTheExamples) {
    const QDir examples(QStringLiteral(QUILLON_EXAMPLES_DIR));
    const QStringList files = examples.entryList({QStringLiteral("*.qlnp")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(examples.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::vector<moxy::Diagnostic> warnings = warningsOf(file.readAll().toStdString());
        for (const moxy::Diagnostic& w : warnings)
            ADD_FAILURE() << w.line << ":" << w.column << ": " << w.text;
    }
}

}  // namespace
}  // namespace quillon
