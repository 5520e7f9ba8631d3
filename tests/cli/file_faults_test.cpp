// The three programs' file writes where the system pushes back. On a full disk (a small tmpfs
// with [pagesLeft] pages free, where a compile writes its MOXY file and then its map): the
// failure in the system's words, the old file whole, no temporary file left. A device node
// (made here), a FIFO and standard output are written into, never replaced; under --safe the
// device is refused; the runner reads none of them and refuses a FIFO at once instead of
// waiting for a writer. Mounting and mknod need root: skipped without it.
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

using testing::EndsWith;
using testing::HasSubstr;
using testing_support::loadFileProgram;
using testing_support::writeFileProgram;

TEST(FileFaults, WritesWhereTheSystemPushesBack) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk and making device nodes need root";
    const QString moxy = QStringLiteral(MOXY_EXE), quillon = QStringLiteral(QUILLON_EXE);
    QTemporaryDir folder;
    int programs = 0;
    const auto program = [&](const std::string& code) { return cli::writeFile(folder, QString::number(++programs) + ".moxy", code); };
    const QString node = folder.filePath(QStringLiteral("null")), fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mknod(node.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString ending = program("\x18"), source = cli::writeFile(folder, QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit");
    moxy::Writer picture;
    testing_support::set(picture, 0, fifo.toStdString()).op(moxy::Op::LoadPicture);
    const struct {
        QString program;
        QStringList arguments;
        int exitCode;
        QString target;  // on the full disk when [pagesLeft] >= 0, else a special file
        int pagesLeft = -1;
        testing::Matcher<std::string> out = "";
    } cases[] = {
        {moxy, {"--headless", program(writeFileProgram("old.txt", "new"))}, 2, "old.txt", 0},
        {moxy, {"--headless", "--screenshot", "old.png", ending}, 1, "old.png", 0},
        {quillon, {"--compile", source, "-o", "prog.moxy", "--map"}, 2, "prog.moxy.map", 1},
        {moxy, {"--headless", "--dump", node, ending}, 0, node},
        {moxy, {"--headless", "--safe", "--dump", "-", program(writeFileProgram(node.toStdString(), "x"))}, 2, node, -1,
         EndsWith("end error refused\n")},
        {quillon, {"--compile", source, "-o", "/dev/stdout"}, 0, "/dev/stdout", -1, EndsWith("\x18\r\n")},
        {moxy, {"--headless", "--dump", "-", program(loadFileProgram(fifo.toStdString()))}, 2, fifo, -1,
         EndsWith("end error not-a-regular-file\n")},
        {moxy, {"--headless", "--dump", "-", program(picture.take())}, 2, fifo, -1, EndsWith("end error not-a-regular-file\n")},
        {moxy, {"--headless", "--dump", "-", program(writeFileProgram(fifo.toStdString(), "x"))}, 2, fifo, -1,
         EndsWith("end error file-error\n")},
    };
    const auto kind = [](const QString& path) {
        struct stat status {};
        return ::lstat(path.toLocal8Bit().constData(), &status) == 0 ? (status.st_mode & S_IFMT) : 0;
    };
    const std::string old = "# moxy source map\n1 1 1\n";  // the old file: a map, for the maps' sake
    const QString disk = folder.filePath(QStringLiteral("disk"));
    QDir().mkpath(disk);
    for (const auto& c : cases) {
        SCOPED_TRACE((c.program + " " + c.arguments.join(' ')).toStdString());
        const bool full = c.pagesLeft >= 0;
        const QString target = full ? disk + "/" + c.target : c.target;
        if (full) {
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
        }
        const mode_t before = kind(target);
        const cli::Outcome outcome = cli::run(c.program, c.arguments, {}, full ? disk : folder.path());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.out, c.out);
        EXPECT_EQ(kind(target), before);
        if (!full)
            continue;
        EXPECT_THAT(outcome.err, HasSubstr("No space left on device"));
        EXPECT_EQ(cli::readFile(target), old);
        EXPECT_EQ(QDir(disk).entryList(QDir::Files | QDir::Hidden).size(), 2 + c.pagesLeft) << "a temporary file was left";
        if (c.pagesLeft > 0)
            EXPECT_THAT(outcome.err, HasSubstr(c.target.toStdString()));
        if (::umount2(disk.toLocal8Bit().constData(), 0) != 0)
            ::umount2(disk.toLocal8Bit().constData(), MNT_DETACH);
    }
}
