// The surface's text and pictures (stretched, mirrored, clipped, blended); the primitives are
// compared with the plain reference in canvas_fast_paths_test.cpp.
#include "runner/canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

using runner::Canvas;
using runner::Picture;

namespace {

using Pixels = std::set<std::pair<int, int>>;
constexpr std::uint32_t kRed = 0x0000FF;

// Every pixel that is not white, moved by (dx, dy), only those at or right of [minX].
Pixels drawn(const Canvas& canvas, int dx = 0, int dy = 0, int minX = -1000) {
    Pixels pixels;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) != Canvas::kWhite && x + dx >= minX)
                pixels.insert({x + dx, y + dy});
    return pixels;
}

// The pixels from (x1, y1) to (x2, y2), both included.
Pixels area(int x1, int y1, int x2, int y2) {
    Pixels pixels;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            pixels.insert({x, y});
    return pixels;
}

}  // namespace

TEST(Surface, ClearAndResizeKeepTheRightPixels) {
    Canvas canvas(10, 10);
    canvas.setColour(kRed);
    canvas.point(2, 2);
    canvas.resize(20, 5);
    EXPECT_EQ(drawn(canvas), (Pixels{{2, 2}}));
    canvas.clear();
    EXPECT_TRUE(drawn(canvas).empty());
    EXPECT_EQ(canvas.colour(), kRed);
}

TEST(Surface, TextIsTheGlyphsSideBySideClippedAndInTheColour) {
    Canvas a(60, 30), v(60, 30), both(60, 30), left(60, 30), controls(60, 30);
    a.text(5, 3, "A");
    v.text(5, 3, "V");
    both.setColour(kRed);
    both.text(5, 3, "AV");
    Pixels expected = drawn(a);
    const Pixels second = drawn(v, static_cast<int>(Canvas::textWidth("A")), 0);
    expected.insert(second.begin(), second.end());
    EXPECT_EQ(drawn(both), expected) << "no kerning";
    for (const auto& [x, y] : expected)
        EXPECT_EQ(both.pixel(x, y), kRed);
    EXPECT_EQ(Canvas::textWidth("AV"), Canvas::textWidth("A") + Canvas::textWidth("V"));
    left.text(-3, -6, "AV");  // A partly off the top-left corner
    Pixels visible;
    for (const auto& pixel : drawn(both, -8, -9, 0))
        if (pixel.second >= 0)
            visible.insert(pixel);
    EXPECT_EQ(drawn(left), visible);
    EXPECT_LT(visible.size(), expected.size());
    EXPECT_TRUE(std::any_of(visible.begin(), visible.end(),
                            [](const auto& pixel) { return pixel.first < Canvas::textWidth("A") - 3; }))
        << "nothing of A is left";
    controls.text(10, 10, std::string("\x01\x02\t\r\n", 5));
    controls.text(10, 10, "");
    EXPECT_TRUE(drawn(controls).empty());
    EXPECT_EQ(Canvas::textWidth("\x01\x1f"), 0);
}

TEST(Surface, VeryLongTextsDrawOnlyTheirVisiblePart) {
    // 64 KiB of w's, far to the left: the visible tail lands where the short text does.
    const std::string tail = "Hi there";
    std::string text(1 << 16, 'w');
    Canvas reference(200, 30), canvas(200, 30);
    reference.text(10, 5, tail);
    canvas.text(static_cast<float>(10 - Canvas::textWidth(text)), 5, text + tail);
    EXPECT_EQ(drawn(canvas, 0, 0, 10), drawn(reference));
    EXPECT_LT(drawn(canvas).size(), drawn(reference).size() + 200);
    text.assign(64u << 20, 'x');
    canvas.text(0, 5, text);  // returns quickly: only a few hundred characters are laid out
}

TEST(Surface, PicturesStretchShrinkMirrorClipAndLieOverTheDrawingByTheirAlpha) {
    const Picture picture{2, 1, {0xFFFF0000u, 0xFF0000FFu}};  // red, blue
    Canvas canvas(20, 10), mirrored(20, 10);
    canvas.paint(picture, 2, 3, 8, 4);
    mirrored.paint(picture, 10, 3, -8, 4);  // spans x = 2 to 9, its left end at the right
    EXPECT_EQ(drawn(canvas), area(2, 3, 9, 6));
    EXPECT_EQ(drawn(mirrored), area(2, 3, 9, 6));
    EXPECT_EQ(canvas.pixel(2, 3), 0x0000FFu);
    EXPECT_EQ(canvas.pixel(9, 6), 0xFF0000u);
    EXPECT_EQ(mirrored.pixel(3, 3), 0xFF0000u);
    EXPECT_EQ(mirrored.pixel(9, 3), 0x0000FFu);
    // Red, green, blue, black shrunk to two columns: the pixels under the centres.
    const Picture stripes{4, 1, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u}};
    Canvas shrunk(10, 4), clipped(3, 3), nothing(5, 5);
    shrunk.paint(stripes, 1, 1, 2, 1);
    EXPECT_EQ(drawn(shrunk), (Pixels{{1, 1}, {2, 1}}));
    EXPECT_EQ(shrunk.pixel(1, 1), 0x00FF00u);
    EXPECT_EQ(shrunk.pixel(2, 1), 0x000000u);
    clipped.paint(stripes, -2, -1, 8, 2);  // 8 x 2 from (-2, -1): columns 0..2 of row 0
    EXPECT_EQ(drawn(clipped), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(clipped.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(clipped.pixel(2, 0), 0xFF0000u);
    for (const auto& [w, h] : {std::pair{0.0, 3.0}, {3.0, 0.0}, {0.2, 3.0}})
        nothing.paint(stripes, 1, 1, w, h);
    nothing.paint(Picture{}, 1, 1, 3, 3);
    EXPECT_TRUE(drawn(nothing).empty());
    // Opaque replaces, transparent keeps, half mixes each channel to the nearest.
    Canvas blended(3, 1);
    blended.setColour(kRed);
    blended.line(0, 0, 3, 0);
    blended.paint(Picture{3, 1, {0xFF0000FFu, 0x000000FFu, 0x800000FFu}}, 0, 0, 3, 1);
    EXPECT_EQ(blended.pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(blended.pixel(1, 0), 0x0000FFu);
    EXPECT_EQ(blended.pixel(2, 0), 0x80007Fu);  // 128/255 of blue 255 and 127/255 of red 255
}
