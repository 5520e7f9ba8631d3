#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/interpreter.h"
#include "runner/session.h"
#include "support/fake_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

using moxy::Op;
using testing_support::set;
using testing_support::slot;
using runner::InterpreterOptions;
using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::FakeHost;

namespace {

// Cells the way the Quillon compiler numbers them: slot k is cell 33150 + k.

// Runs a program at once (seed 7), after [setup] has adjusted the host and the options.
struct Program {
    FakeHost host;
    std::unique_ptr<runner::Interpreter> interpreter;
    runner::RunResult result;

    explicit Program(std::string code, const std::function<void(FakeHost&, InterpreterOptions&)>& setup = {}) {
        InterpreterOptions options;
        options.seed = 7;
        if (setup)
            setup(host, options);
        interpreter = std::make_unique<runner::Interpreter>(std::move(code), host, options);
        result = runner::runWithRestart(*interpreter);
    }
    explicit Program(const moxy::Writer& writer, const std::function<void(FakeHost&, InterpreterOptions&)>& setup = {})
        : Program(writer.code(), setup) {}
    const std::string& cell(int number) const { return interpreter->cell(number); }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
    std::string status() const { return runner::statusText(result); }
};

}  // namespace

// --- encoding and references ---------------------------------------------------------

TEST(References, EmptyProgramAndQuillonHeaderLeaveNoTrace) {
    for (std::string program : {std::string(), std::string(moxy::kQuillonHeader)}) {
        SCOPED_TRACE(program.size());
        Program run(program);
        EXPECT_EQ(run.status(), "ok");
        EXPECT_EQ(run.interpreter->pointer(), 255);
        EXPECT_EQ(run.interpreter->varTop(), 255);
        EXPECT_EQ(run.cell(255), "");
    }
}

TEST(References, SelectCellsAcrossTheWholeRange) {
    struct Case {
        int hi, lo, cell;
    };
    for (const Case& c : {Case{1, 1, 255}, Case{130, 131, 33151}, Case{131, 130, 33404}, Case{254, 254, 64770}}) {
        SCOPED_TRACE(c.cell);
        moxy::Writer writer;
        writer.cell(c.hi, c.lo).text("x");
        Program run(writer);
        EXPECT_EQ(run.interpreter->pointer(), c.cell);
        EXPECT_EQ(run.interpreter->varTop(), std::max(c.cell, 255));
        EXPECT_EQ(run.cell(c.cell), "x");
        EXPECT_EQ(run.cell(c.cell - 1), "");
    }
}

TEST(References, MissingOrNonDigitCharactersKeepThePreviousDigit) {
    // 1 130 131 selects 33151; then 1 0 132 keeps hi 130; 1 255 255 keeps both; a cut-off
    // reference sets hi 131 and keeps lo 132.
    Program run(std::string("\x01\x82\x83\x01\x00\x84", 6) + "a\x01\xff\xff" "b\x01\x83");
    EXPECT_EQ(run.cell(moxy::cellNumber(130, 132)), "ab");
    EXPECT_EQ(run.interpreter->pointer(), moxy::cellNumber(131, 132));
}

TEST(References, LineBreaksAndIgnoredCodesDoNothing) {
    moxy::Writer writer;
    set(writer, 0, "A").byte(13).byte(10).byte(0).byte(2).byte(22).byte(200).text("B");
    Program run(writer);
    EXPECT_EQ(run.at(0), "AB");
    EXPECT_EQ(run.status(), "ok");
}

// --- labels and jumps ----------------------------------------------------------------

TEST(Labels, EachJumpReachesItsOwnLabel) {
    // Jumps to labels 1, 2, 3 in that order; slot 1 records which were passed.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::Jump);
    writer.label(2);
    slot(writer, 1).text("2");
    set(writer, 0, "3").op(Op::Jump);
    writer.byte(0).label(1);  // the 0 keeps labels 2 and 1 apart
    slot(writer, 1).text("1");
    set(writer, 0, "2").op(Op::Jump);
    writer.byte(0).label(3);
    slot(writer, 1).text("3");
    writer.op(Op::End);
    Program run(writer);
    EXPECT_EQ(run.at(1), "123");
    EXPECT_EQ(run.status(), "ended");
}

