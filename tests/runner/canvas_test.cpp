#include "runner/canvas.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using runner::Canvas;
using runner::Fill;

namespace {

using Pixel = std::pair<int, int>;
using Pixels = std::set<Pixel>;
constexpr std::uint32_t kRed = 0x0000FF;

// Every pixel that is not white.
Pixels drawn(const Canvas& canvas) {
    Pixels pixels;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) != Canvas::kWhite)
                pixels.insert({x, y});
    return pixels;
}

// The pixels of the rectangle from (x1, y1) to (x2, y2), both included; a row or column
// when one side is a single pixel.
Pixels area(int x1, int y1, int x2, int y2) {
    Pixels pixels;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            pixels.insert({x, y});
    return pixels;
}

}  // namespace

TEST(Canvas, StartsWhiteAndPointsSetOnePixelInTheColour) {
    Canvas canvas(50, 40);
    EXPECT_TRUE(drawn(canvas).empty());
    canvas.setColour(kRed);
    canvas.point(5, 6);
    canvas.point(5.4f, 7.6f);   // nearest pixel: (5, 8)
    canvas.point(-1, 3);        // off the surface: clipped
    canvas.point(50, 3);
    EXPECT_EQ(drawn(canvas), (Pixels{{5, 6}, {5, 8}}));
    EXPECT_EQ(canvas.pixel(5, 6), kRed);
}

TEST(Canvas, LineLeavesOutEndPixel) {
    struct Case {
        float x1, y1, x2, y2;
        Pixels expected;
    };
    const Case cases[] = {
        {10, 10, 20, 10, area(10, 10, 19, 10)},
        {20, 10, 10, 10, area(11, 10, 20, 10)},
        {3, 2, 3, 6, area(3, 2, 3, 5)},
        {0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
        {7, 7, 7, 7, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2);
        Canvas canvas(30, 30);
        canvas.line(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(drawn(canvas), c.expected);
    }
}

// Lines, circles and boxes on and off the surface, huge and negative, are compared pixel
// for pixel with the plain reference in canvas_fast_paths_test.cpp.

TEST(Canvas, TextDrawsInTheColourFromItsTopLeftCorner) {
    Canvas canvas(100, 40);
    canvas.text(10, 5, "");
    EXPECT_TRUE(drawn(canvas).empty());
    canvas.setColour(kRed);
    canvas.text(10, 5, "Hi");
    const Pixels pixels = drawn(canvas);
    ASSERT_FALSE(pixels.empty());
    for (const auto& [x, y] : pixels) {
        EXPECT_EQ(canvas.pixel(x, y), kRed);
        EXPECT_TRUE(x >= 10 && y >= 5 && y < 5 + 16) << x << "," << y;
    }
}

TEST(Canvas, ClearAndResizeKeepTheRightPixels) {
    Canvas canvas(10, 10);
    canvas.setColour(kRed);
    canvas.point(2, 2);
    canvas.resize(20, 5);
    EXPECT_EQ(drawn(canvas), (Pixels{{2, 2}}));
    canvas.clear();
    EXPECT_TRUE(drawn(canvas).empty());
    EXPECT_EQ(canvas.colour(), kRed);
}

TEST(Canvas, PicturesAreStretchedAndMirrored) {
    const runner::Picture picture{2, 1, {0xFFFF0000u, 0xFF0000FFu}};  // red, blue
    Canvas canvas(20, 10), mirrored(20, 10);
    canvas.paint(picture, 2, 3, 8, 4);
    mirrored.paint(picture, 10, 3, -8, 4);  // spans x = 2 to 9, its left end at the right
    EXPECT_EQ(drawn(canvas), area(2, 3, 9, 6));
    EXPECT_EQ(drawn(mirrored), area(2, 3, 9, 6));
    EXPECT_EQ(canvas.pixel(2, 3), 0x0000FFu);  // red at the left
    EXPECT_EQ(canvas.pixel(9, 6), 0xFF0000u);  // blue at the right
    EXPECT_EQ(mirrored.pixel(3, 3), 0xFF0000u);
    EXPECT_EQ(mirrored.pixel(9, 3), 0x0000FFu);
}

TEST(Canvas, VeryLongTextsDrawOnlyTheirVisiblePart) {
    // 64 KiB of w's, far to the left: the visible tail lands where the short text does.
    const std::string tail = "Hi there";
    std::string text(1 << 16, 'w');
    Canvas reference(200, 30), canvas(200, 30);
    reference.text(10, 5, tail);
    const long long prefix = Canvas::textWidth(text);
    canvas.text(static_cast<float>(10 - prefix), 5, text + tail);
    Pixels right;  // the w's end at x = 10, where the tail begins
    for (const Pixel& pixel : drawn(canvas))
        if (pixel.first >= 10)
            right.insert(pixel);
    EXPECT_EQ(right, drawn(reference));
    EXPECT_LT(drawn(canvas).size(), drawn(reference).size() + 200);
    text.assign(64u << 20, 'x');
    canvas.text(0, 5, text);  // returns quickly: only a few hundred characters are laid out
}
