#include "moxy/format.h"
#include "support/fake_host.h"
#include "support/program_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using moxy::Op;
using moxy::SubCode;
using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::FakeRun;
using testing_support::set;
using testing_support::slot;

TEST(References, SelectCellsAndKeepMissingDigits) {
    for (std::string program : {std::string(), std::string(moxy::kQuillonHeader)}) {
        FakeRun run(program);
        EXPECT_EQ(run.status(), "ok");
        EXPECT_EQ(run.interpreter->pointer() + run.interpreter->varTop(), 255 + 255);
        EXPECT_EQ(run.interpreter->cell(255), "");
    }
    for (auto [hi, lo, cell] : {std::tuple{1, 1, 255}, {131, 130, 33404}, {254, 254, 64770}}) {
        SCOPED_TRACE(cell);
        moxy::Writer writer;
        writer.cell(hi, lo).text("x");
        FakeRun run(writer.code());
        EXPECT_EQ(run.interpreter->pointer(), cell);
        EXPECT_EQ(run.interpreter->varTop(), std::max(cell, 255));
        EXPECT_EQ(run.interpreter->cell(cell) + run.interpreter->cell(cell - 1), "x");
    }
    // A digit 0 or 255 keeps the previous one, a cut-off reference sets hi; ignored codes do nothing.
    FakeRun run(std::string("\x01\x82\x83\x01\x00\x84", 6) + "a\x01\xff\xff" +
                std::string("\r\n\x00\x02\x16\xc8", 6) + "b\x01\x83");
    EXPECT_EQ(run.interpreter->cell(moxy::cellNumber(130, 132)), "ab");
    EXPECT_EQ(run.interpreter->pointer(), moxy::cellNumber(131, 132));
}

// Plain jumps to labels run in every example; here their edge cases.
TEST(Labels, HalvesRoundToTheEvenLabelAndZeroRestarts) {
    for (const char* number : {"1.5", "2.5", "2"}) {
        SCOPED_TRACE(number);
        moxy::Writer halves;
        set(halves, 0, number).op(Op::Jump);
        halves.label(1);
        slot(halves, 1).text("wrong").op(Op::End).byte(0).label(2);
        slot(halves, 1).text("right");
        EXPECT_EQ(FakeRun(halves.code()).at(1), "right");
    }
    moxy::Writer again;  // jump 0 starts from the first character, keeping the cells
    slot(again, 0).text("x").op(Op::SetPar1);
    slot(again, 1).op(Op::Length).op(Op::SetPar1);
    set(again, 2, "3").op(Op::SetPar2).op(Op::IfLess);
    set(again, 3, "0").op(Op::Jump).op(Op::EndIf);
    EXPECT_EQ(FakeRun(again.code()).at(0), "xxx");
}

TEST(Labels, MissingDuplicateAndOverlongLabels) {
    moxy::Writer missing;
    missing.label(1);
    set(missing, 0, "7").op(Op::Jump);
    FakeRun run(missing.code());
    EXPECT_EQ(run.status(), "error label-not-found");
    EXPECT_THAT(run.result.error->detail(), HasSubstr("no label 7"));

    moxy::Writer twice;  // the first of two equal labels wins
    set(twice, 0, "1").op(Op::Jump);
    twice.op(Op::End).label(1);
    slot(twice, 1).text("first").op(Op::End).label(1);
    slot(twice, 1).text("second");
    EXPECT_EQ(FakeRun(twice.code()).at(1), "first");

    moxy::Writer longLabel;  // a run of 1000 markers is no label at all
    longLabel.label(1000);
    set(longLabel, 0, "1000").op(Op::Jump);
    FakeRun overlong(longLabel.code());
    EXPECT_EQ(overlong.status(), "error label-not-found");
    EXPECT_EQ(overlong.interpreter->labelPosition(999), 0u);
}

