// The canvas's primitives drawn pixel by pixel in 128-bit arithmetic, with runner::Canvas's
// rules: nearest pixel (halves up), coordinates bounded to 2^40, a line's end pixel not drawn.
#pragma once

#include "runner/host.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testing_support {

class ReferenceCanvas {
public:
    // [bits]: [width] x [height] pixels, 0xFFRRGGBB, row by row.
    ReferenceCanvas(std::vector<std::uint32_t>& bits, int width, int height, std::uint32_t colour)
        : m_bits(bits), m_width(width), m_height(height), m_colour(colour) {}

    void point(float x, float y) { plot(pixelOf(x), pixelOf(y)); }
    void line(float x1, float y1, float x2, float y2) {
        integerLine(pixelOf(x1), pixelOf(y1), pixelOf(x2), pixelOf(y2));
    }

    void circle(float x, float y, float radius) {
        const long long cx = pixelOf(x);
        const long long cy = pixelOf(y);
        const double magnitude = std::isnan(radius) ? 0.0 : std::fabs(static_cast<double>(radius));
        const long long r = std::min(static_cast<long long>(std::nearbyint(std::min(magnitude, 4e9))), kRadiusLimit);
        long long octantEnd = static_cast<long long>(static_cast<double>(r) / std::sqrt(2.0));
        while (octantEnd + 1 <= r && octantEnd + 1 <= circleHeight(r, octantEnd + 1))
            ++octantEnd;
        while (octantEnd > 0 && octantEnd > circleHeight(r, octantEnd))
            --octantEnd;
        const long long w = m_width;
        const long long h = m_height;
        // Only offsets where one of the eight points can be on the surface (huge radii).
        for (auto [first, last] : {std::pair{-cx, w - 1 - cx}, {cx - (w - 1), cx}, {-cy, h - 1 - cy}, {cy - (h - 1), cy}}) {
            for (long long offset = std::max(first, 0LL); offset <= std::min(last, octantEnd); ++offset) {
                const long long height = circleHeight(r, offset);
                for (const long long sx : {-1, 1})
                    for (const long long sy : {-1, 1}) {
                        plot(cx + sx * offset, cy + sy * height);
                        plot(cx + sx * height, cy + sy * offset);
                    }
            }
        }
    }

    void box(float x, float y, double width, double height, runner::Fill fill) {
        const double left = x;
        const double top = y;
        const double right = left + width;
        const double bottom = top + height;
        auto edge = [this](double x1, double y1, double x2, double y2) {
            line(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(x2), static_cast<float>(y2));
        };
        edge(left, top, right, top);
        edge(left, top, left, bottom);
        edge(left, bottom, right, bottom);
        edge(right, top, right, bottom + 1);
        if (fill == runner::Fill::No || !(height >= 0))
            return;
        const long long rows = static_cast<long long>(std::floor(std::min(height, kCoordinateLimit)));
        const long long topRow = pixelOf(top);
        const long long firstRow = std::max(0LL, -topRow);
        const long long lastRow = std::min(rows, static_cast<long long>(m_height) - 1 - topRow);
        for (long long row = firstRow; row <= lastRow; ++row)
            edge(left, top + static_cast<double>(row), right, top + static_cast<double>(row));
    }

private:
    __extension__ typedef __int128 Wide;
    __extension__ typedef unsigned __int128 UnsignedWide;
    static constexpr double kCoordinateLimit = 1099511627776.0;
    static constexpr long long kRadiusLimit = 2147483647;

    static long long pixelOf(double coordinate) {
        if (std::isnan(coordinate))
            return 0;
        return static_cast<long long>(std::floor(std::clamp(coordinate, -kCoordinateLimit, kCoordinateLimit) + 0.5));
    }
    static long long roundedQuotient(Wide numerator, Wide denominator) {
        const Wide magnitude = numerator < 0 ? -numerator : numerator;
        const auto quotient = static_cast<long long>((2 * magnitude + denominator) / (2 * denominator));
        return numerator < 0 ? -quotient : quotient;
    }
    static unsigned long long integerSquareRoot(UnsignedWide value) {
        auto root = static_cast<unsigned long long>(std::sqrt(static_cast<long double>(value)));
        while (static_cast<UnsignedWide>(root) * root > value)
            --root;
        while (static_cast<UnsignedWide>(root + 1) * (root + 1) <= value)
            ++root;
        return root;
    }
    static long long circleHeight(long long radius, long long x) {
        const UnsignedWide fourSquare =
            4 * (static_cast<UnsignedWide>(radius) * radius - static_cast<UnsignedWide>(x) * x);
        return static_cast<long long>((integerSquareRoot(fourSquare) + 1) / 2);
    }

    void plot(long long x, long long y) {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height)
            return;
        m_bits[static_cast<std::size_t>(y * m_width + x)] =
            0xFF000000u | (m_colour & 0xFF) << 16 | (m_colour & 0xFF00) | (m_colour >> 16 & 0xFF);
    }

    void integerLine(long long x1, long long y1, long long x2, long long y2) {
        const long long dx = x2 - x1;
        const long long dy = y2 - y1;
        if (dx == 0 && dy == 0)
            return;
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const long long major = xMajor ? dx : dy;
        const long long minor = xMajor ? dy : dx;
        const long long steps = std::llabs(major);
        const long long direction = major > 0 ? 1 : -1;
        const long long start = xMajor ? x1 : y1;
        const long long minorStart = xMajor ? y1 : x1;
        const long long extent = xMajor ? m_width : m_height;
        long long first = 0;
        long long last = steps - 1;
        if (direction > 0) {
            first = std::max(first, -start);
            last = std::min(last, extent - 1 - start);
        } else {
            first = std::max(first, start - (extent - 1));
            last = std::min(last, start);
        }
        for (long long t = first; t <= last; ++t) {
            const long long along = start + direction * t;
            const long long across = minorStart + roundedQuotient(static_cast<Wide>(t) * minor, steps);
            if (xMajor)
                plot(along, across);
            else
                plot(across, along);
        }
    }

    std::vector<std::uint32_t>& m_bits;
    int m_width;
    int m_height;
    std::uint32_t m_colour;
};

}  // namespace testing_support
