#include "runner/canvas.h"

#include "runner/glyphs.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace runner {

namespace {

__extension__ typedef unsigned __int128 UnsignedWide;

// Coordinates beyond this lie far outside any surface; keeping them bounded keeps the
// integer arithmetic exact.
constexpr double kCoordinateLimit = 1099511627776.0;  // 2^40
constexpr long long kRadiusLimit = 2147483647;

// A coordinate's pixel: the nearest, halves up, so that coordinates one apart always
// land on pixels one apart.
long long pixelOf(double coordinate) {
    if (std::isnan(coordinate))
        return 0;
    const double shifted = std::clamp(coordinate, -kCoordinateLimit, kCoordinateLimit) + 0.5;  // exact
    const auto truncated = static_cast<long long>(shifted);
    return truncated - (static_cast<double>(truncated) > shifted);  // floor
}

long long sign(long long value) { return (value > 0) - (value < 0); }

// floor(sqrt(value)); exact for every value below 2^64 (the long double holds it whole).
unsigned long long integerSquareRoot(unsigned long long value) {
    auto root = static_cast<unsigned long long>(std::sqrt(static_cast<long double>(value)));
    while (root * root > value)
        --root;
    while ((root + 1) * (root + 1) <= value)
        ++root;
    return root;
}

// The circle's height above the centre at column offset [x]: the nearest whole number
// to sqrt(r^2 - x^2), halves up. With r below 2^31, 4 r^2 fits in 64 bits.
long long circleHeight(long long radius, long long x) {
    const unsigned long long fourSquare =
        4 * (static_cast<unsigned long long>(radius) * static_cast<unsigned long long>(radius) -
             static_cast<unsigned long long>(x) * static_cast<unsigned long long>(x));
    return static_cast<long long>((integerSquareRoot(fourSquare) + 1) / 2);
}

struct Range {
    long long first;
    long long last;
};

}  // namespace

// The raster as one primitive sees it: detached once, the colour looked up once.
struct Canvas::Surface {
    std::uint32_t* bits;
    long long stride;  // in pixels
    long long width;
    long long height;
    std::uint32_t colour;

    void plot(long long x, long long y) const {
        if (static_cast<unsigned long long>(x) < static_cast<unsigned long long>(width) &&
            static_cast<unsigned long long>(y) < static_cast<unsigned long long>(height))
            bits[y * stride + x] = colour;
    }
};

Canvas::Surface Canvas::surface() { return Surface{m_bits.data(), m_width, m_width, m_height, rgb()}; }

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_bits(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0xFFFFFFFFu) {}

void Canvas::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == m_width && height == m_height)
        return;
    std::vector<std::uint32_t> grown(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFFFFFFFFu);
    const int keptWidth = std::min(width, m_width);
    const int keptHeight = std::min(height, m_height);
    for (int y = 0; y < keptHeight; ++y)
        std::copy_n(m_bits.begin() + static_cast<std::ptrdiff_t>(y) * m_width, keptWidth,
                    grown.begin() + static_cast<std::ptrdiff_t>(y) * width);
    m_bits = std::move(grown);
    m_width = width;
    m_height = height;
}

std::uint32_t Canvas::rgb() const {
    return 0xFF000000u | (m_colour & 0xFF) << 16 | (m_colour & 0xFF00) | (m_colour >> 16 & 0xFF);
}

std::uint32_t Canvas::pixel(int x, int y) const {
    const std::uint32_t value = m_bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)];
    return (value >> 16 & 0xFF) | (value & 0xFF00) | (value & 0xFF) << 16;
}

void Canvas::point(float x, float y) {
    const long long px = pixelOf(x);
    const long long py = pixelOf(y);
    if (px < 0 || py < 0 || px >= m_width || py >= m_height)
        return;
    surface().plot(px, py);
}

