// The number a cell keeps beside a computed result, and its single, are what its text reads
// back as; the text limits count that text as if written when the result was stored.
#include "support/fake_host.h"
#include "support/number_samples.h"
#include "support/program_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using moxy::Op;
using testing_support::FakeRun;
using testing_support::keptNumberMismatch;
using testing_support::set;
using testing_support::slot;

namespace {
const runner::NumberFormat kPoint{'.'};
}  // namespace

TEST(KeptNumber, AgreesWithTheTextRoundTripOnSampledValues) {
    std::mt19937_64 random(20261207);
    int shortcut = 0;
    constexpr int kSamples = 280000;
    for (int i = 0; i < kSamples; ++i) {
        const double value = testing_support::numberSample(random, static_cast<std::uint64_t>(i));
        const std::string mismatch = keptNumberMismatch(value, i % 8 == 0 ? runner::NumberFormat{','} : kPoint);
        if (!mismatch.empty()) {
            ADD_FAILURE() << mismatch << " (value bits " << std::hex << testing_support::bitsOf(value) << ")";
            return;
        }
        double kept = 0;
        shortcut += runner::textValue(value, kept);
    }
    EXPECT_GT(shortcut, kSamples / 2) << "the shortcut misses most values";
}

TEST(KeptNumber, EveryReaderOfAnUnreadResultSeesTheTextsValue) {
    // Slot 2 := slot 0 OP slot 1, slot 6 := its text; slot 5: what the reader saw.
    const std::pair<const char*, std::function<void(moxy::Writer&)>> readers[] = {
        {"", [](moxy::Writer& w) { slot(w, 5).op(Op::Copy); }},
        {"", [](moxy::Writer& w) { set(w, 4, "0").op(Op::SetPar2); slot(w, 5).op(Op::Add); }},
        {"0", [](moxy::Writer& w) { slot(w, 6).op(Op::SetPar2); slot(w, 5).op(Op::Subtract); }},
        {"yes", [](moxy::Writer& w) { slot(w, 6).op(Op::SetPar2); set(w, 5, "no").op(Op::IfEqual); set(w, 5, "yes").op(Op::EndIf); }},
        {"yes", [](moxy::Writer& w) { slot(w, 6).op(Op::SetPar2); set(w, 5, "yes").op(Op::IfGreater); set(w, 5, "no").op(Op::EndIf); }},
    };
    struct Operands {
        const char *a, *b;
        Op op = Op::Divide;
    };
    // A third, 16th-digit ties, a halfway single, tiny and huge quotients, 8388608.5 + tiny.
    const Operands operands[] = {{"1", "3"}, {"999999999999999", "2"}, {"474424293301590", "8"}, {"16777217", "2"}, {"1E-300", "7"},
                                 {"1E+30", "0.7"}, {"123456789012345", "-0.2"}, {"8388608.5", "0.000000001", Op::Add},
                                 {"1E+20", "10", Op::Multiply}};
    for (const Operands& o : operands) {
        double a = 0, b = 0;
        runner::parseNumber(o.a, kPoint, a);
        runner::parseNumber(o.b, kPoint, b);
        const std::string text = runner::formatNumber(o.op == Op::Divide ? a / b : o.op == Op::Add ? a + b : a * b, kPoint);
        for (const auto& [seen, read] : readers) {
            SCOPED_TRACE(std::string(o.a) + " " + o.b + ", reader " + std::to_string(&read - &readers[0].second));
            moxy::Writer writer;
            set(writer, 0, o.a).op(Op::SetPar1);
            set(writer, 1, o.b).op(Op::SetPar2);
            slot(writer, 2).op(o.op).op(Op::SetPar1);
            set(writer, 6, text);
            read(writer);
            FakeRun run(writer.code());
            EXPECT_EQ(run.at(5), *seen ? seen : text);
        }
    }
    // Compared before anything settles it, a product whose number lies halfway between two
    // singles takes the side its text lies on.
    moxy::Writer halfway;
    set(halfway, 6, "6.3076067");  // the single above; the text's single lies below it
    set(halfway, 5, "no");
    set(halfway, 0, "6.30760645866394").op(Op::SetPar1);
    set(halfway, 1, "1").op(Op::SetPar2);
    slot(halfway, 2).op(Op::Multiply).op(Op::SetPar1);
    slot(halfway, 6).op(Op::SetPar2).op(Op::IfLess);
    set(halfway, 5, "yes").op(Op::EndIf);
    EXPECT_EQ(FakeRun(halfway.code()).at(5), "yes");
}

TEST(KeptNumber, TextLimitsCountTheTextOnceItIsKnown) {
    // A tie's text (499999999999999.5) counts at once, another quotient only when read: 16 + 15 + 11 > 40.
    for (auto [dividend, divisor, status, appended] :
         {std::tuple{"999999999999999", "2", "error text-too-long", "abcdefghi"},
          {"999999999999998", "3", "ok", "abcdefghijk"}}) {
        SCOPED_TRACE(dividend);
        moxy::Writer writer;
        set(writer, 0, dividend).op(Op::SetPar1);
        set(writer, 1, divisor).op(Op::SetPar2);
        slot(writer, 2).op(Op::Divide);
        set(writer, 3, "abcdefghijk");
        runner::InterpreterOptions options;
        options.maxTotalText = 40;
        FakeRun run(writer.code(), options);
        EXPECT_EQ(run.status(), status);
        EXPECT_EQ(run.at(3), appended);
    }
    // The 17 characters of a third fit once into 20, not twice.
    moxy::Writer thirds;
    set(thirds, 0, "1").op(Op::SetPar1);
    set(thirds, 1, "3").op(Op::SetPar2);
    slot(thirds, 2).op(Op::Divide);
    slot(thirds, 3).op(Op::Divide);
    runner::InterpreterOptions options;
    options.maxTotalText = 20;
    FakeRun third(thirds.code(), options);
    EXPECT_EQ(third.status() + " " + third.at(2) + " " + third.at(3), "error text-too-long 0.333333333333333 ");
    // A loop of roots into one cell: the unread ones leave nothing behind.
    moxy::Writer roots;
    for (auto [k, text] : {std::pair{0, "0"}, {1, "1000"}, {7, "1"}})
        set(roots, k, text);
    slot(roots.label(1), 2).op(Op::SetRes);
    slot(roots, 0).op(Op::Increment).op(Op::SquareRoot).op(Op::SetPar1);
    slot(roots, 1).op(Op::SetPar2).op(Op::IfLess);
    slot(roots, 7).op(Op::Jump).op(Op::EndIf);
    options.maxTotalText = 60;
    FakeRun loop(roots.code(), options);
    EXPECT_EQ(loop.status() + " " + loop.at(2), "ok 31.6227766016838");
    // A kept third's text counts once an append writes it, and a text the third overwrote gives
    // its room back: 1 + 1 + 17 + 1 + 1 + 40 > 60, 1 + 1 + 17 + 1 + 1 + 30 <= 60.
    for (auto [overwritten, added, status] : {std::tuple{0, 40, "error text-too-long"}, {20, 30, "ok"}}) {
        moxy::Writer appended;
        set(appended, 2, std::string(overwritten, 'x'));
        set(appended, 0, "1").op(Op::SetPar1);
        set(appended, 1, "3").op(Op::SetPar2);
        slot(appended, 2).op(Op::Divide);
        set(appended, 3, "x").op(Op::SetPar1);
        slot(appended, 2).op(Op::Append);
        set(appended, 4, std::string(added, 'y'));
        EXPECT_EQ(FakeRun(appended.code(), options).status(), status) << overwritten;
    }
}
