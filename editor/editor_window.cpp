#include "editor/editor_window.h"

#include "editor/export_web_page.h"
#include "editor/highlighter.h"
#include "editor/program_text.h"
#include "platform/files.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <utility>

namespace editor {

namespace {

const QString kMoxyExtension = QStringLiteral(".moxy");

std::string localPath(const QString& path) { return path.toLocal8Bit().toStdString(); }

QString fromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

EditorWindow::EditorWindow(Program program, QString folder, std::unique_ptr<Dialogs> dialogs)
    : m_program(std::move(program)), m_folder(std::move(folder)), m_dialogs(std::move(dialogs)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(m_program.title);
    if (!m_program.iconFile.isEmpty())
        setWindowIcon(QIcon(m_program.iconFile));
    if (!m_dialogs)
        m_dialogs = std::make_unique<QtDialogs>(this, m_program.title);

    m_text = new QPlainTextEdit(this);
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
        new Highlighter(m_program.highlight, m_text->document());

    createActions();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::createActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
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
    addExportWebPage(file, m_folder, *m_dialogs);
    add("Exit", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), &EditorWindow::exitClick);

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

void EditorWindow::setProgramText(std::string_view program) { m_text->setPlainText(boxText(program)); }

void EditorWindow::replaceText(const QString& text) {
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
}

QString EditorWindow::askPath(const QString& prompt, const QString& extension) {
    // Deliberate: Cancel and an empty answer do nothing in both programs; a file named by
    // its extension alone is never read or written.
    const std::optional<QString> answer = m_dialogs->askText(prompt);
    if (!answer || answer->isEmpty())
        return QString();
    return pathBelow(m_folder, *answer, extension);
}

void EditorWindow::newClick() { replaceText(QString()); }

void EditorWindow::openClick() {
    const QString path = askPath(kFileNamePrompt, m_program.extension);
    if (path.isEmpty())
        return;
    const std::optional<std::string> file = platform::readWholeFile(localPath(path));
    if (!file) {
        m_dialogs->tell(kUnableToOpen);
        return;
    }
    replaceText(boxText(openedText(*file)));
}

void EditorWindow::saveClick() {
    const QString path = askPath(kFileNamePrompt, m_program.extension);
    if (path.isEmpty())
        return;
    // Atomic: a save that fails leaves the previous file whole.
    if (!platform::writeFileAtomically(localPath(path), savedText(programText())))
        m_dialogs->tell(kUnableToSave);
}

void EditorWindow::compileClick() {
    const std::string source = programText();
    const Compiled compiled = m_program.compile(
        source, [this](const Message& message) { m_dialogs->tell(boxText(message.text)); },
        [this](int percent) { showProgress(percent); });
    if (compiled.abandoned) {
        QTextCursor cursor = m_text->textCursor();
        cursor.setPosition(boxPosition(source, compiled.caret));
        m_text->setTextCursor(cursor);
        m_text->setFocus();
    } else {
        writeMoxyFile(compiled.code);
    }
    setWindowTitle(m_program.title);
}

void EditorWindow::writeMoxyFile(const std::string& code) {
    const QString path = askPath(kMoxyNamePrompt, kMoxyExtension);
    if (path.isEmpty())
        return;
    platform::FileError error{};
    if (!platform::writeFileAtomically(localPath(path), code + "\r\n", &error))
        m_dialogs->tell(QStringLiteral("Unable to write the MOXY file %1: %2")
                            .arg(QDir::toNativeSeparators(path), fromLocal(error.reason)));
}

void EditorWindow::showProgress(int percent) {
    setWindowTitle(m_program.title + QLatin1Char(' ') + QString::number(percent) + QLatin1Char('%'));
    // Lets the caption repaint during a long compile; keys and clicks wait until it ends.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void EditorWindow::exitClick() { close(); }

}  // namespace editor
