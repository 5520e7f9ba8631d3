// `quillon --compile` through the real executable; its MOXY files run in the real runner.
#include "cli_support.h"
#include "moxy/format.h"

#include <gmock/gmock.h>

#include <tuple>
#include <utility>

using testing::HasSubstr;
using testing::StartsWith;

namespace {

const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kMoxy = QStringLiteral(MOXY_EXE);

// The worked example: 10, 20 and "Hi" into x, y and t, "Hi" printed at (10, 20), end.
const std::string kWorkedExample =
    "dim[x]\r\ndim[y]\r\ndim[t]\r\nset[x]{10}\r\nset[y]{20}\r\nset[t]{Hi}\r\nprint[x][y][t]\r\nexit\r\n";
const std::string kSetAndExit = "dim[x]\r\nset[x]{5}\r\nexit";
const std::string kSetAndExitCode = std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5\x18";

class QuillonCli : public testing::Test {
protected:
    QTemporaryDir folder;
    QString source(const std::string& text) { return cli::writeFile(folder, QStringLiteral("prog.qlnp"), text); }
    QString path(const QString& name) const { return folder.filePath(name); }
};

TEST_F(QuillonCli, WritesTheCodeAndCrLfWhereAsked) {
    // The source ("-": standard input), the arguments after it, the file written ("": standard output).
    const std::tuple<QString, QStringList, QString> cases[] = {
        {"prog.qlnp", {}, "prog.moxy"},
        {"prog.qlnp", {"-o", "other.moxy"}, "other.moxy"},
        {"prog.qlnp", {"--output", "other.moxy"}, "other.moxy"},
        {"prog.qlnp", {"-o", "-"}, ""},
        {"-", {"-o", "in.moxy"}, "in.moxy"},
        {"-", {}, ""},
    };
    for (const auto& [sourceName, arguments, output] : cases) {
        SCOPED_TRACE((sourceName + " " + arguments.join(' ')).toStdString());
        QTemporaryDir here;
        const bool piped = sourceName == "-";
        const QString src = piped ? sourceName : cli::writeFile(here, sourceName, kSetAndExit);
        const QByteArray input = piped ? QByteArray::fromStdString(kSetAndExit) : QByteArray();
        const cli::Outcome outcome = cli::run(kQuillon, QStringList{"--compile", src} + arguments, input, here.path());
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, output.isEmpty() ? kSetAndExitCode + "\r\n" : "");
        EXPECT_EQ(cli::readFile(here.filePath(output.isEmpty() ? "prog.moxy" : output)),
                  output.isEmpty() ? "<missing>" : kSetAndExitCode + "\r\n");
    }
}

TEST_F(QuillonCli, MessagesNameTheStatementsPlaceOnOneLine) {
    const QString src = source("dim[x]\r\nprint[x][y][x]\r\n  add[z][x][x]\n\rinc[x\r\ny]\r\nexit");
    const cli::Outcome outcome = cli::run(kQuillon, {"--compile", src});
    EXPECT_EQ(outcome.exitCode, 0);
    const std::string at = src.toStdString();
    EXPECT_EQ(outcome.err, at + ":2:1: Error: Variable doesnt exist. y\n" +
                               at + ":3:3: Error: Variable doesnt exist. z\n" +
                               at + ":5:1: Error: Variable doesnt exist. x\\r\\ny\n");
    EXPECT_THAT(cli::readFile(path("prog.moxy")), testing::EndsWith("\x18\r\n"));
}

