// The headless host through real programs: pictures, files, window geometry, keys,
// console dialogs and --safe, with real files in a temporary folder.
#include "moxy/format.h"
#include "runner/headless_host.h"
#include "runner/session.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

using moxy::Op;
using moxy::SubCode;
using runner::HeadlessHost;

namespace {

moxy::Writer& set(moxy::Writer& writer, int k, std::string_view text) {
    return writer.cell(130, 130 + k).op(Op::Clear).text(text);
}
moxy::Writer& slot(moxy::Writer& writer, int k) { return writer.cell(130, 130 + k); }

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
        char buffer[4096];
        std::size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            output.append(buffer, read);
        std::fclose(in);
        std::fclose(out);
        std::fclose(prompts);
    }
    std::string status() const { return runner::statusText(result); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
};

std::string readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

void writeAll(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

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
    writeAll(folder.filePath(QStringLiteral("green.gif")), gif);
    for (const char* format : {"png", "bmp", "jpg", "gif"}) {
        SCOPED_TRACE(format);
        const QString path = folder.filePath(QStringLiteral("green.") + format);
        if (std::string(format) != "gif")
            ASSERT_TRUE(picture.save(path, format));
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
        EXPECT_EQ(canvas.pixel(9, 35), runner::Canvas::kWhite);
        EXPECT_EQ(canvas.pixel(50, 35), runner::Canvas::kWhite);
        EXPECT_EQ(canvas.pixel(30, 50), runner::Canvas::kWhite);
    }
}

TEST(Pictures, FailuresNameThePath) {
    QTemporaryDir folder;
    const QString text = folder.filePath(QStringLiteral("notes.png"));
    writeAll(text, "not a picture");
    struct Case {
        std::string path;
        std::string status;
        std::string detail;
    };
    const Case cases[] = {
        {local(folder.filePath(QStringLiteral("missing.png"))), "error file-not-found", "missing.png"},
        {local(text), "error not-a-picture", "notes.png"},
        {"", "error empty-holder", "holds no picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        moxy::Writer writer;
        set(writer, 1, c.path).op(Op::LoadPicture);
        set(writer, 2, "5").op(Op::SetPar1).op(Op::SetPar2).op(Op::SetRes).op(Op::PaintPicture);
        HeadlessRun run(writer.code());
        EXPECT_EQ(run.status(), c.status);
        EXPECT_THAT(run.result.error->detail(), testing::HasSubstr(c.detail));
    }
}

TEST(Pictures, BackslashSeparatorsAreReadAsSlashes) {
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("art"));
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::black);
    ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("art/dot.bmp"))));
    moxy::Writer writer;
    set(writer, 1, local(folder.path()) + "\\art\\dot.bmp").op(Op::LoadPicture);
    HeadlessRun run(writer.code());
    EXPECT_EQ(run.status(), "ok");
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
    EXPECT_EQ(run.at(0), "1280");
    EXPECT_EQ(run.at(1), "1024");
    EXPECT_EQ(run.host->canvas().width(), 400);
    EXPECT_EQ(run.host->canvas().height(), 300);
    EXPECT_EQ(run.host->windowTop(), 15);
    EXPECT_EQ(run.host->windowLeft(), 25);
    EXPECT_EQ(run.host->caption(), "My game");

    moxy::Writer negative;
    set(negative, 2, "-5").system(SubCode::SetWindowWidth);
    EXPECT_EQ(HeadlessRun(negative.code()).status(), "error invalid-argument");
}

TEST(Headless, InitialSurfaceIsTheClientArea) {
    HeadlessRun run("");
    EXPECT_EQ(run.host->canvas().width(), 323);
    EXPECT_EQ(run.host->canvas().height(), 243);
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
