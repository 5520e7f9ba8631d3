// The runner's command line through the real executable (its exit statuses, the state
// dump, its messages), and file reads and writes of the three executables where the
// system pushes back: a full disk, device nodes, FIFOs, --safe started from another
// folder. Device nodes and the full disk (a small tmpfs) are made inside temporary folders
// and need root; without it those tests are skipped.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <QImage>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <gmock/gmock.h>

using moxy::Op;
using testing::_;
using testing::EndsWith;
using testing::HasSubstr;
using testing_support::loadFileProgram;
using testing_support::set;
using testing_support::writeFileProgram;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);

std::string program(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    body(writer);
    return writer.take();
}
// Slots 0 and 1 (the place) hold 10 and 20, then [body], then the end.
std::string placed(void (*body)(moxy::Writer&)) {
    moxy::Writer writer;
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20").op(Op::SetPar2);
    body(writer);
    return writer.op(Op::End).take();
}
void printText(moxy::Writer& w) { set(w, 2, "Hi").op(Op::Print); }
void paintPicture(moxy::Writer& w) {
    w.op(Op::NewPictureHolder);
    set(w, 2, "1").op(Op::SelectPictureHolder);
    set(w, 3, "red.png").op(Op::LoadPicture);
    set(w, 4, "8").op(Op::SetRes).op(Op::PaintPicture);
}
void pictureAndText(moxy::Writer& w) { paintPicture(w); printText(w); }

mode_t kindOf(const QString& path) {
    struct stat status {};
    return ::lstat(path.toLocal8Bit().constData(), &status) == 0 ? (status.st_mode & S_IFMT) : 0;
}

class MoxyCli : public testing::Test {
protected:
    void SetUp() override {
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        ASSERT_TRUE(red.save(folder.filePath(QStringLiteral("red.png"))));
    }
    QTemporaryDir folder;
    QString file(const QString& name, const std::string& bytes) { return cli::writeFile(folder, name, bytes); }
    QString quillonSource() { return file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit"); }
};
class FileFaults : public MoxyCli {
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small disk and making device nodes need root";
    }
};

}  // namespace

