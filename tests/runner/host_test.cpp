// The headless host through real programs, with real files in a temporary folder.
#include "support/program_builder.h"
#include "support/qt_files.h"
#include "moxy/format.h"
#include "platform/files.h"
#include "platform/sound.h"
#include "runner/headless_host.h"
#include "runner/session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using moxy::Op;
using moxy::SubCode;
using runner::HeadlessHost;
using testing_support::set;
using testing_support::slot;

namespace {

struct HeadlessRun {
    std::unique_ptr<HeadlessHost> host;
    std::unique_ptr<runner::Interpreter> interpreter;
    runner::RunResult result;
    explicit HeadlessRun(const std::string& program, HeadlessHost::Settings settings = {})
        : host(std::make_unique<HeadlessHost>(std::move(settings))),
          interpreter(std::make_unique<runner::Interpreter>(program, *host)),
          result(runner::runWithRestart(*interpreter)) {}
    std::string status() const { return runner::statusText(result); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
    std::string detail() const { return result.error ? result.error->detail() : ""; }
};

std::string local(const QString& path) { return path.toStdString(); }

}  // namespace

TEST(Pictures, EveryFormatLoadsAndFailuresNameThePath) {
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("art"));
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 255, 0));
    for (const char* format : {"png", "bmp", "jpg"})
        ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("art/green.") + format), format));
    // Qt writes no GIF: a 4 x 2 green one, byte for byte.
    testing_support::writeFile(folder.filePath(QStringLiteral("art/green.gif")),
                               std::string("GIF89a\x04\x00\x02\x00\xf0\x00\x00\x00\xff\x00\x00\x00\x00\x21\xf9\x04\x00"
                                           "\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x02\x00\x00\x02\x03\x84\x6f\x05"
                                           "\x00\x3b",
                                           44));
    testing_support::writeFile(folder.filePath(QStringLiteral("notes.png")), "not a picture");
    for (auto [name, status, detail] : {std::tuple{"/art/green.png", "ended", ""}, {"/art/green.bmp", "ended", ""},
                                        {"/art/green.jpg", "ended", ""}, {"\\art\\green.gif", "ended", ""},
                                        {"/missing.png", "error file-not-found", "missing.png"},
                                        {"/notes.png", "error not-a-picture", "notes.png"},
                                        {"", "error empty-holder", "holds no picture"}}) {
        SCOPED_TRACE(name);
        moxy::Writer writer;
        set(writer, 1, *name ? local(folder.path()) + name : "").op(Op::LoadPicture);
        set(writer, 2, "10").op(Op::SetPar1);
        set(writer, 3, "20").op(Op::SetPar2);
        set(writer, 4, "40").op(Op::SetRes);
        set(writer, 5, "30").op(Op::PaintPicture).op(Op::End);
        HeadlessRun run(writer.code());
        EXPECT_EQ(run.status(), status);
        EXPECT_THAT(run.detail(), testing::HasSubstr(detail));
        if (run.status() != "ended")
            continue;
        const std::uint32_t inside = run.host->canvas().pixel(30, 35);
        EXPECT_TRUE((inside & 0xFF) < 40 && ((inside >> 8) & 0xFF) > 200) << std::hex << inside;  // green
        for (auto [x, y] : {std::pair{9, 35}, {50, 35}, {30, 50}})
            EXPECT_EQ(run.host->canvas().pixel(x, y), runner::Canvas::kWhite) << x << "," << y;
    }
}

TEST(Headless, WindowCallsChangeTheVirtualWindow) {
    EXPECT_EQ(HeadlessRun("").host->canvas().width(), 323) << "before any call the surface is the client area";
    moxy::Writer writer;
    slot(writer, 0).system(SubCode::ScreenWidth);
    slot(writer, 1).system(SubCode::ScreenHeight);
    set(writer, 2, "400").system(SubCode::SetWindowWidth);
    set(writer, 2, "300.6").system(SubCode::SetWindowHeight);
    set(writer, 2, "15").system(SubCode::SetWindowTop);
    set(writer, 2, "25").system(SubCode::SetWindowLeft);
    set(writer, 2, "My game").system(SubCode::Caption);
    set(writer, 2, "8").op(Op::ColourByDigit).op(Op::SetPar1).op(Op::SetPar2).op(Op::Point);
    HeadlessHost::Settings settings;
    settings.screen = {1280, 1024};
    HeadlessRun run(writer.code(), settings);
    EXPECT_EQ(run.at(0) + "x" + run.at(1), "1280x1024");
    EXPECT_EQ(QSize(run.host->canvas().width(), run.host->canvas().height()), QSize(400, 301));
    EXPECT_EQ(QPoint(run.host->windowLeft(), run.host->windowTop()), QPoint(25, 15));
    EXPECT_EQ(run.host->caption(), "My game");
    EXPECT_EQ(run.host->canvas().pixel(8, 8), 0xC0C0C0u);

    moxy::Writer negative;
    set(negative, 2, "-5").system(SubCode::SetWindowWidth);
    EXPECT_EQ(HeadlessRun(negative.code()).status(), "error invalid-argument");
}

