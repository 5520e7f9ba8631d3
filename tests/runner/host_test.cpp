// The headless host through real programs: pictures, files, window geometry, keys,
// console dialogs and --safe, with real files in a temporary folder.
#include "support/program_builder.h"
#include "support/qt_files.h"
#include "moxy/format.h"
#include "platform/files.h"
#include "platform/sound.h"
#include "runner/headless_host.h"
#include "runner/session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

using moxy::Op;
using testing_support::readFile;
using testing_support::set;
using testing_support::slot;
using moxy::SubCode;
using runner::HeadlessHost;

namespace {


struct HeadlessRun {
    std::unique_ptr<HeadlessHost> host;
    std::unique_ptr<runner::Interpreter> interpreter;
    runner::RunResult result;
    std::string output;  // what message boxes printed

    HeadlessRun(const std::string& program, HeadlessHost::Settings settings = {}, const std::string& input = "") {
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::FILE* prompts = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), in);
        std::rewind(in);
        settings.input = in;
        settings.output = out;
        settings.prompts = prompts;
        host = std::make_unique<HeadlessHost>(std::move(settings));
        runner::InterpreterOptions options;
        options.seed = 1;
        interpreter = std::make_unique<runner::Interpreter>(program, *host, options);
        result = runner::runWithRestart(*interpreter);
        std::rewind(out);
        for (int c; (c = std::fgetc(out)) != EOF;)
            output += static_cast<char>(c);
        std::fclose(in);
        std::fclose(out);
        std::fclose(prompts);
    }
    std::string status() const { return runner::statusText(result); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
};

std::string local(const QString& path) { return path.toStdString(); }

}  // namespace

TEST(Pictures, LoadScaleAndPaintEveryFormat) {
    QTemporaryDir folder;
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 255, 0));
    // Qt writes no GIF: a 4 x 2 green one, byte for byte.
    const std::string gif("GIF89a\x04\x00\x02\x00\xf0\x00\x00\x00\xff\x00\x00\x00\x00\x21\xf9\x04\x00\x00"
                          "\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x02\x00\x00\x02\x03\x84\x6f\x05\x00\x3b",
                          44);
    testing_support::writeFile(folder.filePath(QStringLiteral("green.gif")), gif);
    for (const char* format : {"png", "bmp", "jpg", "gif"}) {
        SCOPED_TRACE(format);
        const QString path = folder.filePath(QStringLiteral("green.") + format);
        if (std::string(format) != "gif") {
            ASSERT_TRUE(picture.save(path, format));
        }
        moxy::Writer writer;
        writer.op(Op::NewPictureHolder);
        set(writer, 0, "1").op(Op::SelectPictureHolder);
        set(writer, 1, local(path)).op(Op::LoadPicture);
        set(writer, 2, "10").op(Op::SetPar1);
        set(writer, 3, "20").op(Op::SetPar2);
        set(writer, 4, "40").op(Op::SetRes);
        set(writer, 5, "30").op(Op::PaintPicture).op(Op::End);
        HeadlessRun run(writer.code());
        ASSERT_EQ(run.status(), "ended");
        const runner::Canvas& canvas = run.host->canvas();
        const std::uint32_t inside = canvas.pixel(30, 35);
        EXPECT_LT(inside & 0xFF, 40u);                 // little red
        EXPECT_GT((inside >> 8) & 0xFF, 200u);         // green
        for (auto [x, y] : {std::pair{9, 35}, {50, 35}, {30, 50}})
            EXPECT_EQ(canvas.pixel(x, y), runner::Canvas::kWhite) << x << "," << y;
    }
}

TEST(Pictures, TransparentPartsShowTheDrawingBeneath) {
    QTemporaryDir folder;
    QImage picture(2, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(0, 0, 255, 255));
    picture.setPixel(1, 0, qRgba(0, 0, 0, 0));
    const QString path = folder.filePath(QStringLiteral("half.png"));
    ASSERT_TRUE(picture.save(path));
    moxy::Writer writer;
    set(writer, 1, local(path)).op(Op::LoadPicture);
    set(writer, 2, "0").op(Op::SetPar1).op(Op::SetPar2);
    set(writer, 3, "2").op(Op::SetRes);
    set(writer, 4, "1").op(Op::PaintPicture);
    HeadlessRun run(writer.code());
    ASSERT_EQ(run.status(), "ok");
    EXPECT_EQ(run.host->canvas().pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(run.host->canvas().pixel(1, 0), runner::Canvas::kWhite);
}

TEST(Pictures, FailuresNameThePathAndBackslashesAreSlashes) {
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("art"));
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::black);
    ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("art/dot.bmp"))));
    const QString text = folder.filePath(QStringLiteral("notes.png"));
    testing_support::writeFile(text, "not a picture");
    struct Case {
        std::string path;
        std::string status;
        std::string detail;
    };
    const Case cases[] = {
        {local(folder.filePath(QStringLiteral("missing.png"))), "error file-not-found", "missing.png"},
        {local(text), "error not-a-picture", "notes.png"},
        {"", "error empty-holder", "holds no picture"},
        {local(folder.path()) + "\\art\\dot.bmp", "ok", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        moxy::Writer writer;
        set(writer, 1, c.path).op(Op::LoadPicture);
        set(writer, 2, "5").op(Op::SetPar1).op(Op::SetPar2).op(Op::SetRes).op(Op::PaintPicture);
        HeadlessRun run(writer.code());
        EXPECT_EQ(run.status(), c.status);
        EXPECT_THAT(run.result.error ? run.result.error->detail() : "", testing::HasSubstr(c.detail));
    }
}

