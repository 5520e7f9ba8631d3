// The Debug menu driving the runner's own debug adapter (`moxy --debug-adapter`, headless) on
// Quillon and VORNA programs compiled in the window: a breakpoint, the marked line, values by name,
// a step over a statement, a changed variable, the end; and a run-time error stopping on
// its line before the restart.
#include "debug_support.h"

#include "debugger/framing.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>

#include <gmock/gmock.h>

using editor::DebugPanel;
using testing::HasSubstr;
using testing_support::DebugBench;

namespace {

const QString kRunner = QStringLiteral(MOXY_RUNNER);

// Empty when the runner answers an initialize request as a debug adapter; else why not.
QString adapterMissing() {
    QProcess adapter;
    adapter.start(kRunner, {QStringLiteral("--debug-adapter")});
    if (!adapter.waitForStarted(30000))
        return QStringLiteral("cannot start ") + kRunner;
    const std::string request =
        debugger::frame(R"({"seq":1,"type":"request","command":"initialize","arguments":{"adapterID":"moxy"}})");
    adapter.write(request.data(), static_cast<qint64>(request.size()));
    QByteArray answer;
    while (!answer.contains("\"initialize\"") && adapter.waitForReadyRead(30000))
        answer += adapter.readAllStandardOutput();
    adapter.kill();
    adapter.waitForFinished(30000);
    return answer.contains("\"success\":true") ? QString()
                                                : kRunner + QStringLiteral(" does not answer as a debug adapter");
}

bool adapterAvailable() {
    static const QString missing = adapterMissing();
    if (!missing.isEmpty())
        std::printf("skipped: %s\n", qPrintable(missing));
    return missing.isEmpty();
}

std::string readExample(const char* name) {
    QFile file(QStringLiteral(QUILLON_EXAMPLES_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The 1-based line of [text] where [statement] begins.
int lineOf(editor::CodeEdit* text, const QString& statement) {
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
        if (block.text().startsWith(statement))
            return block.blockNumber() + 1;
    ADD_FAILURE() << "no line " << statement.toStdString();
    return 0;
}

// A declared name's value: in the Names scope when the map declares names, else in the
// cells (the only value with that text there).
QString named(DebugBench& bench, const QString& name, const QString& expected) {
    if (QTreeWidgetItem* item = bench.variable(QStringLiteral("Names"), name))
        return item->text(1);
    std::printf("note: the map declares no names; looking for %s in the cells\n", qPrintable(name));
    QTreeWidget* variables = bench.variables();
    for (int i = 0; i < variables->topLevelItemCount(); ++i)
        for (int j = 0; j < variables->topLevelItem(i)->childCount(); ++j)
            if (variables->topLevelItem(i)->child(j)->text(1) == expected)
                return expected;
    return QStringLiteral("<none>");
}

TEST(DebugAdapter, StopsStepsShowsAndChangesAVariableOfTheHelloExample) {
    if (!adapterAvailable())
        GTEST_SKIP() << "moxy --debug-adapter is not available";
    DebugBench bench(editor::quillonProgram(), kRunner);
    bench.window.setProgramText(readExample("hello.qlnp"));
    const int setY = lineOf(bench.text(), "set[y]{40}");
    const int setNote = lineOf(bench.text(), "set[note]");
    bench.clickMargin(setY);
    ASSERT_EQ(bench.text()->breakpoints(), QList<int>{setY});

    bench.start("hello");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), setY);
    EXPECT_EQ(bench.panel()->stateText(), QStringLiteral("Stopped on line %1 (breakpoint)").arg(setY));
    EXPECT_EQ(named(bench, "greeting", "\"Hello, world!\""), "\"Hello, world!\"");
    EXPECT_EQ(named(bench, "y", "\"20\""), "\"20\"");
    if (QTreeWidgetItem* y = bench.variable("Names", "y")) {
        EXPECT_THAT(y->text(2).toStdString(), testing::MatchesRegex("V\\([0-9]+\\)"));
    }
    EXPECT_NE(bench.variable("Registers", "Pointer"), nullptr);

    bench.choose("stepOver");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), setNote);
    EXPECT_EQ(named(bench, "y", "\"40\""), "\"40\"");

