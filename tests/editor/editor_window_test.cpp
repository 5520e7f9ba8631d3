// The window of both compiler programs, under the offscreen platform: menus and their
// keys, the file commands in a temporary program folder, the compile command, undo, the
// colours. The dialogs answer from a script, so no test waits for a person.
#include "editor/highlighter.h"
#include "editor/workbench.h"
#include "moxy/format.h"
#include "support/editor_bench.h"

#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <tuple>

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::Answer;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

enum class Which { Quillon, Vorna };
const Which kBoth[] = {Which::Quillon, Which::Vorna};
const char* nameOf(Which which) { return which == Which::Quillon ? "quillon" : "vorna"; }
QString titleOf(Which which) { return which == Which::Quillon ? "Quillon Compiler" : "VORNA Compiler"; }

// One window of a program whose folder is a fresh temporary folder.
struct Editor : testing_support::EditorBench {
    explicit Editor(Which which)
        : EditorBench(which == Which::Quillon ? editor::quillonProgram() : editor::vornaProgram()) {}
};

TEST(EditorWindow, FormMenuCaptionIconAndClientArea) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        EXPECT_EQ(editor.window.objectName(), "Form1");
        EXPECT_EQ(editor.window.windowTitle(), titleOf(which));
        EXPECT_EQ(editor.window.centralWidget(), editor.box());
        const QList<QMenu*> menus = {editor.window.menuBar()->findChild<QMenu*>("file")};
        ASSERT_NE(menus[0], nullptr);
        EXPECT_EQ(menus[0]->title(), "&File");  // shown as "File"; Alt+F opens it
        QStringList items;  // name|caption; KeysChooseTheirCommandsWhileTyping presses their keys
        for (const QAction* action : menus[0]->actions()) {
            EXPECT_TRUE(action->shortcut().isEmpty()) << "menu items carry no shortcut key";
            items << action->objectName() + "|" + action->text();
        }
        const QString compile = which == Which::Quillon ? "compile|Compile to MOXY" : "compile|Compile to ZAPL";
        EXPECT_EQ(items, QStringList({"new|New", "open|Open", "Save|Save", compile, "Exit|Exit"}));
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
            editor.show(text);
            for (int cycle = 0; cycle < 3; ++cycle) {
                editor.choose("Save", {answer});
                EXPECT_EQ(readFile(editor.file(file)), saved);
                editor.choose("new");
                editor.choose("open", {answer});
                EXPECT_EQ(editor.window.programText(), saved);
            }
            EXPECT_EQ(editor.script->questions, std::vector<QString>(6, "Input A File Name"));
            EXPECT_THAT(editor.script->messages, IsEmpty());
        }
    }
    // Open reads any line ends, one byte per character.
    Editor editor(Which::Vorna);
    writeFile(editor.file("mixed.vornaproj"), "a\nb\rc\r\n\xe9");
    editor.choose("open", {"mixed"});
    EXPECT_EQ(editor.window.programText(), "a\r\nb\r\nc\r\n\xe9\r\n");
    EXPECT_EQ(editor.box()->toPlainText(), QStringLiteral("a\nb\nc\n\u00e9\n"));
}

