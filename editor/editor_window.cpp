#include "editor/editor_window.h"

#include "editor/program_text.h"
#include "platform/files.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
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
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setCentralWidget(m_text);

    createActions();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

EditorWindow::~EditorWindow() = default;

void EditorWindow::createActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("file"));
    // No shortcut keys: the captions carry no '&' and the items no key sequences.
    const auto add = [this, file](const char* name, const QString& caption, void (EditorWindow::*slot)()) {
        QAction* action = file->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add("new", QStringLiteral("New"), &EditorWindow::newClick);
    add("open", QStringLiteral("Open"), &EditorWindow::openClick);
    add("Save", QStringLiteral("Save"), &EditorWindow::saveClick);
    add("compile", m_program.compileCaption, &EditorWindow::compileClick);
    add("Exit", QStringLiteral("Exit"), &EditorWindow::exitClick);
}

std::string EditorWindow::programText() const { return editor::programText(m_text->document()->toRawText()); }

void EditorWindow::setProgramText(std::string_view program) { m_text->setPlainText(boxText(program)); }

QString EditorWindow::askPath(const QString& prompt, const QString& extension) {
    // Deliberate: Cancel and an empty answer do nothing in both programs; a file named by
    // its extension alone is never read or written.
    const std::optional<QString> answer = m_dialogs->askText(prompt);
    if (!answer || answer->isEmpty())
        return QString();
    return pathBelow(m_folder, *answer, extension);
}

void EditorWindow::newClick() { m_text->clear(); }

void EditorWindow::openClick() {
    const QString path = askPath(kFileNamePrompt, m_program.extension);
    if (path.isEmpty())
        return;
    const std::optional<std::string> file = platform::readWholeFile(localPath(path));
    if (!file) {
        m_dialogs->tell(kUnableToOpen);
        return;
    }
    setProgramText(openedText(*file));
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