TEST(Conditions, CompareTextsOrSingleNumbersAndDoNotNest) {
    struct Case {
        Op condition;
        const char *a, *b, *expected;
        bool withEnd = true;
    };
    const Case cases[] = {
        {Op::IfEqual, "5", "5", "ran"}, {Op::IfEqual, "5", "5.0", "skipped"}, {Op::IfEqual, "a", "A", "skipped"},
        {Op::IfGreater, "10", "9", "ran"}, {Op::IfGreater, "5", "5", "skipped"}, {Op::IfLess, "-1", "0.5", "ran"},
        {Op::IfLess, "NaN", "1", "skipped"}, {Op::IfLess, "x", "1", "error type-mismatch"},
        {Op::IfGreater, "16777217", "16777216", "skipped"}, {Op::IfLess, "16777216", "16777217", "skipped"},  // one single
        {Op::IfLess, "5", "1", "ran", false},                // without an end marker the body runs
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
        FakeRun run(writer.code());
        EXPECT_EQ(run.status() == "ok" ? run.at(2) : run.status(), c.expected);
    }
    // The outer condition fails; the run resumes after the inner one's marker.
    moxy::Writer nested;
    set(nested, 0, "1").op(Op::SetPar1);
    set(nested, 1, "2").op(Op::SetPar2).op(Op::IfEqual);
    set(nested, 2, "outer").op(Op::IfLess);
    set(nested, 3, "inner").op(Op::EndIf);
    set(nested, 4, "after").op(Op::EndIf);
    FakeRun run(nested.code());
    EXPECT_EQ(run.at(2) + run.at(3) + run.at(4), "after");
    // A skip ends on the cell digit 18 inside a reference; 130 is then ignored.
    moxy::Writer raw;
    set(raw, 0, "1").op(Op::SetPar1);
    set(raw, 1, "2").op(Op::SetPar2).op(Op::IfEqual).cell(18, 130).text("Z");
    EXPECT_EQ(FakeRun(raw.code()).at(1), "2Z");
}

TEST(DataOpcodes, ComputeAndStoreTextOrFailLeavingTheTarget) {
    struct Case {
        Op op;
        const char *par1, *par2, *current;
        const char* expected;  // the target afterwards (Res holds "ABCDE"), or "error KIND"
    };
    const Case cases[] = {
        {Op::Add, "0.1", "0.2", "", "0.3"}, {Op::Subtract, "10", "4", "", "6"}, {Op::Multiply, "2.5", "-4", "", "-10"},
        {Op::Divide, "1", "3", "", "0.333333333333333"}, {Op::Divide, "-1", "0", "", "-Infinity"},
        {Op::Divide, "0", "0", "", "NaN"}, {Op::Power, "2", "10", "", "1024"}, {Op::Power, "-8", "0.5", "", "NaN"},
        {Op::Increment, "", "", "9.5", "10.5"}, {Op::Decrement, "", "", "0", "-1"}, {Op::Negate, "", "", "2.5", "-2.5"},
        {Op::Negate, "", "", "0", "0"}, {Op::Clear, "", "", "abc", ""}, {Op::Copy, "copied", "", "old", "copied"},
        {Op::Append, "def", "", "abc", "abcdef"}, {Op::AppendChar, "13", "", "x", "x\r"},
        {Op::AppendFolder, "", "", "at ", "at /opt/moxy"}, {Op::Length, "hello", "", "", "5"},
        {Op::Middle, "2", "3", "", "BCD"}, {Op::Middle, "9", "3", "", ""},
        {Op::Middle, "2", "0", "", ""}, {Op::Middle, "4", "99", "", "DE"}, {Op::Middle, "1.5", "2.5", "", "BC"},
        {Op::Random, "7", "7", "", "7"}, {Op::Add, "x", "1", "keep", "error type-mismatch"},
        {Op::Add, "1", "", "keep", "error type-mismatch"}, {Op::Add, "1e400", "1", "keep", "error overflow"},
        {Op::Increment, "", "", "", "error type-mismatch"}, {Op::AppendChar, "256", "", "keep", "error invalid-argument"},
        {Op::AppendChar, "-1", "", "keep", "error invalid-argument"}, {Op::AppendChar, "3000000000", "", "keep", "error overflow"},
        {Op::Middle, "0", "1", "keep", "error invalid-argument"}, {Op::Middle, "1", "-1", "keep", "error invalid-argument"},
        {Op::ColourByValue, "", "", "-1", "error invalid-argument"}, {Op::ColourByValue, "", "", "16777216", "error invalid-argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(moxy::opInfo(static_cast<std::uint8_t>(c.op))->name) + " " + c.par1 + " " + c.par2 +
                     " " + c.current);
        moxy::Writer writer;
        set(writer, 0, c.par1).op(Op::SetPar1);
        set(writer, 1, c.par2).op(Op::SetPar2);
        set(writer, 2, "ABCDE").op(Op::SetRes);
        set(writer, 3, c.current).op(c.op);
        FakeRun run(writer.code());
        if (run.status() == "ok")
            EXPECT_EQ(run.at(3), c.expected);
        else
            EXPECT_EQ(run.status() + (run.at(3) == c.current ? "" : " (target changed)"), c.expected);
    }
    moxy::Writer root;  // the square root goes into Res
    slot(root, 1).op(Op::SetRes);
    set(root, 0, "16").op(Op::SquareRoot);
    EXPECT_EQ(FakeRun(root.code()).at(1), "4");
}

