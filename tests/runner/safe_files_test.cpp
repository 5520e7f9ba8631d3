// The headless host's files with real links: under --safe nothing leads out of the program's
// folder; writes follow links and keep permissions; pictures are bounded before decoding.
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
        platform::setBeneathResolution(resolution);
        Layout layout;
        const QStringList before = layout.outsideFiles();
        HeadlessHost host(settingsWith(layout.safe()));
        for (auto [name, operation, expected] :
             {std::tuple{"dangling", 'w', "refused"}, {"d/../new.txt", 'w', "refused"}, {"up/outside/new.txt", 'w', "refused"},
              {"abs/new.txt", 'w', "refused"}, {"../outside/new.txt", 'w', "refused"}, {"d/secret.txt", 'r', "refused"},
              {"d/../secret.txt", 'r', "refused"},
              {"abs/secret.txt", 'p', "refused"}, {"sub/../new.txt", 'w', "ok"}, {"sub\\..\\a.txt", 'r', "ok"}}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(resolution) << " " << operation << " " << name);
            const std::string path = layout.at(name);
            EXPECT_EQ(outcome([&] {
                          if (operation == 'r')
                              EXPECT_EQ(host.readFile(path), "inside");
                          else if (operation == 'w')
                              host.writeFile(path, "written");
                          else
                              host.loadPicture(0, path);
                      }),
                      expected);
        }
        EXPECT_EQ(layout.outsideFiles(), before);
    }
    platform::setBeneathResolution(platform::BeneathResolution::Kernel);
}

// A second thread swaps a link between a folder inside and one outside during the accesses.
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

// The folder is where the opened program file lies; without one (piped) --safe reaches no file.
TEST(SafeFiles, ProgramFolderComesFromTheOpenedFile) {
    Layout layout;
    testing_support::writeFile(layout.program + "/prog.moxy", "\x18");
    link(layout.program + "/prog.moxy", layout.outside + "/link.moxy");
    const auto linked = platform::readProgramFile(local(layout.outside + "/link.moxy"));
    ASSERT_TRUE(linked && linked->folder);
    EXPECT_EQ(linked->folder->path(), local(QDir(layout.program).canonicalPath()));
    runner::HostOptions options;
    options.safe = true;
    HeadlessHost host(settingsWith(options));
    EXPECT_EQ(outcome([&] { host.readFile(layout.at("a.txt")); }), "refused");
    EXPECT_EQ(outcome([&] { host.writeFile(layout.at("b.txt"), "x"); }), "refused");
    EXPECT_EQ(outcome([&] { host.loadPicture(0, layout.at("a.txt")); }), "refused");
    EXPECT_EQ(outcome([&] { host.startProgram("touch " + layout.at("started")); }), "refused");
}

TEST(Writes, FollowLinksAndKeepPermissions) {
    QTemporaryDir folder;
    const QString real = folder.filePath(QStringLiteral("real.txt"));
    testing_support::writeFile(real, "old");
    ASSERT_TRUE(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    link(QStringLiteral("real.txt"), folder.filePath(QStringLiteral("link.txt")));
    link(QStringLiteral("sub/new.txt"), folder.filePath(QStringLiteral("dangling.txt")));
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    HeadlessHost host({});
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

    // The size comes from the header: no pixel data, yet refused for its size by default too.
    const QString huge = folder.filePath(QStringLiteral("huge.ppm"));
    HeadlessHost defaults({});
    for (auto [header, expected] : {std::pair{"P6 10000 10000 255\n", "picture-too-large"}, {"P6 4000 4000 255\n", "not-a-picture"}}) {
        testing_support::writeFile(huge, header);
        EXPECT_EQ(outcome([&] { defaults.loadPicture(0, local(huge)); }), expected) << header;
    }
}

// The fuzzer's kept inputs, each with the kernel's resolution and with the component walk.
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
