// The runner's debuggee on real programs (compiled by the Quillon compiler): dialogs
// without a window become output, in the runner window (offscreen) they wait without
// blocking; a closed window ends the program; and the names a compile puts in the map.
#include "debugger/program_map.h"
#include "moxy/format.h"
#include "quillon/compiler.h"
#include "quillon/name_table.h"
#include "runner/debug_target.h"
#include "runner/headless_host.h"
#include "runner/window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

using Kind = debugger::StepResult::Kind;

std::string compiled(const std::string& source) {
    return quillon::compile(source, [](const moxy::Diagnostic&) {}, {}).code;
}

// Steps until the program ends, errs or waits; the last result.
debugger::StepResult runOn(debugger::Debuggee& target, int limit = 100000) {
    debugger::StepResult result;
    for (int i = 0; i < limit; ++i) {
        result = target.step();
        if (result.kind != Kind::Continued && result.kind != Kind::Yielded)
            return result;
    }
    return result;
}

const char* const kAsk = "dim[a]\ndim[q]\nset[q]{Name?}\ninputbox[a][q]\nmsgbox[a]\n";

TEST(DebugTarget, WithoutAWindowDialogsAreOutputAndInputsAreTheLaunchsAnswers) {
    std::string output;
    runner::DebugTarget::Surroundings surroundings;
    surroundings.host = std::make_unique<runner::HeadlessHost>(runner::HeadlessHost::Settings{});
    surroundings.dialogs = runner::scriptedDialogs([&](const std::string& text) { output += text; }, {"Ada"});
    runner::DebugTarget target(compiled(kAsk), std::move(surroundings), {});
    EXPECT_EQ(runOn(target).kind, Kind::RanPastEnd);
    EXPECT_EQ(output, "input box: Name?\nanswered: Ada\nAda\n");
    // A second run has no answer left: Cancel.
    target.restart();
    output.clear();
    EXPECT_EQ(runOn(target).kind, Kind::RanPastEnd);
    EXPECT_EQ(output, "input box: Name?\ncancelled (no answer left in the launch's inputs)\n\n");
}

TEST(DebugTarget, ARunTimeErrorReportsTheFailedStepsPositionUntilTheRestart) {
    runner::DebugTarget::Surroundings surroundings;
    surroundings.host = std::make_unique<runner::HeadlessHost>(runner::HeadlessHost::Settings{});
    surroundings.dialogs = runner::scriptedDialogs([](const std::string&) {}, {});
    runner::DebugTarget target(compiled("dim[a]\nset[a]{abc}\ninc[a]\n"), std::move(surroundings), {});
    const debugger::StepResult result = runOn(target);
    ASSERT_EQ(result.kind, Kind::Error);
    EXPECT_EQ(result.errorKind, "type-mismatch");
    EXPECT_EQ(result.errorText.rfind("type mismatch: ", 0), 0u) << result.errorText;
    EXPECT_EQ(static_cast<unsigned char>(target.interpreter().program()[target.position() - 1]), 25);  // Increment
    EXPECT_EQ(target.cellText(33150), "abc");
    EXPECT_TRUE(target.setCellText(33150, "41"));
    EXPECT_FALSE(target.setCellText(60000, "1"));  // above VarTop
    target.restart();
    EXPECT_EQ(target.position(), 1u);
    EXPECT_EQ(runOn(target).kind, Kind::Error);  // the program sets "abc" again
}

class WindowTarget : public ::testing::Test {
protected:
    void SetUp() override {
        auto window = std::make_unique<runner::RunnerWindow>(runner::HostOptions{});
        m_window = window.get();
        m_window->show();
        runner::DebugTarget::Surroundings surroundings;
        surroundings.dialogs = runner::windowDialogs(*m_window);
        surroundings.closed = [this] { return m_window->isClosed(); };
        surroundings.yield = [this] { m_window->takeKeys(); };
        surroundings.host = std::move(window);
        m_target = std::make_unique<runner::DebugTarget>(compiled(kAsk), std::move(surroundings),
                                                         runner::InterpreterOptions{});
    }
    template <typename Dialog>
    Dialog* openDialog() {
        for (Dialog* dialog : m_window->findChildren<Dialog*>())
            if (dialog->isVisible())
                return dialog;
        return nullptr;
    }

    runner::RunnerWindow* m_window = nullptr;
    std::unique_ptr<runner::DebugTarget> m_target;
};

TEST_F(WindowTarget, AStepWaitsForTheRealDialogWithoutBlocking) {
    ASSERT_EQ(runOn(*m_target).kind, Kind::Waiting);
    // The frame stands at the input box's opcode (23) while it waits.
    EXPECT_EQ(static_cast<unsigned char>(m_target->interpreter().program()[m_target->position() - 1]), 23);
    auto* input = openDialog<QInputDialog>();
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->labelText(), "Name?");
    EXPECT_EQ(input->windowTitle(), "MOXY");
    // Still waiting while nobody answers; the event loop goes on meanwhile.
    QApplication::processEvents();
    EXPECT_EQ(m_target->step().kind, Kind::Waiting);
    input->setTextValue("Grace");
    input->accept();
    QApplication::processEvents();
    EXPECT_EQ(m_target->step().kind, Kind::Continued);
    EXPECT_EQ(m_target->cellText(33150), "Grace");

    ASSERT_EQ(runOn(*m_target).kind, Kind::Waiting);
    auto* message = openDialog<QMessageBox>();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "Grace");
    message->accept();
    QApplication::processEvents();
    EXPECT_EQ(runOn(*m_target).kind, Kind::RanPastEnd);
}

TEST_F(WindowTarget, ClosingTheWindowEndsTheProgramAlsoWhileADialogWaits) {
    ASSERT_EQ(runOn(*m_target).kind, Kind::Waiting);
    m_window->close();
    QApplication::processEvents();
    EXPECT_EQ(m_target->step().kind, Kind::Ended);
}

TEST(MapNames, QuillonNamesGoToTheMapWithTheirCellsAndReadBack) {
    const moxy::CompileResult result =
        quillon::compile("dim[score]\nfreespace{3}\ndim[two words]\ndim[back\\slash]\nset[score]{1}\n", [](const moxy::Diagnostic&) {}, {});
    const int first = moxy::cellNumber(quillon::NameTable::kFirstIndex, quillon::NameTable::kFirstIndex);
    ASSERT_EQ(result.names.size(), 3u);
    const struct {
        std::string name;
        int cell;
    } expected[] = {{"score", first}, {"two words", first + 3}, {"back\\slash", first + 4}};
    const std::string text = moxy::sourceMapNamesText(result.names);
    EXPECT_EQ(text, "name score " + std::to_string(first) + "\nname two words " + std::to_string(first + 3) +
                        "\nname back\\\\slash " + std::to_string(first + 4) + "\n");
    const debugger::ProgramMap map(moxy::sourceMapText(result.map) + text);
    EXPECT_TRUE(map.hasStatements());
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(result.names[i].name, expected[i].name);
        EXPECT_EQ(result.names[i].cell, expected[i].cell);
        EXPECT_EQ(map.cellOf(expected[i].name), expected[i].cell);
    }
    // The statement lines read as before: the name lines are passed over.
    EXPECT_EQ(moxy::parseSourceMap(moxy::sourceMapText(result.map) + text).size(), result.map.size());
}

}  // namespace
