// The editor's debugger against an adapter process running the real session over a fake machine.
#include "editor/code_edit.h"
#include "editor/debug_client.h"
#include "editor/debug_panel.h"
#include "support/editor_bench.h"

#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

using testing::HasSubstr;
using State = editor::DebugPanel::State;

namespace {

const QString kAdapter = QStringLiteral(FAKE_ADAPTER);
constexpr int kWaitMs = 60000;

// Cells 256 ("1") and 257 ("ab", then "c" after a yield), the end: statements on lines 1 to 5.
const std::string kCounting = std::string("\x01\x01\x02") + "1" + "\x01\x01\x03" + "ab" + "\xFC" + "c" + "\x18";
const std::vector<std::size_t> kCountingLines = {1, 5, 10, 11, 12};

// A window whose language compiles any text to [code] with a statement at each position of
// [lines] (on lines 1, 2, ...) and the names one (cell 256) and two (257).
struct DebugBench : testing_support::EditorBench {
    DebugBench(std::string code, std::vector<std::size_t> lines, const QString& adapter = kAdapter) : EditorBench(language(code, lines)) {
        window.setRunner(adapter, nullptr);
        window.show();
        panel()->setLaunchArguments({{"headless", true}});
        window.setProgramText("one\r\ntwo\r\nthree\r\nfour\r\nfive");
    }
    static editor::Program language(const std::string& code, const std::vector<std::size_t>& lines) {
        editor::Program program = editor::quillonProgram();
        program.compile = [code, lines](std::string_view, const moxy::DiagnosticFunction&, const moxy::ProgressFunction&) {
            moxy::CompileResult result{code, {}, {{"one", 256}, {"two", 257}}};
            for (std::size_t i = 0; i < lines.size(); ++i)
                result.map.push_back({lines[i], static_cast<int>(i) + 1, 1});
            return result;
        };
        return program;
    }
    editor::CodeEdit* text() { return window.findChild<editor::CodeEdit*>(QStringLiteral("t1")); }
    editor::DebugPanel* panel() { return window.findChild<editor::DebugPanel*>(); }
    bool enabled(const char* action) { return window.findChild<QAction*>(QLatin1String(action))->isEnabled(); }
    void clickMargin(int line) {
        const QTextBlock block = text()->document()->findBlockByNumber(line - 1);
        QTest::mouseClick(text()->margin(), Qt::LeftButton, {}, QPoint(4, text()->cursorRect(QTextCursor(block)).center().y()));
    }
    void start() {
        choose("startDebugging", {QStringLiteral("prog")});
        waitForRest();
    }
    // Until the program stands still with its variables shown, or the session is over.
    bool waitForRest() {
        return QTest::qWaitFor([this] { return panel()->state() == State::Idle || (panel()->state() == State::Stopped && variable("Registers", "Pointer")); }, kWaitMs);
    }
    void waitForEnd() { EXPECT_TRUE(QTest::qWaitFor([this] { return panel()->state() == State::Idle; }, kWaitMs)); }
    QTreeWidgetItem* variable(const QString& scope, const QString& name) {
        const auto scopes = window.findChild<QTreeWidget*>(QStringLiteral("variables"))->findItems(scope, Qt::MatchExactly);
        for (int i = 0; !scopes.isEmpty() && i < scopes[0]->childCount(); ++i)
            if (scopes[0]->child(i)->text(0) == name)
                return scopes[0]->child(i);
        return nullptr;
    }
    QString value(const QString& scope, const QString& name) {
        QTreeWidgetItem* item = variable(scope, name);
        return item ? item->text(1) : QStringLiteral("<none>");
    }
};

TEST(DebugPanel, StopsAtAMarginBreakpointStepsShowsAndChangesCells) {
    DebugBench bench(kCounting, kCountingLines);
    bench.clickMargin(2);
    ASSERT_EQ(bench.text()->breakpoints(), QList<int>{2});
    const int width = bench.window.width();
    bench.start();
    ASSERT_EQ(bench.panel()->state(), State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_TRUE(bench.panel()->isVisible());
    EXPECT_GT(bench.window.width(), width);
    EXPECT_EQ(bench.text()->currentLine(), 2);
    EXPECT_EQ(bench.text()->extraSelections().size(), 1);
    EXPECT_EQ(bench.panel()->stateText(), "Stopped on line 2 (breakpoint)");
    EXPECT_EQ(bench.window.status(), bench.panel()->stateText());
    EXPECT_EQ(bench.value("Names", "one"), "\"1\"");
    EXPECT_EQ(bench.variable("Names", "one")->text(2), "V(256)");
    EXPECT_EQ(bench.value("Registers", "Pointer"), "256");
    EXPECT_EQ(bench.variable("Registers", "Pointer")->text(2), "");

    bench.choose("stepOver");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), 3);
    EXPECT_EQ(bench.value("Names", "two"), "\"ab\"");
    QTreeWidgetItem* cell = bench.variable("Names", "one");
    ASSERT_TRUE(cell->flags() & Qt::ItemIsEditable);
    cell->setText(1, "\"99\"");
    bench.choose("stepInstruction");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.text()->currentLine(), 4);
    EXPECT_EQ(bench.value("Names", "one"), "\"99\"");

    bench.clickMargin(5);
    bench.choose("continue");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_EQ(bench.panel()->stateText(), "Stopped on line 5 (breakpoint)");
    bench.choose("continue");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 0.");
    EXPECT_EQ(bench.text()->currentLine(), 0);
    EXPECT_TRUE(bench.text()->extraSelections().isEmpty());
    EXPECT_TRUE(bench.enabled("startDebugging"));
    EXPECT_FALSE(bench.enabled("continue"));
}

