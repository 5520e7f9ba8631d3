// The window of both compiler programs under the offscreen platform: form, files, compile, undo, keys, colours.
#include "editor/highlighter.h"
#include "editor/program_main.h"
#include "editor/workbench.h"
#include "moxy/format.h"
#include "support/editor_bench.h"

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
            bench.type(text);  // changed: the save must mark it unchanged, or New asks
            bench.choose("Save", {answer});
            EXPECT_EQ(readFile(bench.file(file)), saved);
            bench.choose("new");
            bench.choose("open", {answer});
            EXPECT_EQ(bench.window.programText(), saved);
            EXPECT_THAT(bench.script->messages, IsEmpty());
        }
    }
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
    }
}

// The compiler gets CR LF line ends and Latin-1 bytes; the file is written over an older one;
// the caption shows the progress (past 100 when EXIT passes the end) until it is written.
TEST(EditorWindow, CompileWritesTheCodeWithCrLfWhereTheAnswerSays) {
    const std::tuple<bool, QString, QString, QString, std::string, QStringList> cases[] = {  // text, answer, file, code, captions
        {true, "dim[x]\nset[x]{a" + QString(QChar::LineSeparator) + QStringLiteral("\u00e9}"), "game", "game.moxy", "\x01\x82\x82\x1b" "a\r\n\xe9", {}},
        {false, "xEXIT", "sub\\game", "sub/game.moxy", "\x18", {"VORNA Compiler 20%", "VORNA Compiler 120%", "VORNA Compiler"}},
    };
    for (const auto& [quillon, text, answer, file, code, captions] : cases) {
        Bench bench(programOf(quillon));
        bench.makeFolder("sub");
        writeFile(bench.file(file), "an older program");
        QStringList shown;
        QObject::connect(&bench.window, &QWidget::windowTitleChanged, [&](const QString& caption) { shown << caption; });
        bench.show(text);
        bench.choose("compile", {answer});
        EXPECT_EQ(bench.script->questions, std::vector<QString>{"Input A Name For The MOXY File"});
        EXPECT_EQ(readFile(bench.file(file)), (quillon ? std::string(moxy::kQuillonHeader) : "") + code + "\r\n");
        EXPECT_THAT(bench.script->messages, IsEmpty());
        if (!captions.isEmpty()) {
            EXPECT_EQ(shown, captions);
            EXPECT_EQ(bench.script->captionsAtQuestions, std::vector<QString>{captions[captions.size() - 2]});
        }
    }
}

// A declaration error places the caret behind the dim, writes nothing and is no undo step;
// New and Open are undone.
TEST(EditorWindow, DeclarationErrorsAndUndo) {
    {
        Bench bench;
        bench.show("dim[a]\ndim\n[a]");
        const int steps = bench.box()->document()->availableUndoSteps();
        bench.choose("compile");
        EXPECT_EQ(bench.script->messages.size(), 1u);
        EXPECT_EQ(bench.caret(), 11);
        EXPECT_THAT(bench.folderEntries(), IsEmpty());
        EXPECT_EQ(bench.box()->document()->availableUndoSteps(), steps);
    }
    Bench bench;
    const auto undo = [&] { QTest::keyClick(bench.box(), Qt::Key_Z, Qt::ControlModifier); };
    QTest::keyClicks(bench.box(), "exit");
    bench.script->choices = {editor::SaveChoice::Discard, editor::SaveChoice::Discard};
    bench.choose("new");
    undo();
    EXPECT_EQ(bench.box()->toPlainText(), "exit");
    bench.window.findChild<QAction*>(QStringLiteral("redo"))->trigger();  // the redo keys the platform leaves to the window
    EXPECT_EQ(bench.box()->toPlainText(), "");
    undo();
    writeFile(bench.file("prog.qlnp"), "dim[a]");
    bench.choose("open", {"prog"});
    undo();
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
