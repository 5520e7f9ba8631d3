// The window of both compiler programs, under the offscreen platform: menus and their
// keys, the file commands in a temporary program folder, the compile command, undo, the
// colours. The dialogs answer from a script, so no test waits for a person.
#include "editor/editor_window.h"
#include "editor/highlighter.h"
#include "editor/program_main.h"
#include "moxy/format.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
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
#include <tuple>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using Answer = std::optional<QString>;

// Answers what the user would, and keeps what the window asked and told.
class ScriptedDialogs : public editor::Dialogs {
public:
    Answer askText(const QString& prompt) override {
        prompts.push_back(prompt);
        captionsAtQuestions.push_back(window->windowTitle());
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << prompt.toStdString();
            return std::nullopt;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(const QString& text) override { messages.push_back(text); }

    std::deque<Answer> answers;
    std::vector<QString> prompts;
    std::vector<QString> messages;
    std::vector<QString> captionsAtQuestions;
    QWidget* window = nullptr;
};

enum class Which { Quillon, Vorna };
const Which kBoth[] = {Which::Quillon, Which::Vorna};
const char* nameOf(Which which) { return which == Which::Quillon ? "quillon" : "vorna"; }
QString titleOf(Which which) { return which == Which::Quillon ? "Quillon Compiler" : "VORNA Compiler"; }
QString extensionOf(Which which) { return which == Which::Quillon ? ".qlnp" : ".vornaproj"; }

std::string readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
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
        : window(which == Which::Quillon ? editor::quillonProgram() : editor::vornaProgram(), folder.path(),
                 std::unique_ptr<editor::Dialogs>(script)) {
        script->window = &window;
    }

    // Chooses the menu item [item], which must ask exactly the questions [answers] answer.
    void choose(const char* item, std::initializer_list<Answer> answers = {}) {
        script->answers.insert(script->answers.end(), answers.begin(), answers.end());
        QAction* action = window.findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
        EXPECT_THAT(script->answers, IsEmpty()) << "unasked answers after " << item;
    }
    QPlainTextEdit* textBox() { return window.findChild<QPlainTextEdit*>(QStringLiteral("t1")); }
    void type(const QString& text) { textBox()->setPlainText(text); }
    QString file(const QString& name) const { return folder.filePath(name); }
    void makeFolder(const QString& name) { ASSERT_TRUE(QDir(folder.path()).mkdir(name)); }
    QStringList folderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    ScriptedDialogs* script = new ScriptedDialogs;  // the window's
    editor::EditorWindow window;
};

TEST(EditorWindow, FormMenuCaptionIconAndClientArea) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        EXPECT_EQ(editor.window.objectName(), "Form1");
        EXPECT_EQ(editor.window.windowTitle(), titleOf(which));
        EXPECT_EQ(editor.window.centralWidget(), editor.textBox());
        const QList<QMenu*> menus = editor.window.menuBar()->findChildren<QMenu*>();
        ASSERT_EQ(menus.size(), 1);
        EXPECT_EQ(menus[0]->title(), "File");
        QStringList items;  // name|caption; KeysChooseTheirCommandsWhileTyping presses their keys
        for (const QAction* action : menus[0]->actions()) {
            EXPECT_TRUE(action->shortcut().isEmpty()) << "menu items carry no shortcut key";
            items << action->objectName() + "|" + action->text();
        }
        const QString compile = which == Which::Quillon ? "compile|Compile to MOXY" : "compile|Compile to ZAPL";
        EXPECT_EQ(items, QStringList({"new|New", "open|Open", "Save|Save", compile, "exportWebPage|Export as web page", "Exit|Exit"}));
        // Only Quillon brings its own icon.
        EXPECT_EQ(editor.window.testAttribute(Qt::WA_SetWindowIcon), which == Which::Quillon);
        EXPECT_TRUE(which == Which::Vorna || editor.window.windowIcon().pixmap(16, 16).size() == QSize(16, 16));
        editor.window.show();
        EXPECT_EQ(editor.window.centralWidget()->size(), QSize(376, 384));
        editor.choose("Exit");
        EXPECT_FALSE(editor.window.isVisible());
    }
}

