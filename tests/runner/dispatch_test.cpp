// The plain loop takes a reference and the opcode behind it in one dispatch; the traced loop
// takes one step at a time. Cut anywhere (a step limit, slices of any length, the middle of
// a pair), both stop at the same position with the same steps, registers and cells.
#include "runner/interpreter.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gtest/gtest.h>

using moxy::Op;
using runner::SliceEnd;
using testing_support::set;
using testing_support::slot;

namespace {

// Pairs of every kind, a counted loop, a jump to a pair cut by the end of the first page and
// a reference with a missing digit at the program's end.
std::string program() {
    moxy::Writer writer;
    set(writer, 0, "0");
    set(writer, 1, "3");
    set(writer, 2, "1");
    set(writer, 3, "5");
    set(writer, 5, "2");
    slot(writer, 3).op(Op::SetRes);
    slot(writer, 3).op(Op::Decrement);
    writer.label(1);
    slot(writer, 0).op(Op::Increment);
    slot(writer, 0).op(Op::SetPar1);
    slot(writer, 1).op(Op::SetPar2);
    slot(writer, 4).op(Op::Add);
    writer.op(Op::IfLess);
    slot(writer, 2).op(Op::Jump);
    writer.op(Op::EndIf);
    slot(writer, 5).op(Op::Jump);
    writer.raw(std::string(4092 - 1 - writer.code().size(), '\0'));
    writer.label(2);
    slot(writer, 3).op(Op::Increment);  // the reference at 4094 to 4096, the opcode at 4097
    writer.raw("\x01\x82");
    return writer.take();
}

struct State {
    SliceEnd end;
    std::size_t position;
    std::uint64_t steps;
    int pointer, par1, par2, res, varTop;
    std::string cells;
    bool operator==(const State&) const = default;
};

struct Loop {
    testing_support::FakeHost host;
    runner::Interpreter interpreter;
    Loop(bool traced, std::uint64_t maxSteps) : interpreter(program(), host, options(maxSteps)) {
        if (traced)
            interpreter.setTrace([](const runner::TraceStep&) {});
        interpreter.begin();
    }
    static runner::InterpreterOptions options(std::uint64_t maxSteps) {
        runner::InterpreterOptions options;
        options.maxSteps = maxSteps;
        return options;
    }
    State resume(std::uint64_t steps) {
        const SliceEnd end = interpreter.resume(steps);
        std::string cells;
        for (int k = 0; k <= 4; ++k)
            cells += interpreter.cell(33150 + k) + ",";
        return State{end,
                     interpreter.position(),
                     interpreter.steps(),
                     interpreter.pointer(),
                     interpreter.par1(),
                     interpreter.par2(),
                     interpreter.res(),
                     interpreter.varTop(),
                     cells};
    }
};

}  // namespace

TEST(Dispatch, AStepLimitAnywhereStopsWhereSingleStepsStop) {
    const std::uint64_t total = Loop(false, 0).resume(runner::kWholeRun).steps;
    for (std::uint64_t limit = 1; limit <= total + 1; ++limit) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(Loop(false, limit).resume(runner::kWholeRun), Loop(true, limit).resume(runner::kWholeRun));
    }
}

TEST(Dispatch, SlicesOfAnyLengthStopWhereSingleStepsStop) {
    for (const std::uint64_t slice : {1, 2, 3, 5}) {
        SCOPED_TRACE(slice);
        Loop plain(false, 0);
        Loop traced(true, 0);
        for (int k = 0; k < 1000; ++k) {
            const State state = plain.resume(slice);
            ASSERT_EQ(state, traced.resume(slice));
            if (state.end != SliceEnd::Budget)
                break;
        }
    }
}

TEST(Dispatch, ASliceOfOneStepEndsBetweenAReferenceAndItsOpcode) {
    Loop run(false, 0);
    const State afterReference = run.resume(1);  // slot 0 of "slot 0 := 0"
    EXPECT_EQ(afterReference.end, SliceEnd::Budget);
    EXPECT_EQ(afterReference.position, 4u);
    EXPECT_EQ(afterReference.steps, 1u);
    EXPECT_EQ(afterReference.pointer, 33150);
    const State afterClear = run.resume(1);
    EXPECT_EQ(afterClear.position, 5u);
    EXPECT_EQ(afterClear.steps, 2u);
}