void Canvas::line(float x1, float y1, float x2, float y2) {
    const Surface target = surface();
    integerLine(target, pixelOf(x1), pixelOf(y1), pixelOf(x2), pixelOf(y2));
}

void Canvas::integerLine(const Surface& target, long long x1, long long y1, long long x2, long long y2) {
    const long long dx = x2 - x1;
    const long long dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    // Walk the major axis from the start up to, not including, the end; the minor
    // coordinate of step t is the start's plus round(t * minor / major), halves away
    // from zero. Only the steps whose major coordinate lies on the surface are walked.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? dx : dy;
    const long long minor = xMajor ? dy : dx;
    const long long steps = std::llabs(major);
    const long long direction = sign(major);
    const long long start = xMajor ? x1 : y1;
    const long long minorStart = xMajor ? y1 : x1;
    const long long extent = xMajor ? target.width : target.height;
    long long first = 0;
    long long last = steps - 1;
    if (direction > 0) {
        first = std::max(first, -start);
        last = std::min(last, extent - 1 - start);
    } else {
        first = std::max(first, start - (extent - 1));
        last = std::min(last, start);
    }
    if (first > last)
        return;
    // round(t |minor| / steps) = floor((2 t |minor| + steps) / (2 steps)): quotient and
    // remainder at the first step, then one addition per step (|minor| <= steps, so the
    // quotient grows by at most one). Coordinates below 2^41 keep every sum in 64 bits.
    const auto absMinor = static_cast<unsigned long long>(std::llabs(minor));
    const auto twoSteps = 2 * static_cast<unsigned long long>(steps);
    const auto twoMinor = 2 * absMinor;
    unsigned long long quotient = 0;
    unsigned long long remainder = 0;
    const auto firstStep = static_cast<unsigned long long>(first);
    if (firstStep < (1ULL << 31) && absMinor < (1ULL << 31)) {
        const unsigned long long numerator = 2 * firstStep * absMinor + static_cast<unsigned long long>(steps);
        quotient = numerator / twoSteps;
        remainder = numerator % twoSteps;
    } else {
        const UnsignedWide numerator = static_cast<UnsignedWide>(2 * firstStep) * absMinor + static_cast<unsigned long long>(steps);
        quotient = static_cast<unsigned long long>(numerator / twoSteps);
        remainder = static_cast<unsigned long long>(numerator % twoSteps);
    }
    const long long acrossStep = sign(minor);
    long long across = minorStart + acrossStep * static_cast<long long>(quotient);
    long long along = start + direction * first;
    const long long acrossExtent = xMajor ? target.height : target.width;
    // Along the major axis every pixel lies on the surface; across it, only some. The
    // index may point off the raster (it stays within 64 bits) while [across] does.
    std::uint32_t* const bits = target.bits;
    const std::uint32_t colour = target.colour;
    const long long alongStride = xMajor ? direction : direction * target.stride;
    const long long acrossStride = xMajor ? acrossStep * target.stride : acrossStep;
    long long index = xMajor ? along + across * target.stride : across + along * target.stride;
    for (long long t = first; t <= last; ++t) {
        if (static_cast<unsigned long long>(across) < static_cast<unsigned long long>(acrossExtent))
            bits[index] = colour;
        index += alongStride;
        remainder += twoMinor;
        if (remainder >= twoSteps) {
            remainder -= twoSteps;
            across += acrossStep;
            index += acrossStride;
        }
    }
}