TEST(Labels, HalvesRoundToTheEvenLabelAndZeroRestarts) {
    for (const char* number : {"1.5", "2.5", "2"}) {
        SCOPED_TRACE(number);
        moxy::Writer writer;
        set(writer, 0, number).op(Op::Jump);
        writer.label(1);
        slot(writer, 1).text("wrong");
        writer.op(Op::End).byte(0).label(2);
        slot(writer, 1).text("right");
        EXPECT_EQ(Program(writer).at(1), "right");
    }
    // Jump 0: the program starts again from its first character, keeping its cells.
    moxy::Writer writer;
    slot(writer, 0).text("x").op(Op::SetPar1);
    slot(writer, 1).op(Op::Length).op(Op::SetPar1);
    set(writer, 2, "3").op(Op::SetPar2);
    writer.op(Op::IfLess);
    set(writer, 3, "0").op(Op::Jump);
    writer.op(Op::EndIf);
    Program run(writer);
    EXPECT_EQ(run.at(0), "xxx");
    EXPECT_EQ(run.status(), "ok");
}

TEST(Labels, MissingDuplicateAndOverlongLabels) {
    moxy::Writer missing;
    missing.label(1);
    set(missing, 0, "7").op(Op::Jump);
    Program run(missing);
    EXPECT_EQ(run.status(), "error label-not-found");
    EXPECT_THAT(run.result.error->detail(), HasSubstr("no label 7"));

    moxy::Writer twice;  // the first of two equal labels wins
    set(twice, 0, "1").op(Op::Jump);
    twice.op(Op::End).label(1);
    slot(twice, 1).text("first").op(Op::End);
    twice.label(1);
    slot(twice, 1).text("second");
    EXPECT_EQ(Program(twice).at(1), "first");

    moxy::Writer longLabel;  // a run of 1000 markers is no label at all
    longLabel.label(1000);
    set(longLabel, 0, "1000").op(Op::Jump);
    Program overlong(longLabel);
    EXPECT_EQ(overlong.status(), "error label-not-found");
    EXPECT_EQ(overlong.interpreter->labelPosition(999), 0u);
}

TEST(Labels, EndlessLoopEndsWhenTheWindowClosesDuringAYield) {
    moxy::Writer writer;
    set(writer, 0, "1");
    writer.label(1).op(Op::Yield);
    slot(writer, 0).op(Op::Jump);
    Program run(writer, [](FakeHost& host, InterpreterOptions&) { host.closeAtYield = 3; });
    EXPECT_EQ(run.status(), "ended");
    EXPECT_EQ(run.host.yields, 3);
}

// --- conditions and skips ------------------------------------------------------------

TEST(Conditions, CompareTextsOrSingleNumbers) {
    struct Case {
        Op condition;
        const char *a, *b, *expected;
        bool withEnd = true;
    };
    const Case cases[] = {
        {Op::IfEqual, "5", "5", "ran"},
        {Op::IfEqual, "5", "5.0", "skipped"},
        {Op::IfEqual, "a", "A", "skipped"},
        {Op::IfGreater, "10", "9", "ran"},
        {Op::IfGreater, "5", "5", "skipped"},
        {Op::IfLess, "-1", "0.5", "ran"},
        {Op::IfLess, "NaN", "1", "skipped"},
        // Single precision: 16777217 and 16777216 are the same single number.
        {Op::IfGreater, "16777217", "16777216", "skipped"},
        {Op::IfLess, "x", "1", "error type-mismatch"},
        {Op::IfLess, "5", "1", "ran", false},  // without an end marker the body runs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.condition) << " " << c.a << " " << c.b);
        moxy::Writer writer;
        set(writer, 0, c.a).op(Op::SetPar1);
        set(writer, 1, c.b).op(Op::SetPar2);
        set(writer, 2, "skipped").op(c.condition);
        set(writer, 2, "ran");
        if (c.withEnd)
            writer.op(Op::EndIf);
        Program run(writer);
        EXPECT_EQ(run.status() == "ok" ? run.at(2) : run.status(), c.expected);
    }
}

TEST(Conditions, DoNotNest) {
    // Outer fails; execution resumes after the inner condition's marker, inside the outer body.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::SetPar1);
    set(writer, 1, "2").op(Op::SetPar2).op(Op::IfEqual);
    set(writer, 2, "outer body").op(Op::IfLess);
    set(writer, 3, "inner body").op(Op::EndIf);
    set(writer, 4, "after inner").op(Op::EndIf);
    Program run(writer);
    EXPECT_EQ(run.at(2) + run.at(3), "");
    EXPECT_EQ(run.at(4), "after inner");
}

TEST(Conditions, SkipLooksAtRawCharactersEvenInsideAReference) {
    // The skip ends on a cell digit of code 18; then code 130 is ignored and "Z" is
    // appended to the current cell (slot 1).
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::SetPar1);
    set(writer, 1, "2").op(Op::SetPar2).op(Op::IfEqual).cell(18, 130).text("Z");
    EXPECT_EQ(Program(writer).at(1), "2Z");
}

