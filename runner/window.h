// The runner window `main1`: shows the drawing surface, keeps the key flags, opens the
// dialogs, and ends the run when it is closed. A thin Qt shell over BasicHost. It drives
// the interpreter in slices from Qt's event loop, so that it paints and closes even while
// a program never yields; the program still sees key changes only at opcode 252.
#pragma once

#include "runner/basic_host.h"
#include "runner/session.h"

#include <QElapsedTimer>
#include <QMargins>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>

class QDialog;
class QEventLoop;

namespace runner {

// The two dialogs a program can open. Tests give the window their own answers.
class RunnerDialogs {
public:
    virtual ~RunnerDialogs() = default;
    // The answer typed, or nullopt when the user cancelled.
    virtual std::optional<QString> askText(QWidget* window, const QString& prompt) = 0;
    virtual void tell(QWidget* window, const QString& text) = 0;
};

// Qt's input and message dialogs with the caption "MOXY", modal to the runner window and
// centred on it, wide enough for their caption; the program's texts show as plain text.
// Closing the runner window (its frame's close button too) closes them.
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
    // Runs [session] to its end in slices from the event loop: yields let events through
    // as opcode 252 does; between slices the window paints and can be closed, and keys
    // wait for the next yield. Returns when the run ends or the window is closed.
    RunResult run(Session& session);
    // After the program ran past its end: shows the final drawing and returns when the
    // window is closed.
    void waitUntilClosed();
    // The report of a second run-time error, in a message box (stderr has it too).
    void showErrorReport(const QString& text);

    // Opcode 252 when somebody else's event loop drives the program (the debugger): the
    // keys as they are now reach the program; events wait for that loop.
    void takeKeys();

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
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The outer geometry a program asked for, in pixels, frame included. It is applied
    // again when the window manager reports another frame size.
    struct Wanted {
        std::optional<int> left, top, width, height;
        bool any() const { return left || top || width || height; }
    };
    void runSlice();
    void applyWanted();
    void watchFrame();
    QMargins frame() const;
    void showDrawing();
    void throwIfClosed() const;
    void setKey(QKeyEvent* event, bool down);

    std::unique_ptr<RunnerDialogs> m_dialogs;
    bool m_closed = false;
    bool m_inDialog = false;
    bool m_keysDown[moxy::kKeyCount] = {};  // as the program sees them: taken at yields
    bool m_keysHeld[moxy::kKeyCount] = {};  // as the key events report them
    std::map<quint32, moxy::Key> m_keyOfScanCode;  // keys held down, by scan code
    QElapsedTimer m_sinceFrame;
    qint64 m_frameNanoseconds = 16'666'667;
    Session* m_session = nullptr;
    QEventLoop* m_runLoop = nullptr;
    Wanted m_wanted;
    QMargins m_appliedFrame;
    QTimer m_frameWatch;
    int m_frameWatchTicks = 0;
};

}  // namespace runner