TEST(EditorWindow, SaveAndOpenKeepTheTextInFilesBelowTheProgramsFolder) {
    const std::tuple<Which, QString, QString> places[] = {  // the program, the answer, the file
        {Which::Quillon, "prog", "prog.qlnp"},
        {Which::Quillon, "prog.qlnp", "prog.qlnp.qlnp"},
        {Which::Quillon, "sub\\prog", "sub/prog.qlnp"},
        {Which::Vorna, "prog", "prog.vornaproj"},
        {Which::Vorna, "sub/prog", "sub/prog.vornaproj"},
    };
    const std::pair<const char*, std::string> texts[] = {
        {"first\nsecond", "first\r\nsecond\r\n"}, {"one line", "one line\r\n"}, {"a\nb\n", "a\r\nb\r\n"},
        {"", ""},                                  {"x\n\n", "x\r\n\r\n"},          {"\n", "\r\n"},
    };
    for (const auto& [which, answer, file] : places) {
        for (const auto& [text, saved] : texts) {
            SCOPED_TRACE(answer.toStdString() + ": " + text);
            Editor editor(which);
            editor.makeFolder("sub");
            editor.type(text);
            for (int cycle = 0; cycle < 3; ++cycle) {
                editor.choose("Save", {answer});
                EXPECT_EQ(readFile(editor.file(file)), saved);
                editor.choose("new");
                editor.choose("open", {answer});
                EXPECT_EQ(editor.window.programText(), saved);
            }
            EXPECT_EQ(editor.script->prompts, std::vector<QString>(6, "Input A File Name"));
            EXPECT_THAT(editor.script->messages, IsEmpty());
        }
    }
    // Open reads any line ends, one byte per character.
    Editor editor(Which::Vorna);
    writeFile(editor.file("mixed.vornaproj"), "a\nb\rc\r\n\xe9");
    editor.choose("open", {"mixed"});
    EXPECT_EQ(editor.window.programText(), "a\r\nb\r\nc\r\n\xe9\r\n");
    EXPECT_EQ(editor.textBox()->toPlainText(), QStringLiteral("a\nb\nc\n\u00e9\n"));
}

TEST(EditorWindow, CancelAndUnusableAnswersChangeNeitherTextNorFiles) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        const QString extension = extensionOf(which);
        const QString longName(250 - extension.size(), QLatin1Char('n'));
        writeFile(editor.file(extension), "old");
        writeFile(editor.file(longName + extension), "old text\r\n");
        editor.makeFolder("folder" + extension);
        editor.makeFolder("taken.moxy");
        editor.type("kept");
        // Cancel and an empty answer do nothing; the file named by the extension alone stays.
        for (const Answer& answer : {Answer(), Answer("")}) {
            for (const char* item : {"Save", "open", "compile"})
                editor.choose(item, {answer});
        }
        EXPECT_THAT(editor.script->messages, IsEmpty());
        EXPECT_EQ(editor.window.windowTitle(), titleOf(which));
        // The rest fail and say so.
        editor.choose("open", {"missing"});
        editor.choose("open", {"folder"});
        // A name so long that the temporary file beside it cannot be named: the atomic save
        // fails after the old file was found. A folder cannot be replaced by a file.
        editor.choose("Save", {longName});
        editor.choose("Save", {"folder"});
        editor.choose("Save", {"no such folder\\prog"});
        editor.choose("compile", {"taken"});
        EXPECT_EQ(editor.textBox()->toPlainText(), "kept");
        EXPECT_EQ(readFile(editor.file(extension)), "old");
        EXPECT_EQ(readFile(editor.file(longName + extension)), "old text\r\n");
        EXPECT_EQ(editor.folderEntries().size(), 4);
        const QString unwritable = "Unable to write the MOXY file " + editor.file("taken.moxy") + ": ";
        EXPECT_THAT(editor.script->messages,
                    ElementsAre("Unable to open file.", "Unable to open file.", "Unable to save file.",
                                "Unable to save file.", "Unable to save file.",
                                testing::Truly([&](const QString& text) { return text.startsWith(unwritable); })));
        EXPECT_EQ(editor.window.windowTitle(), titleOf(which));
    }
}