// --- data opcodes --------------------------------------------------------------------

TEST(DataOpcodes, ComputeAndStoreTextOrFailLeavingTheTarget) {
    struct Case {
        Op op;
        const char *par1, *par2, *current;
        const char* expected;  // V(P) afterwards, or "error KIND"
    };
    const Case cases[] = {
        {Op::Add, "0.1", "0.2", "", "0.3"},
        {Op::Subtract, "10", "4", "", "6"},
        {Op::Multiply, "2.5", "-4", "", "-10"},
        {Op::Divide, "1", "3", "", "0.333333333333333"},
        {Op::Divide, "1", "0", "", "Infinity"},
        {Op::Divide, "-1", "0", "", "-Infinity"},
        {Op::Divide, "0", "0", "", "NaN"},
        {Op::Power, "2", "10", "", "1024"},
        {Op::Power, "-8", "0.5", "", "NaN"},
        {Op::Power, "10", "15", "", "1E+15"},
        {Op::Increment, "", "", "9.5", "10.5"},
        {Op::Increment, "", "", "-1", "0"},
        {Op::Decrement, "", "", "0", "-1"},
        {Op::Negate, "", "", "2.5", "-2.5"},
        {Op::Negate, "", "", "0", "0"},
        {Op::Clear, "", "", "abc", ""},
        {Op::Copy, "copied", "", "old", "copied"},
        {Op::Append, "def", "", "abc", "abcdef"},
        {Op::AppendChar, "65", "", "x", "xA"},
        {Op::AppendChar, "13", "", "x", "x\r"},
        {Op::AppendFolder, "", "", "at ", "at /opt/moxy"},
        {Op::Length, "hello", "", "", "5"},
        {Op::Length, "", "", "x", "0"},
        {Op::Middle, "2", "3", "", "BCD"},  // Res holds "ABCDE"
        {Op::Middle, "9", "3", "", ""},
        {Op::Middle, "2", "0", "", ""},
        {Op::Middle, "4", "99", "", "DE"},
        {Op::Middle, "1.5", "2.5", "", "BC"},
        {Op::Random, "7", "7", "", "7"},
        {Op::Add, "x", "1", "keep", "error type-mismatch"},
        {Op::Add, "1", "", "keep", "error type-mismatch"},
        {Op::Add, "1e400", "1", "keep", "error overflow"},
        {Op::Increment, "", "", "", "error type-mismatch"},
        {Op::AppendChar, "256", "", "keep", "error invalid-argument"},
        {Op::AppendChar, "-1", "", "keep", "error invalid-argument"},
        {Op::AppendChar, "3000000000", "", "keep", "error overflow"},
        {Op::Middle, "0", "1", "keep", "error invalid-argument"},
        {Op::Middle, "1", "-1", "keep", "error invalid-argument"},
        {Op::ColourByValue, "", "", "-1", "error invalid-argument"},
        {Op::ColourByValue, "", "", "16777216", "error invalid-argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(moxy::opInfo(static_cast<std::uint8_t>(c.op))->name) + " " + c.par1 + " " + c.par2 +
                     " " + c.current);
        moxy::Writer writer;
        set(writer, 0, c.par1).op(Op::SetPar1);
        set(writer, 1, c.par2).op(Op::SetPar2);
        set(writer, 2, "ABCDE").op(Op::SetRes);
        set(writer, 3, c.current).op(c.op);
        Program run(writer);
        if (run.status() == "ok")
            EXPECT_EQ(run.at(3), c.expected);
        else
            EXPECT_EQ(run.status() + (run.at(3) == c.current ? "" : " (target changed)"), c.expected);
    }
}

TEST(DataOpcodes, SquareRootWritesIntoRes) {
    moxy::Writer writer;
    slot(writer, 1).op(Op::SetRes);
    set(writer, 0, "16").op(Op::SquareRoot);
    Program run(writer);
    EXPECT_EQ(run.at(1) + " " + run.at(0), "4 16");
    set(writer, 0, "-1").op(Op::SquareRoot);
    EXPECT_EQ(Program(writer).at(1), "NaN");
}

