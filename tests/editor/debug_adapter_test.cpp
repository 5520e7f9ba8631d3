// The Debug menu driving the runner's own debug adapter (`moxy --debug-adapter`, headless) on
// Quillon and VORNA programs compiled in the window: a breakpoint, the marked line, values by name,
// a step over a statement, a changed variable, the end, and the runner's window kept after it.
// (Errors, frame steps and pause are the panel's tests over the fake machine.)
#include "debug_support.h"

#include <QFile>

#include <gmock/gmock.h>

using editor::DebugPanel;
using testing_support::DebugBench;

namespace {

const QString kRunner = QStringLiteral(MOXY_RUNNER);

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

TEST(DebugAdapter, StopsStepsShowsAndChangesAVariableOfTheHelloExample) {
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
    EXPECT_EQ(bench.value("Names", "greeting"), "\"Hello, world!\"");
    EXPECT_EQ(bench.value("Names", "y"), "\"20\"");
    ASSERT_NE(bench.variable("Names", "y"), nullptr);
    EXPECT_THAT(bench.variable("Names", "y")->text(2).toStdString(), testing::MatchesRegex("V\\([0-9]+\\)"));
    EXPECT_NE(bench.variable("Registers", "Pointer"), nullptr);

    bench.choose("stepOver");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), setNote);
    EXPECT_EQ(bench.value("Names", "y"), "\"40\"");

    // A changed value is the machine's: the next stop reads it back.
    QTreeWidgetItem* y = bench.variable("Names", "y");
    ASSERT_NE(y, nullptr);
    y->setText(1, "\"55\"");
    ASSERT_TRUE(QTest::qWaitFor([&] { return y->data(1, Qt::UserRole + 1).toString() == "\"55\""; },
                                testing_support::kWaitMs));
    bench.choose("stepOver");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.value("Names", "y"), "\"55\"");

    bench.choose("continue");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 0.");
    EXPECT_EQ(bench.text()->currentLine(), 0);
}

TEST(DebugAdapter, TheRunnersWindowStaysAfterTheEndUntilStop) {
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
