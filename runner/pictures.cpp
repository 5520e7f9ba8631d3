#include "runner/pictures.h"

#include "runner/run_error.h"

#include <QFileInfo>
#include <QImageReader>

namespace runner {

using Kind = RunError::Kind;

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
    QImage image = reader.read();
    if (image.isNull())
        throw RunError(Kind::NotAPicture,
                       "\"" + localPath + "\" cannot be read as a picture: " + reader.errorString().toStdString());
    // Transparent parts of a picture let the drawing beneath show through.
    m_pictures[holder] = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

const QImage& Pictures::picture(int holder) const {
    const auto found = m_pictures.find(holder);
    if (found == m_pictures.end())
        throw RunError(Kind::EmptyHolder, "picture holder " + std::to_string(holder) + " holds no picture");
    return found->second;
}

}  // namespace runner
