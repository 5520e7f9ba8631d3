// `quillon --compile` and `vorna --compile` through the real executables: where they
// write, what they say and with which status, what they refuse to destroy (the source, a
// .map file that is not one of theirs), and the maps the real runner reads.
#include "cli_support.h"
#include "moxy/format.h"

#include <gmock/gmock.h>

#include <algorithm>

using testing::_;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);
const QString kMoxy = QStringLiteral(MOXY_EXE);
const std::string kQuillonSource = "dim[x]\r\nset[x]{5}\r\nexit";
const std::string kQuillonCode = std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5\x18\r\n";

// Runs [program] with [arguments] in a new folder that holds [source] as prog.qlnp,
// prog.vornaproj, src.moxy and src.moxy.map, and link.moxy, a link to prog.qlnp; returns
// the outcome and the content of the file [written] ("<missing>" when there is none).
std::pair<cli::Outcome, std::string> compileIn(const QString& program, const QStringList& arguments, const std::string& source,
                                               const QString& written = {}, const QByteArray& input = {}) {
    QTemporaryDir folder;
    for (const char* name : {"prog.qlnp", "prog.vornaproj", "src.moxy", "src.moxy.map"})
        cli::writeFile(folder, QString::fromLatin1(name), source);
    QFile::link(folder.filePath(QStringLiteral("prog.qlnp")), folder.filePath(QStringLiteral("link.moxy")));
    const cli::Outcome outcome = cli::run(program, arguments, input, folder.path());
    return {outcome, written.isEmpty() ? "" : cli::readFile(folder.filePath(written))};
}

}  // namespace

// [source] is also the standard input of the cases that read it.
TEST(CompilersCli, StatusesMessagesAndTheWrittenFile) {
    std::string manyErrors, mixed, manyWarnings, thousand, labels;
    for (int i = 0; i < 1500; ++i) {
        manyErrors += "inc[nobody" + std::to_string(i) + "]\n";
        manyWarnings += "PRNT\n";
        if (i < 1000)
            thousand += "prog.qlnp:" + std::to_string(i + 1) + ":1: Error: Variable doesnt exist. nobody" + std::to_string(i) + "\n";
        if (i < 1200)
            mixed += "set[x]{\xe9}\nset[y]{a}\n";
    }
    // Each label{999} is 11 characters of source and 999 of code: 100,000 of them pass the
    // 64 MiB that the runner reads.
    for (int i = 0; i < 100'000; ++i)
        labels += "label{999}\n";
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    const struct {
        QString program;
        QStringList arguments;
        int exitCode;
        testing::Matcher<std::string> err;
        testing::Matcher<std::string> out = "";
        QString written = {};  // a file whose content must match [code]
        testing::Matcher<std::string> code = "";
        std::string source = kQuillonSource;
    } cases[] = {
        {kQuillon, {"--compile", "prog.qlnp"}, 0, "", "", "prog.moxy", kQuillonCode},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "other.moxy"}, 0, "", "", "other.moxy", kQuillonCode},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "-"}, 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kQuillon, {"--compile", "-", "-o", "in.moxy"}, 0, "", "", "in.moxy", kQuillonCode},
        {kQuillon, {"--compile", "-"}, 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kVorna, {"--compile", "-", "-o", "-"}, 0, "", "\x03\xfd\r\n", "prog.moxy", "<missing>", "SETPAR1 PRINT"},
        // Messages name the statement's place; a name's line ends are written as escapes.
        {kQuillon, {"--compile", "prog.qlnp"}, 0,
         "prog.qlnp:2:1: Error: Variable doesnt exist. y\nprog.qlnp:3:3: Error: Variable doesnt exist. z\n"
         "prog.qlnp:5:1: Error: Variable doesnt exist. x\\r\\ny\n", "", "prog.moxy", EndsWith("\x18\r\n"),
         "dim[x]\r\nprint[x][y][x]\r\n  add[z][x][x]\n\rinc[x\r\ny]\r\nexit"},
        // Warnings are written like messages and change nothing else.
        {kQuillon, {"--compile", "prog.qlnp", "-o", "w.moxy"}, 0,
         "prog.qlnp:2:1: warning: character code 233 in the text is MOXY opcode 233: the runner executes it instead of "
         "storing it\nprog.qlnp:3:1: Error: Variable doesnt exist. y\n", "", "w.moxy",
         std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "a\xe9" "\x1b" "b\r\n", "dim[x]\r\nset[x]{a\xe9}\r\nset[y]{b}\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "w.moxy"}, 0,
         "prog.vornaproj:2:1: warning: \"PRNT\" is not a VORNA mnemonic: the compiler passes over it\n", "", "w.moxy",
         "\x03\x18\r\n", "SETPAR1\r\nPRNT EXIT\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "out.moxy", "--map"}, 0, "", "", "out.moxy.map",
         "# moxy source map\n1 1 1\n2 2 3\n3 3 1\n", "INC\r\n  VUP DIM[x]\nLABEL"},
        // A declaration error abandons the compile: status 1, nothing written, no map.
        {kQuillon, {"--compile", "prog.qlnp", "--map"}, 1, "prog.qlnp:2:2: Error, variable already declared.\n", "",
         "prog.moxy.map", "<missing>", "dim[a]\r\n dim[a]\r\nexit"},
        // The source is never written over, in any spelling, nor by the map.
        {kQuillon, {"--compile", "src.moxy"}, 2, HasSubstr("would be written over itself: name the MOXY file with -o OUT"),
         "", "src.moxy", kQuillonSource},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "prog.vornaproj"}, 2, HasSubstr("is the source itself"), "",
         "prog.vornaproj", kQuillonSource},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "./prog.qlnp"}, 2, HasSubstr("is the source itself"), "", "prog.qlnp", kQuillonSource},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "link.moxy"}, 2, HasSubstr("is the source itself"), "", "prog.qlnp", kQuillonSource},
        {kQuillon, {"--compile", "src.moxy.map", "-o", "src.moxy", "--map"}, 2, HasSubstr(".map is the source itself"), "",
         "src.moxy.map", kQuillonSource},
        // A compile without --map deletes a stale OUT.map only when it starts with the map's header line.
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "<missing>", "# moxy source map\r\n1 1 1\r\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "<missing>", "# moxy source map"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "notes: call Anna\n", "notes: call Anna\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "1 1 1\n", "1 1 1\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "# moxy source maps of last week\n",
         "# moxy source maps of last week\n"},
        // After a thousand lines of messages and warnings, one line counts the rest.
        {kQuillon, {"--compile", "prog.qlnp"}, 0, EndsWith(thousand + "prog.qlnp: 500 more messages not shown\n"), "", "", "",
         manyErrors},
        {kQuillon, {"--compile", "prog.qlnp"}, 0, HasSubstr("prog.qlnp: 1200 more messages not shown\n"), "", "", "", "dim[x]\n" + mixed},
        {kVorna, {"--compile", "prog.vornaproj"}, 0, testing::AllOf(testing::ResultOf(lines, 1000),
         HasSubstr("prog.vornaproj:1501:1: warning: 501 more warnings not reported\n")), "", "prog.moxy", "\r\n", manyWarnings},
        {kQuillon, {"--compile", "prog.qlnp"}, 2, HasSubstr("the program would be larger than 64 MiB, more than the runner reads"),
         "", "prog.moxy", "<missing>", labels},
        {kQuillon, {"--compile", "missing.qlnp"}, 2, "quillon: cannot read missing.qlnp: No such file or directory\n"},
        {kQuillon, {"--compile", "."}, 2, "quillon: cannot read .: Is a directory\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "no/such.moxy"}, 2, StartsWith("quillon: cannot write no/such.moxy: ")},
        {kVorna, {"--compile", "prog.vornaproj", "--map", "-o", "."}, 2, StartsWith("vorna: cannot write .")},
        {kVorna, {"--bogus"}, 2, StartsWith("vorna: Unknown option 'bogus'.")},
        {kQuillon, {"--no-such-option"}, 2, HasSubstr("Unknown option")},
        {kQuillon, {"--help"}, 0, "", HasSubstr("--compile")},  // the package test runs --version
        {kQuillon, {"a.qlnp", "b.qlnp"}, 2, HasSubstr("expected at most one FILE")},
        {kQuillon, {"-o", "x.moxy"}, 2, HasSubstr("-o and --map go with --compile")},
        {kQuillon, {"--compile", "a.qlnp", "b.qlnp"}, 2, HasSubstr("--compile takes no FILE")},
        {kQuillon, {"--compile", "a.qlnp", "-o", "-", "--map"}, 2, HasSubstr("--map needs a named OUT")},
        {kQuillon, {"--compile"}, 2, HasSubstr("Missing value after '--compile'")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.program + " " + c.arguments.join(' ')).toStdString());
        const bool piped = c.arguments.indexOf("-") == 1;
        const auto [outcome, written] =
            compileIn(c.program, c.arguments, c.source, c.written, piped ? QByteArray::fromStdString(c.source) : QByteArray());
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_THAT(outcome.err, c.err);
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_THAT(written, c.code);
    }
}