TEST(DataOpcodes, PointerOpcodesAddressIndirectlyWithinTheStore) {
    moxy::Writer writer;
    set(writer, 1, "target").op(Op::SetPar1);
    slot(writer, 0).op(Op::GetPointer);  // slot 0 := "33151"
    slot(writer, 0).op(Op::MovePointer).text("!");
    FakeRun run(writer.code());
    EXPECT_EQ(run.at(0) + " " + run.at(1), "33151 target!");
    for (auto [target, pointer, status] : {std::tuple{"-40.5", 40, "ok"}, {"60000", 60000, "ok"},
                                           {"64771", moxy::cellNumber(1, 100), "error cell-out-of-range"}}) {
        SCOPED_TRACE(target);
        moxy::Writer move;
        move.cell(1, 100).op(Op::Clear).text(target).op(Op::MovePointer).text("here");
        FakeRun moved(move.code());
        EXPECT_EQ(moved.status(), status);
        EXPECT_EQ(moved.interpreter->pointer(), pointer);
        EXPECT_EQ(moved.interpreter->varTop(), std::max(pointer, moxy::cellNumber(1, 100)));
        EXPECT_EQ(moved.interpreter->cell(pointer), moved.status() == "ok" ? "here" : target);
    }
}

TEST(DataOpcodes, RandomNumbersCoverTheirRangeAndTextsStopAtTheirLimit) {
    moxy::Writer draws;
    set(draws, 0, "1").op(Op::SetPar1);
    set(draws, 1, "6").op(Op::SetPar2);
    for (int i = 0; i < 100; ++i)
        slot(draws, 2 + i).op(Op::Random);
    FakeRun run(draws.code());
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i)
        seen.insert(run.at(2 + i));
    EXPECT_EQ(seen, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));

    moxy::Writer doubling;  // a cell appended to itself until the limit
    set(doubling, 0, "x").op(Op::SetPar1);
    doubling.label(1);
    slot(doubling, 0).op(Op::Append);
    set(doubling, 1, "1").op(Op::Jump);
    runner::InterpreterOptions options;
    options.maxCellText = 1 << 20;
    FakeRun limited(doubling.code(), options);
    EXPECT_EQ(limited.status(), "error text-too-long");
    EXPECT_EQ(limited.at(0).size(), 1u << 20);
    moxy::Writer exact;  // "ab" + "ab" reaches a limit of 4; one more character goes past it
    set(exact, 0, "ab").op(Op::SetPar1);
    slot(exact, 0).op(Op::Append);
    set(exact, 1, "c").op(Op::SetPar1);
    slot(exact, 0).op(Op::Append);
    options.maxCellText = 4;
    FakeRun four(exact.code(), options);
    EXPECT_EQ(four.status() + " " + four.at(0), "error text-too-long abab");
}

