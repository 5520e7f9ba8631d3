#include "moxy/format.h"
#include "runner/interpreter.h"
#include "runner/session.h"
#include "support/fake_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using moxy::Op;
using runner::Interpreter;
using runner::RunError;
using runner::RunOutcome;
using runner::RunResult;
using testing::ElementsAre;
using testing_support::FakeHost;

namespace {

using Kind = RunError::Kind;

// Cells the way the Quillon compiler numbers them: slot k is cell 33150 + k.
constexpr int kSlot0 = 33150;
moxy::Writer& slot(moxy::Writer& writer, int k) { return writer.cell(130, 130 + k); }

// slot k := text
moxy::Writer& set(moxy::Writer& writer, int k, std::string_view text) {
    return slot(writer, k).op(Op::Clear).text(text);
}

struct Program {
    FakeHost host;
    std::unique_ptr<Interpreter> interpreter;
    RunResult result;

    explicit Program(std::string program, runner::InterpreterOptions options = {}) {
        if (!options.seed)
            options.seed = 7;
        interpreter = std::make_unique<Interpreter>(std::move(program), host, options);
    }
    Program& go() {
        result = runner::runWithRestart(*interpreter);
        return *this;
    }
    const std::string& cell(int number) const { return interpreter->cell(number); }
    const std::string& at(int k) const { return interpreter->cell(kSlot0 + k); }
    std::string status() const { return runner::statusText(result); }
};

Program runProgram(const moxy::Writer& writer) {
    Program run(writer.code());
    run.go();
    return run;
}

}  // namespace

// --- encoding and references ---------------------------------------------------------

TEST(References, EmptyProgramDoesNothing) {
    Program run("");
    run.go();
    EXPECT_EQ(run.status(), "ok");
    EXPECT_EQ(run.interpreter->pointer(), 255);
    EXPECT_EQ(run.interpreter->varTop(), 255);
}

TEST(References, QuillonHeaderLeavesNoTrace) {
    Program run(std::string(moxy::kQuillonHeader));
    run.go();
    EXPECT_EQ(run.status(), "ok");
    EXPECT_EQ(run.interpreter->pointer(), 255);
    EXPECT_EQ(run.cell(255), "");
    EXPECT_EQ(run.interpreter->varTop(), 255);
}

TEST(References, SelectCellsAcrossTheWholeRange) {
    struct Case {
        int hi;
        int lo;
        int cell;
    };
    for (const Case& c : {Case{1, 1, 255}, Case{130, 130, 33150}, Case{130, 131, 33151}, Case{131, 130, 33404},
                          Case{254, 254, 64770}}) {
        SCOPED_TRACE(c.cell);
        moxy::Writer writer;
        writer.cell(c.hi, c.lo).text("x");
        Program run = runProgram(writer);
        EXPECT_EQ(run.interpreter->pointer(), c.cell);
        EXPECT_EQ(run.interpreter->varTop(), std::max(c.cell, 255));
        EXPECT_EQ(run.cell(c.cell), "x");
        EXPECT_EQ(run.cell(c.cell - 1), "");
    }
}

TEST(References, MissingOrNonDigitCharactersKeepThePreviousDigit) {
    // 1 130 131 selects 33151; then 1 0 132 keeps hi 130; 1 255 255 keeps both.
    std::string program = "\x01\x82\x83";
    program += std::string("\x01\x00\x84", 3) + "a";
    program += "\x01\xff\xff" "b";
    program += "\x01\x83";  // cut off: hi 131, lo kept (132)
    Program run(program);
    run.go();
    EXPECT_EQ(run.cell(moxy::cellNumber(130, 132)), "ab");
    EXPECT_EQ(run.interpreter->pointer(), moxy::cellNumber(131, 132));
}

