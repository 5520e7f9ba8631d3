// The runner's file services through the headless host with real files and links: under
// --safe no name, link or link swapped in during the run leads out of the program's folder,
// and a program that is no regular file reaches no file; writes follow links and keep
// permissions; pictures stay within their bound and are measured before they are unpacked.
#include "fuzz/safe_path_tree.h"
#include "platform/file_io.h"
#include "support/corpus.h"
#include "support/qt_files.h"
#include "runner/headless_host.h"
#include "runner/run_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using runner::HeadlessHost;
using runner::RunError;

namespace {

std::string local(const QString& path) { return path.toStdString(); }

void link(const QString& target, const QString& path) {
    ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
}

// A program folder with links that lead out of it, beside a folder with a secret.
struct Layout {
    QTemporaryDir root;
    QString program = root.filePath(QStringLiteral("program"));
    QString outside = root.filePath(QStringLiteral("outside"));

    Layout() {
        QDir(root.path()).mkpath(QStringLiteral("program/sub"));
        QDir(root.path()).mkpath(QStringLiteral("outside/inner"));
        testing_support::writeFile(program + "/a.txt", "inside");
        testing_support::writeFile(outside + "/secret.txt", "secret");
        testing_support::writeFile(outside + "/inner/secret.txt", "secret");
        link(QStringLiteral("../outside/new.txt"), program + "/dangling");
        link(QStringLiteral("../outside/inner"), program + "/d");
        link(outside, program + "/abs");
        link(QStringLiteral(".."), program + "/up");
    }
    std::string at(const char* name) const { return local(program) + "/" + name; }
    runner::HostOptions safe() const {
        runner::HostOptions options;
        options.safe = true;
        options.safeFolder = platform::Folder::open(local(program));
        return options;
    }
    QStringList outsideFiles() const {
        QStringList files;
        for (const QString& folder : {root.path(), outside, outside + "/inner"})
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
                files << folder + "/" + name;
        return files;
    }
};

// The kind name of the run-time error that [call] raises, or "ok".
template <typename Call>
std::string outcome(Call call) {
    try {
        call();
        return "ok";
    } catch (const RunError& error) {
        return std::string(runner::kindName(error.kind()));
    }
}

HeadlessHost::Settings settingsWith(runner::HostOptions options) {
    HeadlessHost::Settings settings;
    settings.basic = std::move(options);
    return settings;
}

}  // namespace

TEST(SafeFiles, NoNameOrLinkLeadsOutOfTheProgramFolder) {
    for (const auto resolution : {platform::BeneathResolution::Kernel, platform::BeneathResolution::ComponentWalk}) {
        SCOPED_TRACE(resolution == platform::BeneathResolution::Kernel ? "kernel" : "component walk");
        platform::setBeneathResolution(resolution);
        Layout layout;
        const QStringList before = layout.outsideFiles();
        HeadlessHost host(settingsWith(layout.safe()));
        struct Case {
            const char* name;
            char operation;  // r: loadfile, w: writefile, p: picture
            const char* expected;
        };
        const Case cases[] = {
            {"dangling", 'w', "refused"}, {"d/../new.txt", 'w', "refused"}, {"d/new.txt", 'w', "refused"},
            {"up/outside/new.txt", 'w', "refused"}, {"abs/new.txt", 'w', "refused"},
            {"../outside/new.txt", 'w', "refused"}, {"d/../secret.txt", 'r', "refused"},
            {"d/secret.txt", 'r', "refused"}, {"dangling", 'r', "refused"}, {"abs/secret.txt", 'p', "refused"},
            {"sub/../a.txt", 'r', "ok"}, {"sub/../new.txt", 'w', "ok"}, {"sub\\..\\a.txt", 'r', "ok"},
        };
        for (const Case& c : cases) {
            const std::string path = layout.at(c.name);
            EXPECT_EQ(outcome([&] {
                          if (c.operation == 'r')
                              EXPECT_EQ(host.readFile(path), "inside");
                          else if (c.operation == 'w')
                              host.writeFile(path, "written");
                          else
                              host.loadPicture(0, path);
                      }),
                      c.expected)
                << c.operation << " " << c.name;
        }
        EXPECT_EQ(layout.outsideFiles(), before);
    }
    platform::setBeneathResolution(platform::BeneathResolution::Kernel);
}

