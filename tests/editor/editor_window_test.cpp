// The window of both compiler programs under the offscreen platform: the form, the file
// commands in a temporary program folder, compile, messages and warnings, undo, keys, colours.
#include "editor/highlighter.h"
#include "editor/program_main.h"
#include "editor/workbench.h"
#include "moxy/format.h"
#include "support/editor_bench.h"

#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::Answer;
using testing_support::readFile;
using testing_support::writeFile;
using Bench = testing_support::EditorBench;

namespace {

editor::Program programOf(bool quillon) { return quillon ? editor::quillonProgram() : editor::vornaProgram(); }

TEST(EditorWindow, FormMenuCaptionIconAndClientArea) {
    for (const bool quillon : {true, false}) {
        Bench bench(programOf(quillon));
        EXPECT_EQ(bench.window.windowTitle(), quillon ? "Quillon Compiler" : "VORNA Compiler");
        QStringList items;  // the items carry no shortcut: the window's keys choose them
        for (const QAction* action : bench.window.menuBar()->findChild<QMenu*>("file")->actions())
            items << action->objectName() + "|" + action->text() + action->shortcut().toString();
        EXPECT_EQ(items, QStringList({"new|New", "open|Open", "Save|Save",
                                      quillon ? "compile|Compile to MOXY" : "compile|Compile to ZAPL", "Exit|Exit"}));
        for (const auto& [name, title] : {std::pair<const char*, const char*>{"file", "&File"}, {"edit", "&Edit"}, {"runMenu", "&Run"}, {"help", "&Help"}})
            EXPECT_EQ(bench.window.menuBar()->findChild<QMenu*>(name)->title(), title);  // Alt and the letter open it
        EXPECT_EQ(bench.window.testAttribute(Qt::WA_SetWindowIcon), quillon);  // only Quillon brings its own
        bench.window.show();
        EXPECT_EQ(bench.window.centralWidget(), bench.box());
        EXPECT_EQ(bench.box()->size(), QSize(376, 384));
    }
}

TEST(EditorWindow, SaveAndOpenKeepTheTextInFilesBelowTheProgramsFolder) {
    const std::tuple<bool, QString, QString> places[] = {  // Quillon, the answer, the file
        {true, "prog", "prog.qlnp"}, {true, "prog.qlnp", "prog.qlnp.qlnp"}, {true, "sub\\prog", "sub/prog.qlnp"},
        {false, "sub/prog", "sub/prog.vornaproj"},
    };
    const std::pair<const char*, std::string> texts[] = {{"first\nsecond", "first\r\nsecond\r\n"}, {"", ""}, {"x\n\n", "x\r\n\r\n"}};
    for (const auto& [quillon, answer, file] : places) {
        for (const auto& [text, saved] : texts) {
            SCOPED_TRACE(answer.toStdString() + ": " + text);
            Bench bench(programOf(quillon));
            bench.makeFolder("sub");
            bench.show(text);
            for (int cycle = 0; cycle < 2; ++cycle) {
                bench.choose("Save", {answer});
                EXPECT_EQ(readFile(bench.file(file)), saved);
                bench.choose("new");
                bench.choose("open", {answer});
                EXPECT_EQ(bench.window.programText(), saved);
            }
            EXPECT_THAT(bench.script->messages, IsEmpty());
        }
    }
    Bench bench(editor::vornaProgram());  // any line ends, one byte per character
    writeFile(bench.file("mixed.vornaproj"), "a\nb\rc\r\n\xe9");
    bench.choose("open", {"mixed"});
    EXPECT_EQ(bench.box()->toPlainText(), QStringLiteral("a\nb\nc\n\u00e9\n"));
}

TEST(EditorWindow, CancelAndUnusableAnswersChangeNeitherTextNorFiles) {
    for (const bool quillon : {true, false}) {
        Bench bench(programOf(quillon));
        const QString extension = quillon ? ".qlnp" : ".vornaproj";
        const QString longName(250 - extension.size(), QLatin1Char('n'));
        writeFile(bench.file(extension), "old");
        writeFile(bench.file(longName + extension), "old text\r\n");
        bench.makeFolder("folder" + extension);
        bench.makeFolder("taken.moxy");
        bench.show("kept");
        for (const Answer& answer : {Answer(), Answer("")})
            for (const char* item : {"Save", "open", "compile"})
                bench.choose(item, {answer});
        EXPECT_THAT(bench.script->messages, IsEmpty());
        bench.choose("open", {"missing"});
        bench.choose("open", {"folder"});
        bench.choose("Save", {"folder"});
        bench.choose("Save", {"no such folder\\prog"});
        bench.choose("compile", {"taken"});
        EXPECT_EQ(bench.box()->toPlainText(), "kept");
        EXPECT_EQ(readFile(bench.file(extension)), "old");
        EXPECT_EQ(readFile(bench.file(longName + extension)), "old text\r\n");
        EXPECT_EQ(bench.folderEntries().size(), 4);
        const QString unwritable = "Unable to write the MOXY file " + bench.file("taken.moxy") + ": ";
        EXPECT_THAT(bench.script->messages,
                    ElementsAre("Unable to open file.", "Unable to open file.", "Unable to save file.", "Unable to save file.",
                                testing::Truly([&](const QString& text) { return text.startsWith(unwritable); })));
        EXPECT_EQ(bench.window.windowTitle(), quillon ? "Quillon Compiler" : "VORNA Compiler");
    }
}

// The compiler gets CR LF line ends and Latin-1 bytes; the file is written, over an older
// one, also after messages; the caption shows the progress until it is written.
TEST(EditorWindow, CompileWritesTheCodeWithCrLfWhereTheAnswerSays) {
    const struct {
        bool quillon;
        QString text, answer, file;
        std::string code;
        std::vector<QString> messages;
        QStringList captions = {};
    } cases[] = {
        {true, "dim[x]\nset[x]{a" + QString(QChar::LineSeparator) + QStringLiteral("\u00e9}"), "game", "game.moxy",
         "\x01\x82\x82\x1b" "a\r\n\xe9", {}},
        {true, "dim[x]\nprint[x][y][Count]", "game", "game.moxy", "\x01\x82\x82\x03\x04\xfd",
         {"Error: Variable doesnt exist. y\n\nLine 2, column 1", "Error: Variable doesnt exist. Count\n\nLine 2, column 1"}},
        {true, "abcd", "game", "game.moxy", "", {},
         {"Quillon Compiler 25%", "Quillon Compiler 50%", "Quillon Compiler 75%", "Quillon Compiler 100%", "Quillon Compiler"}},
        // EXIT advances past the end of the text: the percentage passes 100.
        {false, "xEXIT", "sub\\game", "sub/game.moxy", "\x18", {}, {"VORNA Compiler 20%", "VORNA Compiler 120%", "VORNA Compiler"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Bench bench(programOf(c.quillon));
        bench.makeFolder("sub");
        writeFile(bench.file(c.file), "an older program");
        QStringList captions;
        QObject::connect(&bench.window, &QWidget::windowTitleChanged, [&](const QString& caption) { captions << caption; });
        bench.show(c.text);
        bench.choose("compile", {c.answer});
        EXPECT_EQ(bench.script->questions, std::vector<QString>{"Input A Name For The MOXY File"});
        EXPECT_EQ(readFile(bench.file(c.file)), (c.quillon ? std::string(moxy::kQuillonHeader) : "") + c.code + "\r\n");
        EXPECT_EQ(bench.script->messages, c.messages);
        if (!c.captions.isEmpty()) {
            EXPECT_EQ(captions, c.captions);
            EXPECT_EQ(bench.script->captionsAtQuestions, std::vector<QString>{c.captions[c.captions.size() - 2]});
        }
    }
}

TEST(EditorWindow, WarningsGoToTheMessageListAndErrorsAlsoToABox) {
    Bench quillon;
    quillon.show(QStringLiteral("dim[x]\nset[x]{caf\u00e9}\nset[y]{\u20ac\u20ac}\n\u2603"));
    quillon.choose("compile", {"w"});
    Bench vorna(editor::vornaProgram());
    vorna.show("SETPAR1\nPRNT");
    vorna.choose("compile", {"w"});
    const auto expectListed = [](Bench& bench, const QStringList& starts) {
        const auto* list = bench.window.findChild<QListWidget*>(QStringLiteral("messages"));
        ASSERT_EQ(list->count(), starts.size());
        for (int i = 0; i < list->count(); ++i)
            EXPECT_TRUE(list->item(i)->text().startsWith(starts[i])) << list->item(i)->text().toStdString();
    };
    expectListed(quillon, {"Line 2, column 1: warning: character code 233", "Line 3, column 1: Error: Variable doesnt exist. y",
                           "Line 3, column 8: warning: the character U+20AC cannot be stored",
                           "Line 4, column 1: warning: the character U+2603 cannot be stored"});
    EXPECT_THAT(quillon.script->messages, ElementsAre("Error: Variable doesnt exist. y\n\nLine 3, column 1"));
    expectListed(vorna, {"Line 2, column 1: warning: \"PRNT\" is not a VORNA mnemonic"});
    EXPECT_THAT(vorna.script->messages, IsEmpty());
}

// A declaration error places the caret behind the dim, writes nothing and is no undo step;
// New and Open are undone.
TEST(EditorWindow, DeclarationErrorsAndUndo) {
    const std::tuple<QString, int> cases[] = {{"dim[0]", 4}, {"dim[a]\ndim[a]", 11}, {"dim[a]\ndim\n[a]", 11}};
    for (const auto& [text, caret] : cases) {
        Bench bench;
        bench.show(text);
        const int steps = bench.box()->document()->availableUndoSteps();
        bench.choose("compile");
        EXPECT_EQ(bench.script->messages.size(), 1u);
        EXPECT_EQ(bench.caret(), caret) << text.toStdString();
        EXPECT_THAT(bench.folderEntries(), IsEmpty());
        EXPECT_EQ(bench.box()->document()->availableUndoSteps(), steps);
    }
    Bench bench;
    const auto press = [&](QKeyCombination key) { QTest::keyClick(bench.box(), key.key(), key.keyboardModifiers()); };
    QTest::keyClicks(bench.box(), "exit");
    bench.script->choices = {editor::SaveChoice::Discard, editor::SaveChoice::Discard};
    bench.choose("new");
    for (const QKeyCombination redo : {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y}) {
        press(Qt::CTRL | Qt::Key_Z);
        EXPECT_EQ(bench.box()->toPlainText(), "exit");
        press(redo);
        EXPECT_EQ(bench.box()->toPlainText(), "");
    }
    press(Qt::CTRL | Qt::Key_Z);
    bench.window.findChild<QAction*>(QStringLiteral("redo"))->trigger();  // the redo keys the platform leaves to the window
    EXPECT_EQ(bench.box()->toPlainText(), "");
    press(Qt::CTRL | Qt::Key_Z);
    writeFile(bench.file("prog.qlnp"), "dim[a]");
    bench.choose("open", {"prog"});
    press(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(bench.box()->toPlainText(), "exit");
}

TEST(EditorWindow, KeysChooseTheirCommandsWhileTyping) {
    Bench bench;
    bench.window.show();
    bench.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bench.window));
    bench.box()->setFocus();
    QTest::keyClicks(bench.box(), "exit");
    bench.script->choices = {editor::SaveChoice::Discard, editor::SaveChoice::Discard};
    const std::tuple<const char*, QKeyCombination, std::size_t> keys[] = {  // the item, its key, its questions
        {"Save", Qt::CTRL | Qt::Key_S, 1}, {"open", Qt::CTRL | Qt::Key_O, 1}, {"compile", QKeyCombination(Qt::Key_F5), 1},
        {"new", Qt::CTRL | Qt::Key_N, 0}, {"Exit", Qt::CTRL | Qt::Key_Q, 0},
    };
    for (const auto& [item, key, questions] : keys) {
        QSignalSpy triggered(bench.window.findChild<QAction*>(QLatin1String(item)), &QAction::triggered);
        bench.script->answers.resize(questions);
        QTest::keyClick(bench.box(), key.key(), key.keyboardModifiers());
        EXPECT_EQ(triggered.count(), 1) << item;
        EXPECT_THAT(bench.script->answers, IsEmpty());
    }
    EXPECT_EQ(bench.box()->toPlainText(), "");
    EXPECT_FALSE(bench.window.isVisible());
}

// Each line's colours as letters, as in text_rules_test.cpp; a comment carries over.
TEST(EditorWindow, TextBoxColoursItsOwnLanguage) {
    const std::tuple<bool, QString, QStringList> cases[] = {
        {true, "exit // a\nprint\n// dim[a" + QString(QChar::LineSeparator) + "]", {"KKKK.CCCC", "CCCCC", "CC.KKK...."}},
        {false, "PRINT print\nDIM[a]", {"KKKKK......", "KKKNNN"}},
    };
    for (const auto& [quillon, text, expected] : cases) {
        Bench bench(programOf(quillon));
        const auto* highlighter = bench.box()->document()->findChild<editor::Highlighter*>();
        bench.show(text);
        QStringList colours;
        for (QTextBlock block = bench.box()->document()->firstBlock(); block.isValid(); block = block.next()) {
            QString line(block.length() - 1, '.');
            for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
                int h = 0;
                while (h < editor::kHighlightCount && !(range.format == highlighter->format(static_cast<editor::Highlight>(h))))
                    ++h;
                line.replace(range.start, range.length, QString(range.length, QLatin1Char("KNLSCBE?"[h])));
            }
            colours << line;
        }
        EXPECT_EQ(colours, expected);
    }
}

TEST(StartUp, LoadsTheNamedFileByteForByteOrLeavesTheWindowEmpty) {
    Bench bench;
    writeFile(bench.file("start.qlnp"), "dim[x]\r\nset[x]{\xe9}\r\n");
    writeFile(bench.file("big.qlnp"), std::string(editor::kMostSourceLines, '\n'));
    const std::tuple<QString, std::string, std::string> cases[] = {  // the argument, the text, the reason
        {bench.file("start.qlnp"), "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + bench.file("start.qlnp") + "\"", "dim[x]\r\nset[x]{\xe9}\r\n", ""},
        {"\"" + bench.file("missing.qlnp") + "\"", "", "No such file or directory"},
        {bench.file("big.qlnp"), "", editor::kTooLarge.toStdString()},
    };
    for (const auto& [argument, text, expectedReason] : cases) {
        bench.window.setProgramText("");
        std::string reason;
        EXPECT_EQ(editor::loadStartFile(bench.window, argument, &reason), expectedReason.empty());
        EXPECT_EQ(reason, expectedReason);
        EXPECT_EQ(bench.window.programText(), text);
    }
    EXPECT_THAT(bench.script->messages, IsEmpty());
}

}  // namespace
