// The window of both compiler programs, under the offscreen platform: menus and their
// keys, the file commands in a temporary program folder, the compile command, undo, the
// colours. The dialogs answer from a script, so no test waits for a person.
#include "editor/editor_window.h"
#include "editor/highlighter.h"
#include "editor/program_main.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gmock/gmock.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

// What the user answers, and what the window asked and told.
struct Script {
    std::deque<std::optional<QString>> answers;
    std::vector<QString> prompts;
    std::vector<QString> messages;
    std::vector<QString> captionsAtQuestions;
    QWidget* window = nullptr;
};

class ScriptedDialogs : public editor::Dialogs {
public:
    explicit ScriptedDialogs(Script& script) : m_script(script) {}
    std::optional<QString> askText(const QString& prompt) override {
        m_script.prompts.push_back(prompt);
        m_script.captionsAtQuestions.push_back(m_script.window->windowTitle());
        if (m_script.answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << prompt.toStdString();
            return std::nullopt;
        }
        std::optional<QString> answer = m_script.answers.front();
        m_script.answers.pop_front();
        return answer;
    }
    void tell(const QString& text) override { m_script.messages.push_back(text); }

private:
    Script& m_script;
};

enum class Which { Quillon, Vorna };

editor::Program programOf(Which which) {
    return which == Which::Quillon ? editor::quillonProgram() : editor::vornaProgram();
}

std::string readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll().toStdString();
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// One window of a program whose folder is a fresh temporary folder.
class Editor {
public:
    explicit Editor(Which which)
        : window(programOf(which), folder.path(), std::make_unique<ScriptedDialogs>(script)) {
        script.window = &window;
    }

    void answer(std::initializer_list<std::optional<QString>> answers) {
        script.answers.insert(script.answers.end(), answers.begin(), answers.end());
    }
    void choose(const char* item) {
        QAction* action = window.findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
        EXPECT_THAT(script.answers, IsEmpty()) << "unasked answers after " << item;
    }
    QPlainTextEdit* textBox() { return window.findChild<QPlainTextEdit*>(QStringLiteral("t1")); }
    void type(const QString& text) { textBox()->setPlainText(text); }
    QString file(const QString& name) const { return folder.filePath(name); }
    QStringList folderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    Script script;
    editor::EditorWindow window;
};

const Which kBoth[] = {Which::Quillon, Which::Vorna};

const char* nameOf(Which which) { return which == Which::Quillon ? "quillon" : "vorna"; }

TEST(EditorWindow, FormHasTheTextBoxAndTheFileMenu) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        EXPECT_EQ(editor.window.objectName(), "Form1");
        EXPECT_EQ(editor.window.centralWidget(), editor.textBox());
        EXPECT_TRUE(editor.textBox()->toPlainText().isEmpty());
        const QList<QMenu*> menus = editor.window.menuBar()->findChildren<QMenu*>();
        ASSERT_EQ(menus.size(), 1);
        EXPECT_EQ(menus[0]->title(), "File");
        QStringList names;
        QStringList captions;
        QStringList keys;
        for (const QAction* action : menus[0]->actions()) {
            names << action->objectName();
            captions << action->text();
            EXPECT_TRUE(action->shortcut().isEmpty()) << "menu items carry no shortcut key";
            const auto* shortcut = editor.window.findChild<QShortcut*>(action->objectName() + "Key");
            keys << (shortcut ? shortcut->key().toString(QKeySequence::PortableText) : QString());
        }
        const QString compile = which == Which::Quillon ? "Compile to MOXY" : "Compile to ZAPL";
        EXPECT_EQ(names, QStringList({"new", "open", "Save", "compile", "Exit"}));
        EXPECT_EQ(captions, QStringList({"New", "Open", "Save", compile, "Exit"}));
        EXPECT_EQ(keys, QStringList({"Ctrl+N", "Ctrl+O", "Ctrl+S", "F5", "Ctrl+Q"}));
    }
}

