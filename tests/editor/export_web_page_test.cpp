// "Export as web page" with the real runner: the page lands beside the MOXY file, and
// every failure is told.
#include "editor/dialogs.h"
#include "editor/export_web_page.h"
#include "support/editor_bench.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>

using Scripted = testing_support::ScriptedDialogs;

TEST(ExportWebPage, WritesThePageBesideTheProgramOrTellsWhyNot) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(MOXY_EXAMPLES_DIR "/hello.moxy"), folder.filePath(QStringLiteral("hello.moxy"))));
    struct Case {
        const char* name;
        QString runner;
        QString program;
        const char* told;
    };
    const Case cases[] = {
        {"written", QStringLiteral(MOXY_RUNNER), folder.filePath(QStringLiteral("hello.moxy")), "Wrote the web page"},
        {"no program", QStringLiteral(MOXY_RUNNER), folder.filePath(QStringLiteral("gone.moxy")), "cannot read"},
        {"no runner", QString(), folder.filePath(QStringLiteral("hello.moxy")), "the runner moxy is not installed"},
        {"runner fails to start", folder.filePath(QStringLiteral("hello.moxy")), folder.filePath(QStringLiteral("hello.moxy")),
         "Unable to export the web page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scripted dialogs;
        editor::exportWebPage(c.runner, c.program, dialogs);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].contains(QLatin1String(c.told))) << dialogs.messages[0].toStdString();
    }
    EXPECT_GT(QFile(folder.filePath(QStringLiteral("hello.html"))).size(), 100000);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("gone.html"))));
}

TEST(ExportWebPage, TheMenuItemAsksForTheProgramByName) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(MOXY_EXAMPLES_DIR "/hello.moxy"), folder.filePath(QStringLiteral("game.moxy"))));
    Scripted dialogs;
    QMenu menu;
    editor::addExportWebPage(&menu, folder.path(), dialogs);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Export as web page");
    dialogs.answers = {std::nullopt, QString()};  // Cancel, then an empty answer: nothing happens
    menu.actions()[0]->trigger();
    menu.actions()[0]->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    // No runner lies beside the test; the build's is found on PATH.
    const QString runnerFolder = QFileInfo(QStringLiteral(MOXY_RUNNER)).absolutePath();
    qputenv("PATH", (runnerFolder + QLatin1Char(':') + qEnvironmentVariable("PATH")).toLocal8Bit());
    ASSERT_EQ(editor::runnerExecutable(), QStringLiteral(MOXY_RUNNER));
    dialogs.answers = {QStringLiteral("game")};
    menu.actions()[0]->trigger();
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("game.html")))) << QStringList(dialogs.messages.begin(), dialogs.messages.end()).join('\n').toStdString();
}
