// The three programs' command lines through the real executables: their statuses and
// messages, the state dump and trace, where the compilers write and what they refuse to
// destroy (the source, a .map file not theirs), and the maps the runner reads.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <gmock/gmock.h>

#include <algorithm>

using moxy::Op;
using testing::_;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::loadFileProgram;
using testing_support::set;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);
const std::string kQuillonSource = "dim[x]\r\nset[x]{5}\r\nexit";
const std::string kQuillonCode = std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5\x18\r\n";

// Slots 0 and 1 (the place) hold 10 and 20, then [body], then the end.
std::string placed(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20").op(Op::SetPar2);
    body(writer);
    return writer.op(Op::End).take();
}
void printText(moxy::Writer& w) { set(w, 2, "Hi").op(Op::Print); }

}  // namespace

// Each case runs in a new folder holding [source] as prog.qlnp, prog.vornaproj, src.moxy(.map),
// p.moxy and game/p.moxy (beside game/data.txt), with link.moxy (to prog.qlnp) and huge.moxy;
// [source] is also the input of the cases that read one. Under --safe, a program started from
// elsewhere reaches its own folder's files; piped in, it reaches none.
TEST(CommandLine, StatusesMessagesAndTheWrittenFile) {
    const auto repeat = [](const std::string& text, int times) { std::string all; while (times-- > 0) all += text; return all; };
    const auto code = [](void (*body)(moxy::Writer&)) { moxy::Writer w; body(w); return w.take(); };
    std::string manyErrors;
    for (int i = 0; i < 1500; ++i)
        manyErrors += "inc[nobody" + std::to_string(i) + "]\n";
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
        {kMoxy, {"--headless", "--dump", "-", "p.moxy"}, 0, "", "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\n"
         "PicSelect 0\ncell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n", "", "", placed(printText)},
        {kMoxy, {"--headless", "--dump", "-", "\"p.moxy\""}, 0, "", EndsWith("end ended\n"), "", "", placed(printText)},  // quotes go
        {kMoxy, {"--headless", "--trace", "p.moxy"}, 0, HasSubstr("      4  Clear  -> V(33150) = \"\"\n      5  Text \"10\"  -> "
         "appended to V(33150)\n"), "", "", "", placed(printText)},
        {kMoxy, {"--headless", "--dump", "-", "p.moxy"}, 2, EndsWith("moxy: run-time error (type-mismatch): the text \"abc\" is "
         "not a number [position 8, opcode 25 Increment]\n"), EndsWith("end error type-mismatch\n"), "", "",
         code([](moxy::Writer& w) { set(w, 0, "abc").op(Op::Increment); })},
        {kMoxy, {"--headless", "--max-steps", "500", "--dump", "-", "p.moxy"}, 3, "", EndsWith("end steps\n"), "", "",
         code([](moxy::Writer& w) { set(w, 0, "1").label(1).cell(130, 130).op(Op::Jump); })},
        {kMoxy, {"--headless", "--safe", "--dump", "-", "p.moxy"}, 2, HasSubstr("/etc/hostname"), EndsWith("end error refused\n"),
         "", "", loadFileProgram("/etc/hostname")},
        {kMoxy, {"--headless", "--safe", "--dump", "-", "/dev/stdin"}, 2, _, EndsWith("end error refused\n"), "", "",
         loadFileProgram("prog.qlnp")},
        {kMoxy, {"--safe", "--headless", "--dump", "state.txt", "game/p.moxy"}, 0, "", "", "state.txt",
         testing::AllOf(HasSubstr("cell 33151 level 1"), EndsWith("end ok\n")), loadFileProgram("data.txt")},
        {"env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kMoxy, "p.moxy"}, 1, HasSubstr("no display")},
        {kMoxy, {"--headless", "--dump", "no/such/folder/dump.txt", "p.moxy"}, 1,
         testing::ContainsRegex("cannot write /.*/no/such/folder/dump.txt: No such file")},
        {kMoxy, {"--headless", "missing.moxy"}, 1, HasSubstr("cannot read missing.moxy: No such file or directory")},
        {kMoxy, {"--headless", "."}, 1, HasSubstr("Is a directory")},
        {kMoxy, {"--headless", "huge.moxy"}, 1, HasSubstr("too large for a MOXY program")},
        {kMoxy, {"--headless", "/dev/zero"}, 1, HasSubstr("too large for a MOXY program")},
        {kMoxy, {}, 1, HasSubstr("Usage:")},
        {kMoxy, {"--headless", "--max-steps", "many", "p.moxy"}, 1, HasSubstr("--max-steps takes a whole number")},
        {kMoxy, {"--headless", "--screen", "big", "p.moxy"}, 1, HasSubstr("--screen takes WIDTHxHEIGHT")},
        {kMoxy, {"--headless", "--keys", "1:Q", "p.moxy"}, 1, HasSubstr("--keys: \"1:Q\"")},
        {kMoxy, {"--headless", "a.moxy", "b.moxy"}, 1, HasSubstr("expected one FILE")},
        {kMoxy, {"--no-such-option", "a.moxy"}, 1, HasSubstr("Unknown option")},
        {kQuillon, {"--compile", "prog.qlnp"}, 0, "", "", "prog.moxy", kQuillonCode},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "-"}, 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kQuillon, {"--compile", "-", "-o", "in.moxy"}, 0, "", "", "in.moxy", kQuillonCode},
        {kQuillon, {"--compile", "-"}, 0, "", kQuillonCode, "prog.moxy", "<missing>"},
        {kQuillon, {"--compile", "prog.qlnp"}, 0,
         "prog.qlnp:2:1: Error: Variable doesnt exist. y\nprog.qlnp:3:3: Error: Variable doesnt exist. z\n"
         "prog.qlnp:5:1: Error: Variable doesnt exist. x\\r\\ny\n", "", "prog.moxy", EndsWith("\x18\r\n"),
         "dim[x]\r\nprint[x][y][x]\r\n  add[z][x][x]\n\rinc[x\r\ny]\r\nexit"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "w.moxy"}, 0,
         "prog.qlnp:2:1: warning: character code 233 in the text is MOXY opcode 233: the runner executes it instead of "
         "storing it\nprog.qlnp:3:1: Error: Variable doesnt exist. y\n", "", "w.moxy",
         std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "a\xe9" "\x1b" "b\r\n", "dim[x]\r\nset[x]{a\xe9}\r\nset[y]{b}\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "w.moxy"}, 0,
         "prog.vornaproj:2:1: warning: \"PRNT\" is not a VORNA mnemonic: the compiler passes over it\n", "", "w.moxy",
         "\x03\x18\r\n", "SETPAR1\r\nPRNT EXIT\r\n"},
        {kVorna, {"--compile", "prog.vornaproj", "-o", "out.moxy", "--map"}, 0, "", "", "out.moxy.map",
         "# moxy source map\n1 1 1\n2 2 3\n3 3 1\n", "INC\r\n  VUP DIM[x]\nLABEL"},
        {kQuillon, {"--compile", "prog.qlnp", "--map"}, 1, "prog.qlnp:2:2: Error, variable already declared.\n", "",
         "prog.moxy.map", "<missing>", "dim[a]\r\n dim[a]\r\nexit"},
        {kQuillon, {"--compile", "src.moxy"}, 2, HasSubstr("would be written over itself: name the MOXY file with -o OUT"),
         "", "src.moxy", kQuillonSource},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "link.moxy"}, 2, HasSubstr("is the source itself"), "", "prog.qlnp", kQuillonSource},
        {kQuillon, {"--compile", "src.moxy.map", "-o", "src.moxy", "--map"}, 2, HasSubstr(".map is the source itself"), "",
         "src.moxy.map", kQuillonSource},
        // Without --map a stale OUT.map goes only when its first line is the map's header.
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "<missing>", "# moxy source map\r\n1 1 1\r\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "<missing>", "# moxy source map"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "notes: call Anna\n", "notes: call Anna\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "src.moxy"}, 0, _, "", "src.moxy.map", "# moxy source maps of last week\n",
         "# moxy source maps of last week\n"},
        {kQuillon, {"--compile", "prog.qlnp"}, 0, testing::AllOf(testing::ResultOf(lines, 1001), StartsWith("prog.qlnp:1:1: Error: "
         "Variable doesnt exist. nobody0\n"), EndsWith(":1000:1: Error: Variable doesnt exist. nobody999\nprog.qlnp: 500 more "
         "messages not shown\n")), "", "", "", manyErrors},
        {kQuillon, {"--compile", "prog.qlnp"}, 0, HasSubstr("prog.qlnp: 1200 more messages not shown\n"), "", "", "",
         "dim[x]\n" + repeat("set[x]{\xe9}\nset[y]{a}\n", 1200)},
        {kVorna, {"--compile", "prog.vornaproj"}, 0, testing::AllOf(testing::ResultOf(lines, 1000),
         HasSubstr("prog.vornaproj:1501:1: warning: 501 more warnings not reported\n")), "", "prog.moxy", "\r\n", repeat("PRNT\n", 1500)},
        // Each label{999} is 11 characters of source and 999 of code.
        {kQuillon, {"--compile", "prog.qlnp"}, 2, HasSubstr("the program would be larger than 64 MiB, more than the runner reads"),
         "", "prog.moxy", "<missing>", repeat("label{999}\n", 100'000)},
        {kQuillon, {"--compile", "missing.qlnp"}, 2, "quillon: cannot read missing.qlnp: No such file or directory\n"},
        {kQuillon, {"--compile", "."}, 2, "quillon: cannot read .: Is a directory\n"},
        {kQuillon, {"--compile", "prog.qlnp", "-o", "no/such.moxy"}, 2, StartsWith("quillon: cannot write no/such.moxy: ")},
        {kVorna, {"--compile", "prog.vornaproj", "--map", "-o", "."}, 2, StartsWith("vorna: cannot write .")},
        {kVorna, {"--bogus"}, 2, StartsWith("vorna: Unknown option 'bogus'.")},
        {kQuillon, {"--help"}, 0, "", HasSubstr("--compile")},  // the package test runs --version
        {kQuillon, {"a.qlnp", "b.qlnp"}, 2, HasSubstr("expected at most one FILE")},
        {kQuillon, {"-o", "x.moxy"}, 2, HasSubstr("-o and --map go with --compile")},
        {kQuillon, {"--compile", "a.qlnp", "b.qlnp"}, 2, HasSubstr("--compile takes no FILE")},
        {kQuillon, {"--compile", "a.qlnp", "-o", "-", "--map"}, 2, HasSubstr("--map needs a named OUT")},
        {kQuillon, {"--compile"}, 2, HasSubstr("Missing value after '--compile'")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.program + " " + c.arguments.join(' ')).toStdString());
        QTemporaryDir folder;
        QDir(folder.path()).mkdir(QStringLiteral("game"));
        for (const char* name : {"prog.qlnp", "prog.vornaproj", "src.moxy", "src.moxy.map", "p.moxy", "game/p.moxy"})
            cli::writeFile(folder, QString::fromLatin1(name), c.source);
        cli::writeFile(folder, QStringLiteral("game/data.txt"), "level 1\r\n");
        QFile::link(folder.filePath(QStringLiteral("prog.qlnp")), folder.filePath(QStringLiteral("link.moxy")));
        QFile huge(folder.filePath(QStringLiteral("huge.moxy")));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize((qint64{64} << 20) + 1));  // sparse
        const bool piped = c.arguments.contains("-") || c.arguments.contains("/dev/stdin");
        const cli::Outcome outcome =
            cli::run(c.program, c.arguments, piped ? QByteArray::fromStdString(c.source) : QByteArray(), folder.path());
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_THAT(outcome.err, c.err);
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_THAT(c.written.isEmpty() ? "" : cli::readFile(folder.filePath(c.written)), c.code);
    }
}

// The map names the source place of a run-time error in the report and in --trace.
TEST(CommandLine, RunTimeErrorsNameTheirSourceLineThroughTheMap) {
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
}
