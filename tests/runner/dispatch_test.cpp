// The plain loop fuses a reference with the opcode behind it; the traced loop takes single
// steps. Cut by slices and a step limit anywhere (also inside a pair), both stop in the same state.
#include "runner/session.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gtest/gtest.h>

using moxy::Op;
using testing_support::set;
using testing_support::slot;

TEST(Dispatch, AStepLimitAnywhereStopsWhereSingleStepsStop) {
    // Pairs, a counted loop, a jump to a pair cut by the first page's end, a cut-off reference.
    moxy::Writer writer;
    for (auto [k, text] : {std::pair{0, "0"}, {1, "3"}, {2, "1"}, {3, "5"}, {5, "2"}})
        set(writer, k, text);
    slot(writer, 3).op(Op::SetRes);
    slot(writer, 3).op(Op::Decrement);
    writer.label(1);
    slot(writer, 0).op(Op::Increment);
    slot(writer, 0).op(Op::SetPar1);
    slot(writer, 1).op(Op::SetPar2);
    slot(writer, 4).op(Op::Add).op(Op::IfLess);
    slot(writer, 2).op(Op::Jump).op(Op::EndIf);
    slot(writer, 5).op(Op::Jump);
    writer.raw(std::string(4092 - 1 - writer.code().size(), '\0'));
    writer.label(2);
    slot(writer, 3).op(Op::Increment);  // the reference at 4094 to 4096, the opcode at 4097
    writer.raw("\x01\x82");
    const auto run = [&writer](bool traced, std::uint64_t maxSteps) {
        testing_support::FakeHost host;
        runner::InterpreterOptions options;
        options.maxSteps = maxSteps;
        runner::Interpreter interpreter(writer.code(), host, options);
        if (traced)
            interpreter.setTrace([](const runner::TraceStep&) {});
        interpreter.begin();
        runner::SliceEnd end = runner::SliceEnd::Budget;
        for (int slice = 0; slice < 10000 && end == runner::SliceEnd::Budget; ++slice) {
            end = interpreter.resume(traced ? 2 : maxSteps % 4 == 0 ? runner::kWholeRun : maxSteps % 4);
            if (!traced)
                runner::stateDump(interpreter, {});  // reading a kept number writes its text
        }
        const std::size_t at = end == runner::SliceEnd::StepLimit ? interpreter.position() : 0;  // past the end: none
        return std::to_string(static_cast<int>(end)) + " at " + std::to_string(at) + " after " +
               std::to_string(interpreter.steps()) + "\n" + runner::stateDump(interpreter, {});
    };
    const std::string whole = run(true, 0);
    const std::uint64_t total = std::stoull(whole.substr(whole.find("after ") + 6));
    for (std::uint64_t limit = 1; limit <= total + 1; ++limit) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(run(false, limit), run(true, limit));
    }
}