TEST(References, LineBreaksAndIgnoredCodesDoNothing) {
    moxy::Writer writer;
    set(writer, 0, "A").byte(13).byte(10).byte(0).byte(2).byte(22).byte(200).text("B");
    Program run = runProgram(writer);
    EXPECT_EQ(run.at(0), "AB");
    EXPECT_EQ(run.status(), "ok");
}

// --- labels and jumps ----------------------------------------------------------------

TEST(Labels, EachJumpReachesItsOwnLabel) {
    // slot 1 counts the labels passed in order 2, 1, 3; jump targets by number.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::Jump);         // jump to label 1
    writer.label(2);                          // label 2
    slot(writer, 1).text("2");
    set(writer, 0, "3").op(Op::Jump);         // jump to label 3
    writer.byte(0);                           // keeps labels 2 and 1 apart
    writer.label(1);                          // label 1
    slot(writer, 1).text("1");
    set(writer, 0, "2").op(Op::Jump);         // jump to label 2
    writer.byte(0).label(3);
    slot(writer, 1).text("3");
    writer.op(Op::End);
    Program run = runProgram(writer);
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
        Program run = runProgram(writer);
        EXPECT_EQ(run.at(1), "right");
    }
    // Jump 0: the program starts again from its first character, keeping its cells.
    moxy::Writer writer;
    slot(writer, 0).text("x").op(Op::SetPar1);
    slot(writer, 1).op(Op::Length).op(Op::SetPar1);
    set(writer, 2, "3").op(Op::SetPar2);
    writer.op(Op::IfLess);
    set(writer, 3, "0").op(Op::Jump);
    writer.op(Op::EndIf);
    Program run = runProgram(writer);
    EXPECT_EQ(run.at(0), "xxx");
    EXPECT_EQ(run.status(), "ok");
}

TEST(Labels, JumpToAMissingLabelIsAnError) {
    moxy::Writer writer;
    writer.label(1);
    set(writer, 0, "7").op(Op::Jump);
    Program run = runProgram(writer);
    EXPECT_EQ(run.status(), "error label-not-found");
    EXPECT_THAT(run.result.error->detail(), testing::HasSubstr("no label 7"));
}

TEST(Labels, FirstOfTwoEqualLabelsWinsAndLongRunsAreNoLabels) {
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::Jump);
    writer.op(Op::End).label(1);
    slot(writer, 1).text("first").op(Op::End);
    writer.label(1);
    slot(writer, 1).text("second");
    Program first = runProgram(writer);
    EXPECT_EQ(first.at(1), "first");

    moxy::Writer longLabel;
    longLabel.label(1000);
    set(longLabel, 0, "1000").op(Op::Jump);
    Program run = runProgram(longLabel);
    EXPECT_EQ(run.status(), "error label-not-found");
    EXPECT_EQ(run.interpreter->labelPosition(999), 0u);
}

TEST(Labels, EndlessLoopEndsWhenTheWindowClosesDuringAYield) {
    moxy::Writer writer;
    set(writer, 0, "1");
    writer.label(1).op(Op::Yield);
    slot(writer, 0).op(Op::Jump);
    Program run(writer.code());
    run.host.closeAtYield = 3;
    run.go();
    EXPECT_EQ(run.status(), "ended");
    EXPECT_EQ(run.host.yields, 3);
}

// --- conditions and skips ------------------------------------------------------------

namespace {
// Runs: slot0 := a, slot1 := b, Par1 = slot0, Par2 = slot1, [condition], body, 18.
std::string conditionResult(Op condition, std::string_view a, std::string_view b, bool withEnd = true) {
    moxy::Writer writer;
    set(writer, 0, a).op(Op::SetPar1);
    set(writer, 1, b).op(Op::SetPar2);
    set(writer, 2, "skipped");
    writer.op(condition);
    set(writer, 2, "ran");
    if (withEnd)
        writer.op(Op::EndIf);
    Program run = runProgram(writer);
    return run.status() == "ok" ? run.at(2) : run.status();
}
}  // namespace

