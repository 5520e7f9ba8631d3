#include "editor/editor_window.h"

#include "editor/code_edit.h"
#include "editor/export_web_page.h"
#include "editor/debug_panel.h"
#include "editor/highlighter.h"
#include "editor/program_text.h"
#include "editor/workbench.h"
#include "moxy/source_map.h"
#include "platform/files.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace editor {

namespace {

const QString kMoxyExtension = QStringLiteral(".moxy");

std::string localPath(const QString& path) { return path.toLocal8Bit().toStdString(); }

QString fromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString where(int line, int column) { return QStringLiteral("Line %1, column %2").arg(line).arg(column); }

bool startDetached(const QString& program, const QStringList& arguments, const QString& folder) {
    return QProcess::startDetached(program, arguments, folder);
}

const char* const kKeys =
    "Ctrl+N\tNew\n"
    "Ctrl+O\tOpen\n"
    "Ctrl+S\tSave\n"
    "F5\tCompile\n"
    "F9, Ctrl+R\tCompile and run\n"
    "Ctrl+Q\tExit\n"
    "Ctrl+Z\tUndo\n"
    "Ctrl+Shift+Z, Ctrl+Y\tRedo\n"
    "Ctrl+F\tFind\n"
    "F3\tFind next\n"
    "Ctrl+G\tGo to line\n"
    "F1\tLanguage reference\n"
    "Ctrl+F5\tStart debugging\n"
    "F12\tToggle breakpoint (or click the line number)\n"
    "F8\tContinue\n"
    "F10\tStep over (one statement)\n"
    "F11\tStep instruction\n"
    "Shift+F11\tStep frame\n"
    "F6\tPause\n"
    "Shift+F5\tStop debugging\n"
    "Alt+F, Alt+E, Alt+R, Alt+D, Alt+H\tOpen a menu";

}  // namespace

EditorWindow::EditorWindow(Program program, QString folder, std::unique_ptr<Dialogs> dialogs)
    : m_program(std::move(program)), m_folder(std::move(folder)), m_dialogs(std::move(dialogs)),
      m_starter(startDetached) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(m_program.title);
    if (!m_program.iconFile.isEmpty())
        setWindowIcon(QIcon(m_program.iconFile));
    if (!m_dialogs)
        m_dialogs = std::make_unique<QtDialogs>(this, m_program.title);

    m_text = new CodeEdit(this);
    m_text->setObjectName(QStringLiteral("t1"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The platform's fixed-width font; where its family is missing, any fixed-width one.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    m_text->setFont(font);
    setCentralWidget(m_text);
    if (m_program.highlight)
        m_highlighter = new Highlighter(m_program.highlight, m_text->document());

    // The messages of the last compile, below the text; shown while there are any.
    m_messageDock = new QDockWidget(QStringLiteral("Messages"), this);
    m_messageDock->setObjectName(QStringLiteral("messageDock"));
    m_messageDock->setFeatures(QDockWidget::DockWidgetClosable);
    m_messages = new QListWidget(m_messageDock);
    m_messages->setObjectName(QStringLiteral("messages"));
    m_messageDock->setWidget(m_messages);
    addDockWidget(Qt::BottomDockWidgetArea, m_messageDock);
    m_messageDock->hide();
    connect(m_messages, &QListWidget::itemClicked, this, &EditorWindow::messageClick);
    connect(m_messages, &QListWidget::itemActivated, this, &EditorWindow::messageClick);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_status, 1);

    // The debugger: its panel on the right, shown while debugging; its menu after Run.
    DebugHooks hooks;
    hooks.compile = [this] { return compileToFile(); };
    hooks.adapter = [this] { return runnerPath(); };
    hooks.status = [this](const QString& text) { setStatus(text); };
    hooks.sourceExtension = m_program.extension;
    m_debugPanel = new DebugPanel(m_text, std::move(hooks), this);
    addDockWidget(Qt::RightDockWidgetArea, m_debugPanel);
    m_debugPanel->hide();

    createActions();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::createActions() {
    // The '&' makes Alt+F open the menu; the caption shows "File" all the same.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("file"));
    // The menu items carry no shortcut keys and their captions no '&', as the window is
    // described; the usual keys work all the same, through window shortcuts that trigger
    // the items. Fixed keys rather than the platform's standard ones, so they are the same
    // everywhere. Compile is F5: one key, used by no text-editing command (Ctrl+B is bold
    // in many editors, which would mislead here).
    const auto add = [this, file](const char* name, const QString& caption, const QKeySequence& keys,
                                  void (EditorWindow::*slot)()) {
        QAction* action = file->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setObjectName(QLatin1String(name) + QStringLiteral("Key"));
        connect(shortcut, &QShortcut::activated, action, &QAction::trigger);
    };
    add("new", QStringLiteral("New"), QKeySequence(Qt::CTRL | Qt::Key_N), &EditorWindow::newClick);
    add("open", QStringLiteral("Open"), QKeySequence(Qt::CTRL | Qt::Key_O), &EditorWindow::openClick);
    add("Save", QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &EditorWindow::saveClick);
    add("compile", m_program.compileCaption, QKeySequence(Qt::Key_F5), &EditorWindow::compileClick);
    add("Exit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), &EditorWindow::exitClick);

    // The workbench's own menus show their keys beside their items.
    const auto command = [this](QMenu* menu, const char* name, const QString& caption,
                                const QList<QKeySequence>& keys, void (EditorWindow::*slot)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, slot);
    };
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("edit"));
    command(edit, "find", QStringLiteral("&Find..."), {QKeySequence(Qt::CTRL | Qt::Key_F)}, &EditorWindow::findClick);
    command(edit, "findNext", QStringLiteral("Find &Next"), {QKeySequence(Qt::Key_F3)}, &EditorWindow::findNextClick);
    command(edit, "goToLine", QStringLiteral("&Go to Line..."), {QKeySequence(Qt::CTRL | Qt::Key_G)},
            &EditorWindow::goToLineClick);
    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("runMenu"));
    command(run, "run", QStringLiteral("&Compile and Run"),
            {QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_R)}, &EditorWindow::runClick);
    addExportWebPage(run, m_folder, *m_dialogs);
    QMenu* debug = menuBar()->addMenu(QStringLiteral("&Debug"));
    debug->setObjectName(QStringLiteral("debug"));
    debug->addActions(m_debugPanel->actions());
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("help"));
    command(help, "reference", QStringLiteral("Language &Reference"), {QKeySequence(Qt::Key_F1)},
            &EditorWindow::referenceClick);
    command(help, "keys", QStringLiteral("&Keyboard Shortcuts"), {}, &EditorWindow::keysClick);

    // Undo (Ctrl+Z) and redo are the text box's own. Its redo keys depend on the
    // platform's key scheme (Ctrl+Y only on some); this action, in no menu, adds the
    // missing one. A key the text box takes itself never reaches the action, so no key
    // redoes twice.
    auto* redo = new QAction(QStringLiteral("Redo"), m_text);
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo->setShortcutContext(Qt::WidgetShortcut);
    connect(redo, &QAction::triggered, m_text, &QPlainTextEdit::redo);
    m_text->addAction(redo);
}