// A second thread keeps swapping a link between a folder inside and one outside while the
// program writes, reads and loads pictures through it. Whichever the kernel sees, nothing
// lands outside and nothing from outside is read.
TEST(SafeFiles, LinkSwappedDuringTheRunNeverLeadsOut) {
    Layout layout;
    QDir(layout.program).mkdir(QStringLiteral("real"));
    testing_support::writeFile(layout.program + "/real/secret.txt", "inside");
    QImage green(1, 1, QImage::Format_RGB32);
    green.fill(qRgb(0, 255, 0));
    QImage red(1, 1, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(green.save(layout.program + "/real/p.png"));
    ASSERT_TRUE(red.save(layout.outside + "/inner/p.png"));
    link(QStringLiteral("real"), layout.program + "/swap");
    link(QStringLiteral("real"), layout.program + "/to-inside");
    link(layout.outside + "/inner", layout.program + "/to-outside");

    std::atomic<bool> stop{false};
    std::atomic<long> swaps{0};
    std::thread swapper([&] {  // renames a copy of either link over "swap"
        const std::string swap = local(layout.program) + "/swap";
        for (bool outside = true; !stop.load(); outside = !outside) {
            const std::string from = local(layout.program) + (outside ? "/to-outside" : "/to-inside");
            const std::string copy = from + ".new";
            std::filesystem::remove(copy);
            std::filesystem::create_symlink(std::filesystem::read_symlink(from), copy);
            std::filesystem::rename(copy, swap);
            ++swaps;
        }
    });
    HeadlessHost host(settingsWith(layout.safe()));
    int refused = 0;
    for (int i = 0; i < 400; ++i) {
        for (const long seen = swaps.load(); swaps.load() == seen;)
            std::this_thread::yield();
        const std::string write = outcome([&] { host.writeFile(layout.at("swap/new.txt"), "x"); });
        std::string text;
        const std::string read = outcome([&] { text = host.readFile(layout.at("swap/secret.txt")); });
        const std::string picture = outcome([&] {
            host.loadPicture(0, layout.at("swap/p.png"));
            host.paintPicture(0, 0, 0, 1, 1);
        });
        for (const std::string& status : {write, read, picture})
            EXPECT_TRUE(status == "ok" || status == "refused" || status == "file-not-found") << status;
        refused += (write == "refused") + (read == "refused") + (picture == "refused");
        EXPECT_NE(text, "secret");
        EXPECT_NE(host.canvas().pixel(0, 0), 0x0000FFu) << "painted the picture from outside";
    }
    stop = true;
    swapper.join();
    EXPECT_FALSE(QFile::exists(layout.outside + "/inner/new.txt"));
    std::printf("%d of 1200 accesses met the link to outside and were refused\n", refused);
}

// The folder is where the opened program file really lies; a program that is no regular
// file (a pipe) has none, and under --safe it then reaches no file at all.
TEST(SafeFiles, ProgramFolderComesFromTheOpenedFile) {
    Layout layout;
    testing_support::writeFile(layout.program + "/prog.moxy", "\x18");
    link(layout.program + "/prog.moxy", layout.outside + "/link.moxy");
    const auto linked = platform::readProgramFile(local(layout.outside + "/link.moxy"));
    ASSERT_TRUE(linked && linked->folder);
    EXPECT_EQ(linked->folder->path(), local(QDir(layout.program).canonicalPath()));

    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], "\x18", 1), 1);
    ::close(pipe[1]);
    const auto piped = platform::readProgramFile("/proc/self/fd/" + std::to_string(pipe[0]));
    ::close(pipe[0]);
    ASSERT_TRUE(piped);
    EXPECT_EQ(piped->content, "\x18");
    EXPECT_FALSE(piped->folder);

    runner::HostOptions options;
    options.safe = true;
    HeadlessHost host(settingsWith(options));
    EXPECT_EQ(outcome([&] { host.readFile(layout.at("a.txt")); }), "refused");
    EXPECT_EQ(outcome([&] { host.writeFile(layout.at("b.txt"), "x"); }), "refused");
    EXPECT_EQ(outcome([&] { host.loadPicture(0, layout.at("a.txt")); }), "refused");
    EXPECT_EQ(outcome([&] { host.startProgram("touch " + layout.at("started")); }), "refused");
    EXPECT_FALSE(QFile::exists(layout.program + "/b.txt"));
}

