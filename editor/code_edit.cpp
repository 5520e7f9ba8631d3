#include "editor/code_edit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextBlockUserData>

namespace editor {

namespace {

const QColor kBreakpointColour(0xcc, 0x22, 0x22);
const QColor kCurrentLineColour(0xff, 0xf1, 0x9c);
const QColor kArrowColour(0xd0, 0x80, 0x00);

class Margin : public QWidget {
public:
    explicit Margin(CodeEdit* edit) : QWidget(edit), m_edit(edit) { setObjectName(QStringLiteral("lineNumbers")); }
    QSize sizeHint() const override { return QSize(m_edit->marginWidth(), 0); }

protected:
    void paintEvent(QPaintEvent* event) override { m_edit->paintMargin(this, event->rect()); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        if (const int line = m_edit->lineAt(qRound(event->position().y())); line > 0)
            m_edit->toggleBreakpoint(line);
    }

private:
    CodeEdit* m_edit;
};

// The mark of a line with a breakpoint; the block deletes it with the line.
class BreakpointMark : public QTextBlockUserData {};

bool marked(const QTextBlock& block) { return dynamic_cast<BreakpointMark*>(block.userData()) != nullptr; }

}  // namespace

CodeEdit::CodeEdit(QWidget* parent) : QPlainTextEdit(parent), m_margin(new Margin(this)) {
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEdit::updateMarginWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEdit::updateMargin);
    // A new text (New, Open) has no current line.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (m_currentLine > blockCount())
            setCurrentLine(0);
    });
    updateMarginWidth();
}

int CodeEdit::marginWidth() const {
    int digits = 1;
    for (int count = std::max(1, blockCount()); count >= 10; count /= 10)
        ++digits;
    return fontMetrics().horizontalAdvance(QLatin1Char('9')) * (digits + 1) + fontMetrics().height() + 4;
}

void CodeEdit::updateMarginWidth() { setViewportMargins(marginWidth(), 0, 0, 0); }

void CodeEdit::updateMargin(const QRect& rect, int dy) {
    if (dy != 0)
        m_margin->scroll(0, dy);
    else
        m_margin->update(0, rect.y(), m_margin->width(), rect.height());
}

void CodeEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    m_margin->setGeometry(QRect(area.left(), area.top(), marginWidth(), area.height()));
}

int CodeEdit::lineAt(int y) const {
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && y >= top && y < bottom)
            return block.blockNumber() + 1;
        block = block.next();
        top = bottom;
    }
    return 0;
}

QList<int> CodeEdit::breakpoints() const {
    QList<int> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (marked(block))
            lines.append(block.blockNumber() + 1);
    return lines;
}

bool CodeEdit::hasBreakpoint(int line) const { return marked(document()->findBlockByNumber(line - 1)); }

void CodeEdit::toggleBreakpoint(int line) {
    QTextBlock block = document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    block.setUserData(marked(block) ? nullptr : new BreakpointMark);
    m_margin->update();
    emit breakpointsChanged();
}

void CodeEdit::setCurrentLine(int line) {
    m_currentLine = document()->findBlockByNumber(line - 1).isValid() ? line : 0;
    markCurrentLine();
    if (m_currentLine > 0) {
        QTextCursor cursor(document()->findBlockByNumber(m_currentLine - 1));
        setTextCursor(cursor);
        centerCursor();
    }
    m_margin->update();
}

void CodeEdit::markCurrentLine() {
    QList<QTextEdit::ExtraSelection> selections;
    if (m_currentLine > 0) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(kCurrentLineColour);
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selection.cursor = QTextCursor(document()->findBlockByNumber(m_currentLine - 1));
        selections.append(selection);
    }
    setExtraSelections(selections);
}

void CodeEdit::paintMargin(QWidget* margin, const QRect& area) {
    QPainter painter(margin);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, palette().color(QPalette::Window));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int width = margin->width() - 4;
    const int height = fontMetrics().height();
    const int mark = height * 2 / 3;
    while (block.isValid() && top <= area.bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= area.top()) {
            const QRect spot(2 + (height - mark) / 2, top + (height - mark) / 2, mark, mark);
            if (marked(block)) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(kBreakpointColour);
                painter.drawEllipse(spot);
            }
            if (block.blockNumber() + 1 == m_currentLine) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(kArrowColour);
                const QPolygon arrow({spot.topLeft(), QPoint(spot.right(), spot.center().y()), spot.bottomLeft()});
                painter.drawPolygon(arrow);
            }
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(0, top, width, height, Qt::AlignRight, QString::number(block.blockNumber() + 1));
        }
        block = block.next();
        top = bottom;
    }
}

}  // namespace editor
