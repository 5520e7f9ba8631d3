// The editor window as a workbench: save questions, Run, messages, Find, Open's bounds, files, export, dialogs.
#include "editor/dialogs.h"
#include "editor/export_web_page.h"
#include "editor/highlighter.h"
#include "editor/workbench.h"
#include "moxy/source_map.h"
#include "support/editor_bench.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using editor::SaveChoice;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::Answer;
using testing_support::readFile;
using testing_support::writeFile;
using Workbench = testing_support::EditorBench;

namespace {

TEST(Workbench, AChangedTextGoesOnlyAfterTheUserSaidSo) {
    const std::tuple<const char*, SaveChoice, std::vector<Answer>, bool> cases[] = {  // answers; the text stays
        {"new", SaveChoice::Cancel, {}, true}, {"new", SaveChoice::Discard, {}, false},
        {"new", SaveChoice::Save, {"kept"}, false}, {"new", SaveChoice::Save, {Answer()}, true},  // Save cancelled
        {"open", SaveChoice::Discard, {"other"}, false}, {"open", SaveChoice::Save, {"kept", "other"}, false},
        {"Exit", SaveChoice::Cancel, {}, true}, {"Exit", SaveChoice::Save, {"kept"}, false},
    };
    for (const auto& [command, choice, answers, textStays] : cases) {
        SCOPED_TRACE(std::string(command) + " " + std::to_string(static_cast<int>(choice)));
        Workbench bench;
        writeFile(bench.file("other.qlnp"), "cls\r\n");
        bench.window.show();
        bench.type("exit");
        bench.script->choices = {choice};
        bench.script->answers.assign(answers.begin(), answers.end());
        bench.choose(command);
        EXPECT_EQ(bench.script->questions.front(), editor::kSaveChanges);
        EXPECT_THAT(bench.script->choices, IsEmpty());
        EXPECT_EQ(bench.box()->toPlainText() != "exit" || !bench.window.isVisible(), !textStays);
        EXPECT_EQ(readFile(bench.file("kept.qlnp")), choice == SaveChoice::Save && !textStays ? "exit\r\n" : "<missing>");
    }
}

// Errors go to a box and the list, warnings (the compiler's and the box's characters beyond
// Latin-1) only to the list.
TEST(Workbench, CompileWritesTheMapAndMessagesLeadTheCaretToTheirLine) {
    Workbench bench;
    bench.window.show();
    bench.show(QStringLiteral("dim[x]\n\n  print[x][y][x]\nset[z]{\u00e9\u20ac\u20ac}"));
    bench.choose("compile", {"out"});
    const moxy::CompileResult compiled = editor::quillonProgram().compile(bench.window.programText(), {}, {});
    EXPECT_EQ(readFile(bench.file("out.moxy.map")), moxy::sourceMapText(compiled.map) + moxy::sourceMapNamesText(compiled.names));
    EXPECT_THAT(bench.script->messages, ElementsAre("Error: Variable doesnt exist. y\n\nLine 3, column 3",
                                                    "Error: Variable doesnt exist. z\n\nLine 4, column 1"));
    EXPECT_EQ(bench.caret(), 8 + 2);  // the first message's statement
    EXPECT_EQ(bench.window.status(), QStringLiteral("Compiled to out.moxy in %1, %2 characters, 4 messages")
                                         .arg(QDir::toNativeSeparators(bench.folder.path())).arg(compiled.code.size()));
    auto* list = bench.window.findChild<QListWidget*>("messages");
    const QStringList listed = {"Line 3, column 3: Error: Variable doesnt exist. y", "Line 4, column 1: Error: Variable doesnt exist. z",
                                "Line 4, column 1: warning: character code 233", "Line 4, column 9: warning: the character U+20AC cannot be stored"};
    ASSERT_EQ(list->count(), listed.size());
    for (int i = 0; i < list->count(); ++i)
        EXPECT_TRUE(list->item(i)->text().startsWith(listed[i])) << list->item(i)->text().toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(bench.caret(), 8 + 16 + 1);
    // The next compile without messages empties and hides the list.
    bench.window.setProgramText("exit\r\n");
    bench.choose("compile", {"out"});
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(list->isVisible());
}

TEST(Workbench, RunCompilesAndStartsTheRunnerOnTheResult) {
    const std::tuple<const char*, std::vector<Answer>, bool, std::vector<QStringList>, std::vector<QString>> cases[] = {  // text, answers, the runner starts

        {"exit", {"game"}, true, {{"/opt/moxy/moxy", "game.moxy", "."}}, {}},
        {"exit", {"game"}, false, {{"/opt/moxy/moxy", "game.moxy", "."}}, {"Unable to start the MOXY runner /opt/moxy/moxy."}},
        {"exit", {Answer()}, true, {}, {}},  // no name: nothing to run
        {"dim[0]", {}, true, {}, {"Cannot use \"0\" as a variable name, it is reserved.\n\nLine 1, column 1"}},
    };
    for (const auto& [text, answers, starts, expected, messages] : cases) {
        SCOPED_TRACE(text);
        Workbench bench;
        std::vector<QStringList> started;
        bench.window.setRunner("/opt/moxy/moxy", [&](const QString& program, const QStringList& arguments, const QString& folder) {
            const QDir here(bench.folder.path());
            started.push_back({program, here.relativeFilePath(arguments.join(' ')), QDir(folder) == here ? "." : folder});
            return starts;
        });
        bench.type(text);
        bench.script->answers.assign(answers.begin(), answers.end());
        bench.choose("run");
        EXPECT_EQ(started, expected);
        EXPECT_EQ(bench.script->messages, messages);
        EXPECT_EQ(QFile::exists(bench.file("game.moxy.map")), !started.empty());
    }
    EXPECT_THAT(Workbench().window.findChild<QAction*>("run")->shortcuts(),
                ElementsAre(QKeySequence(Qt::Key_F9), QKeySequence(Qt::CTRL | Qt::Key_R)));
}

TEST(Workbench, FindAndGoToLine) {
    Workbench bench;
    bench.window.setProgramText("cls\r\nexit\r\ncls\r\n");
    bench.choose("find", {"cls"});
    EXPECT_EQ(bench.box()->textCursor().selectedText(), "cls");
    bench.choose("findNext");
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
}

TEST(Workbench, OpenRefusesFilesBeyondTheEditorsBoundsAndLargeTextsAreShownPlain) {
    const std::string longest(editor::kLongestSourceLine, 'x'), crlfLines = QByteArray("\r\n").repeated(editor::kMostSourceLines - 1).toStdString();
    const std::pair<std::string, bool> fits[] = {  // the last line may be empty
        {"", true}, {longest + "\r\n" + longest, true}, {longest + "x", false}, {crlfLines, true},
        {std::string(editor::kMostSourceLines - 1, '\r'), true}, {std::string(editor::kMostSourceLines, '\n'), false},
        {std::string(editor::kMostSourceLines - 1, '\n') + "x", true}, {std::string(editor::kLargestSource + 1, '\n'), false},
    };
    Workbench bench;
    bench.window.setProgramText("exit\r\n");
    for (const auto& [file, fit] : fits) {
        EXPECT_EQ(editor::fitsTheEditor(file), fit) << file.size();
        writeFile(bench.file("big.qlnp"), file);
        bench.choose("open", {"big"});
        EXPECT_EQ(bench.window.programText() == "exit\r\n", !fit);
        bench.window.setProgramText("exit\r\n");
    }
    EXPECT_EQ(bench.script->messages, std::vector<QString>(3, editor::kTooLarge));
    // Within the bounds a large text opens without colours; a small one has them again.
    auto* highlighter = bench.window.findChild<editor::Highlighter*>();
    std::string large;
    while (large.size() <= static_cast<std::size_t>(editor::kLargestColoured))
        large += longest + "\r\n";
    writeFile(bench.file("big.qlnp"), large);
    bench.choose("open", {"big"});
    EXPECT_EQ(bench.window.programText(), large);
    EXPECT_EQ(highlighter->document(), nullptr);
    bench.choose("new");
    EXPECT_EQ(highlighter->document(), bench.box()->document());
}

// A folder below a regular file can be neither made nor written, also by root.
TEST(Workbench, FilesGoToTheUsersDataFolderWhenTheProgramsFolderCannotBeWritten) {
    QTemporaryDir root;
    writeFile(root.filePath("plain-file"), "x");
    const QString unwritable = root.filePath("plain-file/bin"), user = root.filePath("data/quillon");
    ASSERT_TRUE(QDir().mkpath(root.filePath("bin")));
    EXPECT_EQ(editor::filesFolder(root.filePath("bin"), user), root.filePath("bin"));
    EXPECT_FALSE(QFileInfo::exists(user));
    EXPECT_EQ(editor::filesFolder(unwritable, root.filePath("plain-file/data")), unwritable);
    EXPECT_EQ(editor::filesFolder(unwritable, user), user);  // made on first use
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", root.filePath("xdg").toLocal8Bit());
    EXPECT_EQ(editor::userFilesFolder("vorna"), root.filePath("xdg/vorna"));
    qputenv("XDG_DATA_HOME", before);
}

TEST(Workbench, TheRunnerAndTheReferenceAreFoundBesideTheProgramOrInstalled) {
    QTemporaryDir root;
    const QString bin = root.filePath("usr/bin"), shared = root.filePath("usr/share/doc/moxy-toolchain");
    ASSERT_TRUE(QDir().mkpath(bin + "/docs") && QDir().mkpath(shared));
    EXPECT_EQ(editor::findRunner(bin), QStandardPaths::findExecutable("moxy"));  // the PATH's, if any
    writeFile(bin + "/moxy", "#!/bin/sh\n");
    QFile(bin + "/moxy").setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(editor::findRunner(bin), bin + "/moxy");
    EXPECT_EQ(editor::findReference(bin, "quillon.md"), "");
    writeFile(shared + "/quillon.md", "# Quillon");
    EXPECT_EQ(editor::findReference(bin, "quillon.md"), shared + "/quillon.md");
    writeFile(bin + "/docs/quillon.md", "# Quillon");
    EXPECT_EQ(editor::findReference(bin, "quillon.md"), bin + "/docs/quillon.md");
}

// The build puts the references beside this test as beside the programs.
TEST(Workbench, HelpShowsTheReferenceShippedWithTheProgram) {
    for (const bool quillon : {true, false}) {
        Workbench bench(quillon ? editor::quillonProgram() : editor::vornaProgram());
        bench.choose("reference");
        auto* reference = bench.window.findChild<QDialog*>("reference");
        ASSERT_TRUE(reference && reference->isVisible());
        auto* text = reference->findChild<QTextBrowser*>();
        EXPECT_TRUE(text->isReadOnly() && text->toPlainText().startsWith(quillon ? "Quillon reference" : "VORNA reference"));
    }
}

TEST(ExportWebPage, WritesThePageBesideTheProgramOrTellsWhyNot) {
    QTemporaryDir folder;
    const QString hello = folder.filePath("hello.moxy");
    ASSERT_TRUE(QFile::copy(MOXY_EXAMPLES_DIR "/hello.moxy", hello));
    const std::tuple<QString, QString, const char*> cases[] = {  // the runner, the program, what is told
        {MOXY_RUNNER, hello, "Wrote the web page"}, {MOXY_RUNNER, folder.filePath("gone.moxy"), "cannot read"},
        {QString(), hello, "the runner moxy is not installed"}, {hello, hello, "Unable to export the web page"},
    };
    for (const auto& [runner, program, told] : cases) {
        testing_support::ScriptedDialogs dialogs;
        editor::exportWebPage(runner, program, dialogs);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].contains(QLatin1String(told))) << dialogs.messages[0].toStdString();
    }
    EXPECT_GT(QFile(folder.filePath("hello.html")).size(), 100000);
    EXPECT_FALSE(QFile::exists(folder.filePath("gone.html")));
    // Cancel and an empty answer do nothing; the build's runner is found on PATH.
    ASSERT_TRUE(QFile::rename(hello, folder.filePath("game.moxy")));
    testing_support::ScriptedDialogs dialogs;
    QMenu menu;
    editor::addExportWebPage(&menu, folder.path(), dialogs);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Export as web page");
    qputenv("PATH", (QFileInfo(MOXY_RUNNER).absolutePath() + ':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    dialogs.answers = {std::nullopt, QString(), QStringLiteral("game")};
    for (int i = 0; i < 3; ++i)
        menu.actions()[0]->trigger();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(QFile::exists(folder.filePath("game.html")));
}

// Each dialog, once shown, is measured and closed by a timer: no test waits for a person.
TEST(DialogWidth, EveryDialogShowsItsCaptionWhole) {
    QWidget parent;
    editor::QtDialogs dialogs(&parent, "Quillon Compiler");
    std::vector<int> widths;
    int captionWidth = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        QFont bold = dialog->font();
        bold.setBold(true);
        captionWidth = QFontMetrics(bold).horizontalAdvance(dialog->windowTitle());
        EXPECT_EQ(dialog->windowTitle(), "Quillon Compiler");
        widths.push_back(dialog->width());
        dialog->close();
    });
    timer.start(10);
    dialogs.tell("OK");
    dialogs.askText("Input A File Name");
    dialogs.askSave(editor::kSaveChanges);
    ASSERT_EQ(widths.size(), 3u);
    for (const int width : widths)
        EXPECT_GE(width, captionWidth + 100);
}

}  // namespace
