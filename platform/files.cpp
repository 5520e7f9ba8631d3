#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <ctime>

namespace platform {

namespace {
std::string text(const QString& string) { return string.toLocal8Bit().toStdString(); }
}  // namespace

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

}  // namespace platform