TEST(EditorWindow, CaptionIconAndClientArea) {
    struct Case {
        Which which;
        QString caption;
        bool ownIcon;
    };
    for (const Case& c : {Case{Which::Quillon, "Quillon Compiler", true}, Case{Which::Vorna, "VORNA Compiler", false}}) {
        SCOPED_TRACE(nameOf(c.which));
        Editor editor(c.which);
        EXPECT_EQ(editor.window.windowTitle(), c.caption);
        EXPECT_EQ(editor.window.testAttribute(Qt::WA_SetWindowIcon), c.ownIcon);
        if (c.ownIcon) {
            EXPECT_EQ(editor.window.windowIcon().pixmap(16, 16).size(), QSize(16, 16));
        }
        editor.window.show();
        EXPECT_EQ(editor.window.centralWidget()->size(), QSize(376, 384));
        editor.choose("Exit");
        EXPECT_FALSE(editor.window.isVisible());
    }
}

TEST(EditorWindow, NewEmptiesTheTextWithoutAsking) {
    Editor editor(Which::Quillon);
    editor.type("print[x][y][t]");
    editor.choose("new");
    EXPECT_TRUE(editor.textBox()->toPlainText().isEmpty());
    EXPECT_THAT(editor.script.prompts, IsEmpty());
}

TEST(EditorWindow, AnswersNameFilesBelowTheProgramsFolder) {
    struct Case {
        Which which;
        QString answer;
        QString file;
    };
    const Case cases[] = {
        {Which::Quillon, "prog", "prog.qlnp"},
        {Which::Quillon, "prog.qlnp", "prog.qlnp.qlnp"},
        {Which::Quillon, "sub\\prog", "sub/prog.qlnp"},
        {Which::Vorna, "prog", "prog.vornaproj"},
        {Which::Vorna, "sub/prog", "sub/prog.vornaproj"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        Editor editor(c.which);
        ASSERT_TRUE(QDir(editor.folder.path()).mkdir("sub"));
        editor.type("first\nsecond");
        editor.answer({c.answer});
        editor.choose("Save");
        EXPECT_EQ(readFile(editor.file(c.file)), "first\r\nsecond\r\n");
        editor.choose("new");
        editor.answer({c.answer});
        editor.choose("open");
        EXPECT_EQ(editor.window.programText(), "first\r\nsecond\r\n");
        EXPECT_THAT(editor.script.prompts, ElementsAre("Input A File Name", "Input A File Name"));
        EXPECT_THAT(editor.script.messages, IsEmpty());
    }
}

TEST(EditorWindow, CancelOrNoAnswerDoesNothing) {
    for (const Which which : kBoth) {
        for (const std::optional<QString>& answer : {std::optional<QString>(), std::optional<QString>("")}) {
            SCOPED_TRACE(std::string(nameOf(which)) + (answer ? " empty answer" : " cancel"));
            Editor editor(which);
            writeFile(editor.file(which == Which::Quillon ? ".qlnp" : ".vornaproj"), "old");
            editor.type("text");
            for (const char* item : {"Save", "open", "compile"}) {
                editor.answer({answer});
                editor.choose(item);
            }
            EXPECT_EQ(editor.textBox()->toPlainText(), "text");
            EXPECT_EQ(editor.folderEntries().size(), 1);
            EXPECT_THAT(editor.script.messages, IsEmpty());
            EXPECT_EQ(editor.window.windowTitle(), which == Which::Quillon ? "Quillon Compiler" : "VORNA Compiler");
        }
    }
}

TEST(EditorWindow, OpenReadsLinesAndLatin1) {
    Editor editor(Which::Vorna);
    writeFile(editor.file("mixed.vornaproj"), "a\nb\rc\r\n\xe9");
    editor.answer({"mixed"});
    editor.choose("open");
    EXPECT_EQ(editor.window.programText(), "a\r\nb\r\nc\r\n\xe9\r\n");
    EXPECT_EQ(editor.textBox()->toPlainText(), QStringLiteral("a\nb\nc\n\u00e9\n"));
}

TEST(EditorWindow, OpenFailureKeepsTheTextAndSaysSo) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        ASSERT_TRUE(QDir(editor.folder.path()).mkdir(which == Which::Quillon ? "folder.qlnp" : "folder.vornaproj"));
        editor.type("kept");
        editor.answer({"missing"});
        editor.choose("open");
        editor.answer({"folder"});
        editor.choose("open");
        EXPECT_EQ(editor.textBox()->toPlainText(), "kept");
        EXPECT_THAT(editor.script.messages, ElementsAre("Unable to open file.", "Unable to open file."));
    }
}

