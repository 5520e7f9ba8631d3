// The glyph table text is drawn from: one-bit bitmaps of the characters 32 to 255 in the
// desktop's font (DejaVu Sans, 12 pixels, full hinting, no antialiasing), generated at
// build time by tools/make_glyphs so that every build of the runner, on the desktop and in
// the browser, draws the same text. No Qt.
#pragma once

#include <cstdint>

namespace runner::glyphs {

struct Glyph {
    std::int8_t left;     // bitmap's left column, from the pen position
    std::int8_t top;      // bitmap's top row, from the line's top
    std::uint8_t width;   // bitmap size in pixels
    std::uint8_t height;
    std::uint8_t advance; // the pen moves this far
    std::uint32_t offset; // first row in kRows
};

inline constexpr int kFirst = 32;
inline constexpr int kLast = 255;

// Glyph of character [code] (kFirst..kLast).
extern const Glyph kGlyphs[kLast - kFirst + 1];
// Bitmap rows, one 32-bit word per row, the leftmost pixel in the lowest bit.
extern const std::uint32_t kRows[];

}  // namespace runner::glyphs
