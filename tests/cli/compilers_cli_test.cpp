// `quillon --compile` and `vorna --compile` through the real executables: where they
// write, what they say and with which status, what they refuse to destroy (the source, a
// .map file that is not one of theirs), and the maps the real runner reads.
#include "cli_support.h"
#include "moxy/format.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <tuple>

using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);
const QString kMoxy = QStringLiteral(MOXY_EXE);
const std::string kQuillonSource = "dim[x]\r\nset[x]{5}\r\nexit";
const std::string kQuillonCode = std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5\x18\r\n";

// Runs [program] with [arguments] in a new folder that holds prog.qlnp and prog.vornaproj;
// returns the outcome and the named file's content ("<missing>" when there is none).
std::pair<cli::Outcome, std::string> compileIn(const QString& program, const QStringList& arguments, const std::string& source,
                                               const QString& written = {}, const QByteArray& input = {}) {
    QTemporaryDir folder;
    cli::writeFile(folder, QStringLiteral("prog.qlnp"), source);
    cli::writeFile(folder, QStringLiteral("prog.vornaproj"), source);
    const cli::Outcome outcome = cli::run(program, arguments, input, folder.path());
    return {outcome, written.isEmpty() ? "" : cli::readFile(folder.filePath(written))};
}

}  // namespace

TEST(CompilersCli, StatusesMessagesAndTheWrittenFile) {
    const struct {
        QString program;
        QStringList arguments;
        std::string source;  // of prog.qlnp and prog.vornaproj
        int exitCode;
        testing::Matcher<std::string> err;
        testing::Matcher<std::string> out;
        QString written;  // a file whose content must match [code]
        testing::Matcher<std::string> code;
    } cases[] = {
        {kQuillon, {"--compile", "prog.qlnp"}, kQuillonSource, 0, "", "", "prog.moxy", kQuillonCode},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "other.moxy"}, kQuillonSource, 0, "", "", "other.moxy", kQuillonCode},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "-"}, kQuillonSource, 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kQuillon, {"--compile", "-", "-o", "in.moxy"}, "", 0, "", "", "in.moxy", kQuillonCode},
        {kQuillon, {"--compile", "-"}, "", 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kVorna, {"--compile", "-", "-o", "-"}, "", 0, "", "\x03\xfd\r\n", "prog.moxy", "<missing>"},
        // Messages name the statement's place; a name's line ends are written as escapes.
        {kQuillon, {"--compile", "prog.qlnp"}, "dim[x]\r\nprint[x][y][x]\r\n  add[z][x][x]\n\rinc[x\r\ny]\r\nexit", 0,
         "prog.qlnp:2:1: Error: Variable doesnt exist. y\nprog.qlnp:3:3: Error: Variable doesnt exist. z\n"
         "prog.qlnp:5:1: Error: Variable doesnt exist. x\\r\\ny\n", "", "prog.moxy", EndsWith("\x18\r\n")},
        // Warnings are written like messages and change nothing else.
        {kQuillon, {"--compile", "prog.qlnp", "-o", "w.moxy"}, "dim[x]\r\nset[x]{a\xe9}\r\nset[y]{b}\r\n", 0,
         "prog.qlnp:2:1: warning: character code 233 in the text is MOXY opcode 233: the runner executes it instead of "
         "storing it\nprog.qlnp:3:1: Error: Variable doesnt exist. y\n", "", "w.moxy",
         std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "a\xe9" "\x1b" "b\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "w.moxy"}, "SETPAR1\r\nPRNT EXIT\r\n", 0,
         "prog.vornaproj:2:1: warning: \"PRNT\" is not a VORNA mnemonic: the compiler passes over it\n", "", "w.moxy", "\x03\x18\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "out.moxy", "--map"}, "INC\r\n  VUP DIM[x]\nLABEL", 0, "", "",
         "out.moxy.map", "# moxy source map\n1 1 1\n2 2 3\n3 3 1\n"},
        // A declaration error abandons the compile: status 1, nothing written, no map.
        {kQuillon, {"--compile", "prog.qlnp", "--map"}, "dim[a]\r\n dim[a]\r\nexit", 1,
         "prog.qlnp:2:2: Error, variable already declared.\n", "", "prog.moxy.map", "<missing>"},
        {kQuillon, {"--compile", "missing.qlnp"}, "", 2, StartsWith("quillon: cannot read missing.qlnp: No such file or directory\n"), "", "", ""},
        {kQuillon, {"--compile", "."}, "", 2, StartsWith("quillon: cannot read .: Is a directory\n"), "", "", ""},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "no/such.moxy"}, "", 2, StartsWith("quillon: cannot write no/such.moxy: "), "", "", ""},
        {kVorna, {"--compile", "missing.vornaproj"}, "", 2, StartsWith("vorna: cannot read missing.vornaproj: No such file"), "", "", ""},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "no/such.moxy"}, "", 2, StartsWith("vorna: cannot write no/such.moxy: "), "", "", ""},
        {kVorna, {"--compile", "prog.vornaproj", "--map", "-o", "."}, "", 2, StartsWith("vorna: cannot write ."), "", "", ""},
        {kVorna, {"--bogus"}, "", 2, StartsWith("vorna: Unknown option 'bogus'."), "", "", ""},
        {kQuillon, {"--no-such-option"}, "", 2, HasSubstr("Unknown option"), "", "", ""},
        {kQuillon, {"a.qlnp", "b.qlnp"}, "", 2, HasSubstr("expected at most one FILE"), "", "", ""},
        {kQuillon, {"-o", "x.moxy"}, "", 2, HasSubstr("-o and --map go with --compile"), "", "", ""},
        {kQuillon, {"--compile", "a.qlnp", "b.qlnp"}, "", 2, HasSubstr("--compile takes no FILE"), "", "", ""},
        {kQuillon, {"--compile", "a.qlnp", "-o", "-", "--map"}, "", 2, HasSubstr("--map needs a named OUT"), "", "", ""},
        {kQuillon, {"--compile"}, "", 2, HasSubstr("Missing value after '--compile'"), "", "", ""},
        {kQuillon, {"--help"}, "", 0, "", HasSubstr("--compile"), "", ""},
        {kQuillon, {"--version"}, "", 0, "", StartsWith("quillon "), "", ""},
        {kVorna, {"--help"}, "", 0, "", HasSubstr("--map"), "", ""},
        {kVorna, {"--version"}, "", 0, "", StartsWith("vorna "), "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.program + " " + c.arguments.join(' ')).toStdString());
        const bool piped = c.arguments.contains("-") && c.arguments.indexOf("-") == 1;
        const std::string input = c.program == kQuillon ? kQuillonSource : "SETPAR1 PRINT";
        const auto [outcome, written] = compileIn(c.program, c.arguments, c.source, c.written,
                                                  piped ? QByteArray::fromStdString(input) : QByteArray());
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_THAT(outcome.err, c.err);
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_THAT(written, c.code);
    }
}