TEST(EditorWindow, SaveAndOpenCyclesKeepTheText) {
    const char* const texts[] = {"one line", "a\nb", "a\nb\n", "", "x\n\n", "\n"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        Editor editor(Which::Quillon);
        editor.type(QString::fromLatin1(text));
        editor.answer({"cycle"});
        editor.choose("Save");
        const std::string saved = readFile(editor.file("cycle.qlnp"));
        for (int cycle = 0; cycle < 3; ++cycle) {
            editor.answer({"cycle"});
            editor.choose("open");
            EXPECT_EQ(editor.window.programText(), saved);
            editor.answer({"cycle"});
            editor.choose("Save");
            EXPECT_EQ(readFile(editor.file("cycle.qlnp")), saved);
        }
    }
}

TEST(EditorWindow, FailedSaveLeavesTheOldFileWhole) {
    // A name so long that the temporary file beside it cannot be named: the atomic save
    // fails after the old file was found. A folder cannot be replaced by a file.
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        const QString extension = which == Which::Quillon ? ".qlnp" : ".vornaproj";
        const QString longName(250 - extension.size(), QLatin1Char('n'));
        writeFile(editor.file(longName + extension), "old text\r\n");
        ASSERT_TRUE(QDir(editor.folder.path()).mkdir("folder" + extension));
        editor.type("new text");
        editor.answer({longName});
        editor.choose("Save");
        editor.answer({"folder"});
        editor.choose("Save");
        editor.answer({"no such folder\\prog"});
        editor.choose("Save");
        EXPECT_EQ(readFile(editor.file(longName + extension)), "old text\r\n");
        EXPECT_EQ(editor.folderEntries().size(), 2);
        EXPECT_THAT(editor.script.messages,
                    ElementsAre("Unable to save file.", "Unable to save file.", "Unable to save file."));
    }
}

TEST(EditorWindow, CompileReadsTheTextWithCrLfAndLatin1) {
    Editor editor(Which::Quillon);
    editor.type(QStringLiteral("dim[x]\nset[x]{a") + QChar::LineSeparator + QStringLiteral("\u00e9}\nexit"));
    editor.answer({"game"});
    editor.choose("compile");
    EXPECT_EQ(editor.script.prompts, std::vector<QString>{"Input A Name For The MOXY File"});
    EXPECT_THAT(readFile(editor.file("game.moxy")), testing::EndsWith("\x01\x82\x82\x1b" "a\r\n\xe9\x18\r\n"));
}