TEST(DataOpcodes, GetPointerAndMovePointerAddressIndirectly) {
    moxy::Writer writer;
    set(writer, 1, "target").op(Op::SetPar1);
    slot(writer, 0).op(Op::GetPointer);  // slot0 := "33151"
    slot(writer, 0).op(Op::MovePointer).text("!");
    Program run(writer);
    EXPECT_EQ(run.at(0), "33151");
    EXPECT_EQ(run.at(1), "target!");

    moxy::Writer negative;
    set(negative, 0, "-40.5").op(Op::MovePointer).text("here");
    Program moved(negative);
    EXPECT_EQ(moved.interpreter->pointer(), 40);
    EXPECT_EQ(moved.cell(40), "here");
}

TEST(DataOpcodes, MovePointerAboveTheTopGrowsTheStoreUpToTheHighestCell) {
    moxy::Writer writer;
    writer.cell(1, 100).op(Op::Clear).text("60000").op(Op::MovePointer).text("far");
    Program run(writer);
    EXPECT_EQ(run.interpreter->varTop(), 60000);
    EXPECT_EQ(run.cell(60000), "far");

    moxy::Writer tooFar;
    tooFar.cell(1, 100).op(Op::Clear).text("64771").op(Op::MovePointer);
    Program failed(tooFar);
    EXPECT_EQ(failed.status(), "error cell-out-of-range");
    EXPECT_EQ(failed.interpreter->pointer(), moxy::cellNumber(1, 100));
}

