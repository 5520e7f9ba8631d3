#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>
#include <ctime>

namespace platform {

namespace {
QString qPath(const std::string& path) { return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size())); }
std::string text(const QString& string) { return string.toLocal8Bit().toStdString(); }

void fail(FileError* error, FileFailure failure, const QString& reason) {
    if (error)
        *error = FileError{failure, text(reason)};
}
}  // namespace

std::string localPath(std::string_view programPath) {
    std::string path(programPath);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::optional<std::string> readWholeFile(const std::string& path, FileError* error, std::size_t maxBytes) {
    QFile file(qPath(path));
    if (path.empty() || !file.exists()) {
        fail(error, FileFailure::NotFound, QStringLiteral("No such file or directory"));
        return std::nullopt;
    }
    if (QFileInfo(file).isDir()) {
        fail(error, FileFailure::Unreadable, QStringLiteral("Is a directory"));
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, FileFailure::Unreadable, file.errorString());
        return std::nullopt;
    }
    // Read in pieces, so that a device without end (or a huge file) stops at the limit.
    std::string content;
    if (file.size() > 0)
        content.reserve(std::min(static_cast<std::size_t>(file.size()), maxBytes));
    std::vector<char> piece(std::size_t{1} << 16);
    while (true) {
        const qint64 read = file.read(piece.data(), static_cast<qint64>(piece.size()));
        if (read < 0) {
            fail(error, FileFailure::Unreadable, file.errorString());
            return std::nullopt;
        }
        if (read == 0)
            break;
        if (content.size() + static_cast<std::size_t>(read) > maxBytes) {
            fail(error, FileFailure::TooLarge,
                 QStringLiteral("larger than %1 MiB").arg(static_cast<qulonglong>(maxBytes >> 20)));
            return std::nullopt;
        }
        content.append(piece.data(), static_cast<std::size_t>(read));
    }
    return content;
}

bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error) {
    if (path.empty()) {
        fail(error, FileFailure::Unwritable, QStringLiteral("empty path"));
        return false;
    }
    QSaveFile file(qPath(path));
    if (!file.open(QIODevice::WriteOnly)) {
        fail(error, FileFailure::Unwritable, file.errorString());
        return false;
    }
    if (file.write(content.data(), static_cast<qint64>(content.size())) != static_cast<qint64>(content.size())) {
        fail(error, FileFailure::Unwritable, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        fail(error, FileFailure::Unwritable, file.errorString());
        return false;
    }
    return true;
}

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else if (c == '\\' && i + 1 < commandLine.size() &&
                     (commandLine[i + 1] == '"' || commandLine[i + 1] == '\\' || commandLine[i + 1] == '$'))
                word += commandLine[++i];
            else
                word += c;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == '\'' || c == '"')
                quote = c;
            else if (c == '\\' && i + 1 < commandLine.size())
                word += commandLine[++i];
            else
                word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

bool startDetached(std::string_view commandLine, std::string* reason) {
    QStringList words;
    for (const std::string& word : splitCommandLine(commandLine))
        words << QString::fromLocal8Bit(word.data(), static_cast<qsizetype>(word.size()));
    if (words.isEmpty()) {
        if (reason)
            *reason = "empty command line";
        return false;
    }
    QProcess process;
    process.setProgram(words.front());
    process.setArguments(words.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        if (reason)
            *reason = text(process.errorString());
        return false;
    }
    return true;
}

std::int32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(milliseconds));
}

std::string executableFolder() {
    QString folder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return text(folder);
}

std::string canonicalFolderOf(const std::string& path) {
    return text(QFileInfo(qPath(path)).absoluteDir().canonicalPath());
}

bool isInside(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.empty())
        return false;
    const QFileInfo info(qPath(path));
    if (!info.exists() && (info.fileName().isEmpty() || info.fileName() == QLatin1String(".") ||
                           info.fileName() == QLatin1String("..")))
        return false;
    // A file that does not exist yet is judged by its folder.
    QString resolved = info.exists() ? info.canonicalFilePath()
                                     : QDir(info.absolutePath()).canonicalPath() + QLatin1Char('/') + info.fileName();
    if (!info.exists() && QDir(info.absolutePath()).canonicalPath().isEmpty())
        return false;
    const QString root = qPath(folder);
    return resolved.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

}  // namespace platform
