// The dialogs of the editor shell: the input box that asks for a name, the message box and
// the question whether to save a changed text. The window talks to this interface only, so
// tests answer for the user.
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace editor {

// The question asked before a changed text would be replaced or closed.
inline const QString kSaveChanges = QStringLiteral("Save changes?");

enum class SaveChoice { Save, Discard, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows [prompt] in an input box; the answer typed, or nullopt when the user cancelled.
    virtual std::optional<QString> askText(const QString& prompt) = 0;
    // Shows [text] in a message box with an OK button.
    virtual void tell(const QString& text) = 0;
    // Asks [question] with the buttons Save, Discard and Cancel; closing the box is Cancel.
    virtual SaveChoice askSave(const QString& question) = 0;
};

// Qt's modal input and message dialogs over [parent], with the caption [caption].
class QtDialogs : public Dialogs {
public:
    QtDialogs(QWidget* parent, QString caption);
    std::optional<QString> askText(const QString& prompt) override;
    void tell(const QString& text) override;
    SaveChoice askSave(const QString& question) override;

private:
    QWidget* m_parent;
    QString m_caption;
};

}  // namespace editor
