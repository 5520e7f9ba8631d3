#include "editor/debug_panel.h"

#include "editor/code_edit.h"
#include "editor/debug_client.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace editor {

namespace {

constexpr int kThreadId = 1;
constexpr int kReferenceRole = Qt::UserRole;      // a scope's variablesReference
constexpr int kShownValueRole = Qt::UserRole + 1;  // a value as the adapter last showed it
constexpr int kEndWaitMs = 5000;                   // for the adapter to end after Stop
constexpr int kOutputLines = 2000;
constexpr int kPanelWidth = 320;                   // pixels the window grows by for the panel

const QString kNotDebugging = QStringLiteral("Not debugging");
const QString kStopping = QStringLiteral("Stopping");
// How the runner's error reports begin; the panel says it once.
const QString kRunTimeError = QStringLiteral("run-time error: ");

}  // namespace

DebugPanel::DebugPanel(CodeEdit* text, DebugHooks hooks, QWidget* parent)
    : QDockWidget(QStringLiteral("Debug"), parent), m_text(text), m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("debugDock"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    m_stateLabel = new QLabel(kNotDebugging, body);
    m_stateLabel->setObjectName(QStringLiteral("debugState"));
    m_stateLabel->setTextFormat(Qt::PlainText);
    m_stateLabel->setWordWrap(true);
    layout->addWidget(m_stateLabel);
    auto* split = new QSplitter(Qt::Vertical, body);
    m_variables = new QTreeWidget(split);
    m_variables->setObjectName(QStringLiteral("variables"));
    m_variables->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Cell")});
    m_variables->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::SelectedClicked);
    m_variables->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_output = new QPlainTextEdit(split);
    m_output->setObjectName(QStringLiteral("debugOutput"));
    m_output->setReadOnly(true);
    m_output->setMaximumBlockCount(kOutputLines);
    split->addWidget(m_variables);
    split->addWidget(m_output);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    setWidget(body);
    connect(m_variables, &QTreeWidget::itemChanged, this, &DebugPanel::valueEdited);
    // A breakpoint set or cleared in the margin or by the menu reaches a running session.
    connect(m_text, &CodeEdit::breakpointsChanged, this, &DebugPanel::sendBreakpoints);

    // F5 compiles and F9 runs; the debugger takes keys no other command uses.
    m_start = addAction("startDebugging", QStringLiteral("&Start Debugging"), QKeySequence(Qt::CTRL | Qt::Key_F5),
                        &DebugPanel::startDebugging);
    addAction("toggleBreakpoint", QStringLiteral("Toggle &Breakpoint"), QKeySequence(Qt::Key_F12),
              &DebugPanel::toggleBreakpoint);
    m_continue = addAction("continue", QStringLiteral("&Continue"), QKeySequence(Qt::Key_F8), &DebugPanel::continueRun);
    m_stepOver = addAction("stepOver", QStringLiteral("Step &Over"), QKeySequence(Qt::Key_F10), &DebugPanel::stepOver);
    m_stepInstruction = addAction("stepInstruction", QStringLiteral("Step &Instruction"), QKeySequence(Qt::Key_F11),
                                  &DebugPanel::stepInstruction);
    m_stepFrame = addAction("stepFrame", QStringLiteral("Step &Frame"), QKeySequence(Qt::SHIFT | Qt::Key_F11),
                            &DebugPanel::stepFrame);
    m_pause = addAction("pause", QStringLiteral("&Pause"), QKeySequence(Qt::Key_F6), &DebugPanel::pause);
    m_stop = addAction("stopDebugging", QStringLiteral("S&top"), QKeySequence(Qt::SHIFT | Qt::Key_F5), &DebugPanel::stop);
    setState(State::Idle);
}

DebugPanel::~DebugPanel() = default;

QAction* DebugPanel::addAction(const char* name, const QString& caption, const QKeySequence& keys,
                               void (DebugPanel::*slot)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, slot);
    m_actions.append(action);
    return action;
}

QString DebugPanel::stateText() const { return m_stateLabel->text(); }

