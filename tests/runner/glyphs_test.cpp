// The glyph table draws every character as Qt draws it alone in the desktop's font, and
// pictures decode from bytes as from files.
#include "runner/canvas.h"
#include "runner/canvas_image.h"
#include "runner/pictures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

TEST(Glyphs, EveryCharacterMatchesQtsDrawingOfItAlone) {
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    const QFontMetrics metrics(font);
    for (int code = 32; code <= 255; ++code) {
        SCOPED_TRACE(code);
        runner::Canvas canvas(40, 30);
        canvas.text(10, 7, std::string(1, static_cast<char>(code)));
        QImage qt(40, 30, QImage::Format_RGB32);
        qt.fill(Qt::white);
        QPainter painter(&qt);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(10, 7 + metrics.ascent()), QString(QChar(code)));
        painter.end();
        ASSERT_EQ(runner::imageOf(canvas), qt);
        EXPECT_EQ(runner::Canvas::textWidth(std::string(1, static_cast<char>(code))), metrics.horizontalAdvance(QChar(code)));
    }
}

TEST(Glyphs, PicturesDecodeFromBytesWithStraightAlpha) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(10, 20, 30, 255));
    image.setPixel(1, 0, qRgba(200, 100, 50, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "png"));
    const auto picture = runner::decodePicture(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    ASSERT_TRUE(picture && picture->width == 2);
    EXPECT_EQ(picture->pixels[0], 0xFF0A141Eu);
    EXPECT_EQ(picture->pixels[1], 0x80C86432u);
    std::string error;
    EXPECT_FALSE(runner::decodePicture("not a picture", &error));
    EXPECT_FALSE(error.empty());
}