// Without --safe a write follows links to where the file really lies, and the new file
// keeps the old one's permissions.
TEST(Writes, FollowLinksAndKeepPermissions) {
    QTemporaryDir folder;
    const QString real = folder.filePath(QStringLiteral("real.txt"));
    testing_support::writeFile(real, "old");
    ASSERT_TRUE(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    link(QStringLiteral("real.txt"), folder.filePath(QStringLiteral("link.txt")));
    link(QStringLiteral("sub/new.txt"), folder.filePath(QStringLiteral("dangling.txt")));
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    HeadlessHost host(settingsWith({}));
    EXPECT_EQ(outcome([&] { host.writeFile(local(folder.filePath(QStringLiteral("link.txt"))), "new"); }), "ok");
    EXPECT_EQ(outcome([&] { host.writeFile(local(folder.filePath(QStringLiteral("dangling.txt"))), "made"); }), "ok");
    EXPECT_EQ(host.readFile(local(real)), "new");
    struct stat status {};
    ASSERT_EQ(::stat(real.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("link.txt"))).isSymLink());
    EXPECT_EQ(host.readFile(local(folder.filePath(QStringLiteral("sub/new.txt")))), "made");
    // The temporary file's name does not grow with the target's: the longest names save.
    const std::string longest = local(folder.filePath(QString(255, QLatin1Char('n'))));
    EXPECT_EQ(outcome([&] { host.writeFile(longest, "long"); }), "ok");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 4);  // no leftovers
}

namespace {
std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string bigEndian(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

// A PNG file whose header claims [width] x [height] pixels and whose pixel data is four
// bytes of nothing.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    const std::string header = "IHDR" + bigEndian(width) + bigEndian(height) + std::string("\x08\x02\x00\x00\x00", 5);
    const std::string data = "IDAT" + std::string(4, '\0');
    return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + header + bigEndian(crc32(header)) + bigEndian(4) +
           data + bigEndian(crc32(data)) + bigEndian(0) + "IEND" + bigEndian(crc32("IEND"));
}
}  // namespace

TEST(PictureBound, OnePictureAndAllHoldersTogether) {
    QTemporaryDir folder;
    const auto picture = [&](int width, int height) {
        const QString path = folder.filePath(QStringLiteral("%1x%2.png").arg(width).arg(height));
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        EXPECT_TRUE(image.save(path));
        return local(path);
    };
    runner::HostOptions options;
    options.pictures = {100 * 100, 24000};
    HeadlessHost host(settingsWith(options));
    EXPECT_EQ(outcome([&] { host.loadPicture(0, picture(100, 100)); }), "ok");
    EXPECT_EQ(outcome([&] { host.loadPicture(1, picture(101, 100)); }), "picture-too-large");
    EXPECT_EQ(outcome([&] { host.loadPicture(1, picture(100, 100)); }), "ok");
    EXPECT_EQ(outcome([&] { host.loadPicture(0, picture(50, 100)); }), "ok");  // replacing frees the old share
    EXPECT_EQ(outcome([&] { host.loadPicture(2, picture(100, 100)); }), "picture-too-large");
    EXPECT_EQ(outcome([&] { host.loadPicture(0, ""); }), "ok");  // emptying frees it all
    EXPECT_EQ(outcome([&] { host.loadPicture(2, picture(100, 100)); }), "ok");

    // The size is read from the header: a file with no pixel data at all is refused for
    // its size, not decoded, under the default bound too.
    const QString huge = folder.filePath(QStringLiteral("huge.png"));
    testing_support::writeFile(huge, pngHeaderOnly(100000, 100000));
    HeadlessHost defaults(settingsWith({}));
    EXPECT_EQ(outcome([&] { defaults.loadPicture(0, local(huge)); }), "picture-too-large");
    testing_support::writeFile(huge, pngHeaderOnly(4000, 4000));
    EXPECT_EQ(outcome([&] { defaults.loadPicture(0, local(huge)); }), "not-a-picture");  // within the bound
}

// The fuzzer's kept inputs for the --safe path resolution, each tried with the kernel's
// resolution and with the component walk.
TEST(SafePathCorpus, NoKeptNameLeadsOut) {
    safe_path::Tree tree;
    testing_support::forEachCorpusFile(MOXY_SAFE_PATH_CORPUS_DIR, [&tree](std::string input) {
        for (const char resolution : {'\0', '\1'}) {
            if (input.empty())
                break;
            input[0] = resolution;
            EXPECT_EQ(tree.tryInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), "");
        }
    });
    platform::setBeneathResolution(platform::BeneathResolution::Kernel);
}
