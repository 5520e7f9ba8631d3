// Where a slice ends, how dialogs are answered, and that any cut gives the state of one run.
#include "support/corpus.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using moxy::Op;
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
    return runner::stateDump(interpreter, result) + calls + "yields " + std::to_string(host.yields) + "\n";
}

void expectAnyCutGivesTheDumpOfOneRun(const std::string& program) {
    const std::string whole = dumpOf(program, 0);
    EXPECT_NE(whole, "");
    for (std::uint64_t steps : {1u, 7u, 4096u})
        EXPECT_EQ(dumpOf(program, steps), whole) << "in slices of " << steps;
}

}  // namespace

TEST(Slices, EndAtYieldsDialogsBudgetsStopAndTheEnd) {
    moxy::Writer w;
    set(w, 0, "x").op(Op::Yield);        // steps 1-4, yield at 5
    set(w, 1, "Name?").op(Op::SetPar1);  // 6 ... 12
    slot(w, 2).op(Op::InputBox);
    set(w, 3, "hi").system(moxy::SubCode::MessageBox).op(Op::End);
    SlicedRun run(w.code());
    EXPECT_EQ(run.session.resume(), SliceEnd::Yielded);
    EXPECT_EQ(run.interpreter.steps(), 4u);
    EXPECT_EQ(run.session.resume(3), SliceEnd::Budget);
    EXPECT_EQ(run.interpreter.steps(), 7u);
    EXPECT_EQ(run.session.resume(), SliceEnd::InputBox);
    EXPECT_EQ(run.session.request(), "Name?");
    EXPECT_EQ(run.interpreter.cell(33152), "") << "the answer is the opcode's effect, not yet written";
    run.session.answer("Ada");
    EXPECT_EQ(run.interpreter.cell(33152), "Ada");
    EXPECT_EQ(run.session.resume(), SliceEnd::MessageBox);
    EXPECT_EQ(run.session.request(), "hi");
    EXPECT_EQ(run.session.resume(), SliceEnd::Ended);
    EXPECT_EQ(run.session.resume(), SliceEnd::Ended) << "a finished run keeps its end";
    EXPECT_TRUE(run.session.finished());

    moxy::Writer forever;
    forever.label(1).cell(130, 130).op(Op::Clear).raw("1").op(Op::Jump);
    SlicedRun stopped(forever.code());
    EXPECT_EQ(stopped.session.resumeFor(std::chrono::nanoseconds(0), 100), SliceEnd::Budget);
    EXPECT_EQ(stopped.interpreter.steps(), 100u) << "one slice, then the clock is read";
    EXPECT_EQ(stopped.session.resumeFor(std::chrono::milliseconds(5)), SliceEnd::Budget);
    stopped.session.stop();
    EXPECT_EQ(stopped.session.resume(), SliceEnd::Ended);
    EXPECT_EQ(runner::statusText(stopped.session.result()), "ended");

    runner::InterpreterOptions options;  // the step limit is final, a budget is not
    options.maxSteps = 10;
    SlicedRun limited(forever.code(), options);
    EXPECT_EQ(limited.session.resume(4), SliceEnd::Budget);
    EXPECT_EQ(limited.session.resume(4), SliceEnd::Budget);
    EXPECT_EQ(limited.session.resume(4), SliceEnd::StepLimit);
    EXPECT_EQ(limited.interpreter.steps(), 10u);

    runner::InterpreterOptions small;  // an answer too long for its cell is the box's error
    small.maxCellText = 3;
    moxy::Writer ask;
    slot(ask, 2).op(Op::InputBox);
    SlicedRun asked(ask.code(), small);
    EXPECT_EQ(asked.session.resume(), SliceEnd::InputBox);
    asked.session.answer("abcd");
    EXPECT_EQ(asked.session.resume(), SliceEnd::InputBox) << "a first error starts the run again";
    asked.session.answer("abcd");
    EXPECT_EQ(asked.session.resume(), SliceEnd::Failed);
    EXPECT_EQ(runner::statusText(asked.session.result()), "error text-too-long");
}

TEST(Slices, AFirstErrorRestartsWithTheCellsASecondEndsTheRun) {
    moxy::Writer w;  // appends "a" to slot 0, then fails in both runs
    slot(w, 0).text("a");
    set(w, 1, "abc").op(Op::Increment);
    int firstErrors = 0;
    testing_support::FakeHost host;
    runner::Interpreter interpreter(w.code(), host);
    runner::Session session(interpreter, [&](const runner::RunError&) { ++firstErrors; });
    EXPECT_EQ(session.resume(), SliceEnd::Budget) << "the restart ends the slice";
    EXPECT_EQ(firstErrors, 1);
    EXPECT_EQ(session.resume(), SliceEnd::Failed);
    EXPECT_EQ(runner::statusText(session.result()) + " " + interpreter.cell(33150), "error type-mismatch aa");
    EXPECT_THAT(runner::report(*session.result().error),
                testing::HasSubstr("type-mismatch): the text \"abc\" is not a number [position 12, opcode 25 Increment]"));
}

TEST(Slices, AnyCutGivesTheDumpOfOneRun) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MOXY_EXAMPLES_DIR))
        if (entry.path().extension() == ".moxy") {
            SCOPED_TRACE(entry.path().string());
            std::ostringstream bytes;
            bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            expectAnyCutGivesTheDumpOfOneRun(bytes.str());
            ++examples;
        }
    EXPECT_GT(examples, 3);
    testing_support::forEachCorpusFile(MOXY_CORPUS_DIR, expectAnyCutGivesTheDumpOfOneRun);
}