TEST(EditorWindow, ProgressShowsInTheCaptionUntilTheFileIsWritten) {
    struct Case {
        Which which;
        QString text;
        QStringList captions;
    };
    const Case cases[] = {
        {Which::Quillon, "abcd",
         {"Quillon Compiler 25%", "Quillon Compiler 50%", "Quillon Compiler 75%", "Quillon Compiler 100%",
          "Quillon Compiler"}},
        // EXIT advances past the end of the text: the percentage passes 100.
        {Which::Vorna, "xEXIT", {"VORNA Compiler 20%", "VORNA Compiler 120%", "VORNA Compiler"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Editor editor(c.which);
        QStringList captions;
        QObject::connect(&editor.window, &QWidget::windowTitleChanged,
                         [&captions](const QString& caption) { captions << caption; });
        editor.type(c.text);
        editor.answer({"out"});
        editor.choose("compile");
        EXPECT_EQ(captions, c.captions);
        EXPECT_EQ(editor.script.captionsAtQuestions, std::vector<QString>{c.captions[c.captions.size() - 2]});
        EXPECT_TRUE(QFile::exists(editor.file("out.moxy")));
    }
}

TEST(EditorWindow, DeclarationErrorPlacesTheCaretAndWritesNothing) {
    const struct {
        QString text;
        QString message;
        int caret;
    } cases[] = {
        {"dim[0]", "Cannot use \"0\" as a variable name, it is reserved.", 4},
        {"dim[a]\ndim[a]", "Error, variable already declared.", 11},
        {"dim[a]\ndim[b]\n  dim [b]", "Error, variable already declared.", 20},
        // The offset falls between CR and LF: the caret stands behind the line break.
        {"dim[a]\ndim\n[a]", "Error, variable already declared.", 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Editor editor(Which::Quillon);
        editor.type(c.text);
        editor.choose("compile");
        EXPECT_THAT(editor.script.messages, ElementsAre(c.message));
        EXPECT_THAT(editor.script.prompts, IsEmpty());
        EXPECT_EQ(editor.textBox()->textCursor().position(), c.caret);
        EXPECT_THAT(editor.folderEntries(), IsEmpty());
        EXPECT_EQ(editor.window.windowTitle(), "Quillon Compiler");
    }
}

TEST(EditorWindow, UndeclaredNamesAreShownAndTheFileStillWritten) {
    Editor editor(Which::Quillon);
    writeFile(editor.file("game.moxy"), "an older program");
    editor.type("dim[x]\nprint[x][y][Count]");
    editor.answer({"game"});
    editor.choose("compile");
    EXPECT_THAT(editor.script.messages,
                ElementsAre("Error: Variable doesnt exist. y", "Error: Variable doesnt exist. Count"));
    EXPECT_THAT(readFile(editor.file("game.moxy")), testing::EndsWith("\x01\x82\x82\x03\x04\xfd\r\n"));
}

TEST(EditorWindow, VornaWritesItsCodeBelowTheFolder) {
    Editor editor(Which::Vorna);
    ASSERT_TRUE(QDir(editor.folder.path()).mkdir("sub"));
    editor.type("INC VUP");
    editor.answer({"sub\\game"});
    editor.choose("compile");
    EXPECT_EQ(readFile(editor.file("sub/game.moxy")), "\x02\x19\r\n");
    EXPECT_THAT(editor.script.messages, IsEmpty());
}

TEST(EditorWindow, UnwritableMoxyFileIsReportedWithItsPath) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        ASSERT_TRUE(QDir(editor.folder.path()).mkdir("taken.moxy"));
        editor.answer({"taken"});
        editor.choose("compile");
        ASSERT_EQ(editor.script.messages.size(), 1u);
        EXPECT_THAT(editor.script.messages[0].toStdString(),
                    HasSubstr("Unable to write the MOXY file " + editor.file("taken.moxy").toStdString() + ": "));
        EXPECT_EQ(editor.window.windowTitle(), which == Which::Quillon ? "Quillon Compiler" : "VORNA Compiler");
    }
}

TEST(EditorWindow, KeysChooseTheirCommandsWhileTyping) {
    Editor editor(Which::Quillon);
    editor.window.show();
    editor.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.window));
    editor.textBox()->setFocus();
    QTest::keyClicks(editor.textBox(), "exit");
    const struct {
        const char* item;
        QKeyCombination key;
        int questions;
    } keys[] = {
        {"Save", Qt::CTRL | Qt::Key_S, 1},
        {"open", Qt::CTRL | Qt::Key_O, 1},
        {"compile", QKeyCombination(Qt::Key_F5), 1},
        {"new", Qt::CTRL | Qt::Key_N, 0},
        {"Exit", Qt::CTRL | Qt::Key_Q, 0},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.item);
        QSignalSpy triggered(editor.window.findChild<QAction*>(QLatin1String(k.item)), &QAction::triggered);
        for (int i = 0; i < k.questions; ++i)
            editor.answer({std::nullopt});
        QTest::keyClick(editor.textBox(), k.key.key(), k.key.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_THAT(editor.script.answers, IsEmpty());
    }
    EXPECT_EQ(editor.textBox()->toPlainText(), "");
    EXPECT_FALSE(editor.window.isVisible());
}

