// The runner window's dialogs under the debugger (Qt Widgets).
#include "runner/debug_target.h"
#include "runner/window.h"

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>

namespace runner {

namespace {

QString fromProgram(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The dialogs are not modal: the runner window keeps painting and its close button
// works while one is open (the program waits for it all the same).
class WindowDialogs : public DebugDialogs {
public:
    explicit WindowDialogs(RunnerWindow& window) : m_window(window) {}
    ~WindowDialogs() override { close(); }

    void open(bool input, const std::string& text) override {
        close();
        m_done = false;
        m_answer.clear();
        QDialog* dialog = nullptr;
        if (input) {
            auto* box = new QInputDialog(&m_window);
            box->setLabelText(fromProgram(text));
            box->setInputMode(QInputDialog::TextInput);
            QObject::connect(box, &QInputDialog::textValueSelected, box, [this](const QString& value) {
                const QByteArray bytes = value.toLatin1();
                m_answer.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            });
            dialog = box;
        } else {
            dialog = new QMessageBox(QMessageBox::NoIcon, QString(), fromProgram(text), QMessageBox::Ok, &m_window);
        }
        dialog->setWindowTitle(QStringLiteral("MOXY"));
        for (QLabel* label : dialog->findChildren<QLabel*>())
            label->setTextFormat(Qt::PlainText);  // a program's text is never markup
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QDialog::finished, dialog, [this] { m_done = true; });
        m_dialog = dialog;
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
    bool answered(std::string& answer) override {
        if (!m_done && !m_dialog)
            m_done = true;  // closed some other way: as Cancel
        if (m_done)
            answer = m_answer;
        return m_done;
    }
    void close() override {
        if (m_dialog) {
            QDialog* dialog = m_dialog;
            m_dialog = nullptr;
            QObject::disconnect(dialog, nullptr, nullptr, nullptr);
            dialog->close();
        }
    }

private:
    RunnerWindow& m_window;
    QPointer<QDialog> m_dialog;
    bool m_done = true;
    std::string m_answer;
};

}  // namespace

std::unique_ptr<DebugDialogs> windowDialogs(RunnerWindow& window) {
    return std::make_unique<WindowDialogs>(window);
}

}  // namespace runner