TEST(DataOpcodes, RandomNumbersStayInRangeAndFollowTheSeed) {
    moxy::Writer draws;
    set(draws, 0, "1").op(Op::SetPar1);
    set(draws, 1, "6").op(Op::SetPar2);
    for (int i = 0; i < 100; ++i)
        slot(draws, 2 + i).op(Op::Random);
    Program run(draws), again(draws);
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        seen.insert(run.at(2 + i));
        EXPECT_EQ(run.at(2 + i), again.at(2 + i));
    }
    EXPECT_EQ(seen, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(DataOpcodes, TextsCannotGrowWithoutBound) {
    // Doubling a cell by appending it to itself stops at the limit with a run-time error.
    moxy::Writer writer;
    set(writer, 0, "x").op(Op::SetPar1);
    writer.label(1);
    slot(writer, 0).op(Op::Append);
    set(writer, 1, "1").op(Op::Jump);
    Program run(writer, [](FakeHost&, InterpreterOptions& options) { options.maxCellText = 1 << 20; });
    EXPECT_EQ(run.status(), "error text-too-long");
    EXPECT_EQ(run.at(0).size(), 1u << 20);
}

// --- host calls ----------------------------------------------------------------------

TEST(HostCalls, DrawingOpcodesConvertTheirArguments) {
    moxy::Writer writer;
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20.5").op(Op::SetPar2);
    set(writer, 2, "30").op(Op::SetRes);
    for (const char* digit : {"4", "10", "", "01"})
        set(writer, 3, digit).op(Op::ColourByDigit);
    set(writer, 3, "65280").op(Op::ColourByValue);
    set(writer, 3, "40").op(Op::Point).op(Op::Line).op(Op::Circle).op(Op::Box).op(Op::FilledBox);
    set(writer, 3, "Hi").op(Op::Print).op(Op::ClearScreen);
    EXPECT_THAT(Program(writer).host.calls,
                ElementsAre("colour 16711680", "colour 65280", "point 10 20.5", "line 10 20.5 30 40", "circle 10 20.5 40",
                            "box 10 20.5 30 40", "filledbox 10 20.5 30 40", "text 10 20.5 Hi", "cls"));
}

TEST(HostCalls, PictureHoldersAreCreatedInOrderAndCheckedBeforeUse) {
    moxy::Writer writer;
    writer.op(Op::NewPictureHolder).op(Op::NewPictureHolder);
    set(writer, 0, "2").op(Op::SelectPictureHolder);
    set(writer, 1, "pic.png").op(Op::LoadPicture);
    set(writer, 0, "3").op(Op::SelectPictureHolder);
    set(writer, 1, "other.png").op(Op::LoadPicture);
    Program run(writer);
    // The second run creates holder 1 again, which exists: the run ends with that error.
    EXPECT_EQ(run.status(), "error holder-exists");
    EXPECT_THAT(run.host.calls, ElementsAre("load 2 pic.png"));
    EXPECT_EQ(run.interpreter->picSelect(), 3);

    for (auto [holder, status] : {std::pair{"1", "error no-such-holder"}, {"-1", "error no-such-holder"},
                                  {"40000", "error overflow"}, {"0", "ok"}}) {
        SCOPED_TRACE(holder);
        moxy::Writer select;
        set(select, 0, holder).op(Op::SelectPictureHolder);
        set(select, 1, "").op(Op::LoadPicture);
        EXPECT_EQ(Program(select).status(), status);
    }
}

TEST(HostCalls, TicksKeysDialogsSoundAndSystemCalls) {
    moxy::Writer writer;
    slot(writer, 0).op(Op::TickCount);
    slot(writer, 1).key(moxy::Key::A);
    slot(writer, 2).key(moxy::Key::Z);
    set(writer, 3, "keep").op(Op::KeyState).byte(100);
    set(writer, 4, "Your name?").op(Op::SetPar1);
    slot(writer, 5).op(Op::InputBox);
    slot(writer, 6).op(Op::InputBox);
    set(writer, 7, "hello").system(moxy::SubCode::MessageBox);
    slot(writer, 8).system(moxy::SubCode::ScreenWidth);
    slot(writer, 9).system(moxy::SubCode::ScreenHeight);
    set(writer, 10, "400").system(moxy::SubCode::SetWindowWidth).system(moxy::SubCode::SetWindowTop);
    set(writer, 10, "Title").system(moxy::SubCode::Caption);
    set(writer, 10, "xterm -e top").system(moxy::SubCode::Exec);
    set(writer, 10, "A").op(Op::System).byte(200).text("B");  // sub-code 200 does nothing
    set(writer, 11, "440").op(Op::SetPar1);
    set(writer, 12, "100").op(Op::SetPar2).system(moxy::SubCode::Beep);
    Program run(writer, [](FakeHost& host, InterpreterOptions&) {
        host.keys[static_cast<int>(moxy::Key::A)] = true;
        host.answers = {"Ada"};
    });
    EXPECT_EQ(run.status(), "ok");
    EXPECT_THAT((std::vector{run.at(0), run.at(1), run.at(2), run.at(3), run.at(5), run.at(6), run.at(8), run.at(9),
                             run.at(10)}),
                ElementsAre("1000", "1", "0", "keep", "Ada", "", "1280", "1024", "AB"));
    EXPECT_THAT(run.host.messages, ElementsAre("hello"));
    EXPECT_THAT(run.host.calls, ElementsAre("input Your name?", "input Your name?", "width 400", "top 400",
                                            "caption Title", "exec xterm -e top", "beep 440 100"));
    set(writer, 12, "long").system(moxy::SubCode::Beep);
    EXPECT_EQ(Program(writer).status(), "error type-mismatch");
}

// --- restart and the state dump ------------------------------------------------------

TEST(Restart, FirstErrorRunsTheProgramOnceMoreWithItsState) {
    // Append "a" to slot 0, then fail: the second run appends again, then fails for good.
    moxy::Writer writer;
    slot(writer, 0).text("a");
    set(writer, 1, "abc").op(Op::Increment);
    Program run(writer);
    EXPECT_EQ(run.status(), "error type-mismatch");
    EXPECT_EQ(run.at(0), "aa");
    EXPECT_EQ(run.result.error->position(), 12u);
    EXPECT_EQ(run.result.error->opcode(), static_cast<std::uint8_t>(Op::Increment));
    EXPECT_THAT(runner::report(*run.result.error),
                HasSubstr("type-mismatch): the text \"abc\" is not a number [position 12, opcode 25 Increment]"));
}

TEST(Restart, ErrorOnlyInTheFirstRunIsForgotten) {
    // slot 0 holds "1" in the first run, which then fails; in the second it holds "11",
    // and the failing statement is skipped.
    moxy::Writer writer;
    slot(writer, 0).text("1").op(Op::SetPar2);
    set(writer, 1, "1").op(Op::SetPar1).op(Op::IfEqual);
    slot(writer, 2).op(Op::Increment).op(Op::EndIf);
    Program run(writer);
    EXPECT_EQ(run.status(), "ok");
    EXPECT_EQ(run.at(0), "11");
}

// The step limit: slices_test.cpp and the command line's status 3.

TEST(Dump, ListsRegistersAndNonEmptyCellsEscaped) {
    moxy::Writer program;
    set(program, 0, "a\\b");
    for (const char* code : {"13", "10", "200"}) {
        set(program, 1, code).op(Op::SetPar1);
        slot(program, 0).op(Op::AppendChar);
    }
    program.op(Op::End);
    Program run(program);
    EXPECT_EQ(runner::stateDump(*run.interpreter, run.result),
              "Pointer 33150\nPar1 33151\nPar2 0\nRes 0\nVarTop 33151\nPicSelect 0\n"
              "cell 33150 a\\\\b\\r\\n\\xc8\ncell 33151 200\nend ended\n");
}
