// Dialogs whose frame shows their caption whole. Window managers draw the caption in a
// bold, larger font beside the frame's icon and buttons, and cut it short with "..." when
// the dialog is narrower; a message box sizes itself to its text when shown, so a plain
// minimum width does not hold. An empty layout item as wide as the caption needs does.
// Header only (Qt Widgets), for the programs that show dialogs.
#pragma once

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QSpacerItem>
#include <QStyle>

namespace platform {

// Room for [dialog]'s caption in its frame: the caption's text in a bold font a quarter
// larger than the dialog's, plus 160 pixels for the frame's icon and buttons.
inline int captionWidth(const QWidget& dialog) {
    QFont font = dialog.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    return QFontMetrics(font).horizontalAdvance(dialog.windowTitle()) + 160;
}

// Keeps [dialog] at least as wide as its caption needs. Call it once the dialog has its
// caption and its texts, before it is shown.
inline void keepCaptionWhole(QDialog& dialog) {
    const int width = captionWidth(dialog);
    if (QLayout* layout = dialog.layout()) {
        layout->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    } else if (auto* label = dialog.findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        // An input box builds its layout, which sets its size, only when shown: its
        // label, there already, keeps it wide (less the layout's margins on both sides).
        label->setMinimumWidth(width - 2 * dialog.style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
    }
    dialog.setMinimumWidth(width);
    dialog.adjustSize();
}

}  // namespace platform
