#include "editor/dialogs.h"

#include "platform/dialog_width.h"

#include <QInputDialog>
#include <QMessageBox>

#include <utility>

namespace editor {

QtDialogs::QtDialogs(QWidget* parent, QString caption) : m_parent(parent), m_caption(std::move(caption)) {}

std::optional<QString> QtDialogs::askText(const QString& prompt) {
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(m_caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Normal);
    platform::keepCaptionWhole(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtDialogs::tell(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, m_caption, text, QMessageBox::Ok, m_parent);
    // Messages quote the program's names: shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    platform::keepCaptionWhole(box);
    box.exec();
}

SaveChoice QtDialogs::askSave(const QString& question) {
    QMessageBox box(QMessageBox::Question, m_caption, question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    platform::keepCaptionWhole(box);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

}  // namespace editor
