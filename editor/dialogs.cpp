#include "editor/dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

#include <utility>

namespace editor {

QtDialogs::QtDialogs(QWidget* parent, QString caption) : m_parent(parent), m_caption(std::move(caption)) {}

std::optional<QString> QtDialogs::askText(const QString& prompt) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(m_parent, m_caption, prompt, QLineEdit::Normal, QString(), &accepted);
    if (!accepted)
        return std::nullopt;
    return answer;
}

void QtDialogs::tell(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, m_caption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

}  // namespace editor
