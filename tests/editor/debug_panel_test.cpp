// The editor's debugger against a debug adapter process that runs the real protocol
// session over a small fake machine: breakpoints from the margin, the marked line, the
// variables panel, every step, pause, run-time errors, and what happens when the adapter
// is missing, ends early or hangs.
#include "debug_support.h"

#include "editor/debug_client.h"
#include "moxy/source_map.h"

#include <QFile>
#include <QJsonArray>
#include <QMenu>
#include <QMenuBar>

#include <gmock/gmock.h>

#include <string>

using editor::DebugPanel;
using testing::HasSubstr;
using testing_support::DebugBench;
using testing_support::kWaitMs;

namespace {

const QString kAdapter = QStringLiteral(FAKE_ADAPTER);

// A language whose compile gives [code] with a statement on each line of [lines] (its
// position in the code), whatever the text says. The fake machine reads 1 hi lo as a
// cell reference, printable characters as text for the cell, 252 as a yield, 254 as a
// jump to the start, 7 as a failing instruction and 24 as the end.
editor::Program fakeLanguage(std::string code, std::vector<std::size_t> lines) {
    editor::Program program = editor::quillonProgram();
    program.compile = [code, lines](std::string_view, const moxy::DiagnosticFunction&, const moxy::ProgressFunction&) {
        moxy::CompileResult result;
        result.code = code;
        for (std::size_t i = 0; i < lines.size(); ++i)
            result.map.push_back({lines[i], static_cast<int>(i) + 1, 1});
        return result;
    };
    return program;
}

// Cell 256 gets "1", cell 257 "ab", a yield, then "c" for cell 257, the end.
const std::string kCounting = std::string("\x01\x01\x02") + "1" + "\x01\x01\x03" + "ab" + "\xFC" + "c" + "\x18";
const std::vector<std::size_t> kCountingLines = {1, 5, 10, 11, 12};
const char* const kFiveLines = "first\r\nsecond\r\nthird\r\nfourth\r\nfifth";

bool quoted(const QString& value, const char* text) { return value == QLatin1Char('"') + QLatin1String(text) + QLatin1Char('"'); }

TEST(DebugPanel, StopsAtAMarginBreakpointStepsShowsAndChangesCells) {
    DebugBench bench(fakeLanguage(kCounting, kCountingLines), kAdapter);
    bench.window.setProgramText(kFiveLines);
    bench.clickMargin(2);
    ASSERT_EQ(bench.text()->breakpoints(), QList<int>{2});

    const int width = bench.window.width();
    bench.start();
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    // The panel came beside the text, and the window grew for it.
    EXPECT_TRUE(bench.panel()->isVisible());
    EXPECT_GT(bench.window.width(), width);
    EXPECT_EQ(bench.text()->currentLine(), 2);
    EXPECT_EQ(bench.text()->extraSelections().size(), 1);
    EXPECT_EQ(bench.panel()->stateText(), "Stopped on line 2 (breakpoint)");
    EXPECT_EQ(bench.window.status(), bench.panel()->stateText());
    EXPECT_TRUE(quoted(bench.value("Cells", "V(256)"), "1")) << bench.value("Cells", "V(256)").toStdString();
    EXPECT_EQ(bench.value("Registers", "Pointer"), "256");
    EXPECT_EQ(bench.variable("Registers", "Pointer")->text(2), "");

    bench.choose("stepOver");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), 3);
    EXPECT_TRUE(quoted(bench.value("Cells", "V(257)"), "ab"));

    // A changed value goes to the machine; the next stop shows it from there.
    QTreeWidgetItem* cell = bench.variable("Cells", "V(256)");
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(cell->flags() & Qt::ItemIsEditable);
    cell->setText(1, "\"99\"");
    bench.choose("stepInstruction");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), 4);
    EXPECT_TRUE(quoted(bench.value("Cells", "V(256)"), "99"));

    // A breakpoint clicked in while the session runs is one too.
    bench.clickMargin(5);
    bench.choose("continue");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.panel()->stateText(), "Stopped on line 5 (breakpoint)");

    bench.choose("continue");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 0.");
    EXPECT_EQ(bench.text()->currentLine(), 0);
    EXPECT_TRUE(bench.text()->extraSelections().isEmpty());
    EXPECT_TRUE(bench.action("startDebugging")->isEnabled());
    EXPECT_FALSE(bench.action("continue")->isEnabled());
}

