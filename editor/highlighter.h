// The text box's syntax colouring: a thin QSyntaxHighlighter over the rules of
// highlight_rules.h. It only turns each line into bytes, as the compilers see it, and the
// rules' spans into character formats; what is coloured is decided there.
#pragma once

#include "editor/highlight_rules.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>

class QTextDocument;

namespace editor {

// Texts longer than this many characters are shown without colours: colouring reads every
// line of the text at once, which for tens of megabytes would keep the window from opening
// for a minute and take gigabytes.
inline constexpr qsizetype kLargestColoured = qsizetype{1} << 20;

class Highlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // Colours [document] with [rules]; the highlighter belongs to the document.
    Highlighter(HighlightFunction rules, QTextDocument* document);

    // The character format of [highlight].
    const QTextCharFormat& format(Highlight highlight) const;

protected:
    void highlightBlock(const QString& text) override;

private:
    HighlightFunction m_rules;
    std::array<QTextCharFormat, kHighlightCount> m_formats;
};

}  // namespace editor
