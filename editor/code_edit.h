// The text box `t1` with the line numbers in a margin on its left. The margin paints only
// the lines in view and measures its width from the number of lines, so its cost does not
// grow with the text.
#pragma once

#include <QPlainTextEdit>

namespace editor {

class CodeEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodeEdit(QWidget* parent = nullptr);

    // The margin's width in pixels: room for the highest line number and a gap.
    int marginWidth() const;
    // Paints the line numbers of the lines in view into [margin].
    void paintMargin(QWidget* margin, const QRect& area);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMarginWidth();
    void updateMargin(const QRect& rect, int dy);

    QWidget* m_margin;
};

}  // namespace editor