void DebugPanel::setState(State state) {
    m_state = state;
    const bool stopped = state == State::Stopped;
    m_start->setEnabled(state == State::Idle || state == State::Finished);
    m_continue->setEnabled(stopped);
    m_stepOver->setEnabled(stopped);
    m_stepInstruction->setEnabled(stopped);
    m_stepFrame->setEnabled(stopped);
    m_pause->setEnabled(state == State::Running);
    m_stop->setEnabled(state != State::Idle && state != State::Ending);
    // Values are edited only while the program stands still.
    m_variables->setEditTriggers(stopped ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                               QAbstractItemView::SelectedClicked
                                         : QAbstractItemView::NoEditTriggers);
    if (!stopped)
        m_text->setCurrentLine(0);
}

void DebugPanel::tellState(const QString& text) {
    m_stateLabel->setText(text);
    if (m_hooks.status)
        m_hooks.status(text);
}

void DebugPanel::appendOutput(const QString& text) {
    QString shown = text;
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    m_output->appendPlainText(shown);
}

void DebugPanel::startDebugging() {
    if (m_state != State::Idle && m_state != State::Finished)
        return;
    const QString program = m_hooks.compile();
    if (program.isEmpty())
        return;
    const QString adapter = m_hooks.adapter();
    if (adapter.isEmpty())
        return;
    releaseFinished();
    const QFileInfo file(program);
    m_source = file.absolutePath() + QLatin1Char('/') + file.completeBaseName() + m_hooks.sourceExtension;
    m_configured = false;
    m_variables->clear();
    m_output->clear();
    if (isHidden()) {
        // The panel comes beside the text, which keeps its width where the window can grow.
        QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
        if (window && !(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            window->resize(window->width() + kPanelWidth, window->height());
        show();
    }

    auto* client = new DebugClient(this);
    m_client = client;
    connect(client, &DebugClient::initialized, this, &DebugPanel::configured);
    connect(client, &DebugClient::stopped, this,
            [this](const QString& reason, const QString& text, const QJsonObject&) { showStop(reason, text); });
    connect(client, &DebugClient::output, this, [this](const QString&, const QString& text) { appendOutput(text); });
    connect(client, &DebugClient::exited, this, [this](int code) {
        const QString text = QStringLiteral("The program ended with exit code %1.").arg(code);
        appendOutput(text);
        tellState(text);
    });
    connect(client, &DebugClient::terminated, this, [this] {
        if (m_state == State::Ending || m_state == State::Finished || !m_client)
            return;
        // A program with a window leaves it open after its end, as a run does; the
        // session ends with Stop. A headless one has nothing more to show.
        if (!m_launchExtras.value("headless").toBool()) {
            setState(State::Finished);
            tellState(stateText() + QStringLiteral(" Its window stays open until Stop."));
            return;
        }
        setState(State::Ending);
        m_client->request(QStringLiteral("disconnect"));
    });
    connect(client, &DebugClient::failed, this, [this](const QString& message) {
        appendOutput(message);
        tellState(message);
    });
    connect(client, &DebugClient::finished, this, &DebugPanel::ended);

    setState(State::Starting);
    tellState(QStringLiteral("Starting %1").arg(file.fileName()));
    client->start(adapter, {QStringLiteral("--debug-adapter")}, file.absolutePath());
    client->request(QStringLiteral("initialize"), {{"clientID", "editor"},
                                                   {"adapterID", "moxy"},
                                                   {"linesStartAt1", true},
                                                   {"columnsStartAt1", true},
                                                   {"pathFormat", "path"}});
    QJsonObject launch = m_launchExtras;
    launch.insert("program", file.absoluteFilePath());
    launch.insert("source", m_source);
    launch.insert("stopOnEntry", false);
    client->request(QStringLiteral("launch"), launch, [this](bool success, const QJsonObject&, const QString& message) {
        // An adapter that ended has said why (or ended() will).
        if (success || !m_client || !m_client->active())
            return;
        tellState(QStringLiteral("Unable to debug: %1").arg(message));
        appendOutput(stateText());
        stop();
    });
}

void DebugPanel::configured() {
    if (!m_client)
        return;
    m_configured = true;
    sendBreakpoints();
    m_client->request(QStringLiteral("setExceptionBreakpoints"), {{"filters", QJsonArray{"runtime-error"}}});
    m_client->request(QStringLiteral("configurationDone"), {}, [this](bool success, const QJsonObject&, const QString&) {
        if (success && m_state == State::Starting) {
            setState(State::Running);
            tellState(QStringLiteral("Running"));
        }
    });
}

void DebugPanel::sendBreakpoints() {
    if (!m_client || !m_configured)
        return;
    QJsonArray lines;
    for (const int line : m_text->breakpoints())
        lines.append(line);
    m_client->request(QStringLiteral("setBreakpoints"), {{"source", QJsonObject{{"path", m_source}}}, {"lines", lines}},
                      [this](bool success, const QJsonObject& body, const QString& message) {
                          if (!success) {
                              appendOutput(QStringLiteral("Breakpoints not set: %1").arg(message));
                              return;
                          }
                          // Breakpoints that moved or cannot stop say so.
                          for (const QJsonValue& value : body.value("breakpoints").toArray()) {
                              const QString text = value.toObject().value("message").toString();
                              if (!text.isEmpty())
                                  appendOutput(QStringLiteral("Breakpoint: %1").arg(text));
                          }
                      });
}

void DebugPanel::toggleBreakpoint() { m_text->toggleBreakpoint(m_text->textCursor().blockNumber() + 1); }

void DebugPanel::resume(const QString& command) {
    if (m_state != State::Stopped || !m_client)
        return;
    setState(State::Running);
    tellState(QStringLiteral("Running"));
    m_client->request(command, {{"threadId", kThreadId}}, [this](bool success, const QJsonObject&, const QString& message) {
        if (!success)
            appendOutput(message);
    });
}

void DebugPanel::continueRun() { resume(QStringLiteral("continue")); }
void DebugPanel::stepOver() { resume(QStringLiteral("next")); }
void DebugPanel::stepInstruction() { resume(QStringLiteral("stepIn")); }
void DebugPanel::stepFrame() { resume(QStringLiteral("stepFrame")); }

void DebugPanel::pause() {
    if (m_state == State::Running && m_client)
        m_client->request(QStringLiteral("pause"), {{"threadId", kThreadId}});
}

void DebugPanel::stop() {
    if (m_state == State::Idle || m_state == State::Ending || !m_client)
        return;
    setState(State::Ending);
    tellState(kStopping);
    m_client->request(QStringLiteral("disconnect"), {{"terminateDebuggee", true}});
    // An adapter that does not end by itself is ended.
    QTimer::singleShot(kEndWaitMs, m_client.data(), &DebugClient::kill);
}

void DebugPanel::showStop(const QString& reason, const QString& text) {
    if (!m_client || m_state == State::Ending)
        return;
    setState(State::Stopped);
    const int stop = ++m_stops;
    // The values of the last stop go; this stop's follow its frame.
    m_filling = true;
    m_variables->clear();
    m_filling = false;
    m_client->request(QStringLiteral("stackTrace"), {{"threadId", kThreadId}},
                      [this, stop, reason, text](bool success, const QJsonObject& body, const QString& message) {
                          if (stop != m_stops || m_state != State::Stopped)
                              return;
                          if (!success) {
                              appendOutput(message);
                              return;
                          }
                          showFrame(body, reason, text);
                      });
    m_client->request(QStringLiteral("scopes"), {{"frameId", 1}},
                      [this, stop](bool success, const QJsonObject& body, const QString&) {
                          if (success && stop == m_stops && m_state == State::Stopped)
                              showScopes(body);
                      });
}

void DebugPanel::showFrame(const QJsonObject& body, const QString& reason, const QString& text) {
    const QJsonObject frame = body.value("stackFrames").toArray().first().toObject();
    // Without a source the frame's line is a position in the MOXY file, not a text line.
    const bool inSource = frame.contains("source");
    const int line = frame.value("line").toInt();
    m_text->setCurrentLine(inSource ? line : 0);
    const QString where = inSource ? QStringLiteral("line %1").arg(line) : frame.value("name").toString();
    if (reason == QLatin1String("exception")) {
        QString error = text;
        if (error.startsWith(kRunTimeError, Qt::CaseInsensitive))
            error.remove(0, kRunTimeError.size());
        const QString shown = QStringLiteral("Run-time error on %1: %2").arg(where, error);
        appendOutput(shown);
        tellState(shown);
        return;
    }
    tellState(QStringLiteral("Stopped on %1 (%2)").arg(where, reason));
}

void DebugPanel::showScopes(const QJsonObject& body) {
    const int stop = m_stops;
    for (const QJsonValue& value : body.value("scopes").toArray()) {
        const QJsonObject scope = value.toObject();
        // The cells of a program with names are many and shown by name already.
        if (scope.value("expensive").toBool())
            continue;
        m_filling = true;
        auto* item = new QTreeWidgetItem(m_variables, {scope.value("name").toString()});
        item->setData(0, kReferenceRole, scope.value("variablesReference").toInt());
        item->setFlags(Qt::ItemIsEnabled);
        item->setExpanded(true);
        m_filling = false;
        m_client->request(QStringLiteral("variables"), {{"variablesReference", scope.value("variablesReference")}},
                          [this, stop, item](bool success, const QJsonObject& variables, const QString&) {
                              if (success && stop == m_stops && m_state == State::Stopped)
                                  showVariables(item, variables);
                          });
    }
}

void DebugPanel::showVariables(QTreeWidgetItem* scope, const QJsonObject& body) {
    m_filling = true;
    for (const QJsonValue& value : body.value("variables").toArray()) {
        const QJsonObject variable = value.toObject();
        const QString type = variable.value("type").toString();
        // The third column names a name's cell; registers and cells need none.
        auto* item = new QTreeWidgetItem(scope, {variable.value("name").toString(), variable.value("value").toString(),
                                                 type.startsWith(QLatin1String("V(")) ? type : QString()});
        item->setData(1, kShownValueRole, variable.value("value").toString());
        // Registers and the line that says more cells are left out cannot be changed.
        const bool editable = !type.isEmpty() && type != QLatin1String("register");
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | (editable ? Qt::ItemIsEditable : Qt::NoItemFlags));
    }
    scope->setExpanded(true);
    m_filling = false;
}

void DebugPanel::valueEdited(QTreeWidgetItem* item, int column) {
    if (m_filling || column != 1 || !item->parent() || !m_client)
        return;
    const QString shown = item->data(1, kShownValueRole).toString();
    const QString typed = item->text(1);
    if (typed == shown)
        return;
    const auto show = [this, item](const QString& text) {
        m_filling = true;
        item->setText(1, text);
        item->setData(1, kShownValueRole, text);
        m_filling = false;
    };
    if (m_state != State::Stopped) {
        show(shown);
        return;
    }
    const int stop = m_stops;
    m_client->request(QStringLiteral("setVariable"),
                      {{"variablesReference", item->parent()->data(0, kReferenceRole).toInt()},
                       {"name", item->text(0)},
                       {"value", typed}},
                      [this, stop, item, shown, show](bool success, const QJsonObject& body, const QString& message) {
                          if (stop != m_stops)
                              return;  // the item is gone with its stop
                          if (success) {
                              show(body.value("value").toString());
                              return;
                          }
                          show(shown);
                          tellState(QStringLiteral("Not changed: %1").arg(message));
                      });
}

void DebugPanel::releaseFinished() {
    if (m_state != State::Finished || !m_client)
        return;
    DebugClient* old = m_client;
    disconnect(old, nullptr, this, nullptr);
    connect(old, &DebugClient::finished, old, &QObject::deleteLater);
    old->request(QStringLiteral("disconnect"), {{"terminateDebuggee", true}});
    QTimer::singleShot(kEndWaitMs, old, &DebugClient::kill);
    m_client = nullptr;
    setState(State::Idle);
}

void DebugPanel::ended() {
    if (m_client)
        m_client->deleteLater();
    m_client = nullptr;
    const bool wasStarting = m_state == State::Starting;
    setState(State::Idle);
    appendOutput(QStringLiteral("Debugging ended."));
    if (stateText() == kStopping)
        tellState(QStringLiteral("Debugging stopped."));
    else if (wasStarting && !stateText().startsWith(QLatin1String("Unable")))
        tellState(QStringLiteral("The debug adapter ended before the program ran."));
}

}  // namespace editor