TEST(Conditions, CompareTextsOrSingleNumbers) {
    EXPECT_EQ(conditionResult(Op::IfEqual, "5", "5"), "ran");
    EXPECT_EQ(conditionResult(Op::IfEqual, "5", "5.0"), "skipped");
    EXPECT_EQ(conditionResult(Op::IfEqual, "a", "A"), "skipped");
    EXPECT_EQ(conditionResult(Op::IfGreater, "10", "9"), "ran");
    EXPECT_EQ(conditionResult(Op::IfGreater, "9", "10"), "skipped");
    EXPECT_EQ(conditionResult(Op::IfGreater, "5", "5"), "skipped");
    EXPECT_EQ(conditionResult(Op::IfLess, "-1", "0.5"), "ran");
    EXPECT_EQ(conditionResult(Op::IfLess, "NaN", "1"), "skipped");
    // Single precision: 16777217 and 16777216 are the same single number.
    EXPECT_EQ(conditionResult(Op::IfGreater, "16777217", "16777216"), "skipped");
    EXPECT_EQ(conditionResult(Op::IfLess, "x", "1"), "error type-mismatch");
}

TEST(Conditions, WithoutAnEndMarkerTheBodyRuns) {
    EXPECT_EQ(conditionResult(Op::IfLess, "5", "1", false), "ran");
}

TEST(Conditions, DoNotNest) {
    // Outer fails; execution resumes after the inner condition's marker, inside the outer body.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::SetPar1);
    set(writer, 1, "2").op(Op::SetPar2);
    writer.op(Op::IfEqual);  // fails
    set(writer, 2, "outer body");
    writer.op(Op::IfLess);   // would hold
    set(writer, 3, "inner body");
    writer.op(Op::EndIf);
    set(writer, 4, "after inner");
    writer.op(Op::EndIf);
    Program run = runProgram(writer);
    EXPECT_EQ(run.at(2), "");
    EXPECT_EQ(run.at(3), "");
    EXPECT_EQ(run.at(4), "after inner");
}

TEST(Conditions, SkipLooksAtRawCharactersEvenInsideAReference) {
    // The skip ends on a cell digit of code 18; what follows is read from there.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::SetPar1);
    set(writer, 1, "2").op(Op::SetPar2);
    writer.op(Op::IfEqual).cell(18, 130).text("Z");
    Program run = runProgram(writer);
    // After the 18 comes code 130 (ignored) and then "Z", appended to the current cell (slot 1).
    EXPECT_EQ(run.at(1), "2Z");
}

// --- data opcodes --------------------------------------------------------------------

namespace {
struct OpCase {
    Op op;
    const char* par1;
    const char* par2;
    const char* current;
    const char* expected;  // V(P) afterwards, or "error KIND"
};

// slot0 = Par1, slot1 = Par2, slot2 = Res ("ABCDE"), slot3 = current.
std::string runOp(const OpCase& c) {
    moxy::Writer writer;
    set(writer, 0, c.par1).op(Op::SetPar1);
    set(writer, 1, c.par2).op(Op::SetPar2);
    set(writer, 2, "ABCDE").op(Op::SetRes);
    set(writer, 3, c.current).op(c.op);
    Program run = runProgram(writer);
    if (run.status() != "ok")
        return run.status() + (run.at(3) == c.current ? "" : " (target changed)");
    return run.at(3);
}
}  // namespace

