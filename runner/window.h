// The runner window `main1`: shows the drawing surface, keeps the key flags, opens the
// dialogs, and ends the run when it is closed. A thin Qt shell over BasicHost; the
// interpreter runs on this window's thread and lets events through at opcode 252.
#pragma once

#include "runner/basic_host.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>

class QDialog;

namespace runner {

// The two dialogs a program can open. Tests give the window their own answers.
class RunnerDialogs {
public:
    virtual ~RunnerDialogs() = default;
    // The answer typed, or nullopt when the user cancelled.
    virtual std::optional<QString> askText(QWidget* window, const QString& prompt) = 0;
    virtual void tell(QWidget* window, const QString& text) = 0;
};

// Qt's input and message dialogs with the caption "MOXY". They stay above the runner
// window and take its keys while open; closing the runner window closes them.
class QtRunnerDialogs : public RunnerDialogs {
public:
    std::optional<QString> askText(QWidget* window, const QString& prompt) override;
    void tell(QWidget* window, const QString& text) override;
};

class RunnerWindow : public QWidget, public BasicHost {
    Q_OBJECT
public:
    explicit RunnerWindow(HostOptions options, std::unique_ptr<RunnerDialogs> dialogs = nullptr);
    ~RunnerWindow() override;

    bool isClosed() const { return m_closed; }
    // After the program ran past its end: shows the final drawing and returns when the
    // window is closed.
    void waitUntilClosed();
    // The report of a second run-time error, in a message box (stderr has it too).
    void showErrorReport(const QString& text);

    void pumpEvents() override;
    bool keyIsDown(moxy::Key key) override { return m_keysDown[static_cast<int>(key)]; }
    std::string inputBox(std::string_view prompt) override;
    void messageBox(std::string_view text) override;
    ScreenSize screenSize() override;
    void setWindowWidth(double pixels) override;
    void setWindowHeight(double pixels) override;
    void setWindowTop(double pixels) override;
    void setWindowLeft(double pixels) override;
    void setCaption(std::string_view caption) override;

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showDrawing();
    void throwIfClosed() const;
    void setKey(QKeyEvent* event, bool down);

    std::unique_ptr<RunnerDialogs> m_dialogs;
    bool m_closed = false;
    bool m_inDialog = false;
    bool m_keysDown[moxy::kKeyCount] = {};
    std::map<quint32, moxy::Key> m_keyOfScanCode;  // keys held down, by scan code
    QElapsedTimer m_sinceFrame;
    qint64 m_frameNanoseconds = 16'666'667;
};

}  // namespace runner