TEST(EditorWindow, CancelAndUnusableAnswersChangeNeitherTextNorFiles) {
    for (const Which which : kBoth) {
        SCOPED_TRACE(nameOf(which));
        Editor editor(which);
        const QString extension = which == Which::Quillon ? ".qlnp" : ".vornaproj";
        const QString longName(250 - extension.size(), QLatin1Char('n'));
        writeFile(editor.file(extension), "old");
        writeFile(editor.file(longName + extension), "old text\r\n");
        editor.makeFolder("folder" + extension);
        editor.makeFolder("taken.moxy");
        editor.show("kept");
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
        // A folder cannot be replaced by a file.
        editor.choose("Save", {"folder"});
        editor.choose("Save", {"no such folder\\prog"});
        editor.choose("compile", {"taken"});
        EXPECT_EQ(editor.box()->toPlainText(), "kept");
        EXPECT_EQ(readFile(editor.file(extension)), "old");
        EXPECT_EQ(readFile(editor.file(longName + extension)), "old text\r\n");
        EXPECT_EQ(editor.folderEntries().size(), 4);
        const QString unwritable = "Unable to write the MOXY file " + editor.file("taken.moxy") + ": ";
        EXPECT_THAT(editor.script->messages,
                    ElementsAre("Unable to open file.", "Unable to open file.", "Unable to save file.",
                                "Unable to save file.",
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
         {"Error: Variable doesnt exist. y\n\nLine 2, column 1", "Error: Variable doesnt exist. Count\n\nLine 2, column 1"}},
        {Which::Vorna, "INC VUP", "sub\\game", "sub/game.moxy", "\x02\x19", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Editor editor(c.which);
        editor.makeFolder("sub");
        writeFile(editor.file(c.file), "an older program");
        editor.show(c.text);
        editor.choose("compile", {c.answer});
        EXPECT_EQ(editor.script->questions, std::vector<QString>{"Input A Name For The MOXY File"});
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
        editor.show(text);
        editor.choose("compile", {"out"});
        EXPECT_EQ(captions, expected);
        EXPECT_EQ(editor.script->captionsAtQuestions, std::vector<QString>{expected[expected.size() - 2]});
        EXPECT_TRUE(QFile::exists(editor.file("out.moxy")));
    }
}

TEST(EditorWindow, DeclarationErrorPlacesTheCaretAndWritesNothing) {
    const std::tuple<QString, QString, int> cases[] = {  // the text, the message, the caret
        {"dim[0]", "Cannot use \"0\" as a variable name, it is reserved.\n\nLine 1, column 1", 4},
        {"dim[a]\ndim[a]", "Error, variable already declared.\n\nLine 2, column 1", 11},
        // The offset falls between CR and LF: the caret stands behind the line break.
        {"dim[a]\ndim\n[a]", "Error, variable already declared.\n\nLine 2, column 1", 11},
    };
    for (const auto& [text, message, caret] : cases) {
        SCOPED_TRACE(text.toStdString());
        Editor editor(Which::Quillon);
        editor.show(text);
        editor.choose("compile");
        EXPECT_THAT(editor.script->messages, ElementsAre(message));
        EXPECT_THAT(editor.script->questions, IsEmpty());
        EXPECT_EQ(editor.box()->textCursor().position(), caret);
        EXPECT_THAT(editor.folderEntries(), IsEmpty());
        EXPECT_EQ(editor.window.windowTitle(), "Quillon Compiler");
    }
}

TEST(EditorWindow, KeysChooseTheirCommandsWhileTyping) {
    Editor editor(Which::Quillon);
    editor.window.show();
    editor.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.window));
    editor.box()->setFocus();
    QTest::keyClicks(editor.box(), "exit");
    // Save is cancelled: Open and New ask before the changed text goes.
    editor.script->choices = {editor::SaveChoice::Discard, editor::SaveChoice::Discard};
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
        QTest::keyClick(editor.box(), key.key(), key.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_THAT(editor.script->answers, IsEmpty());
    }
    EXPECT_EQ(editor.box()->toPlainText(), "");
    EXPECT_FALSE(editor.window.isVisible());
}

TEST(EditorWindow, NewAndOpenAreUndoneAndCompileKeepsTheHistory) {
    Editor editor(Which::Quillon);
    QPlainTextEdit* box = editor.box();
    const auto press = [box](QKeyCombination key) { QTest::keyClick(box, key.key(), key.keyboardModifiers()); };
    const QKeyCombination undo = Qt::CTRL | Qt::Key_Z;

    QTest::keyClicks(box, "exit");
    editor.script->choices = {editor::SaveChoice::Discard, editor::SaveChoice::Discard};
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
    EXPECT_THAT(editor.script->messages, ElementsAre("Error, variable already declared.\n\nLine 2, column 1"));
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
        const auto* highlighter = editor.box()->document()->findChild<editor::Highlighter*>();
        ASSERT_NE(highlighter, nullptr);
        editor.show(text);
        std::vector<std::string> colours;
        for (QTextBlock block = editor.box()->document()->firstBlock(); block.isValid(); block = block.next()) {
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
    writeFile(editor.file("big.qlnp"), std::string(editor::kMostSourceLines, '\n'));
    writeFile(editor.file("huge.qlnp"), std::string(editor::kLargestSource + 1, 'x'));
    const std::string tooLarge = editor::kTooLarge.toStdString();
    const std::tuple<QString, std::string, std::string> cases[] = {  // the argument, the text, the reason
        {path, "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + path + "\"", "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + editor.file("missing.qlnp") + "\"", "", "No such file or directory"},
        {editor.file("big.qlnp"), "", tooLarge},  // beyond the editor's bounds
        {editor.file("huge.qlnp"), "", tooLarge},
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