TEST(DebugPanel, StepsFrameByFrameAndPausesALoopThatNeverEnds) {
    // "x", a yield, "y", back to the start: a game loop one frame long.
    DebugBench bench(fakeLanguage("x\xFCy\xFE", {1, 2, 3, 4}), kAdapter);
    bench.window.setProgramText("one\r\ntwo\r\nthree\r\nfour");
    bench.text()->toggleBreakpoint(1);
    bench.start();
    ASSERT_EQ(bench.text()->currentLine(), 1);
    // To just after the yield; then round the loop, where the breakpoint comes first.
    const struct {
        int line;
        const char* stateText;
    } frames[] = {{3, "Stopped on line 3 (step)"}, {1, "Stopped on line 1 (breakpoint)"}, {3, "Stopped on line 3 (step)"}};
    for (const auto& frame : frames) {
        SCOPED_TRACE(frame.stateText);
        bench.choose("stepFrame");
        ASSERT_TRUE(bench.waitForRest());
        EXPECT_EQ(bench.text()->currentLine(), frame.line);
        EXPECT_EQ(bench.panel()->stateText(), frame.stateText);
    }

    // Toggle Breakpoint at the caret clears the one on line 1, in the running session too.
    bench.text()->setTextCursor(QTextCursor(bench.text()->document()->firstBlock()));
    bench.choose("toggleBreakpoint");
    EXPECT_TRUE(bench.text()->breakpoints().isEmpty());
    bench.choose("continue");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.action("pause")->isEnabled(); }, kWaitMs));
    bench.choose("pause");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.panel()->state(), DebugPanel::State::Stopped);
    EXPECT_THAT(bench.panel()->stateText().toStdString(), HasSubstr("(pause)"));

    bench.choose("stopDebugging");
    bench.waitForEnd();
    EXPECT_EQ(bench.text()->currentLine(), 0);
    EXPECT_EQ(bench.panel()->stateText(), "Debugging stopped.");
}

TEST(DebugPanel, ARunTimeErrorStopsOnItsLineWithTheError) {
    DebugBench bench(fakeLanguage(std::string("\x01\x01\x02") + "1\x07\x18", {1, 5, 6}), kAdapter);
    bench.window.setProgramText("one\r\ntwo\r\nthree");
    bench.start();
    ASSERT_EQ(bench.panel()->state(), DebugPanel::State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), 2);
    EXPECT_EQ(bench.panel()->stateText(), "Run-time error on line 2: type mismatch: \"x\" is not a number");
    EXPECT_THAT(bench.window.findChild<QPlainTextEdit*>(QStringLiteral("debugOutput"))->toPlainText().toStdString(),
                HasSubstr("type mismatch"));
    bench.choose("stopDebugging");
    bench.waitForEnd();
}

TEST(DebugPanel, ARegisterCannotBeChangedAndKeepsItsValue) {
    DebugBench bench(fakeLanguage(kCounting, kCountingLines), kAdapter);
    bench.window.setProgramText(kFiveLines);
    bench.text()->toggleBreakpoint(3);
    bench.start();
    QTreeWidgetItem* pointer = bench.variable("Registers", "Pointer");
    ASSERT_NE(pointer, nullptr);
    EXPECT_FALSE(pointer->flags() & Qt::ItemIsEditable);
    // As if an editor had let it through: the adapter refuses, the panel shows the old value.
    pointer->setText(1, "7");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.panel()->stateText().startsWith("Not changed"); }, kWaitMs));
    EXPECT_EQ(bench.panel()->stateText(), "Not changed: registers cannot be changed");
    EXPECT_EQ(pointer->text(1), "257");
}