TEST(HostCalls, DrawingOpcodesConvertTheirArguments) {
    moxy::Writer writer;
    set(writer, 0, "10").op(Op::SetPar1);
    set(writer, 1, "20.5").op(Op::SetPar2);
    set(writer, 2, "30").op(Op::SetRes);
    for (const char* digit : {"4", "9", "10", "", "01"})
        set(writer, 3, digit).op(Op::ColourByDigit);
    set(writer, 3, "65280").op(Op::ColourByValue);
    set(writer, 3, "40").op(Op::Point).op(Op::Line).op(Op::Circle).op(Op::Box).op(Op::FilledBox);
    set(writer, 3, "Hi").op(Op::Print).op(Op::ClearScreen);
    EXPECT_THAT(FakeRun(writer.code()).host.calls,
                ElementsAre("colour 16711680", "colour 16777215", "colour 65280", "point 10 20.5", "line 10 20.5 30 40", "circle 10 20.5 40",
                            "box 10 20.5 30 40", "filledbox 10 20.5 30 40", "text 10 20.5 Hi", "cls"));
}

TEST(HostCalls, PictureHoldersAreCreatedInOrderAndCheckedBeforeUse) {
    moxy::Writer writer;
    writer.op(Op::NewPictureHolder);
    set(writer, 0, "1").op(Op::SelectPictureHolder);
    set(writer, 1, "pic.png").op(Op::LoadPicture);
    set(writer, 0, "2").op(Op::SelectPictureHolder);
    set(writer, 1, "other.png").op(Op::LoadPicture);  // no holder 2: the run starts again
    FakeRun run(writer.code());
    // The second run creates holder 1 again, which exists.
    EXPECT_EQ(run.status(), "error holder-exists");
    EXPECT_THAT(run.host.calls, ElementsAre("load 1 pic.png"));
    EXPECT_EQ(run.interpreter->picSelect(), 2);
    for (auto [holder, status] : {std::pair{"1", "error no-such-holder"}, {"-1", "error no-such-holder"},
                                  {"40000", "error overflow"}, {"0", "ok"}}) {
        SCOPED_TRACE(holder);
        moxy::Writer select;
        set(select, 0, holder).op(Op::SelectPictureHolder);
        set(select, 1, "").op(Op::LoadPicture);
        EXPECT_EQ(FakeRun(select.code()).status(), status);
    }
}

TEST(HostCalls, TicksKeysDialogsSoundAndSystemCalls) {
    moxy::Writer writer;
    slot(writer, 0).op(Op::TickCount);
    slot(writer, 1).key(moxy::Key::A);
    slot(writer, 2).key(moxy::Key::Z);
    set(writer, 3, "keep").byte(static_cast<std::uint8_t>(Op::KeyState)).byte(100);  // selector 100: nothing
    set(writer, 4, "Your name?").op(Op::SetPar1);
    slot(writer, 5).op(Op::InputBox);
    slot(writer, 6).op(Op::InputBox);
    set(writer, 7, "hello").system(SubCode::MessageBox);
    slot(writer, 8).system(SubCode::ScreenWidth);
    slot(writer, 9).system(SubCode::ScreenHeight);
    set(writer, 10, "400").system(SubCode::SetWindowWidth).system(SubCode::SetWindowTop);
    set(writer, 10, "Title").system(SubCode::Caption);
    set(writer, 10, "xterm -e top").system(SubCode::Exec);
    set(writer, 10, "A").byte(static_cast<std::uint8_t>(Op::System)).byte(200).text("B");  // sub-code 200: nothing
    set(writer, 11, "440").op(Op::SetPar1);
    set(writer, 12, "100").op(Op::SetPar2).system(SubCode::Beep);
    FakeRun run(writer.code(), {}, [](testing_support::FakeHost& host) {
        host.keys[static_cast<int>(moxy::Key::A)] = true;
        host.answers = {"Ada"};
    });
    EXPECT_EQ(run.status(), "ok");
    EXPECT_THAT((std::vector{run.at(0), run.at(1), run.at(2), run.at(3), run.at(5), run.at(6), run.at(8), run.at(9),
                             run.at(10)}),
                ElementsAre("1000", "1", "0", "keep", "Ada", "", "1280", "1024", "AB"));
    EXPECT_THAT(run.host.calls, ElementsAre("input Your name?", "input Your name?", "message hello", "width 400", "top 400",
                                            "caption Title", "exec xterm -e top", "beep 440 100"));
    set(writer, 12, "long").system(SubCode::Beep);
    EXPECT_EQ(FakeRun(writer.code()).status(), "error type-mismatch");
}

