// The editor window as a workbench, under the offscreen platform: the question before a
// changed text goes, Run, the source map and message list of a window compile, Find and Go
// to line, the size bounds of Open, and where files, the runner and the reference are found.
#include "editor/code_edit.h"
#include "editor/highlighter.h"
#include "editor/workbench.h"
#include "moxy/source_map.h"
#include "support/editor_bench.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>

using editor::SaveChoice;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::Answer;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

using Workbench = testing_support::EditorBench;

TEST(Workbench, AChangedTextGoesOnlyAfterTheUserSaidSo) {
    const QString saveChanges = "Save changes?";
    const struct {
        const char* command;  // what would replace or close the text
        std::vector<SaveChoice> choices;
        std::vector<Answer> answers;  // the file name for Save, then what the command asks
        bool textStays;
        const char* saved;  // what "kept.qlnp" holds afterwards
    } cases[] = {
        {"new", {SaveChoice::Cancel}, {}, true, "<missing>"},
        {"new", {SaveChoice::Discard}, {}, false, "<missing>"},
        {"new", {SaveChoice::Save}, {"kept"}, false, "exit\r\n"},
        // Save asked for a name and was cancelled: nothing is lost.
        {"new", {SaveChoice::Save}, {Answer()}, true, "<missing>"},
        {"open", {SaveChoice::Cancel}, {}, true, "<missing>"},
        {"open", {SaveChoice::Discard}, {"other"}, false, "<missing>"},
        {"open", {SaveChoice::Save}, {"kept", "other"}, false, "exit\r\n"},
        {"Exit", {SaveChoice::Cancel}, {}, true, "<missing>"},
        {"Exit", {SaveChoice::Discard}, {}, false, "<missing>"},
        {"Exit", {SaveChoice::Save}, {"kept"}, false, "exit\r\n"},
        {"close", {SaveChoice::Cancel}, {}, true, "<missing>"},
        {"close", {SaveChoice::Save}, {"kept"}, false, "exit\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + std::to_string(static_cast<int>(c.choices.front())));
        Workbench bench;
        writeFile(bench.file("other.qlnp"), "cls\r\n");
        bench.window.show();
        bench.type("exit");
        bench.script->choices.assign(c.choices.begin(), c.choices.end());
        bench.script->answers.assign(c.answers.begin(), c.answers.end());
        if (QLatin1String(c.command) == QLatin1String("close")) {
            QCloseEvent event;  // the close button
            QCoreApplication::sendEvent(&bench.window, &event);
            EXPECT_EQ(event.isAccepted(), !c.textStays);
        } else {
            bench.choose(c.command);
        }
        EXPECT_EQ(bench.script->questions.front(), saveChanges);
        EXPECT_THAT(bench.script->answers, IsEmpty());
        EXPECT_THAT(bench.script->choices, IsEmpty());
        if (QLatin1String(c.command) == QLatin1String("Exit")) {
            EXPECT_EQ(bench.window.isVisible(), c.textStays);
        }
        if (c.textStays) {
            EXPECT_EQ(bench.box()->toPlainText(), "exit");
        }
        EXPECT_EQ(readFile(bench.file("kept.qlnp")), c.saved);
    }
}

TEST(Workbench, AnUnchangedTextGoesWithoutAQuestion) {
    Workbench bench;
    writeFile(bench.file("prog.qlnp"), "cls\r\n");
    bench.window.setProgramText("exit\r\n");  // the start-up file
    bench.choose("open", {"prog"});
    bench.choose("Save", {"copy"});
    bench.type("changed");
    bench.choose("Save", {"copy"});  // saved again: unchanged once more
    bench.choose("new");
    bench.window.show();
    bench.choose("Exit");
    EXPECT_FALSE(bench.window.isVisible());
    EXPECT_EQ(bench.script->questions, std::vector<QString>(3, "Input A File Name"));
    EXPECT_EQ(readFile(bench.file("copy.qlnp")), "changed\r\n");
}

TEST(Workbench, AWindowCompileWritesTheMapAndSaysWhatItDid) {
    const editor::Program program = editor::quillonProgram();
    const std::string source = "dim[x]\r\nset[x]{5}\r\nexit\r\n";
    const moxy::CompileResult compiled = program.compile(source, {}, {});
    ASSERT_FALSE(compiled.map.empty());
    Workbench bench;
    bench.window.setProgramText(source);
    bench.choose("compile", {"game"});
    EXPECT_EQ(readFile(bench.file("game.moxy")), compiled.code + "\r\n");
    EXPECT_EQ(readFile(bench.file("game.moxy.map")), moxy::sourceMapText(compiled.map) + moxy::sourceMapNamesText(compiled.names));
    EXPECT_EQ(bench.window.status(), QStringLiteral("Compiled to game.moxy in %1, %2 characters, 0 messages")
                                         .arg(QDir::toNativeSeparators(bench.folder.path()))
                                         .arg(compiled.code.size()));
    EXPECT_FALSE(bench.window.findChild<QListWidget*>("messages")->isVisibleTo(&bench.window));
}

TEST(Workbench, MessagesNameTheirLineAndLeadTheCaretThere) {
    Workbench bench;
    bench.window.show();
    bench.window.setProgramText("dim[x]\r\n\r\n  print[x][y][x]\r\nset[z]{1}\r\n");
    bench.choose("compile", {"out"});
    EXPECT_THAT(bench.script->messages, ElementsAre("Error: Variable doesnt exist. y\n\nLine 3, column 3",
                                                    "Error: Variable doesnt exist. z\n\nLine 4, column 1"));
    // The caret stands on the first message's statement: line 3, column 3.
    EXPECT_EQ(bench.caret(), 8 + 2);
    EXPECT_EQ(bench.window.status().right(10), "2 messages");
    auto* list = bench.window.findChild<QListWidget*>("messages");
    ASSERT_TRUE(list->isVisible());
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Line 3, column 3: Error: Variable doesnt exist. y");
    // A click on a message moves the caret to its statement.
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(bench.caret(), 8 + 16 + 1);
    EXPECT_TRUE(bench.box()->hasFocus() || !bench.window.isActiveWindow());
    // The next compile without messages empties the list.
    bench.window.setProgramText("exit\r\n");
    bench.choose("compile", {"out"});
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(list->isVisible());
}

TEST(Workbench, RunCompilesAndStartsTheRunnerOnTheResult) {
    struct Start {
        QString program;
        QStringList arguments;
        QString folder;
    };
    const struct {
        const char* text;
        Answer answer;
        bool starts;      // the runner can be started
        int startsAsked;  // the starter was called this often
        std::vector<QString> messages;
    } cases[] = {
        {"exit", "game", true, 1, {}},
        {"exit", "game", false, 1, {"Unable to start the MOXY runner /opt/moxy/moxy."}},
        {"exit", Answer(), true, 0, {}},                     // no name: nothing to run
        {"dim[0]", Answer(), true, 0, {"Cannot use \"0\" as a variable name, it is reserved.\n\nLine 1, column 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Workbench bench;
        std::vector<Start> starts;
        bench.window.setRunner("/opt/moxy/moxy", [&](const QString& program, const QStringList& arguments,
                                                     const QString& folder) {
            starts.push_back({program, arguments, folder});
            return c.starts;
        });
        bench.type(c.text);
        if (QLatin1String(c.text) == QLatin1String("exit"))
            bench.choose("run", {c.answer});  // the file's name
        else
            bench.choose("run");
        ASSERT_EQ(static_cast<int>(starts.size()), c.startsAsked);
        EXPECT_EQ(bench.script->messages, c.messages);
        if (!starts.empty()) {
            EXPECT_EQ(starts[0].program, "/opt/moxy/moxy");
            EXPECT_EQ(starts[0].arguments, QStringList{bench.file("game.moxy")});
            EXPECT_EQ(QDir(starts[0].folder), QDir(bench.folder.path()));
            EXPECT_TRUE(QFile::exists(bench.file("game.moxy.map")));
        }
    }
    // Run shows its keys beside it; the File menu's items keep none.
    Workbench bench;
    QAction* run = bench.window.findChild<QAction*>("run");
    EXPECT_THAT(run->shortcuts(), ElementsAre(QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_R)));
    EXPECT_EQ(bench.window.menuBar()->findChild<QMenu*>("file")->title(), "&File");
}

TEST(Workbench, FindAndGoToLine) {
    Workbench bench;
    bench.window.setProgramText("cls\r\nexit\r\ncls\r\n");
    bench.choose("find", {"cls"});
    EXPECT_EQ(bench.box()->textCursor().selectedText(), "cls");
    EXPECT_EQ(bench.caret(), 3);
    bench.choose("findNext");  // F3
    EXPECT_EQ(bench.caret(), 12);
    bench.choose("findNext");  // past the last one: from the start again
    EXPECT_EQ(bench.caret(), 3);
    bench.choose("find", {"nowhere"});
    EXPECT_EQ(bench.caret(), 3);
    EXPECT_EQ(bench.window.status(), "Not found: nowhere");

    bench.choose("goToLine", {"2"});
    EXPECT_EQ(bench.caret(), 4);
    bench.choose("goToLine", {"9"});
    EXPECT_EQ(bench.caret(), 4);
    EXPECT_EQ(bench.window.status(), "There is no line 9");
    EXPECT_EQ(bench.script->questions.back(), "Go to line (1 to 4)");
    // Line numbers stand in a margin left of the text.
    EXPECT_NE(bench.window.findChild<QWidget*>("lineNumbers"), nullptr);
    EXPECT_GT(static_cast<editor::CodeEdit*>(bench.box())->marginWidth(), 0);
}

TEST(Workbench, OpenRefusesFilesBeyondTheEditorsBoundsAndLargeTextsAreShownPlain) {
    Workbench bench;
    bench.window.setProgramText("exit\r\n");
    const std::string tooLong(editor::kLongestSourceLine + 1, 'x');
    const std::string files[] = {
        std::string(editor::kLargestSource + 1, '\n'),
        std::string(editor::kMostSourceLines + 1, '\n'),
        "cls\r\n" + tooLong,
    };
    for (const std::string& file : files) {
        writeFile(bench.file("big.qlnp"), file);
        bench.choose("open", {"big"});
        EXPECT_EQ(bench.box()->toPlainText(), "exit\n");
    }
    EXPECT_EQ(bench.script->messages, std::vector<QString>(3, editor::kTooLarge));

    // Within the bounds a large text opens, without colours; a small one has them again.
    auto* highlighter = bench.window.findChild<editor::Highlighter*>();
    ASSERT_NE(highlighter, nullptr);
    std::string large;
    while (large.size() <= static_cast<std::size_t>(editor::kLargestColoured))
        large += std::string(editor::kLongestSourceLine, 'x') + "\r\n";
    writeFile(bench.file("big.qlnp"), large);
    bench.choose("open", {"big"});
    EXPECT_EQ(bench.window.programText(), large);
    EXPECT_EQ(highlighter->document(), nullptr);
    bench.choose("new");
    EXPECT_EQ(highlighter->document(), bench.box()->document());
}

TEST(Workbench, FitsTheEditorCountsLinesAsTheCompilersDo) {
    const std::string longest(editor::kLongestSourceLine, 'x');
    const struct {
        std::string file;
        bool fits;
    } cases[] = {
        {"", true},
        {longest + "\r\n" + longest, true},
        {longest + "x", false},
        {std::string(editor::kMostSourceLines - 1, '\n'), true},   // the last line is empty
        {std::string(editor::kMostSourceLines - 1, '\r'), true},
        {std::string(editor::kMostSourceLines, '\n'), false},
        {std::string(editor::kMostSourceLines - 1, '\n') + "x", true},
        {[] {
             std::string crlf;
             for (std::size_t i = 0; i + 1 < editor::kMostSourceLines; ++i)
                 crlf += "\r\n";
             return crlf;
         }(),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.size());
        EXPECT_EQ(editor::fitsTheEditor(c.file), c.fits);
    }
}

TEST(Workbench, OffsetOfLineAndColumn) {
    const std::string text = "ab\r\ncd\nef\rg";
    const struct {
        int line, column;
        long long offset;
    } cases[] = {
        {1, 1, 0}, {1, 2, 1}, {1, 9, 2}, {2, 1, 4}, {2, 2, 5}, {3, 1, 7}, {4, 1, 10}, {4, 5, 11}, {9, 1, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + ":" + std::to_string(c.column));
        EXPECT_EQ(editor::offsetOf(text, c.line, c.column), c.offset);
    }
}

TEST(Workbench, FilesGoToTheUsersDataFolderWhenTheProgramsFolderCannotBeWritten) {
    QTemporaryDir root;
    writeFile(root.filePath("plain-file"), "x");
    // A folder below a regular file can be neither made nor written, also by root.
    const QString unwritable = root.filePath("plain-file/bin");
    const QString writable = root.filePath("bin");
    ASSERT_TRUE(QDir().mkpath(writable));
    const QString user = root.filePath("data/quillon");
    EXPECT_EQ(editor::filesFolder(writable, user), writable);
    EXPECT_FALSE(QFileInfo::exists(user));
    EXPECT_EQ(editor::filesFolder(unwritable, user), user);  // made on first use
    EXPECT_TRUE(QFileInfo(user).isDir());
    EXPECT_EQ(editor::filesFolder(unwritable, root.filePath("plain-file/data")), unwritable);

    // The XDG data folder.
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", root.filePath("xdg").toLocal8Bit());
    EXPECT_EQ(editor::userFilesFolder("quillon"), root.filePath("xdg/quillon"));
    EXPECT_EQ(editor::userFilesFolder("vorna"), root.filePath("xdg/vorna"));
    if (before.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", before);

    // The window keeps its files there.
    auto* script = new testing_support::ScriptedDialogs;
    editor::EditorWindow window(editor::quillonProgram(), editor::filesFolder(unwritable, user),
                                std::unique_ptr<editor::Dialogs>(script));
    window.setProgramText("exit\r\n");
    script->answers = {"prog", "prog"};
    window.findChild<QAction*>("Save")->trigger();
    window.findChild<QAction*>("compile")->trigger();
    EXPECT_EQ(readFile(user + "/prog.qlnp"), "exit\r\n");
    EXPECT_TRUE(QFileInfo::exists(user + "/prog.moxy"));
    EXPECT_THAT(script->messages, IsEmpty());
}

TEST(Workbench, TheRunnerAndTheReferenceAreFoundBesideTheProgramOrInstalled) {
    QTemporaryDir root;
    const QString bin = root.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(editor::findRunner(bin), QStandardPaths::findExecutable("moxy"));  // the PATH's, if any
    writeFile(bin + "/moxy", "#!/bin/sh\n");
    QFile(bin + "/moxy").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(editor::findRunner(bin), bin + "/moxy");

    EXPECT_EQ(editor::findReference(bin, "nothing-of-that-name.md"), "");
    ASSERT_TRUE(QDir().mkpath(root.filePath("usr/share/doc/moxy-toolchain")));
    writeFile(root.filePath("usr/share/doc/moxy-toolchain/quillon.md"), "# Quillon");
    EXPECT_EQ(editor::findReference(bin, "quillon.md"), root.filePath("usr/share/doc/moxy-toolchain/quillon.md"));
    ASSERT_TRUE(QDir().mkpath(bin + "/docs"));
    writeFile(bin + "/docs/quillon.md", "# Quillon");
    EXPECT_EQ(editor::findReference(bin, "quillon.md"), bin + "/docs/quillon.md");
}

TEST(Workbench, MenusOpenFromTheKeyboard) {
    Workbench bench;
    bench.window.show();
    bench.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bench.window));
    bench.box()->setFocus();
    const struct {
        Qt::Key key;
        const char* menu;
    } menus[] = {{Qt::Key_F, "file"}, {Qt::Key_E, "edit"}, {Qt::Key_R, "runMenu"}, {Qt::Key_H, "help"}};
    for (const auto& m : menus) {
        SCOPED_TRACE(m.menu);
        QTest::keyClick(bench.box(), m.key, Qt::AltModifier);
        QMenu* menu = bench.window.menuBar()->findChild<QMenu*>(QLatin1String(m.menu));
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000));
        menu->close();
        EXPECT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 5000));
    }
    EXPECT_EQ(bench.box()->toPlainText(), "");
}

TEST(Workbench, HelpShowsTheReferenceShippedWithTheProgram) {
    // The build puts the references beside this test as beside the programs.
    for (const char* which : {"quillon", "vorna"}) {
        SCOPED_TRACE(which);
        Workbench bench(QLatin1String(which) == QLatin1String("quillon") ? editor::quillonProgram()
                                                                        : editor::vornaProgram());
        bench.choose("reference");
        EXPECT_THAT(bench.script->messages, IsEmpty());
        auto* reference = bench.window.findChild<QDialog*>("reference");
        ASSERT_NE(reference, nullptr);
        EXPECT_TRUE(reference->isVisible());
        auto* text = reference->findChild<QTextBrowser*>();
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->isReadOnly());
        EXPECT_TRUE(text->toPlainText().startsWith(QLatin1String(which) == QLatin1String("quillon")
                                                       ? "Quillon reference"
                                                       : "VORNA reference"));
        reference->close();
    }
}

}  // namespace