// The source is never written over, in any spelling, nor by the map.
TEST(CompilersCli, TheSourceIsNeverWrittenOver) {
    for (const QString& program : {kQuillon, kVorna}) {
        const std::string source = program == kQuillon ? kQuillonSource : "SETPAR1 PRINT EXIT";
        const std::pair<QStringList, const char*> cases[] = {
            {{"--compile", "prog.moxy"}, "would be written over itself: name the MOXY file with -o OUT"},
            {{"--compile", "prog.src", "-o", "prog.src"}, "is the source itself"},
            {{"--compile", "prog.src", "-o", "./../f/prog.src"}, "is the source itself"},
            {{"--compile", "prog.src", "-o", "link.moxy"}, "is the source itself"},
            {{"--compile", "other.moxy.map", "-o", "other.moxy", "--map"}, ".map is the source itself"},
        };
        for (const auto& [arguments, message] : cases) {
            SCOPED_TRACE((program + " " + arguments.join(' ')).toStdString());
            QTemporaryDir root;
            QDir(root.path()).mkdir(QStringLiteral("f"));
            const QString folder = root.filePath(QStringLiteral("f"));
            for (const char* name : {"prog.moxy", "prog.src", "other.moxy.map"})
                cli::writeFile(root, QStringLiteral("f/") + name, source);
            ASSERT_TRUE(QFile::link(folder + "/prog.src", folder + "/link.moxy"));
            const cli::Outcome outcome = cli::run(program, arguments, {}, folder);
            EXPECT_EQ(outcome.exitCode, 2);
            EXPECT_THAT(outcome.err, HasSubstr(message));
            EXPECT_EQ(cli::readFile(folder + "/" + arguments[1]), source);
            EXPECT_FALSE(QFile::exists(folder + "/other.moxy"));
        }
    }
}

// A compile without --map deletes a stale OUT.map only when it starts with the map's
// header line; a map the compiler wrote is such a one.
TEST(CompilersCli, OnlyMapsThatStartWithTheHeaderAreDeletedAsStale) {
    const std::pair<std::string, bool> cases[] = {
        {"# moxy source map\r\n1 1 1\r\n", true},
        {"# moxy source map", true},
        {"notes: call Anna\n", false},
        {"1 1 1\n", false},
        {"# moxy source maps of last week\n", false},
    };
    for (const QString& program : {kQuillon, kVorna}) {
        for (const auto& [map, deleted] : cases) {
            SCOPED_TRACE((program + " " + QString::fromStdString(map)).toStdString());
            QTemporaryDir folder;
            cli::writeFile(folder, QStringLiteral("notes.map"), map);
            cli::writeFile(folder, QStringLiteral("prog.txt"), "");
            EXPECT_EQ(cli::run(program, {"--compile", "prog.txt", "-o", "notes"}, {}, folder.path()).exitCode, 0);
            EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("notes.map"))), deleted ? "<missing>" : map);
        }
    }
}