TEST(EditorWindow, NewAndOpenAreUndoneAndCompileKeepsTheHistory) {
    Editor editor(Which::Quillon);
    QPlainTextEdit* box = editor.textBox();
    const auto press = [box](QKeyCombination key) { QTest::keyClick(box, key.key(), key.keyboardModifiers()); };
    const QKeyCombination undo = Qt::CTRL | Qt::Key_Z;

    QTest::keyClicks(box, "exit");
    editor.choose("new");
    EXPECT_EQ(box->toPlainText(), "");
    press(undo);
    EXPECT_EQ(box->toPlainText(), "exit");
    for (const QKeyCombination redo : {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y}) {
        press(redo);
        EXPECT_EQ(box->toPlainText(), "");
        press(undo);
        EXPECT_EQ(box->toPlainText(), "exit");
    }
    // The redo keys that the platform's scheme leaves to the window.
    editor.window.findChild<QAction*>(QStringLiteral("redo"))->trigger();
    EXPECT_EQ(box->toPlainText(), "");
    press(undo);

    writeFile(editor.file("prog.qlnp"), "dim[a]\r\ndim[a]");
    editor.answer({"prog"});
    editor.choose("open");
    EXPECT_EQ(box->toPlainText(), "dim[a]\ndim[a]\n");
    const int steps = box->document()->availableUndoSteps();
    // A declaration error moves the caret; that is no step of its own.
    editor.choose("compile");
    EXPECT_THAT(editor.script.messages, ElementsAre("Error, variable already declared."));
    EXPECT_EQ(box->document()->availableUndoSteps(), steps);
    press(undo);
    EXPECT_EQ(box->toPlainText(), "exit");
}

// The colours of [block] as letters, as in highlight_rules_test.cpp.
std::string coloursOf(const QTextBlock& block, const editor::Highlighter& highlighter) {
    const struct {
        editor::Highlight highlight;
        char letter;
    } letters[] = {{editor::Highlight::Keyword, 'K'}, {editor::Highlight::Name, 'N'},
                   {editor::Highlight::Comment, 'C'}, {editor::Highlight::Literal, 'L'}};
    std::string colours(static_cast<std::size_t>(block.length() - 1), '.');
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        char letter = '?';
        for (const auto& l : letters)
            if (range.format == highlighter.format(l.highlight))
                letter = l.letter;
        colours.replace(static_cast<std::size_t>(range.start), static_cast<std::size_t>(range.length),
                        static_cast<std::size_t>(range.length), letter);
    }
    return colours;
}

TEST(EditorWindow, TextBoxColoursItsOwnLanguage) {
    const struct {
        Which which;
        QString text;
        std::vector<std::string> colours;
    } cases[] = {
        // A comment carries over to the following blocks; a line separator ends a line.
        {Which::Quillon, "exit // a\nprint\n// dim[a" + QString(QChar::LineSeparator) + "]",
         {"KKKK.CCCC", "CCCCC", "CC.KKK...."}},
        {Which::Vorna, "PRINT print\nDIM[a]", {"KKKKK......", "KKKNNN"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(nameOf(c.which));
        Editor editor(c.which);
        const auto* highlighter = editor.textBox()->document()->findChild<editor::Highlighter*>();
        ASSERT_NE(highlighter, nullptr);
        editor.type(c.text);
        std::vector<std::string> colours;
        for (QTextBlock block = editor.textBox()->document()->firstBlock(); block.isValid(); block = block.next())
            colours.push_back(coloursOf(block, *highlighter));
        EXPECT_EQ(colours, c.colours);
    }
}

TEST(StartUp, LoadsTheNamedFileByteForByte) {
    QTemporaryDir folder;
    const QString path = folder.filePath("start.qlnp");
    writeFile(path, "dim[x]\r\nset[x]{\xe9}\r\n");
    for (const QString& argument : {path, "\"" + path + "\""}) {
        SCOPED_TRACE(argument.toStdString());
        Script script;
        editor::EditorWindow window(editor::quillonProgram(), folder.path(), std::make_unique<ScriptedDialogs>(script));
        std::string reason;
        EXPECT_TRUE(editor::loadStartFile(window, argument, &reason));
        EXPECT_EQ(window.programText(), "dim[x]\r\nset[x]{\xe9}\r\n");
    }
}

TEST(StartUp, UnreadableFileLeavesTheWindowEmpty) {
    QTemporaryDir folder;
    Script script;
    editor::EditorWindow window(editor::quillonProgram(), folder.path(), std::make_unique<ScriptedDialogs>(script));
    std::string reason;
    EXPECT_FALSE(editor::loadStartFile(window, "\"" + folder.filePath("missing.qlnp") + "\"", &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(window.programText(), "");
    EXPECT_THAT(script.messages, IsEmpty());
}

}  // namespace
