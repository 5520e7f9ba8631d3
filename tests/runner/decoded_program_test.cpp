// The program decoded once, a page of positions at a time: conditions that skip across
// pages, and programs too big for the table to hold at once.
#include "moxy/format.h"
#include "runner/interpreter.h"
#include "runner/session.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gtest/gtest.h>

using moxy::Op;
using testing_support::FakeHost;
using testing_support::set;
using testing_support::slot;

namespace {

constexpr std::size_t kPage = 4096;

// Code 0 does nothing: [count] of them move the following code on by [count] positions.
void padTo(moxy::Writer& writer, std::size_t position) {
    if (writer.code().size() + 1 < position)
        writer.raw(std::string(position - 1 - writer.code().size(), '\0'));
}

struct DecodedRun {
    FakeHost host;
    runner::Interpreter interpreter;
    runner::RunResult result;
    explicit DecodedRun(std::string code) : interpreter(std::move(code), host) { result = runner::runWithRestart(interpreter); }
    const std::string& at(int k) const { return interpreter.cell(33150 + k); }
};

}  // namespace

TEST(DecodedProgram, FailedConditionsSkipAcrossPages) {
    // A failing "if 1 > 2" at [condition]; its code 18 (if any) at [end].
    struct Case {
        std::size_t condition;
        std::size_t end;  // 0: none
    };
    const Case cases[] = {
        {kPage - 1, kPage + 1}, {kPage, kPage + 1},         {kPage, 0},
        {kPage + 1, 3 * kPage}, {2 * kPage - 1, 2 * kPage}, {2 * kPage, 5 * kPage + 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "condition at " << c.condition << ", end at " << c.end);
        moxy::Writer writer;
        set(writer, 0, "1");
        set(writer, 1, "2");
        slot(writer, 0).op(Op::SetPar1);
        slot(writer, 1).op(Op::SetPar2);
        slot(writer, 2);
        padTo(writer, c.condition);
        writer.op(Op::IfGreater).text("x");
        if (c.end != 0) {
            padTo(writer, c.end);
            writer.op(Op::EndIf);
        }
        writer.text("y");
        DecodedRun run(writer.code());
        EXPECT_EQ(run.at(2), c.end != 0 ? "y" : "xy");
    }
}

TEST(DecodedProgram, ABigProgramDecodesItsPagesAgainAndRunsTheSame) {
    // A loop whose body is longer than the pages the table keeps at once: every pass
    // decodes the program anew. The filler's steps are counted one by one.
    const auto loop = [](std::size_t filler) {
        moxy::Writer writer;
        set(writer, 0, "0");
        set(writer, 1, "3");
        set(writer, 2, "1");
        writer.label(1);
        slot(writer, 0).op(Op::Increment);
        writer.raw(std::string(filler, '\0'));
        slot(writer, 0).op(Op::SetPar1);
        slot(writer, 1).op(Op::SetPar2);
        writer.op(Op::IfLess);
        slot(writer, 2).op(Op::Jump);
        writer.op(Op::EndIf);
        return writer.code();
    };
    const std::size_t big = 9u << 20;  // beyond the table's 8 Mi positions
    DecodedRun small(loop(10));
    DecodedRun large(loop(big));
    ASSERT_EQ(small.at(0), "3");
    EXPECT_EQ(large.at(0), "3");
    EXPECT_EQ(large.interpreter.steps() - small.interpreter.steps(), 3 * (big - 10));
    EXPECT_EQ(runner::statusText(large.result), runner::statusText(small.result));
}
