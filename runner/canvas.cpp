#include "runner/canvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

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
    return static_cast<long long>(std::floor(std::clamp(coordinate, -kCoordinateLimit, kCoordinateLimit) + 0.5));
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
    QRgb* bits;
    long long stride;  // in pixels
    long long width;
    long long height;
    QRgb colour;

    void plot(long long x, long long y) const {
        if (static_cast<unsigned long long>(x) < static_cast<unsigned long long>(width) &&
            static_cast<unsigned long long>(y) < static_cast<unsigned long long>(height))
            bits[y * stride + x] = colour;
    }
};

Canvas::Surface Canvas::surface() {
    return Surface{reinterpret_cast<QRgb*>(m_image.bits()), m_image.bytesPerLine() / 4, m_image.width(),
                   m_image.height(), rgb()};
}

Canvas::Canvas(int width, int height) : m_image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32) {
    clear();
}

void Canvas::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == m_image.width() && height == m_image.height())
        return;
    QImage grown(width, height, QImage::Format_RGB32);
    grown.fill(QColor(255, 255, 255));
    QPainter painter(&grown);
    painter.drawImage(0, 0, m_image);
    painter.end();
    m_image = std::move(grown);
}

QRgb Canvas::rgb() const { return qRgb(m_colour & 0xFF, (m_colour >> 8) & 0xFF, (m_colour >> 16) & 0xFF); }

std::uint32_t Canvas::pixel(int x, int y) const {
    const QRgb value = m_image.pixel(x, y);
    return static_cast<std::uint32_t>(qRed(value)) | static_cast<std::uint32_t>(qGreen(value)) << 8 |
           static_cast<std::uint32_t>(qBlue(value)) << 16;
}

void Canvas::point(float x, float y) {
    const long long px = pixelOf(x);
    const long long py = pixelOf(y);
    if (px < 0 || py < 0 || px >= m_image.width() || py >= m_image.height())
        return;  // off the surface: nothing to detach
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
    QRgb* const bits = target.bits;
    const QRgb colour = target.colour;
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

QFont Canvas::defaultFont() {
    static const QFont font = [] {
        // The font ships with the system's DejaVu package; the same everywhere, so that
        // windows and screenshots agree.
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
        QFont chosen(QStringLiteral("DejaVu Sans"));
        chosen.setPixelSize(12);
        chosen.setStyleStrategy(QFont::NoAntialias);
        chosen.setHintingPreference(QFont::PreferFullHinting);
        return chosen;
    }();
    return font;
}

void Canvas::text(float x, float y, std::string_view text) {
    if (text.empty())
        return;
    const long long top = pixelOf(y);
    if (top >= m_image.height() || top < -1000)
        return;  // the line lies wholly off the surface
    QPainter painter(&m_image);
    painter.setFont(defaultFont());
    painter.setPen(QColor(rgb()));
    const QFontMetrics metrics(painter.font());
    long long left = pixelOf(x);
    // A very long text is laid out only where it can be seen: characters wholly left or
    // right of the surface are passed over (a margin keeps the visible part's shaping).
    constexpr std::size_t kShortText = 1000;
    constexpr std::size_t kMargin = 8;
    std::size_t first = 0;
    std::size_t last = text.size();
    if (text.size() > kShortText) {
        std::size_t index = 0;
        long long pen = left;
        std::size_t firstVisible = text.size();
        for (; index < text.size() && pen <= m_image.width(); ++index) {
            const long long advance = metrics.horizontalAdvance(QChar(static_cast<unsigned char>(text[index])));
            if (pen + advance >= 0 && firstVisible == text.size())
                firstVisible = index;
            pen += advance;
        }
        if (firstVisible == text.size())
            return;
        first = firstVisible > kMargin ? firstVisible - kMargin : 0;
        last = std::min(text.size(), index + kMargin);
        for (std::size_t i = 0; i < first; ++i)
            left += metrics.horizontalAdvance(QChar(static_cast<unsigned char>(text[i])));
    }
    const std::string_view shown = text.substr(first, last - first);
    const QString string = QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size()));
    painter.drawText(QPointF(static_cast<double>(left), static_cast<double>(top + metrics.ascent())), string);
}

void Canvas::clear() { m_image.fill(QColor(255, 255, 255)); }

void Canvas::paint(const QImage& picture, float x, float y, double width, double height) {
    if (picture.isNull() || std::isnan(width) || std::isnan(height))
        return;
    const double clampedWidth = std::clamp(width, -kCoordinateLimit, kCoordinateLimit);
    const double clampedHeight = std::clamp(height, -kCoordinateLimit, kCoordinateLimit);
    const QImage oriented = picture.mirrored(clampedWidth < 0, clampedHeight < 0);
    QRectF target(static_cast<double>(pixelOf(x)), static_cast<double>(pixelOf(y)), clampedWidth, clampedHeight);
    target = target.normalized();
    QPainter painter(&m_image);
    painter.setClipRect(m_image.rect());
    painter.drawImage(target, oriented);
}

}  // namespace runner