std::string EditorWindow::programText() const { return editor::programText(m_text->document()->toRawText()); }

void EditorWindow::setProgramText(std::string_view program) {
    const QString text = boxText(program);
    colourIfSmall(text.size());
    m_text->setPlainText(text);
    colourIfSmall(text.size());
    m_text->document()->setModified(false);
}

void EditorWindow::setRunner(QString runner, RunnerStarter starter) {
    m_runner = std::move(runner);
    m_starter = starter ? std::move(starter) : RunnerStarter(startDetached);
}

QString EditorWindow::status() const { return m_status->text(); }

void EditorWindow::setStatus(const QString& text) { m_status->setText(text); }

void EditorWindow::colourIfSmall(qsizetype size) {
    if (!m_highlighter)
        return;
    // Called before a text of [size] characters goes in and after it is in: a large text
    // goes in without the highlighter, which comes back after a small one.
    QTextDocument* document = size > kLargestColoured ? nullptr : m_text->document();
    if (m_highlighter->document() != document && (!document || document->characterCount() <= kLargestColoured + 1))
        m_highlighter->setDocument(document);
}

void EditorWindow::replaceText(const QString& text) {
    colourIfSmall(text.size());
    // One edit block: Undo brings back the text as it was before, in one step.
    QTextCursor cursor(m_text->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(text);
    cursor.endEditBlock();
    cursor.movePosition(QTextCursor::Start);
    m_text->setTextCursor(cursor);
    colourIfSmall(text.size());
    m_text->document()->setModified(false);
}

QString EditorWindow::askPath(const QString& prompt, const QString& extension) {
    // Deliberate: Cancel and an empty answer do nothing in both programs; a file named by
    // its extension alone is never read or written.
    const std::optional<QString> answer = m_dialogs->askText(prompt);
    if (!answer || answer->isEmpty())
        return QString();
    return pathBelow(m_folder, *answer, extension);
}

bool EditorWindow::textMayGo() {
    if (!m_text->document()->isModified())
        return true;
    switch (m_dialogs->askSave(kSaveChanges)) {
    case SaveChoice::Save:
        return saveText();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (textMayGo())
        event->accept();
    else
        event->ignore();
}

void EditorWindow::newClick() {
    if (textMayGo())
        replaceText(QString());
}

void EditorWindow::openClick() {
    if (!textMayGo())
        return;
    const QString path = askPath(kFileNamePrompt, m_program.extension);
    if (path.isEmpty())
        return;
    platform::FileError error{};
    const std::optional<std::string> file = platform::readWholeFile(localPath(path), &error, kLargestSource);
    if (!file) {
        m_dialogs->tell(error.failure == platform::FileFailure::TooLarge ? kTooLarge : kUnableToOpen);
        return;
    }
    if (!fitsTheEditor(*file)) {
        m_dialogs->tell(kTooLarge);
        return;
    }
    replaceText(boxText(openedText(*file)));
}

void EditorWindow::saveClick() { saveText(); }

bool EditorWindow::saveText() {
    const QString path = askPath(kFileNamePrompt, m_program.extension);
    if (path.isEmpty())
        return false;
    // Atomic: a save that fails leaves the previous file whole.
    if (!platform::writeFileAtomically(localPath(path), savedText(programText()))) {
        m_dialogs->tell(kUnableToSave);
        return false;
    }
    m_text->document()->setModified(false);
    setStatus(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void EditorWindow::compileClick() { compileToFile(); }

QString EditorWindow::compileToFile() {
    const std::string source = programText();
    std::vector<moxy::Diagnostic> messages;
    const moxy::CompileResult compiled = m_program.compile(
        source,
        [this, &messages](const moxy::Diagnostic& message) {
            messages.push_back(message);
            // The message's own words, then where its statement is. Warnings go to the
            // list only.
            if (message.severity == moxy::Severity::Error)
                m_dialogs->tell(boxText(message.text) + QStringLiteral("\n\n") + where(message.line, message.column));
        },
        [this](int percent) { showProgress(percent); });
    for (moxy::Diagnostic& warning : unstorableCharacters(m_text->document()->toRawText()))
        messages.push_back(std::move(warning));
    std::stable_sort(messages.begin(), messages.end(), [](const moxy::Diagnostic& a, const moxy::Diagnostic& b) {
        return std::pair(a.line, a.column) < std::pair(b.line, b.column);
    });
    listMessages(messages);
    QString written;
    if (compiled.abandoned) {
        QTextCursor cursor = m_text->textCursor();
        cursor.setPosition(boxPosition(source, compiled.caret));
        m_text->setTextCursor(cursor);
        m_text->setFocus();
        setStatus(QStringLiteral("Not compiled: a declaration stopped the compile"));
    } else {
        if (!messages.empty())
            moveCaretTo(messages.front().line, messages.front().column);
        written = writeMoxyFile(compiled);
        if (!written.isEmpty()) {
            const QFileInfo file(written);
            setStatus(QStringLiteral("Compiled to %1 in %2, %3 characters, %4 messages")
                          .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()))
                          .arg(compiled.code.size())
                          .arg(messages.size()));
        }
    }
    setWindowTitle(m_program.title);
    return written;
}

QString EditorWindow::writeMoxyFile(const moxy::CompileResult& compiled) {
    const QString path = askPath(kMoxyNamePrompt, kMoxyExtension);
    if (path.isEmpty())
        return QString();
    platform::FileError error{};
    if (!platform::writeFileAtomically(localPath(path), moxy::moxyFileText(compiled.code), &error)) {
        m_dialogs->tell(QStringLiteral("Unable to write the MOXY file %1: %2")
                            .arg(QDir::toNativeSeparators(path), fromLocal(error.reason)));
        return QString();
    }
    // The source map beside it, as --compile --map writes it: the runner's error reports
    // then name the source line.
    const QString map = path + QStringLiteral(".map");
    if (!platform::writeFileAtomically(localPath(map),
                                       moxy::sourceMapText(compiled.map) + moxy::sourceMapNamesText(compiled.names), &error))
        m_dialogs->tell(QStringLiteral("Unable to write the source map %1: %2")
                            .arg(QDir::toNativeSeparators(map), fromLocal(error.reason)));
    return path;
}

void EditorWindow::listMessages(const std::vector<moxy::Diagnostic>& messages) {
    m_messages->clear();
    // A source that warns at every line lists the first ones and how many more there are.
    constexpr std::size_t kListed = 1000;
    for (std::size_t i = 0; i < messages.size() && i < kListed; ++i) {
        const moxy::Diagnostic& message = messages[i];
        const QString kind = message.severity == moxy::Severity::Warning ? QStringLiteral("warning: ") : QString();
        auto* item = new QListWidgetItem(where(message.line, message.column) + QStringLiteral(": ") + kind +
                                             boxText(message.text).replace(QLatin1Char('\r'), QString())
                                                 .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                         m_messages);
        item->setData(Qt::UserRole, message.line);
        item->setData(Qt::UserRole + 1, message.column);
    }
    if (messages.size() > kListed)
        new QListWidgetItem(QStringLiteral("%1 more messages not shown").arg(messages.size() - kListed), m_messages);
    m_messageDock->setVisible(!messages.empty());
}

void EditorWindow::messageClick(QListWidgetItem* item) {
    moveCaretTo(item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt());
}

void EditorWindow::moveCaretTo(int line, int column) {
    const std::string text = programText();
    QTextCursor cursor = m_text->textCursor();
    cursor.setPosition(boxPosition(text, offsetOf(text, line, column)));
    m_text->setTextCursor(cursor);
    m_text->centerCursor();
    m_text->setFocus();
}

QString EditorWindow::runnerPath() {
    const QString runner = m_runner.isEmpty() ? findRunner(QCoreApplication::applicationDirPath()) : m_runner;
    if (runner.isEmpty())
        m_dialogs->tell(kNoRunner);
    return runner;
}

void EditorWindow::runClick() {
    const QString moxyFile = compileToFile();
    if (moxyFile.isEmpty())
        return;
    const QString runner = runnerPath();
    if (runner.isEmpty())
        return;
    if (!m_starter(runner, {moxyFile}, QFileInfo(moxyFile).absolutePath()))
        m_dialogs->tell(QStringLiteral("Unable to start the MOXY runner %1.").arg(QDir::toNativeSeparators(runner)));
}

void EditorWindow::findClick() {
    const std::optional<QString> answer = m_dialogs->askText(kFindPrompt);
    if (!answer || answer->isEmpty())
        return;
    m_findText = *answer;
    findNextClick();
}

void EditorWindow::findNextClick() {
    if (m_findText.isEmpty()) {
        findClick();
        return;
    }
    if (m_text->find(m_findText))
        return;
    // Not below the caret: once more from the start.
    const QTextCursor before = m_text->textCursor();
    QTextCursor start = before;
    start.movePosition(QTextCursor::Start);
    m_text->setTextCursor(start);
    if (!m_text->find(m_findText)) {
        m_text->setTextCursor(before);
        setStatus(QStringLiteral("Not found: %1").arg(m_findText));
    }
}

void EditorWindow::goToLineClick() {
    const int lines = m_text->document()->blockCount();
    const std::optional<QString> answer = m_dialogs->askText(QStringLiteral("Go to line (1 to %1)").arg(lines));
    if (!answer || answer->trimmed().isEmpty())
        return;
    bool number = false;
    const int line = answer->trimmed().toInt(&number);
    if (!number || line < 1 || line > lines) {
        setStatus(QStringLiteral("There is no line %1").arg(answer->trimmed()));
        return;
    }
    QTextCursor cursor(m_text->document()->findBlockByNumber(line - 1));
    m_text->setTextCursor(cursor);
    m_text->centerCursor();
    m_text->setFocus();
}

void EditorWindow::referenceClick() {
    const QString name = m_program.name + QStringLiteral(".md");
    const QString path = findReference(QCoreApplication::applicationDirPath(), name);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        m_dialogs->tell(QStringLiteral("The language reference %1 is not installed.").arg(name));
        return;
    }
    // A window of its own beside the editor, read-only, closed with the editor at the latest.
    auto* window = new QDialog(this);
    window->setObjectName(QStringLiteral("reference"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(m_program.title + QStringLiteral(": Language Reference"));
    auto* text = new QTextBrowser(window);
    text->setOpenLinks(false);
    text->setMarkdown(QString::fromUtf8(file.readAll()));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    window->resize(640, 560);
    window->show();
}

void EditorWindow::keysClick() { m_dialogs->tell(QString::fromLatin1(kKeys)); }

void EditorWindow::showProgress(int percent) {
    setWindowTitle(m_program.title + QLatin1Char(' ') + QString::number(percent) + QLatin1Char('%'));
    // Lets the caption repaint during a long compile; keys and clicks wait until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void EditorWindow::exitClick() { close(); }

}  // namespace editor
