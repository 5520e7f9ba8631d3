#include "runner/pictures.h"

#include "runner/run_error.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>

namespace runner {

using Kind = RunError::Kind;

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

std::optional<Picture> decodePicture(std::string_view bytes, std::string* error) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = reader.errorString().toStdString();
        return std::nullopt;
    }
    return fromImage(image);
}

void Pictures::load(int holder, const std::string& localPath) {
    if (localPath.empty()) {
        m_pictures.erase(holder);
        return;
    }
    const QString path = QString::fromLocal8Bit(localPath.data(), static_cast<qsizetype>(localPath.size()));
    const QFileInfo info(path);
    if (!info.exists())
        throw RunError(Kind::FileNotFound, "picture file \"" + localPath + "\" does not exist");
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        throw RunError(Kind::NotAPicture,
                       "\"" + localPath + "\" cannot be read as a picture: " + reader.errorString().toStdString());
    m_pictures[holder] = fromImage(image);
}

const Picture& Pictures::picture(int holder) const {
    const auto found = m_pictures.find(holder);
    if (found == m_pictures.end())
        throw RunError(Kind::EmptyHolder, "picture holder " + std::to_string(holder) + " holds no picture");
    return found->second;
}

}  // namespace runner