TEST(Headless, WindowCallsChangeTheVirtualWindow) {
    moxy::Writer writer;
    slot(writer, 0).system(SubCode::ScreenWidth);
    slot(writer, 1).system(SubCode::ScreenHeight);
    set(writer, 2, "400").system(SubCode::SetWindowWidth);
    set(writer, 2, "300.4").system(SubCode::SetWindowHeight);
    set(writer, 2, "15").system(SubCode::SetWindowTop);
    set(writer, 2, "25").system(SubCode::SetWindowLeft);
    set(writer, 2, "My game").system(SubCode::Caption);
    HeadlessHost::Settings settings;
    settings.screen = {1280, 1024};
    HeadlessRun run(writer.code(), settings);
    EXPECT_EQ(run.at(0) + "x" + run.at(1), "1280x1024");
    EXPECT_EQ(QSize(run.host->canvas().width(), run.host->canvas().height()), QSize(400, 300));
    EXPECT_EQ(QPoint(run.host->windowLeft(), run.host->windowTop()), QPoint(25, 15));
    EXPECT_EQ(run.host->caption(), "My game");

    moxy::Writer negative;
    set(negative, 2, "-5").system(SubCode::SetWindowWidth);
    EXPECT_EQ(HeadlessRun(negative.code()).status(), "error invalid-argument");
    // Before any call the surface is the client area.
    HeadlessRun empty("");
    EXPECT_EQ(QSize(empty.host->canvas().width(), empty.host->canvas().height()), QSize(323, 243));
}

TEST(Headless, DrawingColoursByDigitAndValue) {
    moxy::Writer writer;
    set(writer, 0, "5").op(Op::SetPar1).op(Op::SetPar2);
    set(writer, 1, "255").op(Op::ColourByValue);
    slot(writer, 0).op(Op::Point);
    set(writer, 0, "6").op(Op::SetPar1);
    set(writer, 1, "8").op(Op::ColourByDigit);
    slot(writer, 0).op(Op::Point);
    HeadlessRun run(writer.code());
    EXPECT_EQ(run.host->canvas().pixel(5, 5), 0x0000FFu);
    EXPECT_EQ(run.host->canvas().pixel(6, 6), 0xC0C0C0u);
}

// --- text files ----------------------------------------------------------------------

namespace {
// loadfile of [path] into slot 1: returns the status and the text.
std::pair<std::string, std::string> loadFile(const std::string& path, runner::HostOptions options = {}) {
    HeadlessHost::Settings settings;
    settings.basic = options;
    HeadlessRun run(testing_support::loadFileProgram(path), settings);
    return {run.status(), run.at(1)};
}

std::string writeFile(const std::string& path, const std::string& text, runner::HostOptions options = {}) {
    HeadlessHost::Settings settings;
    settings.basic = options;
    return HeadlessRun(testing_support::writeFileProgram(path, text), settings).status();
}
}  // namespace

