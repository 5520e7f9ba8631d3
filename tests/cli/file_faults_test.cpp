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
#include <chrono>
#include <thread>

#include <gmock/gmock.h>

using moxy::Op;
using moxy::SubCode;
using testing::HasSubstr;
using testing_support::set;
using testing_support::slot;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);
const QString kQuillon = QStringLiteral(QUILLON_EXE);
const QString kVorna = QStringLiteral(VORNA_EXE);
const std::string kOld = "the old file, kept whole\r\n";

std::string pictureProgram(const std::string& path) {
    moxy::Writer writer;
    set(writer, 0, path).op(Op::LoadPicture);
    return writer.take();
}

// The dump's last line: "end ok", "end error refused", ...
std::string endOf(const cli::Outcome& outcome) {
    const std::size_t at = outcome.out.rfind("end ");
    return at == std::string::npos ? "<no dump>" : outcome.out.substr(at, outcome.out.find('\n', at) - at);
}

std::string local(const QString& path) { return path.toStdString(); }

mode_t kindOf(const QString& path) {
    struct stat status {};
    return ::lstat(path.toLocal8Bit().constData(), &status) == 0 ? (status.st_mode & S_IFMT) : 0;
}

// A tmpfs of [kib] KiB mounted on a folder of its own, unmounted when it goes.
class SmallDisk {
public:
    SmallDisk(const QTemporaryDir& parent, int kib) : m_path(parent.filePath(QStringLiteral("disk"))) {
        QDir().mkpath(m_path);
        const std::string options = "size=" + std::to_string(kib) + "k,mode=0700";
        m_mounted = ::mount("tmpfs", m_path.toLocal8Bit().constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                            options.c_str()) == 0;
        if (!m_mounted)
            m_reason = std::strerror(errno);
    }
    ~SmallDisk() {
        if (m_mounted && ::umount2(m_path.toLocal8Bit().constData(), 0) != 0)
            ::umount2(m_path.toLocal8Bit().constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& reason() const { return m_reason; }
    QString filePath(const QString& name) const { return m_path + QLatin1Char('/') + name; }

    // Fills the disk to its last byte; with [leavePages], that many pages stay free.
    void fill(int leavePages = 0) {
        const QByteArray filler = filePath(QStringLiteral("filler")).toLocal8Bit();
        const int descriptor = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(descriptor, 0);
        const std::string page(4096, 'f');
        off_t size = 0;
        for (ssize_t written; (written = ::write(descriptor, page.data(), page.size())) > 0;)
            size += written;
        if (leavePages > 0) {
            ASSERT_EQ(::ftruncate(descriptor, std::max<off_t>(0, size - 4096 * leavePages)), 0);
        }
        ::close(descriptor);
    }

private:
    QString m_path;
    bool m_mounted = false;
    std::string m_reason;
};

class FileFaults : public testing::Test {
protected:
    QTemporaryDir folder;
    QString file(const QString& name, const std::string& bytes) { return cli::writeFile(folder, name, bytes); }
    static bool skipUnlessRoot() {
        if (::geteuid() == 0)
            return false;
        std::printf("skipped: mounting a small disk and making device nodes need root\n");
        return true;
    }
};

}  // namespace

// Every writer, on a full disk: the failure is reported in the system's words and the
// previous file stays whole.
TEST_F(FileFaults, FullDiskReportsTheFailureAndKeepsTheOldFile) {
    if (skipUnlessRoot())
        GTEST_SKIP() << "needs root";
    const QString quillonSource = file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit");
    const QString vornaSource = file(QStringLiteral("prog.vornaproj"), "EXIT");
    struct Case {
        const char* writer;
        QString target;  // on the full disk
        std::function<cli::Outcome(const QString& target)> run;
        int exitCode;
    };
    const Case cases[] = {
        {"writefile", QStringLiteral("old.txt"),
         [&](const QString& target) {
             return cli::run(kMoxy, {"--headless", file(QStringLiteral("w.moxy"), testing_support::writeFileProgram(local(target), "new"))});
         },
         2},
        {"--dump", QStringLiteral("old.dump"),
         [&](const QString& target) {
             return cli::run(kMoxy, {"--headless", "--dump", target, file(QStringLiteral("e.moxy"), "\x18")});
         },
         1},
        {"--screenshot", QStringLiteral("old.png"),
         [&](const QString& target) {
             return cli::run(kMoxy, {"--headless", "--screenshot", target, file(QStringLiteral("e.moxy"), "\x18")});
         },
         1},
        {"quillon --compile -o", QStringLiteral("old.moxy"),
         [&](const QString& target) { return cli::run(kQuillon, {"--compile", quillonSource, "-o", target}); }, 2},
        {"vorna --compile -o", QStringLiteral("old.moxy"),
         [&](const QString& target) { return cli::run(kVorna, {"--compile", vornaSource, "-o", target}); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writer);
        SmallDisk disk(folder, 64);
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a tmpfs: " << disk.reason();
        const QString target = disk.filePath(c.target);
        cli::writeFile(folder, QStringLiteral("disk/") + c.target, kOld);
        disk.fill();
        const cli::Outcome outcome = c.run(target);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_THAT(outcome.err, HasSubstr("No space left on device"));
        EXPECT_EQ(cli::readFile(target), kOld);
        EXPECT_EQ(QDir(disk.filePath(QStringLiteral("."))).entryList(QDir::Files | QDir::Hidden).size(), 2)
            << "a temporary file was left behind";
    }
}

// The compile writes the MOXY file into the one free page; the source map finds the disk
// full, and the map that was there stays whole.
TEST_F(FileFaults, FullDiskWhileWritingTheSourceMap) {
    if (skipUnlessRoot())
        GTEST_SKIP() << "needs root";
    const QString quillonSource = file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit");
    const QString vornaSource = file(QStringLiteral("prog.vornaproj"), "EXIT");
    for (const auto& [compiler, source] : {std::pair(kQuillon, quillonSource), std::pair(kVorna, vornaSource)}) {
        SCOPED_TRACE(compiler.toStdString());
        SmallDisk disk(folder, 64);
        if (!disk.mounted())
            GTEST_SKIP() << "cannot mount a tmpfs: " << disk.reason();
        const std::string oldMap = "# moxy source map\n1 1 1\n";
        cli::writeFile(folder, QStringLiteral("disk/prog.moxy.map"), oldMap);
        disk.fill(1);
        const cli::Outcome outcome =
            cli::run(compiler, {"--compile", source, "-o", disk.filePath(QStringLiteral("prog.moxy")), "--map"});
        EXPECT_EQ(outcome.exitCode, 2) << outcome.err;
        EXPECT_THAT(outcome.err, HasSubstr("prog.moxy.map"));
        EXPECT_THAT(outcome.err, HasSubstr("No space left on device"));
        EXPECT_EQ(cli::readFile(disk.filePath(QStringLiteral("prog.moxy.map"))), oldMap);
    }
}

// A device node (made here, never a system one) is written into and stays a device;
// under --safe it is refused; loadfile refuses it.
TEST_F(FileFaults, DeviceNodesAreWrittenIntoAndNeverReplaced) {
    if (skipUnlessRoot())
        GTEST_SKIP() << "needs root";
    const QString node = folder.filePath(QStringLiteral("null"));
    ASSERT_EQ(::mknod(node.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    const QString quillonSource = file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit");
    const QString vornaSource = file(QStringLiteral("prog.vornaproj"), "EXIT");
    const QString ending = file(QStringLiteral("e.moxy"), "\x18");
    struct Case {
        const char* what;
        QString program;
        QStringList arguments;
        int exitCode;
        std::string end;  // the dump's end line, when the runner runs
    };
    const Case cases[] = {
        {"--dump", kMoxy, {"--headless", "--dump", node, ending}, 0, ""},
        {"--screenshot", kMoxy, {"--headless", "--screenshot", node, ending}, 0, ""},
        {"writefile", kMoxy,
         {"--headless", "--dump", "-", file(QStringLiteral("w.moxy"), testing_support::writeFileProgram(local(node), "x"))}, 0, "end ok"},
        {"writefile --safe", kMoxy,
         {"--headless", "--safe", "--dump", "-", file(QStringLiteral("w.moxy"), testing_support::writeFileProgram(local(node), "x"))}, 2,
         "end error refused"},
        {"loadfile", kMoxy, {"--headless", "--dump", "-", file(QStringLiteral("l.moxy"), testing_support::loadFileProgram(local(node)))}, 2,
         "end error not-a-regular-file"},
        {"quillon -o", kQuillon, {"--compile", quillonSource, "-o", node}, 0, ""},
        {"vorna -o", kVorna, {"--compile", vornaSource, "-o", node}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const cli::Outcome outcome = cli::run(c.program, c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        if (!c.end.empty()) {
            EXPECT_EQ(endOf(outcome), c.end);
        }
        EXPECT_EQ(kindOf(node), static_cast<mode_t>(S_IFCHR));
    }
}

// Standard output given as a file name is written into, not replaced.
TEST_F(FileFaults, CompileToDevStdoutWritesTheCode) {
    const QString source = file(QStringLiteral("prog.qlnp"), "dim[x]\r\nset[x]{5}\r\nexit");
    const cli::Outcome outcome = cli::run(kQuillon, {"--compile", source, "-o", "/dev/stdout"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5\x18\r\n");
}

// A FIFO nobody writes to is refused at once instead of blocking the runner for ever.
TEST_F(FileFaults, FifosAreRefusedWithoutWaiting) {
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    struct Case {
        const char* what;
        std::string program;
        std::string end;
    };
    const Case cases[] = {
        {"loadfile", testing_support::loadFileProgram(local(fifo)), "end error not-a-regular-file"},
        {"picture", pictureProgram(local(fifo)), "end error not-a-regular-file"},
        {"writefile without a reader", testing_support::writeFileProgram(local(fifo), "x"), "end error file-error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto started = std::chrono::steady_clock::now();
        const cli::Outcome outcome = cli::run(kMoxy, {"--headless", "--dump", "-", file(QStringLiteral("f.moxy"), c.program)});
        EXPECT_EQ(endOf(outcome), c.end) << outcome.err;
        // Generous: the point is that it does not wait for a writer that never comes.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        EXPECT_EQ(kindOf(fifo), static_cast<mode_t>(S_IFIFO));
    }
}

// A program that is no regular file has no folder of its own: under --safe every file is
// refused, wherever the pipe's name lies.
TEST_F(FileFaults, PipedProgramUnderSafeReachesNoFile) {
    file(QStringLiteral("data.txt"), "beside the pipe\r\n");
    const std::string program = testing_support::loadFileProgram(local(folder.filePath(QStringLiteral("data.txt"))));

    // Through a FIFO in the data's own folder.
    const QString fifo = folder.filePath(QStringLiteral("prog.moxy"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const bool safe : {true, false}) {
        SCOPED_TRACE(safe ? "--safe" : "without --safe");
        std::thread writer([&] {
            // The runner opens the FIFO for reading; give up after a generous while.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            int descriptor = -1;
            while ((descriptor = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK)) < 0 &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (descriptor >= 0) {
                const ssize_t written = ::write(descriptor, program.data(), program.size());
                EXPECT_EQ(written, static_cast<ssize_t>(program.size()));
                ::close(descriptor);
            }
        });
        QStringList arguments = {"--headless", "--dump", "-", fifo};
        if (safe)
            arguments.prepend(QStringLiteral("--safe"));
        const cli::Outcome outcome = cli::run(kMoxy, arguments);
        writer.join();
        EXPECT_EQ(endOf(outcome), safe ? "end error refused" : "end ok") << outcome.err;
    }

    // Through standard input, started in the data's folder.
    const cli::Outcome piped = cli::run(kMoxy, {"--safe", "--headless", "--dump", "-", "/dev/stdin"},
                                        QByteArray::fromStdString(testing_support::loadFileProgram("data.txt")), folder.path());
    EXPECT_EQ(endOf(piped), "end error refused") << piped.err;
}

// Under --safe the runner works in the program's folder: relative names reach the
// program's own files when it is started from elsewhere, and --dump still writes where
// the user meant.
TEST_F(FileFaults, SafeProgramWorksInItsOwnFolder) {
    QDir(folder.path()).mkdir(QStringLiteral("game"));
    QDir(folder.path()).mkdir(QStringLiteral("elsewhere"));
    file(QStringLiteral("game/data.txt"), "level 1\r\n");
    moxy::Writer writer;
    set(writer, 0, "data.txt").op(Op::SetPar1);
    slot(writer, 1).system(SubCode::LoadFile);
    set(writer, 0, "saved.txt").op(Op::SetPar1);
    slot(writer, 1).system(SubCode::WriteFile);
    const QString program = file(QStringLiteral("game/prog.moxy"), writer.take());
    const cli::Outcome outcome = cli::run(kMoxy, {"--safe", "--headless", "--dump", "state.txt", program}, {},
                                          folder.filePath(QStringLiteral("elsewhere")));
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(cli::readFile(folder.filePath(QStringLiteral("game/saved.txt"))), "level 1\r\n\r\n");
    EXPECT_THAT(cli::readFile(folder.filePath(QStringLiteral("elsewhere/state.txt"))), HasSubstr("end ok"));
}
