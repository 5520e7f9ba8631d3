#include "runner/canvas.h"

#include "platform/fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace runner {

namespace {

__extension__ typedef __int128 Wide;
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

// round(numerator / denominator) for denominator > 0, halves away from zero.
long long roundedQuotient(Wide numerator, Wide denominator) {
    const Wide magnitude = numerator < 0 ? -numerator : numerator;
    const auto quotient = static_cast<long long>((2 * magnitude + denominator) / (2 * denominator));
    return numerator < 0 ? -quotient : quotient;
}

// floor(sqrt(value)).
unsigned long long integerSquareRoot(UnsignedWide value) {
    auto root = static_cast<unsigned long long>(std::sqrt(static_cast<long double>(value)));
    while (static_cast<UnsignedWide>(root) * root > value)
        --root;
    while (static_cast<UnsignedWide>(root + 1) * (root + 1) <= value)
        ++root;
    return root;
}

// The circle's height above the centre at column offset [x]: the nearest whole number
// to sqrt(r^2 - x^2), halves up.
long long circleHeight(long long radius, long long x) {
    const UnsignedWide fourSquare = 4 * (static_cast<UnsignedWide>(radius) * radius -
                                              static_cast<UnsignedWide>(x) * x);
    return static_cast<long long>((integerSquareRoot(fourSquare) + 1) / 2);
}

struct Range {
    long long first;
    long long last;
};

}  // namespace

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

void Canvas::plot(long long x, long long y) {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return;
    reinterpret_cast<QRgb*>(m_image.scanLine(static_cast<int>(y)))[x] = rgb();
}

void Canvas::point(float x, float y) { plot(pixelOf(x), pixelOf(y)); }

void Canvas::line(float x1, float y1, float x2, float y2) {
    integerLine(pixelOf(x1), pixelOf(y1), pixelOf(x2), pixelOf(y2));
}

void Canvas::integerLine(long long x1, long long y1, long long x2, long long y2) {
    const long long dx = x2 - x1;
    const long long dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    // Walk the major axis from the start up to, not including, the end; the minor
    // coordinate of step t is the start's plus round(t * minor / major). Only the steps
    // whose major coordinate lies on the surface are walked.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? dx : dy;
    const long long minor = xMajor ? dy : dx;
    const long long steps = std::llabs(major);
    const long long direction = sign(major);
    const long long start = xMajor ? x1 : y1;
    const long long minorStart = xMajor ? y1 : x1;
    const long long extent = xMajor ? m_image.width() : m_image.height();
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
    const long long w = m_image.width();
    const long long h = m_image.height();
    std::vector<Range> ranges = {{-cx, w - 1 - cx}, {cx - (w - 1), cx}, {-cy, h - 1 - cy}, {cy - (h - 1), cy}};
    for (Range& range : ranges) {
        range.first = std::max(range.first, 0LL);
        range.last = std::min(range.last, octantEnd);
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
    long long next = 0;  // first offset not walked yet
    for (const Range& range : ranges) {
        for (long long offset = std::max(range.first, next); offset <= range.last; ++offset) {
            const long long height = circleHeight(r, offset);
            plot(cx + offset, cy + height);
            plot(cx - offset, cy + height);
            plot(cx + offset, cy - height);
            plot(cx - offset, cy - height);
            plot(cx + height, cy + offset);
            plot(cx - height, cy + offset);
            plot(cx + height, cy - offset);
            plot(cx - height, cy - offset);
        }
        next = std::max(next, range.last + 1);
    }
}

void Canvas::box(float x, float y, double width, double height, Fill fill) {
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
    // Deliberate: one pixel longer, so that the bottom-right corner is drawn.
    edge(right, top, right, bottom + 1);
    if (fill == Fill::No || !(height >= 0))
        return;
    // Rows from the top edge down to the bottom edge, and no further; rows off the
    // surface are not walked.
    const long long rows = static_cast<long long>(std::floor(std::min(height, kCoordinateLimit)));
    const long long topRow = pixelOf(top);
    const long long firstRow = std::max(0LL, -topRow);
    const long long lastRow = std::min(rows, static_cast<long long>(m_image.height()) - 1 - topRow);
    for (long long row = firstRow; row <= lastRow; ++row)
        edge(left, top + static_cast<double>(row), right, top + static_cast<double>(row));
}

QFont Canvas::defaultFont() {
    static const QFont font = [] {
        // The font ships with the system's DejaVu package; the same everywhere, so that
        // windows and screenshots agree.
        QFontDatabase::addApplicationFont(platform::surfaceFontFile());
        QFont chosen(platform::surfaceFontFamily());
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
