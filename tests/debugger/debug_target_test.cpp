// The runner's debuggee on a program compiled by the Quillon compiler, and the names a compile
// puts in the map.
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

// Cell 33150 is a, 33151 q; the last statement fails on a text that is no number.
const char* const kAsk = "dim[a]\ndim[q]\nset[q]{Name?}\ninputbox[a][q]\nmsgbox[a]\ninc[a]\n";

runner::DebugTarget target(runner::DebugTarget::Surroundings surroundings) {
    return runner::DebugTarget(quillon::compile(kAsk, [](const moxy::Diagnostic&) {}, {}).code, std::move(surroundings), {});
}

debugger::StepResult runOn(debugger::Debuggee& target) {
    debugger::StepResult result;
    for (int i = 0; i < 100000; ++i)
        if ((result = target.step()).kind != Kind::Continued && result.kind != Kind::Yielded)
            break;
    return result;
}

// Each run takes the next answer; after the last one the input box is cancelled.
TEST(DebugTarget, WithoutAWindowDialogsAreOutputAndErrorsStopBeforeTheRestart) {
    std::string output;
    runner::DebugTarget::Surroundings surroundings;
    surroundings.host = std::make_unique<runner::HeadlessHost>(runner::HeadlessHost::Settings{});
    surroundings.dialogs = runner::scriptedDialogs([&](const std::string& text) { output += text; }, {"Ada", "12"});
    runner::DebugTarget debuggee = target(std::move(surroundings));
    const struct { Kind kind; const char* errorKind; const char* output; } runs[] = {  // each after the Increment
        {Kind::Error, "type-mismatch", "input box: Name?\nanswered: Ada\nAda\n"},
        {Kind::RanPastEnd, "", "input box: Name?\nanswered: 12\n12\n"},
        {Kind::Error, "type-mismatch", "input box: Name?\ncancelled (no answer left in the launch's inputs)\n\n"},
    };
    for (const auto& run : runs) {
        const debugger::StepResult result = runOn(debuggee);
        EXPECT_EQ(result.kind, run.kind);
        EXPECT_EQ(result.errorKind, run.errorKind);
        EXPECT_EQ(static_cast<unsigned char>(debuggee.interpreter().program()[debuggee.position() - 1]), 25);
        EXPECT_EQ(output, run.output);
        output.clear();
        debuggee.restart();
        EXPECT_EQ(debuggee.position(), 1u);
    }
    EXPECT_TRUE(debuggee.setCellText(33150, "41"));
    EXPECT_FALSE(debuggee.setCellText(60000, "1"));  // above VarTop
}

TEST(DebugTarget, InTheWindowAStepWaitsForTheRealDialogAndClosingItEndsTheProgram) {
    auto owned = std::make_unique<runner::RunnerWindow>(runner::HostOptions{});
    runner::RunnerWindow* window = owned.get();
    window->show();
    runner::DebugTarget::Surroundings surroundings;
    surroundings.dialogs = runner::windowDialogs(*window);
    surroundings.closed = [window] { return window->isClosed(); };
    surroundings.host = std::move(owned);
    runner::DebugTarget debuggee = target(std::move(surroundings));
    ASSERT_EQ(runOn(debuggee).kind, Kind::Waiting);
    EXPECT_EQ(static_cast<unsigned char>(debuggee.interpreter().program()[debuggee.position() - 1]), 23);
    auto* input = window->findChild<QInputDialog*>();
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->labelText(), "Name?");
    EXPECT_EQ(input->windowTitle(), "MOXY");
    QApplication::processEvents();
    EXPECT_EQ(debuggee.step().kind, Kind::Waiting);  // nobody answered yet
    input->setTextValue("Grace");
    input->accept();
    QApplication::processEvents();
    EXPECT_EQ(debuggee.step().kind, Kind::Continued);
    EXPECT_EQ(debuggee.cellText(33150), "Grace");

    ASSERT_EQ(runOn(debuggee).kind, Kind::Waiting);
    auto* message = window->findChild<QMessageBox*>();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "Grace");
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(debuggee.step().kind, Kind::Ended);
}

TEST(MapNames, QuillonNamesGoToTheMapWithTheirCellsAndReadBack) {
    const moxy::CompileResult result = quillon::compile(
        "dim[score]\nfreespace{3}\ndim[two words]\ndim[back\\slash]\nset[score]{1}\n", [](const moxy::Diagnostic&) {}, {});
    const int first = moxy::cellNumber(quillon::NameTable::kFirstIndex, quillon::NameTable::kFirstIndex);
    const std::string text = moxy::sourceMapNamesText(result.names);
    EXPECT_EQ(text, "name score " + std::to_string(first) + "\nname two words " + std::to_string(first + 3) +
                        "\nname back\\\\slash " + std::to_string(first + 4) + "\n");
    const debugger::ProgramMap map(moxy::sourceMapText(result.map) + text);
    EXPECT_TRUE(map.hasStatements());
    EXPECT_EQ(map.cellOf("back\\slash"), first + 4);
    EXPECT_EQ(moxy::parseSourceMap(moxy::sourceMapText(result.map) + text).size(), result.map.size());
}

}  // namespace