TEST(DataOpcodes, ComputeAndStoreText) {
    const OpCase cases[] = {
        {Op::Add, "2", "3", "", "5"},
        {Op::Add, "0.1", "0.2", "", "0.3"},
        {Op::Subtract, "10", "4", "", "6"},
        {Op::Multiply, "2.5", "-4", "", "-10"},
        {Op::Divide, "1", "4", "", "0.25"},
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
        {Op::Length, "hello", "", "", "5"},
        {Op::Length, "", "", "x", "0"},
        {Op::Middle, "2", "3", "", "BCD"},
        {Op::Middle, "9", "3", "", ""},
        {Op::Middle, "2", "0", "", ""},
        {Op::Middle, "4", "99", "", "DE"},
        {Op::Middle, "1.5", "2.5", "", "BC"},
        {Op::Random, "7", "7", "", "7"},
        // failures leave the target as it was
        {Op::Add, "x", "1", "keep", "error type-mismatch"},
        {Op::Add, "1", "", "keep", "error type-mismatch"},
        {Op::Add, "1e400", "1", "keep", "error overflow"},
        {Op::Increment, "", "", "", "error type-mismatch"},
        {Op::AppendChar, "256", "", "keep", "error invalid-argument"},
        {Op::AppendChar, "-1", "", "keep", "error invalid-argument"},
        {Op::AppendChar, "3000000000", "", "keep", "error overflow"},
        {Op::Middle, "0", "1", "keep", "error invalid-argument"},
        {Op::Middle, "1", "-1", "keep", "error invalid-argument"},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(std::string(moxy::opInfo(static_cast<std::uint8_t>(c.op))->name) + " " + c.par1 + " " + c.par2 +
                     " " + c.current);
        EXPECT_EQ(runOp(c), c.expected);
    }
}

TEST(DataOpcodes, AppendToItselfDoublesTheText) {
    moxy::Writer writer;
    set(writer, 0, "ab").op(Op::SetPar1).op(Op::Append).op(Op::Append);
    EXPECT_EQ(runProgram(writer).at(0), "abababab");
}

TEST(DataOpcodes, SquareRootWritesIntoRes) {
    moxy::Writer writer;
    slot(writer, 1).op(Op::SetRes);
    set(writer, 0, "16").op(Op::SquareRoot);
    Program run = runProgram(writer);
    EXPECT_EQ(run.at(1), "4");
    EXPECT_EQ(run.at(0), "16");
    set(writer, 0, "-1").op(Op::SquareRoot);
    EXPECT_EQ(runProgram(writer).at(1), "NaN");
}

TEST(DataOpcodes, GetPointerAndMovePointerAddressIndirectly) {
    moxy::Writer writer;
    set(writer, 1, "target");
    slot(writer, 1).op(Op::SetPar1);
    slot(writer, 0).op(Op::GetPointer);  // slot0 := "33151"
    slot(writer, 0).op(Op::MovePointer).text("!");
    Program run = runProgram(writer);
    EXPECT_EQ(run.at(0), "33151");
    EXPECT_EQ(run.at(1), "target!");

    moxy::Writer negative;
    set(negative, 0, "-40.5").op(Op::MovePointer).text("here");
    Program moved = runProgram(negative);
    EXPECT_EQ(moved.interpreter->pointer(), 40);
    EXPECT_EQ(moved.cell(40), "here");
}

TEST(DataOpcodes, MovePointerAboveTheTopGrowsTheStoreUpToTheHighestCell) {
    moxy::Writer writer;
    writer.cell(1, 100).op(Op::Clear).text("60000").op(Op::MovePointer).text("far");
    Program run = runProgram(writer);
    EXPECT_EQ(run.interpreter->varTop(), 60000);
    EXPECT_EQ(run.cell(60000), "far");

    moxy::Writer tooFar;
    tooFar.cell(1, 100).op(Op::Clear).text("64771").op(Op::MovePointer);
    Program failed = runProgram(tooFar);
    EXPECT_EQ(failed.status(), "error cell-out-of-range");
    EXPECT_EQ(failed.interpreter->pointer(), moxy::cellNumber(1, 100));
}