TEST(DebugPanel, StepsFrameByFrameAndPausesALoopThatNeverEnds) {
    DebugBench bench("x\xFCy\xFE", {1, 2, 3, 4});  // a game loop one frame long
    bench.text()->toggleBreakpoint(1);
    bench.start();
    ASSERT_EQ(bench.text()->currentLine(), 1);
    for (const char* stateText : {"Stopped on line 3 (step)", "Stopped on line 1 (breakpoint)", "Stopped on line 3 (step)"}) {
        SCOPED_TRACE(stateText);
        bench.choose("stepFrame");
        ASSERT_TRUE(bench.waitForRest());
        EXPECT_EQ(bench.panel()->stateText(), stateText);
    }
    bench.text()->setTextCursor(QTextCursor(bench.text()->document()->firstBlock()));
    bench.choose("toggleBreakpoint");
    EXPECT_TRUE(bench.text()->breakpoints().isEmpty());
    bench.choose("continue");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.enabled("pause"); }, kWaitMs));
    bench.choose("pause");
    ASSERT_TRUE(bench.waitForRest());
    EXPECT_THAT(bench.panel()->stateText().toStdString(), HasSubstr("(pause)"));
    bench.choose("stopDebugging");
    bench.waitForEnd();
    EXPECT_EQ(bench.panel()->stateText(), "Debugging stopped.");
}

