// A run without a window makes its fonts and picture decoders ready only when the program
// first prints text or uses a picture: such runs, with and without a screenshot, work as
// before and say nothing about it.
#include "cli_support.h"
#include "moxy/format.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>

using moxy::Op;

namespace {

const QString kMoxy = QStringLiteral(MOXY_EXE);

// 10 and 20 into slots 0 and 1 (the place), then [body], then the end.
std::string program(const std::function<void(moxy::Writer&)>& body) {
    moxy::Writer writer;
    writer.cell(130, 130).op(Op::Clear).text("10").op(Op::SetPar1);
    writer.cell(130, 131).op(Op::Clear).text("20").op(Op::SetPar2);
    body(writer);
    writer.op(Op::End);
    return writer.take();
}

}  // namespace

TEST(LateFonts, TextAndPicturesWithoutAndWithAScreenshot) {
    QTemporaryDir folder;
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(folder.filePath(QStringLiteral("red.png"))));
    const auto print = [](moxy::Writer& writer) { writer.cell(130, 132).op(Op::Clear).text("Hi").op(Op::Print); };
    const auto picture = [](moxy::Writer& writer) {
        writer.op(Op::NewPictureHolder);
        writer.cell(130, 132).op(Op::Clear).text("1").op(Op::SelectPictureHolder);
        writer.cell(130, 133).op(Op::Clear).text("red.png").op(Op::LoadPicture);
        writer.cell(130, 134).op(Op::Clear).text("8").op(Op::SetRes).op(Op::PaintPicture);
    };
    struct Case {
        const char* name;
        std::string code;
        QRgb expected;  // a pixel at (10..17, 20..27) that is not white
    };
    const Case cases[] = {
        {"text", program(print), 0},
        {"picture", program(picture), qRgb(255, 0, 0)},
        {"text after a picture", program([&](moxy::Writer& writer) {
             picture(writer);
             print(writer);
         }),
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = cli::writeFile(folder, QStringLiteral("p.moxy"), c.code);
        const cli::Outcome plain = cli::run(kMoxy, {QStringLiteral("--headless"), path}, {}, folder.path());
        EXPECT_EQ(plain.exitCode, 0);
        EXPECT_EQ(plain.err, "");
        const QString shot = folder.filePath(QStringLiteral("shot.png"));
        const cli::Outcome shown = cli::run(
            kMoxy, {QStringLiteral("--headless"), QStringLiteral("--screenshot"), shot, path}, {}, folder.path());
        EXPECT_EQ(shown.exitCode, 0);
        EXPECT_EQ(shown.err, "");
        const QImage image(shot);
        ASSERT_FALSE(image.isNull());
        // The resolution of a surface made with the fonts ready: 96 dots per inch.
        EXPECT_EQ(image.dotsPerMeterX(), 3780);
        bool drawn = false;
        for (int y = 20; y < 36; ++y)
            for (int x = 10; x < 30; ++x)
                drawn = drawn || (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
        EXPECT_TRUE(drawn);
        if (c.expected != 0) {
            EXPECT_EQ(image.pixel(12, 22), c.expected);
        }
    }
}