// The registers' lines are checked through moxy --dump in the command-line tests.
TEST(Dump, CellsAreEscapedOnTheirOwnLine) {
    moxy::Writer program;
    set(program, 0, "a\\b");
    for (const char* code : {"13", "10", "200"}) {
        set(program, 1, code).op(Op::SetPar1);
        slot(program, 0).op(Op::AppendChar);
    }
    FakeRun run(program.op(Op::End).code());
    EXPECT_THAT(runner::stateDump(*run.interpreter, run.result), HasSubstr("\ncell 33150 a\\\\b\\r\\n\\xc8\ncell 33151 200\n"));
}

// A failing condition at [condition] skips across 4096-position pages to its code 18 at [end].
TEST(DecodedProgram, FailedConditionsSkipAcrossPages) {
    constexpr std::size_t kPage = 4096;
    const auto padTo = [](moxy::Writer& writer, std::size_t position) {  // code 0 does nothing
        writer.raw(std::string(position - 1 - std::min(position - 1, writer.code().size()), '\0'));
    };
    for (auto [condition, end] : {std::pair{kPage - 1, kPage + 1}, {kPage, kPage + 1}, {kPage, 0},
                                  {kPage + 1, 3 * kPage}, {2 * kPage - 1, 2 * kPage}, {2 * kPage, 5 * kPage + 7}}) {
        SCOPED_TRACE(testing::Message() << "condition at " << condition << ", end at " << end);
        moxy::Writer writer;
        set(writer, 0, "1").op(Op::SetPar1);
        set(writer, 1, "2").op(Op::SetPar2);
        slot(writer, 2);
        padTo(writer, condition);
        writer.op(Op::IfGreater).text("x");
        if (end != 0) {
            padTo(writer, end);
            writer.op(Op::EndIf);
        }
        writer.text("y");
        EXPECT_EQ(FakeRun(writer.code()).at(2), end != 0 ? "y" : "xy");
    }
}

TEST(DecodedProgram, ABigProgramDecodesItsPagesAgainAndRunsTheSame) {
    // A loop body longer than the table's 8 Mi positions: every pass decodes the program anew.
    const auto loop = [](std::size_t filler) {
        moxy::Writer writer;
        set(writer, 0, "0");
        set(writer, 1, "3");
        set(writer, 2, "1");
        writer.label(1);
        slot(writer, 0).op(Op::Increment).raw(std::string(filler, '\0'));
        slot(writer, 0).op(Op::SetPar1);
        slot(writer, 1).op(Op::SetPar2).op(Op::IfLess);
        slot(writer, 2).op(Op::Jump).op(Op::EndIf);
        return writer.take();
    };
    const std::size_t big = 9u << 20;
    FakeRun small(loop(10)), large(loop(big));
    EXPECT_EQ(small.at(0) + large.at(0) + large.status(), "33ok");
    EXPECT_EQ(large.interpreter->steps() - small.interpreter->steps(), 3 * (big - 10));
}