TEST(DebugPanel, ARunTimeErrorStopsOnItsLineAndTheWindowStaysAfterTheEnd) {
    DebugBench bench(std::string("\x01\x01\x02") + "1\x07\x18", {1, 5, 6});
    bench.panel()->setLaunchArguments({});  // as for a person: with the runner's window
    bench.start();
    ASSERT_EQ(bench.panel()->state(), State::Stopped) << bench.panel()->stateText().toStdString();
    EXPECT_EQ(bench.text()->currentLine(), 2);
    EXPECT_EQ(bench.panel()->stateText(), "Run-time error on line 2: type mismatch: \"x\" is not a number");
    const QPlainTextEdit* output = bench.window.findChild<QPlainTextEdit*>(QStringLiteral("debugOutput"));
    EXPECT_THAT(output->toPlainText().toStdString(), HasSubstr("type mismatch"));
    QTreeWidgetItem* pointer = bench.variable("Registers", "Pointer");
    EXPECT_FALSE(pointer->flags() & Qt::ItemIsEditable);
    pointer->setText(1, "7");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.panel()->stateText().startsWith("Not changed"); }, kWaitMs));
    EXPECT_EQ(bench.panel()->stateText(), "Not changed: registers cannot be changed");
    EXPECT_EQ(pointer->text(1), "256");

    bench.choose("continue");  // once more from the start, and the error again
    ASSERT_TRUE(bench.waitForRest());
    bench.choose("continue");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench.panel()->state() == State::Finished; }, kWaitMs));
    EXPECT_EQ(bench.panel()->stateText(), "The program ended with exit code 2. Its window stays open until Stop.");
    EXPECT_TRUE(bench.enabled("stopDebugging"));
    bench.start();  // the old session goes, a new one starts
    ASSERT_EQ(bench.panel()->state(), State::Stopped) << bench.panel()->stateText().toStdString();
}

TEST(DebugPanel, AnAdapterThatIsMissingEndsEarlyOrHangsLeavesTheEditorReady) {
    const struct { QString adapter; bool stop; const char* stateText; } cases[] = {  // stop: the user stops the session
        {"/nonexistent/moxy", false, "Unable to start the debug adapter /nonexistent/moxy."},
        {"/bin/true", false, "The debug adapter ended before the program ran."},
        {kAdapter + "-silent", true, "Debugging stopped."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.stateText);
        DebugBench bench(kCounting, kCountingLines, test.adapter);
        bench.choose("startDebugging", {QStringLiteral("prog")});
        if (test.stop) {
            EXPECT_EQ(bench.panel()->state(), State::Starting);
            bench.choose("stopDebugging");
        }
        bench.waitForEnd();
        EXPECT_EQ(bench.panel()->stateText(), QString::fromLatin1(test.stateText));
        EXPECT_TRUE(bench.enabled("startDebugging"));
    }
}

TEST(DebugPanel, TheKeysAreListedAndNothingStartsWithoutAFileOrARunner) {
    DebugBench cancelled(kCounting, kCountingLines);
    cancelled.choose("keys");
    EXPECT_TRUE(cancelled.script->messages.at(0).contains("Ctrl+F5\tStart debugging"));
    cancelled.choose("startDebugging", {std::nullopt});  // the MOXY file's name is cancelled
    EXPECT_EQ(cancelled.panel()->stateText(), "Not debugging");
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    DebugBench bench(kCounting, kCountingLines, QString());
    bench.choose("startDebugging", {QStringLiteral("prog")});
    qputenv("PATH", path);
    EXPECT_EQ(bench.panel()->state(), State::Idle);
    EXPECT_THAT(bench.script->messages, testing::ElementsAre(editor::kNoRunner));
}

TEST(DebugClient, ABrokenFrameIsReportedAndRepliesOwedOrAskedAfterTheEndFail) {
    editor::DebugClient client;
    QStringList said;
    QObject::connect(&client, &editor::DebugClient::failed, [&said](const QString& text) { said << text; });
    const auto keep = [&said](bool, const QJsonObject&, const QString& message) { said << message; };
    client.start("/bin/sh", {"-c", "printf 'Content-Length: x\\r\\n\\r\\n'; cat >/dev/null"}, QDir::tempPath());
    client.request("threads", {}, keep);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, kWaitMs));
    EXPECT_EQ(said[0], "The debug adapter sent a broken message: Content-Length is not a number");
    client.kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return said.size() == 2; }, kWaitMs));  // the owed reply
    client.request("threads", {}, keep);
    EXPECT_EQ(said, QStringList({said[0], "The debug adapter ended.", "The debug adapter ended."}));
    editor::DebugClient running;  // ends its adapter as it goes
    running.start(kAdapter, {}, QDir::tempPath());
}

}  // namespace