TEST(EditorWindow, CompileWritesTheCodeWithCrLfWhereTheAnswerSays) {
    const struct {
        Which which;
        QString text;
        QString answer;
        QString file;
        std::string code;  // after the header
        std::vector<QString> messages;
    } cases[] = {
        // The compiler gets CR LF line ends and Latin-1 bytes.
        {Which::Quillon, "dim[x]\nset[x]{a" + QString(QChar::LineSeparator) + QStringLiteral("\u00e9}\nexit"), "game",
         "game.moxy", "\x01\x82\x82\x1b" "a\r\n\xe9\x18", {}},
        // Messages are shown and the file is still written, over an older one.
        {Which::Quillon, "dim[x]\nprint[x][y][Count]", "game", "game.moxy", "\x01\x82\x82\x03\x04\xfd",
         {"Error: Variable doesnt exist. y", "Error: Variable doesnt exist. Count"}},
        {Which::Vorna, "INC VUP", "sub\\game", "sub/game.moxy", "\x02\x19", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Editor editor(c.which);
        editor.makeFolder("sub");
        writeFile(editor.file(c.file), "an older program");
        editor.type(c.text);
        editor.choose("compile", {c.answer});
        EXPECT_EQ(editor.script->prompts, std::vector<QString>{"Input A Name For The MOXY File"});
        EXPECT_EQ(readFile(editor.file(c.file)),
                  (c.which == Which::Quillon ? std::string(moxy::kQuillonHeader) : "") + c.code + "\r\n");
        EXPECT_EQ(editor.script->messages, c.messages);
    }
}

TEST(EditorWindow, ProgressShowsInTheCaptionUntilTheFileIsWritten) {
    const std::tuple<Which, QString, QStringList> cases[] = {
        {Which::Quillon, "abcd", {"Quillon Compiler 25%", "Quillon Compiler 50%", "Quillon Compiler 75%",
                                  "Quillon Compiler 100%", "Quillon Compiler"}},
        // EXIT advances past the end of the text: the percentage passes 100.
        {Which::Vorna, "xEXIT", {"VORNA Compiler 20%", "VORNA Compiler 120%", "VORNA Compiler"}},
    };
    for (const auto& [which, text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        Editor editor(which);
        QStringList captions;
        QObject::connect(&editor.window, &QWidget::windowTitleChanged,
                         [&captions](const QString& caption) { captions << caption; });
        editor.type(text);
        editor.choose("compile", {"out"});
        EXPECT_EQ(captions, expected);
        EXPECT_EQ(editor.script->captionsAtQuestions, std::vector<QString>{expected[expected.size() - 2]});
        EXPECT_TRUE(QFile::exists(editor.file("out.moxy")));
    }
}

TEST(EditorWindow, DeclarationErrorPlacesTheCaretAndWritesNothing) {
    const std::tuple<QString, QString, int> cases[] = {  // the text, the message, the caret
        {"dim[0]", "Cannot use \"0\" as a variable name, it is reserved.", 4},
        {"dim[a]\ndim[a]", "Error, variable already declared.", 11},
        // The offset falls between CR and LF: the caret stands behind the line break.
        {"dim[a]\ndim\n[a]", "Error, variable already declared.", 11},
    };
    for (const auto& [text, message, caret] : cases) {
        SCOPED_TRACE(text.toStdString());
        Editor editor(Which::Quillon);
        editor.type(text);
        editor.choose("compile");
        EXPECT_THAT(editor.script->messages, ElementsAre(message));
        EXPECT_THAT(editor.script->prompts, IsEmpty());
        EXPECT_EQ(editor.textBox()->textCursor().position(), caret);
        EXPECT_THAT(editor.folderEntries(), IsEmpty());
        EXPECT_EQ(editor.window.windowTitle(), "Quillon Compiler");
    }
}

TEST(EditorWindow, KeysChooseTheirCommandsWhileTyping) {
    Editor editor(Which::Quillon);
    editor.window.show();
    editor.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.window));
    editor.textBox()->setFocus();
    QTest::keyClicks(editor.textBox(), "exit");
    const std::tuple<const char*, QKeyCombination, std::size_t> keys[] = {  // the item, its key, its questions
        {"Save", Qt::CTRL | Qt::Key_S, 1},
        {"open", Qt::CTRL | Qt::Key_O, 1},
        {"compile", QKeyCombination(Qt::Key_F5), 1},
        {"new", Qt::CTRL | Qt::Key_N, 0},
        {"Exit", Qt::CTRL | Qt::Key_Q, 0},
    };
    for (const auto& [item, key, questions] : keys) {
        SCOPED_TRACE(item);
        QSignalSpy triggered(editor.window.findChild<QAction*>(QLatin1String(item)), &QAction::triggered);
        editor.script->answers.resize(questions);
        QTest::keyClick(editor.textBox(), key.key(), key.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_THAT(editor.script->answers, IsEmpty());
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
    editor.choose("open", {"prog"});
    EXPECT_EQ(box->toPlainText(), "dim[a]\ndim[a]\n");
    const int steps = box->document()->availableUndoSteps();
    // A declaration error moves the caret; that is no step of its own.
    editor.choose("compile");
    EXPECT_THAT(editor.script->messages, ElementsAre("Error, variable already declared."));
    EXPECT_EQ(box->document()->availableUndoSteps(), steps);
    press(undo);
    EXPECT_EQ(box->toPlainText(), "exit");
}

TEST(EditorWindow, TextBoxColoursItsOwnLanguage) {
    // The program, the text, and each line's colours in letters as in highlight_rules_test.cpp.
    const std::tuple<Which, QString, std::vector<std::string>> cases[] = {
        // A comment carries over to the following blocks; a line separator ends a line.
        {Which::Quillon, "exit // a\nprint\n// dim[a" + QString(QChar::LineSeparator) + "]",
         {"KKKK.CCCC", "CCCCC", "CC.KKK...."}},
        {Which::Vorna, "PRINT print\nDIM[a]", {"KKKKK......", "KKKNNN"}},
    };
    for (const auto& [which, text, expected] : cases) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        const auto* highlighter = editor.textBox()->document()->findChild<editor::Highlighter*>();
        ASSERT_NE(highlighter, nullptr);
        editor.type(text);
        std::vector<std::string> colours;
        for (QTextBlock block = editor.textBox()->document()->firstBlock(); block.isValid(); block = block.next()) {
            std::string line(static_cast<std::size_t>(block.length() - 1), '.');
            for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
                int h = 0;  // kHighlightCount, '?': no highlight's format
                while (h < editor::kHighlightCount &&
                       !(range.format == highlighter->format(static_cast<editor::Highlight>(h))))
                    ++h;
                line.replace(range.start, range.length, range.length, "KNLSCBE?"[h]);
            }
            colours.push_back(line);
        }
        EXPECT_EQ(colours, expected);
    }
}

TEST(StartUp, LoadsTheNamedFileByteForByteOrLeavesTheWindowEmpty) {
    Editor editor(Which::Quillon);
    const QString path = editor.file("start.qlnp");
    writeFile(path, "dim[x]\r\nset[x]{\xe9}\r\n");
    const std::tuple<QString, std::string, std::string> cases[] = {  // the argument, the text, the reason
        {path, "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + path + "\"", "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + editor.file("missing.qlnp") + "\"", "", "No such file or directory"},
    };
    for (const auto& [argument, text, expectedReason] : cases) {
        SCOPED_TRACE(argument.toStdString());
        editor.window.setProgramText("");
        std::string reason;
        EXPECT_EQ(editor::loadStartFile(editor.window, argument, &reason), expectedReason.empty());
        EXPECT_EQ(reason, expectedReason);
        EXPECT_EQ(editor.window.programText(), text);
    }
    EXPECT_THAT(editor.script->messages, IsEmpty());
}

}  // namespace
