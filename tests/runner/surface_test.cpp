// The drawing surface without Qt: its raster layout, text from the glyph table, and
// pictures stretched, mirrored, clipped and laid over the drawing by their alpha.
#include "runner/canvas.h"
#include "runner/glyphs.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

using runner::Canvas;
using runner::Picture;

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels drawn(const Canvas& canvas) {
    Pixels pixels;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) != Canvas::kWhite)
                pixels.insert({x, y});
    return pixels;
}

Pixels shifted(const Pixels& pixels, int dx, int dy) {
    Pixels moved;
    for (const auto& [x, y] : pixels)
        moved.insert({x + dx, y + dy});
    return moved;
}

const runner::glyphs::Glyph& glyph(char c) {
    return runner::glyphs::kGlyphs[static_cast<unsigned char>(c) - runner::glyphs::kFirst];
}

}  // namespace

TEST(Surface, RasterIsRgb32RowByRow) {
    Canvas canvas(3, 2);
    EXPECT_EQ(canvas.bits()[0], 0xFFFFFFFFu);
    canvas.setColour(0x332211);  // red 0x11, green 0x22, blue 0x33
    canvas.point(2, 1);
    EXPECT_EQ(canvas.bits()[5], 0xFF112233u);
    EXPECT_EQ(canvas.pixel(2, 1), 0x332211u);
}

TEST(Surface, TextIsTheGlyphsSideBySideWithoutKerning) {
    Canvas a(60, 30), v(60, 30), both(60, 30);
    a.text(5, 3, "A");
    v.text(5, 3, "V");
    both.text(5, 3, "AV");
    Pixels expected = drawn(a);
    const Pixels second = shifted(drawn(v), glyph('A').advance, 0);
    expected.insert(second.begin(), second.end());
    EXPECT_EQ(drawn(both), expected);
    EXPECT_EQ(Canvas::textWidth("AV"), glyph('A').advance + glyph('V').advance);
    EXPECT_EQ(Canvas::textWidth("\x01\x1f"), 0);
}

TEST(Surface, TextIsClippedAndControlCharactersDrawNothing) {
    Canvas whole(60, 30), left(60, 30), controls(60, 30);
    whole.text(10, 10, "Hello");
    left.text(-10, -5, "Hello");  // partly off the top-left corner
    EXPECT_EQ(drawn(left), [&] {
        Pixels visible;
        for (const auto& pixel : shifted(drawn(whole), -20, -15))
            if (pixel.first >= 0 && pixel.second >= 0)
                visible.insert(pixel);
        return visible;
    }());
    controls.text(10, 10, std::string("\x01\x02\t\r\n", 5));
    EXPECT_TRUE(drawn(controls).empty());
    for (int code = runner::glyphs::kFirst + 1; code <= 126; ++code) {
        SCOPED_TRACE(code);
        const auto& g = glyph(static_cast<char>(code));
        EXPECT_GT(g.width * g.height, 0);  // every printable ASCII character has ink
        EXPECT_GT(g.advance, 0);
    }
}

TEST(Surface, PicturesShrinkToTheNearestSourcePixelAndClip) {
    // Four columns red, green, blue, black shrunk to two: the pixels under the centres.
    const Picture stripes{4, 1, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u}};
    Canvas canvas(10, 4);
    canvas.paint(stripes, 1, 1, 2, 1);
    EXPECT_EQ(canvas.pixel(1, 1), 0x00FF00u);  // centre 0.5 of 2 -> source column 1
    EXPECT_EQ(canvas.pixel(2, 1), 0x000000u);  // centre 1.5 of 2 -> source column 3
    EXPECT_EQ(drawn(canvas), (Pixels{{1, 1}, {2, 1}}));
    Canvas clipped(3, 3);
    clipped.paint(stripes, -2, -1, 8, 2);  // 8 x 2 from (-2, -1): columns 0..2 of row 0
    EXPECT_EQ(drawn(clipped), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(clipped.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(clipped.pixel(2, 0), 0xFF0000u);
    Canvas nothing(5, 5);
    for (const auto& [w, h] : {std::pair{0.0, 3.0}, {3.0, 0.0}, {0.2, 3.0}}) {
        SCOPED_TRACE(w);
        nothing.paint(stripes, 1, 1, w, h);
    }
    nothing.paint(Picture{}, 1, 1, 3, 3);
    EXPECT_TRUE(drawn(nothing).empty());
}

TEST(Surface, PicturesLieOverTheDrawingByTheirAlpha) {
    // Opaque replaces, transparent keeps, half mixes each channel to the nearest.
    const Picture picture{3, 1, {0xFF0000FFu, 0x000000FFu, 0x800000FFu}};
    Canvas canvas(3, 1);
    canvas.setColour(0x0000FF);  // red beneath
    canvas.line(0, 0, 3, 0);
    canvas.paint(picture, 0, 0, 3, 1);
    EXPECT_EQ(canvas.pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.pixel(1, 0), 0x0000FFu);
    // 128/255 of blue 255 and 127/255 of red 255: 128 and 127.
    EXPECT_EQ(canvas.pixel(2, 0), 0x80007Fu);
}
