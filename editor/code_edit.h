// The text box `t1` with the line numbers in a margin on its left. The margin paints only
// the lines in view and measures its width from the number of lines, so its cost does not
// grow with the text.
//
// For the debugger the margin also shows the breakpoints (a red dot before the number; a
// click in the margin sets or clears one) and the line where a stopped program stands (an
// arrow in the margin and the line's background). A breakpoint belongs to its line as a
// text block: it moves with the line when lines above are added or removed.
#pragma once

#include <QList>
#include <QPlainTextEdit>

namespace editor {

class CodeEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodeEdit(QWidget* parent = nullptr);

    // The margin's width in pixels: room for a breakpoint, the highest line number and a gap.
    int marginWidth() const;
    // Paints the line numbers of the lines in view into [margin].
    void paintMargin(QWidget* margin, const QRect& area);
    // The margin, where tests click.
    QWidget* margin() const { return m_margin; }
    // The 1-based line shown at the height [y] of the margin or the text; 0 below the last.
    int lineAt(int y) const;

    // Lines with a breakpoint, 1-based and ascending.
    QList<int> breakpoints() const;
    bool hasBreakpoint(int line) const;
    // Sets a breakpoint on [line] when it has none, else clears it.
    void toggleBreakpoint(int line);

    // Marks [line] (1-based) as where the program stands and shows it; 0 clears the mark.
    void setCurrentLine(int line);
    int currentLine() const { return m_currentLine; }

signals:
    void breakpointsChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMarginWidth();
    void updateMargin(const QRect& rect, int dy);
    void markCurrentLine();

    QWidget* m_margin;
    int m_currentLine = 0;
};

}  // namespace editor