// The map names the source place of a run-time error, in the report, --trace and --disasm;
// the runner reads maps with and without the header; a compile without --map removes the map.
TEST(CompilersCli, RunTimeErrorsNameTheirSourceLineThroughTheMap) {
    QTemporaryDir folder;
    const QString src = cli::writeFile(folder, QStringLiteral("prog.qlnp"), "dim[a]\r\nset[a]{x}\r\n\r\n  inc[a]\r\n");
    const QString moxy = folder.filePath(QStringLiteral("prog.moxy"));
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src, "--map"}).exitCode, 0);
    EXPECT_EQ(cli::readFile(moxy + ".map"), "# moxy source map\n54 2 1\n59 4 3\nname a 33150\n");
    EXPECT_THAT(cli::run(kMoxy, {"--disasm", moxy}).out, HasSubstr("     59  SelectCell 33150    ; line 4, column 3\n"));
    const cli::Outcome run = cli::run(kMoxy, {"--headless", "--trace", moxy});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("     59  SelectCell 33150    ; line 4, column 3\n"));
    EXPECT_THAT(run.err, HasSubstr("[position 62, opcode 25 Increment] (line 4, column 3); running the program once "
                                   "more from its start\n"));
    EXPECT_THAT(run.err, EndsWith("moxy: run-time error (type-mismatch): the text \"x\" is not a number "
                                  "[position 62, opcode 25 Increment] (line 4, column 3)\n"));
    for (const std::string map : {"1 7 2\n", "# moxy source map\n# written by hand\n1 7 2\n"}) {
        cli::writeFile(folder, QStringLiteral("prog.moxy.map"), map);
        EXPECT_THAT(cli::run(kMoxy, {"--headless", moxy}).err, HasSubstr("(line 7, column 2)")) << map;
    }
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src}).exitCode, 0);
    EXPECT_EQ(cli::readFile(moxy + ".map"), "<missing>");
}

// After a thousand lines of messages and warnings, one line counts the rest.
TEST(CompilersCli, AfterAThousandMessagesOneLineCountsTheRest) {
    std::string quillon, mixed, vorna, expected;
    for (int i = 0; i < 1500; ++i) {
        quillon += "inc[nobody" + std::to_string(i) + "]\n";
        vorna += "PRNT\n";
        if (i < 1000)
            expected += "prog.qlnp:" + std::to_string(i + 1) + ":1: Error: Variable doesnt exist. nobody" + std::to_string(i) + "\n";
        if (i < 1200)
            mixed += "set[x]{\xe9}\nset[y]{a}\n";
    }
    auto [outcome, code] = compileIn(kQuillon, {"--compile", "prog.qlnp"}, quillon);
    EXPECT_EQ(outcome.exitCode, 0);
    // Whatever the platform adds in front (a warning of its own) is no message.
    EXPECT_THAT(outcome.err, EndsWith(expected + "prog.qlnp: 500 more messages not shown\n"));
    std::tie(outcome, code) = compileIn(kQuillon, {"--compile", "prog.qlnp"}, "dim[x]\n" + mixed);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_THAT(outcome.err, HasSubstr("prog.qlnp: 1200 more messages not shown\n"));
    // 999 warnings and the one that counts the rest; the code is written.
    std::tie(outcome, code) = compileIn(kVorna, {"--compile", "prog.vornaproj"}, vorna, QStringLiteral("prog.moxy"));
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1000);
    EXPECT_THAT(outcome.err, HasSubstr("prog.vornaproj:1501:1: warning: 501 more warnings not reported\n"));
    EXPECT_EQ(code, "\r\n");
}

TEST(CompilersCli, CodeLargerThanTheRunnerReadsIsNotWritten) {
    // Each label{999} is 11 characters of source and 999 of code: 100,000 of them pass
    // the 64 MiB that the runner reads.
    std::string text;
    for (int i = 0; i < 100'000; ++i)
        text += "label{999}\n";
    QTemporaryDir folder;
    cli::writeFile(folder, QStringLiteral("prog.moxy"), "older");
    const auto [outcome, code] = compileIn(kQuillon, {"--compile", "prog.qlnp", "-o", folder.filePath("prog.moxy")}, text);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_THAT(outcome.err, HasSubstr("the program would be larger than 64 MiB, more than the runner reads"));
    EXPECT_TRUE(cli::readFile(folder.filePath(QStringLiteral("prog.moxy"))) == "older");  // no 64 MiB printed
}
