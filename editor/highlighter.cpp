#include "editor/highlighter.h"

#include <QColor>
#include <QFont>
#include <QTextDocument>

#include <string>

namespace editor {

namespace {

QTextCharFormat makeFormat(const char* colour, QFont::Weight weight = QFont::Normal, bool italic = false) {
    QTextCharFormat format;
    format.setForeground(QColor(QLatin1String(colour)));
    format.setFontWeight(weight);
    format.setFontItalic(italic);
    return format;
}

}  // namespace

Highlighter::Highlighter(HighlightFunction rules, QTextDocument* document)
    : QSyntaxHighlighter(document), m_rules(rules) {
    // Dark colours for the light text box of the program's look.
    m_formats[static_cast<int>(Highlight::Keyword)] = makeFormat("#00308f", QFont::Bold);
    m_formats[static_cast<int>(Highlight::Name)] = makeFormat("#006d6d");
    m_formats[static_cast<int>(Highlight::Literal)] = makeFormat("#a31515");
    m_formats[static_cast<int>(Highlight::Star)] = makeFormat("#b000b0", QFont::Bold);
    m_formats[static_cast<int>(Highlight::Comment)] = makeFormat("#607060", QFont::Normal, true);
    m_formats[static_cast<int>(Highlight::Label)] = makeFormat("#7a3e00", QFont::Bold);
    m_formats[static_cast<int>(Highlight::Escape)] = makeFormat("#b35900");
}

const QTextCharFormat& Highlighter::format(Highlight highlight) const { return m_formats[static_cast<int>(highlight)]; }

void Highlighter::highlightBlock(const QString& text) {
    LineState state = previousBlockState() == static_cast<int>(LineState::Comment) ? LineState::Comment
                                                                                   : LineState::Code;
    // A block may hold line separators, which the compilers see as line ends too: the rules
    // get each line on its own. One byte per character, as programText() makes them, so
    // offsets stay the same.
    std::string line;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != QChar::LineSeparator) {
            const char16_t code = text[i].unicode();
            line += code <= 0xFF ? static_cast<char>(code) : '?';
            continue;
        }
        for (const Span& span : m_rules(line, state))
            setFormat(static_cast<int>(lineStart) + span.start, span.length, format(span.highlight));
        line.clear();
        lineStart = i + 1;
    }
    setCurrentBlockState(static_cast<int>(state));
}

}  // namespace editor
