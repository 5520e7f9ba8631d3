// Warnings of the VORNA compiler: upper-case words the scan passes over, USE of names no
// DIM declared before, DIM and USE without their brackets. The code is the same with and
// without them; legal programs, the examples among them, compile without any.
#include "vorna/compiler.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

namespace vorna {
namespace {

struct Found {
    int line;
    int column;
    std::string start;  // the warning's text begins with this
};

std::vector<moxy::Diagnostic> warningsOf(const std::string& source, std::string* code = nullptr) {
    std::vector<moxy::Diagnostic> warnings;
    const moxy::CompileResult result = compile(
        source, [&](const moxy::Diagnostic& d) { warnings.push_back(d); }, {});
    if (code)
        *code = result.code;
    for (const moxy::Diagnostic& d : warnings)
        EXPECT_EQ(d.severity, moxy::Severity::Warning);
    return warnings;
}

TEST(VornaWarnings, EachAtItsPlaceAndTheCodeUnchanged) {
    const struct {
        std::string source;
        std::vector<Found> expected;
    } cases[] = {
        {"SETPAR1\r\n  PRNT", {{2, 3, "\"PRNT\" is not a VORNA mnemonic"}}},
        {"SETPAR3 IF", {{1, 1, "\"SETPAR\" is not"}, {1, 9, "\"IF\" is not"}}},
        {"SETPAR1PRINT", {{1, 8, "\"PRINT\" is not compiled: it stands right behind a mnemonic"}}},
        {"DIM[a] USE[b]", {{1, 8, "USE of \"b\", which no DIM before it declares"}}},
        {"USE[a] DIM[a]", {{1, 1, "USE of \"a\""}}},
        {"DIM[a] USE[a", {{1, 8, "USE with a [ but no ] after it"}}},
        {"DIM", {{1, 1, "DIM without a [name] after it"}}},
        {"DIM[x] USE[y]\r\nUSE[y]", {{1, 8, "USE of \"y\""}, {2, 1, "USE of \"y\""}}},
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
        EXPECT_EQ(code, compile(c.source).code);
    }
}

TEST(VornaWarnings, NoneForWhatTheLanguageMeans) {
    const std::string legal[] = {
        "notes in lower case, Mixed Case words, single letters A and I",
        "EXITS INCINC DIM[SUBTOTAL] USE[SUBTOTAL]",  // a mnemonic compiled in each word
        "DIM[COUNT] USE[COUNT] USE[]",                             // names are no words
        "CLEARVAR `H`E`L`L`O `AB",                                 // escaped letters are no words
        "DEC `x`x CLEARVAR `1`0 IF= GOTO ENDIF",
    };
    for (const std::string& source : legal) {
        SCOPED_TRACE(source);
        const auto warnings = warningsOf(source);
        EXPECT_TRUE(warnings.empty()) << warnings.front().text;
    }
}

TEST(VornaWarnings, NoneForTheExamples) {
    const QDir examples(QStringLiteral(VORNA_EXAMPLES_DIR));
    const QStringList files = examples.entryList({QStringLiteral("*.vornaproj")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(examples.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const moxy::Diagnostic& w : warningsOf(file.readAll().toStdString()))
            ADD_FAILURE() << w.line << ":" << w.column << ": " << w.text;
    }
}

}  // namespace
}  // namespace vorna