TEST(TextFiles, LoadEndsEveryLineWithCrLf) {
    QTemporaryDir folder;
    struct Case {
        std::string content;
        std::string loaded;
    };
    const Case cases[] = {
        {"ab\r\ncd\r\n", "ab\r\ncd\r\n"}, {"ab\ncd", "ab\r\ncd\r\n"},   {"ab\rcd\r", "ab\r\ncd\r\n"},
        {"", ""},                         {"\r\n\r\n", "\r\n\r\n"},     {"x\n\ny", "x\r\n\r\ny\r\n"},
        {"\xe9t\xe9", "\xe9t\xe9\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.content));
        const QString path = folder.filePath(QStringLiteral("in.txt"));
        testing_support::writeFile(path, c.content);
        EXPECT_EQ(loadFile(local(path)), std::make_pair(std::string("ok"), c.loaded));
    }
}

TEST(TextFiles, WriteThenLoadRoundTrips) {
    QTemporaryDir folder;
    const std::string path = local(folder.filePath(QStringLiteral("out.txt")));
    EXPECT_EQ(writeFile(path, "xyz"), "ok");
    EXPECT_EQ(loadFile(path).second, "xyz\r\n");
    EXPECT_EQ(writeFile(path, "new"), "ok");  // replaces the old content
    EXPECT_EQ(readFile(QString::fromStdString(path)), "new\r\n");
    // Backslash separators name the same file.
    QDir(folder.path()).mkdir(QStringLiteral("sub"));
    EXPECT_EQ(writeFile(local(folder.path()) + "\\sub\\b.txt", "b"), "ok");
    EXPECT_EQ(readFile(folder.filePath(QStringLiteral("sub/b.txt"))), "b\r\n");
}

TEST(TextFiles, FailuresNameThePathAndLeaveNoPartialFile) {
    QTemporaryDir folder;
    EXPECT_EQ(loadFile(local(folder.filePath(QStringLiteral("missing.txt")))).first, "error file-not-found");
    EXPECT_EQ(loadFile(local(folder.path())).first, "error file-error");
    EXPECT_EQ(loadFile("").first, "error file-not-found");
    EXPECT_EQ(writeFile(local(folder.filePath(QStringLiteral("no/such/folder/x.txt"))), "x"), "error file-error");
    EXPECT_EQ(writeFile(local(folder.path()), "x"), "error file-error");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// --- --safe --------------------------------------------------------------------------

TEST(Safe, RefusesProgramStartsAndFilesOutsideTheProgramFolder) {
    QTemporaryDir outside;
    QTemporaryDir folder;
    runner::HostOptions safe;
    safe.safe = true;
    safe.safeFolder = platform::Folder::open(folder.path().toStdString());
    testing_support::writeFile(folder.filePath(QStringLiteral("inside.txt")), "in");
    testing_support::writeFile(outside.filePath(QStringLiteral("secret.txt")), "s");

    // The rules of the names are in safe_files_test.cpp; here the opcodes go through them.
    EXPECT_EQ(loadFile(local(folder.filePath(QStringLiteral("inside.txt"))), safe).first, "ok");
    EXPECT_EQ(writeFile(local(outside.filePath(QStringLiteral("x.txt"))), "x", safe), "error refused");
    EXPECT_FALSE(QFile::exists(outside.filePath(QStringLiteral("x.txt"))));

    moxy::Writer exec;
    set(exec, 0, "touch " + local(outside.filePath(QStringLiteral("started")))).system(SubCode::Exec);
    HeadlessHost::Settings settings;
    settings.basic = safe;
    EXPECT_EQ(HeadlessRun(exec.code(), settings).status(), "error refused");

    moxy::Writer picture;
    set(picture, 0, local(outside.filePath(QStringLiteral("secret.txt")))).op(Op::LoadPicture);
    EXPECT_EQ(HeadlessRun(picture.code(), settings).status(), "error refused");
}

// --- programs, console dialogs, keys, sound ------------------------------------------

TEST(Programs, ExecStartsADetachedProgram) {
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
    EXPECT_THAT(failed.result.error->detail(), testing::HasSubstr("/no/such/program"));
}

TEST(Console, MessageBoxesPrintAndInputBoxesReadLines) {
    moxy::Writer writer;
    set(writer, 0, "Name?").op(Op::SetPar1);
    slot(writer, 1).op(Op::InputBox);
    slot(writer, 2).op(Op::InputBox);
    slot(writer, 3).op(Op::InputBox);
    set(writer, 4, "Hello").system(SubCode::MessageBox);
    HeadlessRun run(writer.code(), {}, "Ada\r\nBob\n");
    EXPECT_EQ(run.at(1) + "," + run.at(2) + "," + run.at(3), "Ada,Bob,");  // end of input counts as Cancel
    EXPECT_EQ(run.output, "Hello\n");
}

TEST(Console, KeyScriptDeliversEventsAtYields) {
    auto events = runner::parseKeyScript("1:A+ 3:A- 2:Space+ 2:9+");
    ASSERT_TRUE(events);
    moxy::Writer writer;
    for (int i = 0; i < 3; ++i)
        writer.op(Op::Yield).cell(130, 130 + i).key(moxy::Key::A);
    slot(writer, 3).key(moxy::Key::Space);
    slot(writer, 4).key(moxy::Key::Digit9);
    HeadlessHost::Settings settings;
    settings.keys = *events;
    HeadlessRun run(writer.code(), settings);
    EXPECT_EQ(run.at(0) + run.at(1) + run.at(2) + run.at(3) + run.at(4), "11011");

    std::string error;
    for (const char* bad : {"A+", "0:A+", "1:A", "1:Q?", "x:A+", "1:Tab+"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(runner::parseKeyScript(bad, &error));
    }
}

TEST(Sound, BeepWithoutASoundDeviceWaitsItsDuration) {
    // The test machines have no sound card; a tone outside 37..32767 Hz is silent anyway.
    for (int hertz : {440, 20, 40000}) {
        SCOPED_TRACE(hertz);
        QElapsedTimer timer;
        timer.start();
        platform::playTone(hertz, 120);
        EXPECT_GE(timer.elapsed(), 119);
    }
}

TEST(Programs, CommandLinesSplitAsAShellWould) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(platform::splitCommandLine("touch 'my file' \"x y\"z"), (Words{"touch", "my file", "x yz"}));
    EXPECT_EQ(platform::splitCommandLine("echo a\\ b \"q\\\"t\" ''"), (Words{"echo", "a b", "q\"t", ""}));
    EXPECT_EQ(platform::splitCommandLine("  "), Words{});
}
