#include "editor/code_edit.h"

#include <QPainter>
#include <QTextBlock>

namespace editor {

namespace {

class Margin : public QWidget {
public:
    explicit Margin(CodeEdit* edit) : QWidget(edit), m_edit(edit) { setObjectName(QStringLiteral("lineNumbers")); }
    QSize sizeHint() const override { return QSize(m_edit->marginWidth(), 0); }

protected:
    void paintEvent(QPaintEvent* event) override { m_edit->paintMargin(this, event->rect()); }

private:
    CodeEdit* m_edit;
};

}  // namespace

CodeEdit::CodeEdit(QWidget* parent) : QPlainTextEdit(parent), m_margin(new Margin(this)) {
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEdit::updateMarginWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &CodeEdit::updateMargin);
    updateMarginWidth();
}

int CodeEdit::marginWidth() const {
    int digits = 1;
    for (int count = std::max(1, blockCount()); count >= 10; count /= 10)
        ++digits;
    return fontMetrics().horizontalAdvance(QLatin1Char('9')) * (digits + 1) + 4;
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

void CodeEdit::paintMargin(QWidget* margin, const QRect& area) {
    QPainter painter(margin);
    painter.fillRect(area, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int width = margin->width() - 4;
    const int height = fontMetrics().height();
    while (block.isValid() && top <= area.bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= area.top())
            painter.drawText(0, top, width, height, Qt::AlignRight, QString::number(block.blockNumber() + 1));
        block = block.next();
        top = bottom;
    }
}

}  // namespace editor
