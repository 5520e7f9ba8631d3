// The editor as a debugger front end: the Debug menu's commands, the breakpoints of the
// text box's margin, the marked current line, and a panel with the program's variables
// (names and registers; all non-empty cells for a program without names), their values
// updated at every stop and editable, and the adapter's output. It compiles through the
// window, starts `moxy --debug-adapter` through a DebugClient and talks to it like any
// other client of the protocol.
#pragma once

#include <QDockWidget>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace editor {

class CodeEdit;
class DebugClient;

// What the panel needs of its window.
struct DebugHooks {
    // Compiles the text to a MOXY file with its map; the file's path, or empty (the window
    // has said why).
    std::function<QString()> compile;
    // The runner to start as the adapter; empty when there is none (the window has said so).
    std::function<QString()> adapter;
    std::function<void(const QString&)> status;
    // The extension of the language's source files, with the dot.
    QString sourceExtension;
};

class DebugPanel : public QDockWidget {
    Q_OBJECT
public:
    // Finished: the program ended by itself, and the runner keeps its window open (as a
    // run does) until Stop or the next start.
    enum class State { Idle, Starting, Running, Stopped, Finished, Ending };

    DebugPanel(CodeEdit* text, DebugHooks hooks, QWidget* parent = nullptr);
    ~DebugPanel() override;

    // The Debug menu's commands, in menu order.
    QList<QAction*> actions() const { return m_actions; }
    State state() const { return m_state; }
    // Extra arguments of the launch request (e.g. `headless`, `keys`), beside the program,
    // its source and `stopOnEntry`.
    void setLaunchArguments(const QJsonObject& arguments) { m_launchExtras = arguments; }
    // The line of the panel that says what the debugger does.
    QString stateText() const;

    void startDebugging();
    void toggleBreakpoint();
    void continueRun();
    void stepOver();
    void stepInstruction();
    void stepFrame();
    void pause();
    void stop();

private:
    QAction* addAction(const char* name, const QString& caption, const QKeySequence& keys, void (DebugPanel::*slot)());
    void setState(State state);
    void tellState(const QString& text);
    void sendBreakpoints();
    void configured();
    void resume(const QString& command);
    void showStop(const QString& reason, const QString& text);
    void showFrame(const QJsonObject& body, const QString& reason, const QString& text);
    void showScopes(const QJsonObject& body);
    void showVariables(QTreeWidgetItem* scope, const QJsonObject& body);
    void valueEdited(QTreeWidgetItem* item, int column);
    void appendOutput(const QString& text);
    void ended();
    // Lets the session of a finished program go, in the background.
    void releaseFinished();

    CodeEdit* m_text;
    DebugHooks m_hooks;
    QLabel* m_stateLabel;
    QTreeWidget* m_variables;
    QPlainTextEdit* m_output;
    QList<QAction*> m_actions;
    QAction* m_start;
    QAction* m_continue;
    QAction* m_stepOver;
    QAction* m_stepInstruction;
    QAction* m_stepFrame;
    QAction* m_pause;
    QAction* m_stop;

    QPointer<DebugClient> m_client;
    State m_state = State::Idle;
    QJsonObject m_launchExtras;
    QString m_source;       // the source file the breakpoints name
    bool m_configured = false;
    int m_stops = 0;        // counts stops: replies of an older stop are dropped
    bool m_filling = false;  // the panel itself is writing values
};

}  // namespace editor