TEST(DebugPanel, AnAdapterThatIsMissingEndsEarlyOrHangsLeavesTheEditorReady) {
    const struct {
        const char* name;
        QString adapter;
        bool stop;             // the user stops the session
        const char* stateText;  // what the panel says at the end
    } cases[] = {
        {"missing", "/nonexistent/moxy", false, "Unable to start the debug adapter /nonexistent/moxy."},
        {"ends at once", "/bin/true", false, "The debug adapter ended before the program ran."},
        {"answers nothing", kAdapter + "-silent", true, "Debugging stopped."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        DebugBench bench(fakeLanguage(kCounting, kCountingLines), test.adapter);
        bench.window.setProgramText(kFiveLines);
        bench.dialogs->answers.push_back(QStringLiteral("prog"));
        bench.choose("startDebugging");
        if (test.stop) {
            EXPECT_EQ(bench.panel()->state(), DebugPanel::State::Starting);
            bench.choose("stopDebugging");
        }
        bench.waitForEnd();
        EXPECT_EQ(bench.panel()->stateText(), QString::fromLatin1(test.stateText));
        EXPECT_TRUE(bench.action("startDebugging")->isEnabled());
    }
}

TEST(DebugPanel, NothingStartsWithoutAFileOrARunner) {
    {
        DebugBench bench(fakeLanguage(kCounting, kCountingLines), kAdapter);
        bench.dialogs->answers.push_back(std::nullopt);  // the MOXY file's name is cancelled
        bench.choose("startDebugging");
        EXPECT_EQ(bench.panel()->state(), DebugPanel::State::Idle);
        EXPECT_EQ(bench.panel()->stateText(), "Not debugging");
    }
    // No moxy beside the test nor on the PATH (an empty folder).
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    DebugBench bench(fakeLanguage(kCounting, kCountingLines), QString());
    bench.dialogs->answers.push_back(QStringLiteral("prog"));
    bench.choose("startDebugging");
    qputenv("PATH", path);
    EXPECT_EQ(bench.panel()->state(), DebugPanel::State::Idle);
    ASSERT_FALSE(bench.dialogs->messages.empty());
    EXPECT_EQ(bench.dialogs->messages.back(), editor::kNoRunner);
}

TEST(DebugPanel, TheDebugMenuShowsItsKeysAndTheFileMenuNone) {
    DebugBench bench(fakeLanguage(kCounting, kCountingLines), kAdapter);
    QMenu* debug = bench.window.menuBar()->findChild<QMenu*>(QStringLiteral("debug"));
    ASSERT_NE(debug, nullptr);
    QStringList items;
    for (QAction* action : debug->actions())
        items << action->text() + QLatin1Char('=') + action->shortcut().toString() +
                     (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
    EXPECT_EQ(items, QStringList({"&Start Debugging=Ctrl+F5", "Toggle &Breakpoint=F12", "&Continue=F8 (off)",
                                  "Step &Over=F10 (off)", "Step &Instruction=F11 (off)",
                                  "Step &Frame=Shift+F11 (off)", "&Pause=F6 (off)", "S&top=Shift+F5 (off)"}));
    for (QAction* action : bench.window.menuBar()->findChild<QMenu*>(QStringLiteral("file"))->actions())
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    bench.choose("keys");
    ASSERT_FALSE(bench.dialogs->messages.empty());
    for (const char* key : {"Ctrl+F5\tStart debugging", "Shift+F11\tStep frame", "Alt+D"})
        EXPECT_THAT(bench.dialogs->messages.back().toStdString(), HasSubstr(key));
}

TEST(DebugClient, MatchesRepliesToRequestsAndFailsThoseLeftWhenTheAdapterEnds) {
    editor::DebugClient client;
    client.start(kAdapter, {}, QDir::tempPath());
    QStringList replies;
    const auto keep = [&replies](const char* name) {
        return [&replies, name](bool success, const QJsonObject& body, const QString& message) {
            replies << QString::fromLatin1(name) + (success ? QStringLiteral(" ok") : QStringLiteral(" failed: ") + message) +
                           (body.contains("supportsConfigurationDoneRequest") ? QStringLiteral(" +caps") : QString());
        };
    };
    client.request("initialize", {{"adapterID", "moxy"}}, keep("initialize"));
    client.request("fly", {}, keep("fly"));
    client.request("threads", {}, keep("threads"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies.size() == 3; }, kWaitMs));
    EXPECT_EQ(replies, QStringList({"initialize ok +caps", "fly failed: unknown request: fly", "threads ok"}));

    // The adapter ends with a reply still owed: the reply says so.
    bool finished = false;
    QObject::connect(&client, &editor::DebugClient::finished, [&finished] { finished = true; });
    client.request("launch", {{"program", "/nonexistent.moxy"}}, keep("launch"));
    client.kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, kWaitMs));
    EXPECT_THAT(replies.back().toStdString(), testing::StartsWith("launch failed"));
    client.request("threads", {}, keep("late"));
    EXPECT_EQ(replies.back(), "late failed: The debug adapter ended.");
}

TEST(DebugClient, ABrokenFrameIsReported) {
    editor::DebugClient client;
    QString failure;
    QObject::connect(&client, &editor::DebugClient::failed, [&failure](const QString& text) { failure = text; });
    client.start("/bin/sh", {"-c", "printf 'Content-Length: x\\r\\n\\r\\n'; cat >/dev/null"}, QDir::tempPath());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failure.isEmpty(); }, kWaitMs));
    EXPECT_THAT(failure.toStdString(), testing::StartsWith("The debug adapter sent a broken message"));
}

}  // namespace