TEST_F(QuillonCli, DeclarationErrorIsStatusOneAndWritesNothing) {
    const QString src = source("dim[a]\r\n dim[a]\r\nexit");
    cli::writeFile(folder, "prog.moxy", "older");
    const cli::Outcome outcome = cli::run(kQuillon, {"--compile", src, "--map"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, src.toStdString() + ":2:2: Error, variable already declared.\n");
    EXPECT_EQ(cli::readFile(path("prog.moxy")), "older");
    EXPECT_EQ(cli::readFile(path("prog.moxy.map")), "<missing>");
}

TEST_F(QuillonCli, CompiledProgramRunsAndItsMapNamesEveryStatementThatEmittedCode) {
    const QString src = source(kWorkedExample);
    const cli::Outcome outcome = cli::run(kQuillon, {"--compile", src, "-o", path("demo.moxy"), "--map"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    // The declarations emit nothing; the header is no statement. The names follow with their cells.
    EXPECT_EQ(cli::readFile(path("demo.moxy.map")),
              "# moxy source map\n54 4 1\n60 5 1\n66 6 1\n72 7 1\n84 8 1\nname x 33150\nname y 33151\nname t 33152\n");
    const cli::Outcome listing = cli::run(kMoxy, {"--disasm", path("demo.moxy")});
    EXPECT_THAT(listing.out, HasSubstr("     84  End    ; line 8, column 1\n"));
    const cli::Outcome run = cli::run(kMoxy, {"--headless", "--dump", "-", path("demo.moxy")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\nPicSelect 0\n"
              "cell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n");
}

TEST_F(QuillonCli, RunTimeErrorsNameTheirSourceLineThroughTheMapUntilACompileWithoutOne) {
    const QString src = source("dim[a]\r\nset[a]{x}\r\n\r\n  inc[a]\r\n");
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src, "--map"}).exitCode, 0);
    const cli::Outcome run = cli::run(kMoxy, {"--headless", "--trace", path("prog.moxy")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("     59  SelectCell 33150    ; line 4, column 3\n"));
    EXPECT_THAT(run.err, HasSubstr("[position 62, opcode 25 Increment] (line 4, column 3); running the program once "
                                   "more from its start\n"));
    EXPECT_THAT(run.err, HasSubstr("moxy: run-time error (type-mismatch): the text \"x\" is not a number "
                                   "[position 62, opcode 25 Increment] (line 4, column 3)\n"));
    // Compiling without a map removes the stale one.
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src}).exitCode, 0);
    EXPECT_EQ(cli::readFile(path("prog.moxy.map")), "<missing>");
}

TEST_F(QuillonCli, UnreadableSourceUnwritableOutputAndUsageErrorsAreStatusTwo) {
    const QString src = source(kSetAndExit);
    const QString missing = path("missing.qlnp");
    const QString nowhere = path("no/such/folder.moxy");
    const std::pair<QStringList, testing::Matcher<std::string>> cases[] = {
        {{"--compile", missing},
         StartsWith("quillon: cannot read " + missing.toStdString() + ": No such file or directory\n")},
        {{"--compile", folder.path()},
         StartsWith("quillon: cannot read " + folder.path().toStdString() + ": Is a directory\n")},
        {{"--compile", src, "-o", nowhere}, StartsWith("quillon: cannot write " + nowhere.toStdString() + ": ")},
        {{"--no-such-option"}, HasSubstr("Unknown option")},
        {{"a.qlnp", "b.qlnp"}, HasSubstr("expected at most one FILE")},
        {{"-o", "x.moxy"}, HasSubstr("-o and --map go with --compile")},
        {{"--compile", "a.qlnp", "b.qlnp"}, HasSubstr("--compile takes no FILE")},
        {{"--compile", "a.qlnp", "-o", "-", "--map"}, HasSubstr("--map needs a named OUT")},
        {{"--compile"}, HasSubstr("Missing value after '--compile'")},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const cli::Outcome outcome = cli::run(kQuillon, arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_THAT(outcome.err, message);
    }
}

TEST_F(QuillonCli, HelpAndVersion) {
    const cli::Outcome help = cli::run(kQuillon, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--compile", "-o", "--map", "FILE"})
        EXPECT_THAT(help.out, HasSubstr(option));
    const cli::Outcome version = cli::run(kQuillon, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, StartsWith("quillon "));
}

}  // namespace