void Canvas::circle(float x, float y, float radius) {
    const long long cx = pixelOf(x);
    const long long cy = pixelOf(y);
    const double magnitude = std::isnan(radius) ? 0.0 : std::fabs(static_cast<double>(radius));
    const long long r = std::min(static_cast<long long>(std::nearbyint(std::min(magnitude, 4e9))), kRadiusLimit);

    // One octant, x from 0 while x <= height(x); the others by symmetry.
    long long octantEnd = static_cast<long long>(static_cast<double>(r) / std::sqrt(2.0));
    while (octantEnd + 1 <= r && octantEnd + 1 <= circleHeight(r, octantEnd + 1))
        ++octantEnd;
    while (octantEnd > 0 && octantEnd > circleHeight(r, octantEnd))
        --octantEnd;

    // Only offsets that can land on the surface are walked: those that put a column
    // (cx +- x) or a row (cy +- x) on it.
    const Surface target = surface();
    const long long w = target.width;
    const long long h = target.height;
    std::array<Range, 4> ranges = {{{-cx, w - 1 - cx}, {cx - (w - 1), cx}, {-cy, h - 1 - cy}, {cy - (h - 1), cy}}};
    for (Range& range : ranges) {
        range.first = std::max(range.first, 0LL);
        range.last = std::min(range.last, octantEnd);
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
    long long next = 0;  // first offset not walked yet
    for (const Range& range : ranges) {
        for (long long offset = std::max(range.first, next); offset <= range.last; ++offset) {
            const long long height = circleHeight(r, offset);
            target.plot(cx + offset, cy + height);
            target.plot(cx - offset, cy + height);
            target.plot(cx + offset, cy - height);
            target.plot(cx - offset, cy - height);
            target.plot(cx + height, cy + offset);
            target.plot(cx - height, cy + offset);
            target.plot(cx + height, cy - offset);
            target.plot(cx - height, cy - offset);
        }
        next = std::max(next, range.last + 1);
    }
}

void Canvas::box(float x, float y, double width, double height, Fill fill) {
    const Surface target = surface();
    const double left = x;
    const double top = y;
    const double right = left + width;
    const double bottom = top + height;
    // Each edge's ends go through single precision, as a line's coordinates do.
    auto edge = [this, &target](double x1, double y1, double x2, double y2) {
        integerLine(target, pixelOf(static_cast<float>(x1)), pixelOf(static_cast<float>(y1)),
                    pixelOf(static_cast<float>(x2)), pixelOf(static_cast<float>(y2)));
    };
    edge(left, top, right, top);
    edge(left, top, left, bottom);
    edge(left, bottom, right, bottom);
    // Deliberate: one pixel longer, so that the bottom-right corner is drawn.
    edge(right, top, right, bottom + 1);
    if (fill == Fill::No || !(height >= 0))
        return;
    // Rows from the top edge down to the bottom edge, and no further; rows off the
    // surface are not walked.
    const long long rows = static_cast<long long>(std::floor(std::min(height, kCoordinateLimit)));
    const long long topRow = pixelOf(top);
    const long long firstRow = std::max(0LL, -topRow);
    const long long lastRow = std::min(rows, target.height - 1 - topRow);
    for (long long row = firstRow; row <= lastRow; ++row)
        edge(left, top + static_cast<double>(row), right, top + static_cast<double>(row));
}

namespace {

const glyphs::Glyph* glyphOf(unsigned char code) {
    return code >= glyphs::kFirst ? &glyphs::kGlyphs[code - glyphs::kFirst] : nullptr;
}

long long advanceOf(unsigned char code) {
    const glyphs::Glyph* glyph = glyphOf(code);
    return glyph ? glyph->advance : 0;
}

}  // namespace

long long Canvas::textWidth(std::string_view text) {
    long long width = 0;
    for (const char c : text)
        width += advanceOf(static_cast<unsigned char>(c));
    return width;
}

void Canvas::text(float x, float y, std::string_view text) {
    const long long top = pixelOf(y);
    if (text.empty() || top >= m_height || top < -1000)
        return;  // the line lies wholly off the surface
    const Surface target = surface();
    long long pen = pixelOf(x);
    // Characters wholly right of the surface end the walk; a very long text costs only
    // one addition per character left of it.
    for (std::size_t index = 0; index < text.size() && pen < m_width + 64; ++index) {
        const glyphs::Glyph* glyph = glyphOf(static_cast<unsigned char>(text[index]));
        if (glyph == nullptr)
            continue;
        const long long left = pen + glyph->left;
        pen += glyph->advance;
        if (left + glyph->width <= 0 || left >= m_width)
            continue;
        const long long glyphTop = top + glyph->top;
        for (int row = 0; row < glyph->height; ++row) {
            std::uint32_t bits = glyphs::kRows[glyph->offset + static_cast<std::uint32_t>(row)];
            for (long long column = left; bits != 0; ++column, bits >>= 1)
                if (bits & 1)
                    target.plot(column, glyphTop + row);
        }
    }
}

void Canvas::clear() { std::fill(m_bits.begin(), m_bits.end(), 0xFFFFFFFFu); }

void Canvas::paint(const Picture& picture, float x, float y, double width, double height) {
    if (picture.empty() || std::isnan(width) || std::isnan(height) || width == 0 || height == 0)
        return;
    const double clampedWidth = std::clamp(width, -kCoordinateLimit, kCoordinateLimit);
    const double clampedHeight = std::clamp(height, -kCoordinateLimit, kCoordinateLimit);
    // The target rectangle runs from the pixel of (x, y) over the size, to the left or up
    // when the size is negative; the pixels whose centres lie inside it are painted, each
    // with the source pixel under its centre, mirrored for a negative size.
    const double anchorX = static_cast<double>(pixelOf(x));
    const double anchorY = static_cast<double>(pixelOf(y));
    const double left = anchorX + std::min(clampedWidth, 0.0);
    const double top = anchorY + std::min(clampedHeight, 0.0);
    const double spanX = std::fabs(clampedWidth);
    const double spanY = std::fabs(clampedHeight);
    const long long firstColumn = std::max(0LL, static_cast<long long>(std::ceil(left - 0.5)));
    const long long endColumn = std::min<long long>(m_width, static_cast<long long>(std::ceil(left + spanX - 0.5)));
    const long long firstRow = std::max(0LL, static_cast<long long>(std::ceil(top - 0.5)));
    const long long endRow = std::min<long long>(m_height, static_cast<long long>(std::ceil(top + spanY - 0.5)));
    if (firstColumn >= endColumn || firstRow >= endRow)
        return;
    const auto source = [](double offset, double span, int size, bool mirrored) {
        long long at = static_cast<long long>(std::floor(offset * size / span));
        at = std::clamp<long long>(at, 0, size - 1);
        return static_cast<int>(mirrored ? size - 1 - at : at);
    };
    std::vector<int> columns(static_cast<std::size_t>(endColumn - firstColumn));
    for (long long column = firstColumn; column < endColumn; ++column)
        columns[static_cast<std::size_t>(column - firstColumn)] =
            source(static_cast<double>(column) + 0.5 - left, spanX, picture.width, clampedWidth < 0);
    for (long long row = firstRow; row < endRow; ++row) {
        const int sourceRow = source(static_cast<double>(row) + 0.5 - top, spanY, picture.height, clampedHeight < 0);
        const std::uint32_t* from = picture.pixels.data() + static_cast<std::size_t>(sourceRow) * static_cast<std::size_t>(picture.width);
        std::uint32_t* to = m_bits.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(m_width);
        for (long long column = firstColumn; column < endColumn; ++column) {
            const std::uint32_t value = from[columns[static_cast<std::size_t>(column - firstColumn)]];
            const std::uint32_t alpha = value >> 24;
            std::uint32_t& pixel = to[column];
            if (alpha == 255) {
                pixel = value;
            } else if (alpha != 0) {
                // Source over, straight alpha, each channel rounded to the nearest.
                std::uint32_t mixed = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t s = value >> shift & 0xFF;
                    const std::uint32_t d = pixel >> shift & 0xFF;
                    mixed |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
                }
                pixel = mixed;
            }
        }
    }
}

}  // namespace runner