TEST(DataOpcodes, RandomNumbersStayInRangeAndFollowTheSeed) {
    moxy::Writer draws;
    set(draws, 0, "1").op(Op::SetPar1);
    set(draws, 1, "6").op(Op::SetPar2);
    for (int i = 0; i < 100; ++i)
        slot(draws, 2 + i).op(Op::Random);
    Program run = runProgram(draws);
    Program again = runProgram(draws);
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        seen.insert(run.at(2 + i));
        EXPECT_EQ(run.at(2 + i), again.at(2 + i));
    }
    EXPECT_EQ(seen, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(DataOpcodes, AppendFolderAddsTheRunnerFolder) {
    moxy::Writer writer;
    set(writer, 0, "at ").op(Op::AppendFolder);
    EXPECT_EQ(runProgram(writer).at(0), "at /opt/moxy");
}

TEST(DataOpcodes, TextsCannotGrowWithoutBound) {
    // Doubling a cell forever stops at the limit with a run-time error.
    moxy::Writer writer;
    set(writer, 0, "x").op(Op::SetPar1);
    writer.label(1);
    slot(writer, 0).op(Op::Append);
    set(writer, 1, "1").op(Op::Jump);
    runner::InterpreterOptions options;
    options.maxCellText = 1 << 20;
    Program run(writer.code(), options);
    run.go();
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
    Program run = runProgram(writer);
    EXPECT_THAT(run.host.calls, ElementsAre("colour 16711680", "colour 65280", "point 10 20.5", "line 10 20.5 30 40",
                                            "circle 10 20.5 40", "box 10 20.5 30 40", "filledbox 10 20.5 30 40",
                                            "text 10 20.5 Hi", "cls"));
}

TEST(HostCalls, ColourValuesOutsideTheRangeAreErrors) {
    for (const char* value : {"-1", "16777216"}) {
        SCOPED_TRACE(value);
        moxy::Writer writer;
        set(writer, 0, value).op(Op::ColourByValue);
        EXPECT_EQ(runProgram(writer).status(), "error invalid-argument");
    }
}

TEST(HostCalls, PictureHoldersAreCreatedInOrderAndCheckedBeforeUse) {
    moxy::Writer writer;
    writer.op(Op::NewPictureHolder).op(Op::NewPictureHolder);
    set(writer, 0, "2").op(Op::SelectPictureHolder);
    set(writer, 1, "pic.png").op(Op::LoadPicture);
    set(writer, 0, "3").op(Op::SelectPictureHolder);
    set(writer, 1, "other.png").op(Op::LoadPicture);
    Program run = runProgram(writer);
    // The second run creates holder 1 again, which exists: the run ends with that error.
    EXPECT_EQ(run.status(), "error holder-exists");
    EXPECT_THAT(run.host.calls, ElementsAre("load 2 pic.png"));
    EXPECT_EQ(run.interpreter->picSelect(), 3);
}

TEST(HostCalls, PictureOpcodesNeedAnExistingHolder) {
    struct Case {
        const char* holder;
        const char* status;
    };
    for (const Case& c : {Case{"1", "error no-such-holder"}, Case{"-1", "error no-such-holder"},
                          Case{"40000", "error overflow"}, Case{"0", "ok"}}) {
        SCOPED_TRACE(c.holder);
        moxy::Writer writer;
        set(writer, 0, c.holder).op(Op::SelectPictureHolder);
        set(writer, 1, "").op(Op::LoadPicture);
        EXPECT_EQ(runProgram(writer).status(), c.status);
    }
}

TEST(HostCalls, TicksKeysDialogsAndSystemCalls) {
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
    set(writer, 10, "A").op(Op::System).byte(200).text("B");
    Program run(writer.code());
    run.host.keys[static_cast<int>(moxy::Key::A)] = true;
    run.host.answers = {"Ada"};
    run.go();
    EXPECT_EQ(run.status(), "ok");
    EXPECT_EQ(run.at(0), "1000");
    EXPECT_EQ(run.at(1), "1");
    EXPECT_EQ(run.at(2), "0");
    EXPECT_EQ(run.at(3), "keep");
    EXPECT_EQ(run.at(5), "Ada");
    EXPECT_EQ(run.at(6), "");
    EXPECT_EQ(run.at(8), "1280");
    EXPECT_EQ(run.at(9), "1024");
    EXPECT_EQ(run.at(10), "AB");  // sub-code 200 does nothing; "B" runs normally
    EXPECT_THAT(run.host.messages, ElementsAre("hello"));
    EXPECT_THAT(run.host.calls, ElementsAre("input Your name?", "input Your name?", "width 400", "top 400",
                                            "caption Title", "exec xterm -e top"));
}

TEST(HostCalls, BeepNeedsNumbers) {
    moxy::Writer writer;
    set(writer, 0, "440").op(Op::SetPar1);
    set(writer, 1, "100").op(Op::SetPar2).system(moxy::SubCode::Beep);
    Program run = runProgram(writer);
    EXPECT_THAT(run.host.calls, ElementsAre("beep 440 100"));
    set(writer, 1, "long").system(moxy::SubCode::Beep);
    EXPECT_EQ(runProgram(writer).status(), "error type-mismatch");
}

// --- start-up and restart ------------------------------------------------------------

TEST(Restart, FirstErrorRunsTheProgramOnceMoreWithItsState) {
    // Append "a" to slot 0, then fail: the second run appends again, then fails for good.
    moxy::Writer writer;
    slot(writer, 0).text("a");
    set(writer, 1, "abc").op(Op::Increment);
    Program run = runProgram(writer);
    EXPECT_EQ(run.status(), "error type-mismatch");
    EXPECT_EQ(run.at(0), "aa");
    EXPECT_EQ(run.result.error->position(), 12u);
    EXPECT_EQ(run.result.error->opcode(), static_cast<std::uint8_t>(Op::Increment));
    EXPECT_THAT(runner::report(*run.result.error),
                testing::HasSubstr("type-mismatch): the text \"abc\" is not a number [position 12, opcode 25 Increment]"));
}

TEST(Restart, ErrorOnlyInTheFirstRunIsForgotten) {
    // slot 0 holds "1" in the first run, which then fails; in the second it holds "11",
    // and the failing statement is skipped.
    moxy::Writer writer;
    slot(writer, 0).text("1").op(Op::SetPar2);
    set(writer, 1, "1").op(Op::SetPar1).op(Op::IfEqual);
    slot(writer, 2).op(Op::Increment);
    writer.op(Op::EndIf);
    Program run = runProgram(writer);
    EXPECT_EQ(run.status(), "ok");
    EXPECT_EQ(run.at(0), "11");
}

TEST(Restart, StepLimitStopsTheWholeRun) {
    moxy::Writer writer;
    set(writer, 0, "1");
    writer.label(1);
    slot(writer, 0).op(Op::Jump);
    runner::InterpreterOptions options;
    options.maxSteps = 1000;
    Program run(writer.code(), options);
    run.go();
    EXPECT_EQ(run.status(), "steps");
    EXPECT_EQ(run.interpreter->steps(), 1000u);
}

TEST(Dump, ListsRegistersAndNonEmptyCellsEscaped) {
    moxy::Writer program;
    set(program, 0, "a\\b");
    set(program, 1, "13").op(Op::SetPar1);
    slot(program, 0).op(Op::AppendChar);
    set(program, 1, "10");
    slot(program, 0).op(Op::AppendChar);
    set(program, 1, "200");
    slot(program, 0).op(Op::AppendChar).op(Op::End);
    Program run = runProgram(program);
    EXPECT_EQ(runner::stateDump(*run.interpreter, run.result),
              "Pointer 33150\nPar1 33151\nPar2 0\nRes 0\nVarTop 33151\nPicSelect 0\n"
              "cell 33150 a\\\\b\\r\\n\\xc8\ncell 33151 200\nend ended\n");
}
