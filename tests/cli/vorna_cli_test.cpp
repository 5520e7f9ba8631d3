// `vorna --compile` through the real executable; its MOXY files run in the real runner.
#include "cli_support.h"

#include <gmock/gmock.h>

#include <utility>

using testing::HasSubstr;
using testing::StartsWith;

namespace {

const QString kVorna = QStringLiteral(VORNA_EXE);
const QString kMoxy = QStringLiteral(MOXY_EXE);

class VornaCli : public testing::Test {
protected:
    QTemporaryDir folder;
    QString source(const std::string& text) { return cli::writeFile(folder, QStringLiteral("prog.vornaproj"), text); }
    QString path(const QString& name) const { return folder.filePath(name); }
};

TEST_F(VornaCli, WritesTheCodeAndCrLfWithoutMessages) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"LABEL LABEL GOTO", "\xff\xff\xff\xfe"},
        {"DIM[a] DIM[b] USE[b] USE[a]", "\x02\x01"},
    };
    for (const auto& [text, code] : cases) {
        SCOPED_TRACE(text);
        const cli::Outcome outcome = cli::run(kVorna, {"--compile", source(text)});
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(cli::readFile(path("prog.moxy")), code + "\r\n");
    }
}

TEST_F(VornaCli, ReadsStandardInputAndWritesStandardOutput) {
    const cli::Outcome outcome = cli::run(kVorna, {"--compile", "-", "-o", "-"}, "SETPAR1 PRINT");
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "\x03\xfd\r\n");
}

TEST_F(VornaCli, MapNamesEveryMnemonicThatEmittedCode) {
    const QString src = source("INC\r\n  VUP DIM[x]\nLABEL");
    const cli::Outcome outcome = cli::run(kVorna, {"--compile", src, "-o", path("out.moxy"), "--map"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(cli::readFile(path("out.moxy.map")), "# moxy source map\n1 1 1\n2 2 3\n3 3 1\n");
}

TEST_F(VornaCli, DecAndTwoEscapedCellDigitsFormAWorkingReference) {
    // DEC, a blank the scan passes over, then cell digits 130 and 130: cell 33150, where
    // CLEARVAR and the escaped letters H and i leave "Hi".
    const QString src = source("DEC `\x82`\x82 CLEARVAR `H`i");
    ASSERT_EQ(cli::run(kVorna, {"--compile", src}).exitCode, 0);
    const cli::Outcome run = cli::run(kMoxy, {"--headless", "--dump", "-", path("prog.moxy")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Pointer 33150\nPar1 0\nPar2 0\nRes 0\nVarTop 33150\nPicSelect 0\ncell 33150 Hi\nend ok\n");
}

TEST_F(VornaCli, UnreadableSourceOrUnwritableOutputIsStatusTwo) {
    const QString src = source("EXIT");
    const QString missing = path("missing.vornaproj");
    const QString nowhere = path("no/such/folder.moxy");
    const std::pair<QStringList, std::string> cases[] = {
        {{"--compile", missing}, "vorna: cannot read " + missing.toStdString() + ": No such file or directory\n"},
        {{"--compile", src, "-o", nowhere}, "vorna: cannot write " + nowhere.toStdString() + ": "},
        {{"--compile", src, "--map", "-o", folder.path()}, "vorna: cannot write " + folder.path().toStdString()},
        {{"--bogus"}, "vorna: Unknown option 'bogus'."},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const cli::Outcome outcome = cli::run(kVorna, arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_THAT(outcome.err, StartsWith(message));
    }
}

TEST_F(VornaCli, HelpAndVersion) {
    const cli::Outcome help = cli::run(kVorna, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--compile", "-o", "--map"})
        EXPECT_THAT(help.out, HasSubstr(option));
    const cli::Outcome version = cli::run(kVorna, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, StartsWith("vorna "));
}

}  // namespace