// Run in a folder of its own; "P" among the arguments is the case's program. A run without
// a window makes its fonts and picture decoders ready only when the program first prints
// text or uses a picture: such runs work and say nothing about it.
TEST_F(MoxyCli, StatusesAndMessages) {
    QFile huge(folder.filePath(QStringLiteral("huge.moxy")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize((qint64{64} << 20) + 1));  // sparse
    const struct {
        QStringList arguments;
        std::string program;
        int exitCode;
        testing::Matcher<std::string> out;
        testing::Matcher<std::string> err;
        std::string input = {};
    } cases[] = {
        {{"--headless", "--dump", "-", "P"}, placed(printText), 0,
         "Pointer 33152\nPar1 33150\nPar2 33151\nRes 0\nVarTop 33152\nPicSelect 0\n"
         "cell 33150 10\ncell 33151 20\ncell 33152 Hi\nend ended\n", ""},
        {{"--headless", "--dump", "-", "\"P\""}, placed(printText), 0, EndsWith("end ended\n"), ""},  // quotes go
        {{"--headless", "P"}, placed(pictureAndText), 0, "", ""},
        {{"--headless", "--trace", "P"}, placed(printText), 0, "",
         HasSubstr("      4  Clear  -> V(33150) = \"\"\n      5  Text \"10\"  -> appended to V(33150)\n")},
        {{"--headless", "--dump", "-", "P"}, program([](moxy::Writer& w) { set(w, 0, "abc").op(Op::Increment); }), 2,
         EndsWith("end error type-mismatch\n"), EndsWith("moxy: run-time error (type-mismatch): the text \"abc\" is not a number "
         "[position 8, opcode 25 Increment]\n")},
        {{"--headless", "--max-steps", "500", "--dump", "-", "P"},
         program([](moxy::Writer& w) { set(w, 0, "1").label(1).cell(130, 130).op(Op::Jump); }), 3, EndsWith("end steps\n"), ""},
        {{"--headless", "--safe", "--dump", "-", "P"}, loadFileProgram("/etc/hostname"), 2,
         EndsWith("end error refused\n"), HasSubstr("/etc/hostname")},
        // A program piped in has no folder of its own: under --safe it reaches no file.
        {{"--headless", "--safe", "--dump", "-", "/dev/stdin"}, "", 2, EndsWith("end error refused\n"), _,
         loadFileProgram("red.png")},
        {{"--headless", "--dump", "no/such/folder/dump.txt", "P"}, "", 1, "", testing::ContainsRegex("cannot write /.*/no/such/folder/dump.txt: No such file")},
        {{"--headless", "missing.moxy"}, "", 1, "", HasSubstr("cannot read missing.moxy: No such file or directory")},
        {{"--headless", "."}, "", 1, "", HasSubstr("Is a directory")},
        {{"--headless", "huge.moxy"}, "", 1, "", HasSubstr("too large for a MOXY program")},
        {{"--headless", "/dev/zero"}, "", 1, "", HasSubstr("too large for a MOXY program")},
        {{}, "", 1, "", HasSubstr("Usage:")},
        {{"--headless", "--max-steps", "many", "P"}, "", 1, "", HasSubstr("--max-steps takes a whole number")},
        {{"--headless", "--screen", "big", "P"}, "", 1, "", HasSubstr("--screen takes WIDTHxHEIGHT")},
        {{"--headless", "--keys", "1:Q", "P"}, "", 1, "", HasSubstr("--keys: \"1:Q\"")},
        {{"--headless", "a.moxy", "b.moxy"}, "", 1, "", HasSubstr("expected one FILE")},
        {{"--no-such-option", "a.moxy"}, "", 1, "", HasSubstr("Unknown option")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        cli::writeFile(folder, QStringLiteral("p.moxy"), c.program);
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(QStringLiteral("P"), QStringLiteral("p.moxy"));
        const cli::Outcome outcome = cli::run(kMoxy, arguments, QByteArray::fromStdString(c.input), folder.path());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_THAT(outcome.err, c.err);
    }
}

TEST_F(MoxyCli, WithoutADisplayTheWindowModeSaysSo) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(kMoxy, {cli::writeFile(folder, QStringLiteral("p.moxy"), placed(printText))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_THAT(process.readAllStandardError().toStdString(), HasSubstr("no display"));
}

// Every writer, on a full disk (with one page left where a compile writes its MOXY file
// and then its map): the failure is reported in the system's words, the previous file
// stays whole and no temporary file is left behind.
TEST_F(FileFaults, FullDiskReportsTheFailureAndKeepsTheOldFile) {
    const QString ending = file(QStringLiteral("e.moxy"), "\x18");
    const QString writer = file(QStringLiteral("w.moxy"), writeFileProgram("old.txt", "new"));
    const struct {
        QString program;
        QStringList arguments;  // run in the full disk's folder
        QString target;
        int exitCode;
        int pagesLeft;
    } cases[] = {
        {kMoxy, {"--headless", writer}, "old.txt", 2, 0},
        {kMoxy, {"--headless", "--dump", "old.dump", ending}, "old.dump", 1, 0},
        {kMoxy, {"--headless", "--screenshot", "old.png", ending}, "old.png", 1, 0},
        {kQuillon, {"--compile", quillonSource(), "-o", "old.moxy"}, "old.moxy", 2, 0},
        {kQuillon, {"--compile", quillonSource(), "-o", "prog.moxy", "--map"}, "prog.moxy.map", 2, 1},
        {kVorna, {"--compile", file(QStringLiteral("prog.vornaproj"), "EXIT"), "-o", "prog.moxy", "--map"}, "prog.moxy.map", 2, 1},
    };
    const std::string old = "# moxy source map\n1 1 1\n";  // the old file: a map, for the maps' sake
    const QString disk = folder.filePath(QStringLiteral("disk"));
    for (const auto& c : cases) {
        SCOPED_TRACE((c.program + " " + c.arguments.join(' ')).toStdString());
        QDir().mkpath(disk);
        if (::mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
        cli::writeFile(folder, "disk/" + c.target, old);
        const int filler = ::open((disk + "/filler").toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0600);
        const std::string page(4096, 'f');
        off_t size = 0;
        for (ssize_t written; (written = ::write(filler, page.data(), page.size())) > 0;)
            size += written;
        EXPECT_EQ(::ftruncate(filler, std::max<off_t>(0, size - 4096 * c.pagesLeft)), 0);
        ::close(filler);

        const cli::Outcome outcome = cli::run(c.program, c.arguments, {}, disk);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.err, HasSubstr("No space left on device"));
        EXPECT_EQ(cli::readFile(disk + "/" + c.target), old);
        EXPECT_EQ(QDir(disk).entryList(QDir::Files | QDir::Hidden).size(), 2 + c.pagesLeft) << "a temporary file was left";
        if (c.pagesLeft > 0)
            EXPECT_THAT(outcome.err, HasSubstr(c.target.toStdString()));
        if (::umount2(disk.toLocal8Bit().constData(), 0) != 0)
            ::umount2(disk.toLocal8Bit().constData(), MNT_DETACH);
    }
}

// A device node (made here, never a system one), a FIFO and standard output named as a
// file are written into, never replaced; under --safe the device is refused; the runner
// reads none of them, and refuses the FIFO nobody writes to at once instead of waiting.
TEST_F(FileFaults, SpecialFilesAreWrittenIntoAndNeverReplaced) {
    const QString node = folder.filePath(QStringLiteral("null"));
    ASSERT_EQ(::mknod(node.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString ending = file(QStringLiteral("e.moxy"), "\x18");
    int programs = 0;
    const auto program = [&](const std::string& code) { return file(QString::number(++programs) + ".moxy", code); };
    moxy::Writer picture;
    set(picture, 0, fifo.toStdString()).op(Op::LoadPicture);
    const struct {
        QString program;
        QStringList arguments;
        int exitCode;
        testing::Matcher<std::string> out;
        QString special;
    } cases[] = {
        {kMoxy, {"--headless", "--dump", node, ending}, 0, "", node},
        {kMoxy, {"--headless", "--screenshot", node, ending}, 0, "", node},
        {kMoxy, {"--headless", "--dump", "-", program(writeFileProgram(node.toStdString(), "x"))}, 0, EndsWith("end ok\n"), node},
        {kMoxy, {"--headless", "--safe", "--dump", "-", program(writeFileProgram(node.toStdString(), "x"))}, 2,
         EndsWith("end error refused\n"), node},
        {kQuillon, {"--compile", quillonSource(), "-o", node}, 0, "", node},
        {kQuillon, {"--compile", quillonSource(), "-o", "/dev/stdout"}, 0, EndsWith("\x18\r\n"), "/dev/stdout"},
        {kMoxy, {"--headless", "--dump", "-", program(loadFileProgram(fifo.toStdString()))}, 2, EndsWith("end error not-a-regular-file\n"), fifo},
        {kMoxy, {"--headless", "--dump", "-", program(picture.take())}, 2, EndsWith("end error not-a-regular-file\n"), fifo},
        {kMoxy, {"--headless", "--dump", "-", program(writeFileProgram(fifo.toStdString(), "x"))}, 2, EndsWith("end error file-error\n"), fifo},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const mode_t kind = kindOf(c.special);
        const cli::Outcome outcome = cli::run(c.program, c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_EQ(kindOf(c.special), kind);
    }
}

// Under --safe the runner works in the program's folder: relative names reach the
// program's own files when it is started from elsewhere, and --dump still writes where
// the user meant.
TEST_F(MoxyCli, SafeProgramWorksInItsOwnFolder) {
    QDir(folder.path()).mkpath(QStringLiteral("game"));
    QDir(folder.path()).mkpath(QStringLiteral("elsewhere"));
    file(QStringLiteral("game/data.txt"), "level 1\r\n");
    moxy::Writer writer;
    set(writer, 0, "data.txt").op(Op::SetPar1);
    testing_support::slot(writer, 1).system(moxy::SubCode::LoadFile);
    set(writer, 0, "saved.txt").op(Op::SetPar1);
    testing_support::slot(writer, 1).system(moxy::SubCode::WriteFile);
    const QString program = file(QStringLiteral("game/prog.moxy"), writer.take());
    const cli::Outcome outcome = cli::run(kMoxy, {"--safe", "--headless", "--dump", "state.txt", program}, {},
                                          folder.filePath(QStringLiteral("elsewhere")));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("game/saved.txt"))), "level 1\r\n\r\n");
    EXPECT_THAT(cli::readFile(folder.filePath(QStringLiteral("elsewhere/state.txt"))), HasSubstr("end ok"));
}