// The map names the source place of a run-time error in the report and in --trace; the
// runner reads maps with and without the header; a compile without --map removes the map.
TEST(CompilersCli, RunTimeErrorsNameTheirSourceLineThroughTheMap) {
    QTemporaryDir folder;
    const QString src = cli::writeFile(folder, QStringLiteral("prog.qlnp"), "dim[a]\r\nset[a]{x}\r\n\r\n  inc[a]\r\n");
    const QString moxy = folder.filePath(QStringLiteral("prog.moxy"));
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src, "--map"}).exitCode, 0);
    EXPECT_EQ(cli::readFile(moxy + ".map"), "# moxy source map\n54 2 1\n59 4 3\nname a 33150\n");
    const cli::Outcome run = cli::run(kMoxy, {"--headless", "--trace", moxy});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("     59  SelectCell 33150    ; line 4, column 3\n"));
    EXPECT_THAT(run.err, EndsWith("moxy: run-time error (type-mismatch): the text \"x\" is not a number "
                                  "[position 62, opcode 25 Increment] (line 4, column 3)\n"));
    for (const std::string map : {"1 7 2\n", "# moxy source map\n# written by hand\n1 7 2\n"}) {
        cli::writeFile(folder, QStringLiteral("prog.moxy.map"), map);
        EXPECT_THAT(cli::run(kMoxy, {"--headless", moxy}).err, HasSubstr("(line 7, column 2)")) << map;
    }
    ASSERT_EQ(cli::run(kQuillon, {"--compile", src}).exitCode, 0);
    EXPECT_EQ(cli::readFile(moxy + ".map"), "<missing>");
}
