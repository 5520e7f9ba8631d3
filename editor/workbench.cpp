#include "editor/workbench.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace editor {

namespace {

const QString kShareDoc = QStringLiteral("share/doc/moxy-toolchain");

}  // namespace

bool fitsTheEditor(std::string_view file) {
    if (file.size() > kLargestSource)
        return false;
    std::size_t lines = 0;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i <= file.size(); ++i) {
        if (i < file.size() && file[i] != '\n' && file[i] != '\r')
            continue;
        if (i - lineStart > kLongestSourceLine || ++lines > kMostSourceLines)
            return false;
        if (i + 1 < file.size() && file[i] == '\r' && file[i + 1] == '\n')
            ++i;
        lineStart = i + 1;
    }
    return true;
}

bool canWriteIn(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-test-XXXXXX")));
    return probe.open();  // removed again when probe goes
}

QString filesFolder(const QString& programFolder, const QString& userFolder) {
    if (canWriteIn(programFolder) || userFolder.isEmpty())
        return programFolder;
    if (!QDir().mkpath(userFolder) || !canWriteIn(userFolder))
        return programFolder;
    return QDir::cleanPath(userFolder);
}

QString userFilesFolder(const QString& programName) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(programName);
}

QString findRunner(const QString& programFolder) {
    const QFileInfo beside(QDir(programFolder).filePath(QStringLiteral("moxy")));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("moxy"));
}

QString findReference(const QString& programFolder, const QString& fileName) {
    const QDir folder(programFolder);
    const QString candidates[] = {
        folder.filePath(QStringLiteral("docs/") + fileName),               // the build tree
        folder.filePath(QStringLiteral("../") + kShareDoc + '/' + fileName),  // PREFIX/bin beside PREFIX/share
        QStringLiteral("/usr/") + kShareDoc + '/' + fileName,
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return QString();
}

long long offsetOf(std::string_view text, int line, int column) {
    std::size_t at = 0;
    for (int current = 1; current < line && at < text.size(); ++current) {
        while (at < text.size() && text[at] != '\r' && text[at] != '\n')
            ++at;
        if (at < text.size() && text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            ++at;
        if (at < text.size())
            ++at;
    }
    for (int current = 1; current < column && at < text.size() && text[at] != '\r' && text[at] != '\n'; ++current)
        ++at;
    return static_cast<long long>(at);
}

}  // namespace editor
