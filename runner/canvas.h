// The drawing surface: a raster of 32-bit pixels that outlives covering and uncovering
// (a window only shows it), with exact primitives of our own. Points, lines, circles,
// boxes, text and pictures are written pixel by pixel so that every pixel is a fact a
// test can check, and so that the desktop and the browser draw the same pixels from the
// same code. Text comes from a glyph table made from the desktop's font at build time.
// Everything drawn is clipped to the surface. No Qt.
#pragma once

#include "runner/host.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace runner {

// A decoded picture: [pixels] row by row, each 0xAARRGGBB with straight (not
// premultiplied) alpha.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
};

class Canvas {
public:
    static constexpr std::uint32_t kWhite = 0xFFFFFF;

    Canvas(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The raster, row by row without padding, each pixel 0xFFRRGGBB (the layout of an
    // RGB32 image).
    const std::uint32_t* bits() const { return m_bits.data(); }

    // Grows or shrinks the surface; what was drawn stays at its place, new parts are white.
    void resize(int width, int height);

    // [colour] packed as red + 256 x green + 65536 x blue.
    void setColour(std::uint32_t colour) { m_colour = colour; }
    std::uint32_t colour() const { return m_colour; }

    void point(float x, float y);
    // Deliberate: the start pixel is drawn, the end pixel is not.
    void line(float x1, float y1, float x2, float y2);
    void circle(float x, float y, float radius);
    // Four edges (top, left, bottom, right; the right one a pixel longer so that the
    // bottom-right corner is drawn); with Fill::Yes the rows from the top edge down to
    // the bottom edge are filled.
    void box(float x, float y, double width, double height, Fill fill);
    // [text] (one byte per character, Latin-1) with its top-left corner at (x, y), not
    // wrapped.
    void text(float x, float y, std::string_view text);
    void clear();
    // [picture] stretched or shrunk to [width] x [height] (nearest source pixel) with its
    // top-left at (x, y); a negative size mirrors it. Transparent parts let the drawing
    // beneath show through.
    void paint(const Picture& picture, float x, float y, double width, double height);

    // The packed colour of a pixel, for tests and screenshots.
    std::uint32_t pixel(int x, int y) const;

    // The width in pixels of [text] as text() lays it out.
    static long long textWidth(std::string_view text);

private:
    struct Surface;
    Surface surface();
    static void integerLine(const Surface& target, long long x1, long long y1, long long x2, long long y2);
    std::uint32_t rgb() const;

    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_bits;
    std::uint32_t m_colour = 0;  // black
};

}  // namespace runner
