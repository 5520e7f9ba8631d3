// The interpreter in slices: where a slice ends, how dialogs are answered, and that a run
// cut into slices of any size ends in the same state as one uninterrupted run.
#include "runner/session.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using moxy::Op;
using moxy::SubCode;
using runner::SliceEnd;
using testing_support::set;
using testing_support::slot;

namespace {

struct SlicedRun {
    testing_support::FakeHost host;
    runner::Interpreter interpreter;
    runner::Session session{interpreter};
    explicit SlicedRun(std::string program, runner::InterpreterOptions options = {})
        : interpreter(std::move(program), host, options) {}
    const std::string& at(int k) const { return interpreter.cell(33150 + k); }
};

// The dump and every host call of [program] run in slices of [steps] (0: in one run).
std::string dumpOf(const std::string& program, std::uint64_t steps) {
    testing_support::FakeHost host;
    host.realFiles = false;
    host.closeAtYield = 500;
    host.answers = {"7", "abc", "", "12"};
    runner::InterpreterOptions options;
    options.seed = 3;
    options.maxSteps = 300000;
    runner::Interpreter interpreter(program, host, options);
    runner::RunResult result;
    if (steps == 0) {
        result = runner::runWithRestart(interpreter);
    } else {
        runner::Session session(interpreter);
        result = runner::runToEnd(session, host, steps);  // slices of [steps], as a window cuts them
    }
    std::string calls;
    for (const std::string& call : host.calls)
        calls += call + "\n";
    for (const std::string& message : host.messages)
        calls += "message " + message + "\n";
    return runner::stateDump(interpreter, result) + calls + "yields " + std::to_string(host.yields) + "\n";
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

}  // namespace

TEST(Slices, EndAtYieldsDialogsBudgetAndTheEnd) {
    moxy::Writer w;
    set(w, 0, "x").op(Op::Yield);                                    // steps 1-4, yield at 5
    set(w, 1, "Name?").op(Op::SetPar1);                              // 6 ... 12
    slot(w, 2).op(Op::InputBox);                                     // input box
    set(w, 3, "hi").op(Op::System).raw(std::string(1, static_cast<char>(SubCode::MessageBox)));
    w.op(Op::End);
    SlicedRun run(w.code());

    EXPECT_EQ(run.session.resume(), SliceEnd::Yielded);
    EXPECT_EQ(run.interpreter.steps(), 4u);
    EXPECT_EQ(run.at(0), "x");
    EXPECT_EQ(run.session.resume(3), SliceEnd::Budget);
    EXPECT_EQ(run.interpreter.steps(), 7u);
    EXPECT_EQ(run.session.resume(), SliceEnd::InputBox);
    EXPECT_EQ(run.session.request(), "Name?");
    EXPECT_EQ(run.at(2), "") << "the answer is the opcode's effect, not yet written";
    run.session.answer("Ada");
    EXPECT_EQ(run.at(2), "Ada");
    EXPECT_EQ(run.session.resume(), SliceEnd::MessageBox);
    EXPECT_EQ(run.session.request(), "hi");
    EXPECT_EQ(run.session.resume(), SliceEnd::Ended);
    EXPECT_TRUE(run.session.finished());
    EXPECT_EQ(run.session.resume(), SliceEnd::Ended) << "a finished run keeps its end";
    EXPECT_EQ(runner::statusText(run.session.result()), "ended");
}

TEST(Slices, StopEndsTheRunBetweenTwoOpcodes) {
    moxy::Writer w;
    set(w, 0, "1").op(Op::Yield);
    w.label(1).cell(130, 130).op(Op::Increment).op(Op::Jump);  // counts for ever
    SlicedRun run(w.code());
    EXPECT_EQ(run.session.resume(), SliceEnd::Yielded);
    EXPECT_EQ(run.session.resume(1000), SliceEnd::Budget);
    run.session.stop();
    EXPECT_EQ(run.session.resume(), SliceEnd::Ended);
    EXPECT_EQ(runner::statusText(run.session.result()), "ended");
}

TEST(Slices, ATimeBudgetEndsInABudgetOrEarlier) {
    moxy::Writer w;
    w.label(1).cell(130, 130).op(Op::Clear).raw("1").op(Op::Jump);  // for ever
    SlicedRun run(w.code());
    EXPECT_EQ(run.session.resumeFor(std::chrono::nanoseconds(0), 100), SliceEnd::Budget);
    EXPECT_EQ(run.interpreter.steps(), 100u) << "one slice, then the clock is read";
    EXPECT_EQ(run.session.resumeFor(std::chrono::milliseconds(5)), SliceEnd::Budget);
    moxy::Writer yields;
    yields.op(Op::Yield);
    SlicedRun yielding(yields.code());
    EXPECT_EQ(yielding.session.resumeFor(std::chrono::seconds(100)), SliceEnd::Yielded);
}

TEST(Slices, AFirstErrorRestartsASecondEndsTheRun) {
    moxy::Writer w;
    set(w, 0, "abc").op(Op::SetPar1).op(Op::Add);  // "abc" is not a number
    std::vector<std::string> firstErrors;
    testing_support::FakeHost host;
    runner::Interpreter interpreter(w.code(), host);
    runner::Session session(interpreter, [&](const runner::RunError& error) { firstErrors.push_back(runner::report(error)); });
    EXPECT_EQ(session.resume(), SliceEnd::Budget) << "the restart ends the slice";
    EXPECT_EQ(firstErrors.size(), 1u);
    EXPECT_EQ(session.resume(), SliceEnd::Failed);
    EXPECT_EQ(runner::statusText(session.result()), "error type-mismatch");
}

TEST(Slices, TheStepLimitIsFinalABudgetIsNot) {
    moxy::Writer w;
    w.label(1).cell(130, 130).op(Op::Clear).raw("1").op(Op::Jump);
    runner::InterpreterOptions options;
    options.maxSteps = 10;
    SlicedRun run(w.code(), options);
    EXPECT_EQ(run.session.resume(4), SliceEnd::Budget);
    EXPECT_EQ(run.session.resume(4), SliceEnd::Budget);
    EXPECT_EQ(run.session.resume(4), SliceEnd::StepLimit);
    EXPECT_EQ(run.interpreter.steps(), 10u);
}

TEST(Slices, AnyCutGivesTheDumpOfOneRun) {
    std::vector<std::filesystem::path> programs;
    for (const char* folder : {MOXY_EXAMPLES_DIR, MOXY_CORPUS_DIR})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file() && (entry.path().extension() == ".moxy" || std::string(folder) == MOXY_CORPUS_DIR))
                programs.push_back(entry.path());
    ASSERT_GT(programs.size(), 5u);
    for (const auto& path : programs) {
        SCOPED_TRACE(path.string());
        const std::string program = fileBytes(path);
        const std::string whole = dumpOf(program, 0);
        for (std::uint64_t steps : {1u, 7u, 4096u})
            EXPECT_EQ(dumpOf(program, steps), whole) << "in slices of " << steps;
    }
}