    // A changed value is the machine's: the next stop reads it back.
    if (QTreeWidgetItem* y = bench.variable("Names", "y")) {
        y->setText(1, "\"55\"");
        ASSERT_TRUE(QTest::qWaitFor([&] { return y->data(1, Qt::UserRole + 1).toString() == "\"55\""; },
                                    testing_support::kWaitMs));
        bench.choose("stepOver");
        ASSERT_TRUE(bench.waitForRest());
        EXPECT_EQ(bench.value("Names", "y"), "\"55\"");
    }

    bench.choose("continue");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 0.");
    EXPECT_EQ(bench.text()->currentLine(), 0);
}

TEST(DebugAdapter, ARunTimeErrorStopsOnItsLine) {
    if (!adapterAvailable())
        GTEST_SKIP() << "moxy --debug-adapter is not available";
    DebugBench bench(editor::quillonProgram(), kRunner);
    bench.window.setProgramText("dim[a]\r\nset[a]{x}\r\ninc[a]\r\nset[a]{done}\r\n");
    bench.start("broken");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), 3);
    EXPECT_THAT(bench.panel()->stateText().toStdString(), HasSubstr("Run-time error on line 3: "));
    EXPECT_THAT(bench.panel()->stateText().toStdString(), HasSubstr("type mismatch"));
    bench.choose("stopDebugging");
    bench.waitForEnd();
}

TEST(DebugAdapter, StepsTheGameOneFrame) {
    if (!adapterAvailable())
        GTEST_SKIP() << "moxy --debug-adapter is not available";
    DebugBench bench(editor::quillonProgram(), kRunner);
    bench.window.setProgramText(readExample("game.qlnp"));
    bench.text()->toggleBreakpoint(lineOf(bench.text(), "getticks[start]"));
    bench.start("game");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    bench.choose("stepFrame");
    ASSERT_TRUE(bench.waitForRest());
    // Just after doevents: the first key is read next.
    EXPECT_EQ(bench.text()->currentLine(), lineOf(bench.text(), "getkey[key]{238}"));
    EXPECT_NE(bench.variable("Names", "score"), nullptr);
    bench.choose("stopDebugging");
    bench.waitForEnd();
}

TEST(DebugAdapter, TheRunnersWindowStaysAfterTheEndUntilStop) {
    if (!adapterAvailable())
        GTEST_SKIP() << "moxy --debug-adapter is not available";
    // As the editor launches it for a person: with the runner's window (offscreen here).
    DebugBench bench(editor::quillonProgram(), kRunner);
    bench.panel()->setLaunchArguments({});
    bench.window.setProgramText(readExample("hello.qlnp"));
    const int print = lineOf(bench.text(), "print[x][y][greeting]");
    bench.text()->toggleBreakpoint(print);
    bench.start("hello");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), print);
    bench.choose("continue");
    // The program has ended; its window stays open until Stop or the next start.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.panel()->state() == DebugPanel::State::Finished; },
                                testing_support::kWaitMs));
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 0. Its window stays open until Stop.");
    EXPECT_TRUE(bench.action("startDebugging")->isEnabled());
    EXPECT_TRUE(bench.action("stopDebugging")->isEnabled());
    EXPECT_EQ(bench.text()->currentLine(), 0);

    // Started again, the old session goes and the new one stops at the breakpoint.
    bench.start("hello");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), print);
    bench.choose("continue");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.panel()->state() == DebugPanel::State::Finished; },
                                testing_support::kWaitMs));
    bench.choose("stopDebugging");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "Debugging stopped.");
}

TEST(DebugAdapter, TheVornaEditorStopsInItsLoopAndShowsTheCounter) {
    if (!adapterAvailable())
        GTEST_SKIP() << "moxy --debug-adapter is not available";
    DebugBench bench(editor::vornaProgram(), kRunner);
    bench.window.setProgramText(readExample("countdown.vornaproj"));
    const int loop = lineOf(bench.text(), "DEC `x`x SETPAR1");
    bench.clickMargin(loop);
    bench.start("countdown");
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), loop);
    // The counter n n lives in cell 110 * 254 + 110; round the loop it counts down.
    EXPECT_EQ(bench.value("Cells", "V(28050)"), "\"10\"");
    bench.choose("continue");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), loop);
    EXPECT_EQ(bench.value("Cells", "V(28050)"), "\"9\"");
    bench.choose("stopDebugging");
    bench.waitForEnd();
}

}  // namespace
