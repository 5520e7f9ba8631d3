#include "editor/program_text.h"

#include "moxy/lines.h"

#include <algorithm>
#include <cstdio>

namespace editor {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}

std::string programText(const QString& rawText) {
    std::string program;
    program.reserve(static_cast<std::size_t>(rawText.size()) + 64);
    for (const QChar c : rawText) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n')) {
            program += kLineEnd;
            continue;
        }
        const char16_t code = c.unicode();
        program += code <= 0xFF ? static_cast<char>(code) : '?';
    }
    return program;
}

std::vector<moxy::Diagnostic> unstorableCharacters(const QString& rawText) {
    std::vector<moxy::Diagnostic> warnings;
    int line = 1;
    int column = 0;
    bool warned = false;  // about this line
    for (const QChar c : rawText) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n')) {
            ++line;
            column = 0;
            warned = false;
            continue;
        }
        ++column;
        if (c.unicode() <= 0xFF || warned)
            continue;
        warned = true;
        char code[8];
        std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c.unicode()));
        warnings.push_back({line, column, moxy::Severity::Warning,
                            std::string("the character U+") + code +
                                " cannot be stored: a program holds one byte per character (Latin-1), "
                                "so it becomes \"?\""});
    }
    return warnings;
}

QString boxText(std::string_view program) {
    return QString::fromLatin1(program.data(), static_cast<qsizetype>(program.size()));
}

int boxPosition(std::string_view program, long long offset) {
    if (offset <= 0)
        return 0;
    const auto end = std::min(static_cast<std::size_t>(offset), program.size());
    long long position = static_cast<long long>(end);
    // Every CR LF whose LF lies before the offset is one character less in the text box.
    for (std::size_t i = 1; i < end; ++i)
        if (program[i - 1] == '\r' && program[i] == '\n')
            --position;
    return static_cast<int>(position);
}

std::string openedText(std::string_view file) { return moxy::linesEndingInCrLf(file); }

std::string savedText(std::string text) {
    if (!text.empty() && !text.ends_with(kLineEnd))
        text += kLineEnd;
    return text;
}

QString pathBelow(const QString& folder, const QString& answer, const QString& extension) {
    QString name = answer + extension;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString replaceExtension(const QString& path, const QString& extension) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > nameStart)
        return path.left(dot) + extension;
    return path + extension;
}

}  // namespace editor
