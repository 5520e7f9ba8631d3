#include "runner/pictures.h"

#include "runner/run_error.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>

namespace runner {

using Kind = RunError::Kind;

namespace {
std::int64_t pixelsOf(const QSize& size) {
    return static_cast<std::int64_t>(std::max(size.width(), 0)) * std::max(size.height(), 0);
}
std::string sizeText(const QSize& size) {
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

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

std::optional<Picture> decodePicture(std::string_view bytes, std::string* reason) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (reason)
            *reason = reader.errorString().toStdString();
        return std::nullopt;
    }
    return fromImage(image);
}

void Pictures::load(int holder, const std::string& bytes, const std::string& name) {
    const std::int64_t others = pixels() - (m_pictures.count(holder) ? pixelsOf(QSize(m_pictures.at(holder).width, m_pictures.at(holder).height)) : 0);
    const auto checkSize = [&](const QSize& size) {
        if (pixelsOf(size) > m_limits.onePicture)
            throw RunError(Kind::PictureTooLarge, "\"" + name + "\" has " + sizeText(size) + " pixels; one picture may have at most " +
                                                      std::to_string(m_limits.onePicture));
        if (others + pixelsOf(size) > m_limits.allPictures)
            throw RunError(Kind::PictureTooLarge, "\"" + name + "\" has " + sizeText(size) +
                                                      " pixels; all picture holders together may hold at most " +
                                                      std::to_string(m_limits.allPictures));
    };

    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // Qt's own bound on one decoded picture, in MiB, with room for 8 bytes a pixel.
    QImageReader::setAllocationLimit(static_cast<int>(std::max<std::int64_t>(1, (m_limits.onePicture * 8) >> 20)));
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The size comes from the header, before any pixel is decoded.
    if (const QSize size = reader.size(); size.isValid())
        checkSize(size);
    QImage image = reader.read();
    if (image.isNull())
        throw RunError(Kind::NotAPicture,
                       "\"" + name + "\" cannot be read as a picture: " + reader.errorString().toStdString());
    checkSize(image.size());
    // Transparent parts of a picture let the drawing beneath show through.
    m_pictures[holder] = fromImage(image);
}

void Pictures::clear(int holder) { m_pictures.erase(holder); }

const Picture& Pictures::picture(int holder) const {
    const auto found = m_pictures.find(holder);
    if (found == m_pictures.end())
        throw RunError(Kind::EmptyHolder, "picture holder " + std::to_string(holder) + " holds no picture");
    return found->second;
}

std::int64_t Pictures::pixels() const {
    std::int64_t total = 0;
    for (const auto& [holder, picture] : m_pictures)
        total += static_cast<std::int64_t>(picture.width) * picture.height;
    return total;
}

}  // namespace runner
