// File reads and writes of the three executables where the system pushes back: a full
// disk, device nodes, FIFOs, a program piped in and --safe started from another folder.
// Device nodes and the full disk (a small tmpfs) are made inside temporary folders and
// need root; without it those tests are skipped.
#include "cli_support.h"
#include "moxy/format.h"
#include "support/program_builder.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <gmock/gmock.h>

using moxy::Op;
using testing::HasSubstr;
using testing_support::loadFileProgram;
using testing_support::writeFileProgram;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);

// The dump's last line: "end ok", "end error refused", ...
std::string endOf(const cli::Outcome& outcome) {
    const std::size_t at = outcome.out.rfind("end ");
    return at == std::string::npos ? "<no dump>" : outcome.out.substr(at, outcome.out.find('\n', at) - at);
}

mode_t kindOf(const QString& path) {
    struct stat status {};
    return ::lstat(path.toLocal8Bit().constData(), &status) == 0 ? (status.st_mode & S_IFMT) : 0;
}

class FileFaults : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small disk and making device nodes need root";
    }
    QTemporaryDir folder;
    QString file(const QString& name, const std::string& bytes) { return cli::writeFile(folder, name, bytes); }
    QString quillonSource() { return file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit"); }
    QString vornaSource() { return file(QStringLiteral("prog.vornaproj"), "EXIT"); }
};
class UnprivilegedFileFaults : public FileFaults {
    void SetUp() override {}
};

}  // namespace

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
        {kVorna, {"--compile", vornaSource(), "-o", "prog.moxy", "--map"}, "prog.moxy.map", 2, 1},
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
    testing_support::set(picture, 0, fifo.toStdString()).op(Op::LoadPicture);
    const struct {
        QString program;
        QStringList arguments;
        int exitCode;
        std::string end;  // the dump's end line, when the runner runs
        QString special;
    } cases[] = {
        {kMoxy, {"--headless", "--dump", node, ending}, 0, "", node},
        {kMoxy, {"--headless", "--screenshot", node, ending}, 0, "", node},
        {kMoxy, {"--headless", "--dump", "-", program(writeFileProgram(node.toStdString(), "x"))}, 0, "end ok", node},
        {kMoxy, {"--headless", "--safe", "--dump", "-", program(writeFileProgram(node.toStdString(), "x"))}, 2,
         "end error refused", node},
        {kQuillon, {"--compile", quillonSource(), "-o", node}, 0, "", node},
        {kQuillon, {"--compile", quillonSource(), "-o", "/dev/stdout"}, 0, "", "/dev/stdout"},
        {kMoxy, {"--headless", "--dump", "-", program(loadFileProgram(fifo.toStdString()))}, 2, "end error not-a-regular-file", fifo},
        {kMoxy, {"--headless", "--dump", "-", program(picture.take())}, 2, "end error not-a-regular-file", fifo},
        {kMoxy, {"--headless", "--dump", "-", program(writeFileProgram(fifo.toStdString(), "x"))}, 2, "end error file-error", fifo},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const mode_t kind = kindOf(c.special);
        const cli::Outcome outcome = cli::run(c.program, c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_EQ(c.end.empty() ? "" : endOf(outcome), c.end);
        EXPECT_EQ(kindOf(c.special), kind);
    }
}

// Under --safe the runner works in the program's folder: relative names reach the
// program's own files when it is started from elsewhere, and --dump still writes where
// the user meant.
TEST_F(UnprivilegedFileFaults, SafeProgramWorksInItsOwnFolder) {
    QDir(folder.path()).mkpath(QStringLiteral("game"));
    QDir(folder.path()).mkpath(QStringLiteral("elsewhere"));
    file(QStringLiteral("game/data.txt"), "level 1\r\n");
    moxy::Writer writer;
    testing_support::set(writer, 0, "data.txt").op(Op::SetPar1);
    testing_support::slot(writer, 1).system(moxy::SubCode::LoadFile);
    testing_support::set(writer, 0, "saved.txt").op(Op::SetPar1);
    testing_support::slot(writer, 1).system(moxy::SubCode::WriteFile);
    const QString program = file(QStringLiteral("game/prog.moxy"), writer.take());
    const cli::Outcome outcome = cli::run(kMoxy, {"--safe", "--headless", "--dump", "state.txt", program}, {},
                                          folder.filePath(QStringLiteral("elsewhere")));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("game/saved.txt"))), "level 1\r\n\r\n");
    EXPECT_THAT(cli::readFile(folder.filePath(QStringLiteral("elsewhere/state.txt"))), HasSubstr("end ok"));
}
