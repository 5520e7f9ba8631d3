// Pictures in and out through Qt Gui's image readers and writers.
#include "runner/canvas_image.h"
#include "runner/pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>

namespace runner {

namespace {

Picture fromImage(const QImage& image) {
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    Picture picture;
    picture.width = straight.width();
    picture.height = straight.height();
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(straight.constScanLine(y));
        std::copy(row, row + picture.width, picture.pixels.begin() + static_cast<std::ptrdiff_t>(y) * picture.width);
    }
    return picture;
}

}  // namespace

std::optional<Picture> decodePicture(std::string_view bytes, std::string* reason, const PictureSizeCheck* bound) {
    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // Qt's own bound on one decoded picture, in MiB, with room for 8 bytes a pixel.
    if (bound)
        QImageReader::setAllocationLimit(static_cast<int>(std::max<std::int64_t>(1, (bound->largestPixels * 8) >> 20)));
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The size comes from the header, before any pixel is decoded.
    if (const QSize size = reader.size(); bound && bound->check && size.isValid())
        bound->check(size.width(), size.height());
    const QImage image = reader.read();
    if (image.isNull()) {
        if (reason)
            *reason = reader.errorString().toStdString();
        return std::nullopt;
    }
    if (bound && bound->check)
        bound->check(image.width(), image.height());
    return fromImage(image);
}

std::optional<std::string> encodePng(const Canvas& canvas) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!imageOf(canvas).save(&buffer, "PNG"))
        return std::nullopt;
    return png.toStdString();
}

}  // namespace runner