TEST(TextFiles, LoadEndsEveryLineWithCrLfAndWriteReplaces) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("in.txt"));
    const auto load = [](const std::string& name) {
        HeadlessRun run(testing_support::loadFileProgram(name));
        return run.status() + " " + run.at(1);
    };
    for (auto [content, loaded] : {std::pair{"ab\r\ncd\r\n", "ab\r\ncd\r\n"}, {"ab\ncd", "ab\r\ncd\r\n"},
                                   {"ab\rcd\r", "ab\r\ncd\r\n"}, {"", ""}, {"x\n\ny", "x\r\n\r\ny\r\n"},
                                   {"\xe9t\xe9", "\xe9t\xe9\r\n"}}) {
        SCOPED_TRACE(testing::PrintToString(content));
        testing_support::writeFile(path, content);
        EXPECT_EQ(load(local(path)), std::string("ok ") + loaded);
    }
    // A write replaces the old content; backslashes name the same file.
    EXPECT_EQ(HeadlessRun(testing_support::writeFileProgram(local(path), "new")).status(), "ok");
    EXPECT_EQ(testing_support::readFile(path), "new\r\n");
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    EXPECT_EQ(HeadlessRun(testing_support::writeFileProgram(local(folder.path()) + "\\sub\\b.txt", "b")).status(), "ok");
    EXPECT_EQ(load(local(folder.filePath(QStringLiteral("sub/b.txt")))), "ok b\r\n");
}

TEST(TextFiles, FailuresNameThePathAndLeaveNoPartialFile) {
    QTemporaryDir folder;
    const std::string here = local(folder.path());
    for (auto [name, status] : {std::pair{here + "/missing.txt", "error file-not-found"}, {here, "error file-error"},
                                {std::string(), "error file-not-found"}}) {
        HeadlessRun run(testing_support::loadFileProgram(name));
        EXPECT_EQ(run.status(), status);
        EXPECT_THAT(run.detail(), testing::HasSubstr(name));
    }
    for (const std::string& name : {here + "/no/such/folder/x.txt", here})
        EXPECT_EQ(HeadlessRun(testing_support::writeFileProgram(name, "x")).status(), "error file-error") << name;
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

TEST(Headless, KeyScriptDeliversEventsAtYields) {
    // Keys are named by their script name or the format's name, case and all.
    auto events = runner::parseKeyScript("1:A+ 3:A- 2:Space+ 2:9+ 1:Digit3+");
    ASSERT_TRUE(events);
    moxy::Writer writer;
    for (int i = 0; i < 3; ++i)
        writer.op(Op::Yield).cell(130, 130 + i).key(moxy::Key::A);
    slot(writer, 3).key(moxy::Key::Space);
    slot(writer, 4).key(moxy::Key::Digit9);
    slot(writer, 5).key(moxy::Key::Digit3);
    HeadlessHost::Settings settings;
    settings.keys = *events;
    HeadlessRun run(writer.code(), settings);
    EXPECT_EQ(run.at(0) + run.at(1) + run.at(2) + run.at(3) + run.at(4) + run.at(5), "110111");
    std::string error;
    for (const char* bad : {"A+", "0:A+", "1:A", "1:Q?", "x:A+", "1:Tab+", "1:a+", "1:up+", "1:+"}) {
        EXPECT_FALSE(runner::parseKeyScript(bad, &error)) << bad;
        EXPECT_NE(error, "") << bad;
    }
}

TEST(Programs, ExecStartsADetachedProgramAndCommandLinesSplitAsAShellWould) {
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("started"));
    moxy::Writer writer;
    set(writer, 0, "touch '" + local(marker) + "'").system(SubCode::Exec);
    EXPECT_EQ(HeadlessRun(writer.code()).status(), "ok");
    for (int i = 0; i < 200 && !QFile::exists(marker); ++i)
        QThread::msleep(50);
    EXPECT_TRUE(QFile::exists(marker));
    moxy::Writer missing;
    set(missing, 0, "/no/such/program --flag").system(SubCode::Exec);
    HeadlessRun failed(missing.code());
    EXPECT_EQ(failed.status(), "error program-not-started");
    EXPECT_THAT(failed.detail(), testing::HasSubstr("/no/such/program"));

    using Words = std::vector<std::string>;
    EXPECT_EQ(platform::splitCommandLine("touch 'my file' \"x y\"z"), (Words{"touch", "my file", "x yz"}));
    EXPECT_EQ(platform::splitCommandLine("echo a\\ b \"q\\\"t\" ''"), (Words{"echo", "a b", "q\"t", ""}));
    EXPECT_EQ(platform::splitCommandLine("  "), Words{});
}

TEST(Sound, BeepWithoutASoundDeviceWaitsItsDuration) {
    // The test machines have no sound card; a tone outside 37..32767 Hz is silent anyway.
    for (int hertz : {440, 20, 40000}) {
        QElapsedTimer timer;
        timer.start();
        platform::playTone(hertz, 120);
        EXPECT_GE(timer.elapsed(), 119) << hertz;
    }
}
