// The number a cell keeps beside a computed result, and the single-precision value taken
// from it, are exactly what the cell's text reads back as.
#include "support/fake_host.h"
#include "support/number_samples.h"
#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/conversions.h"
#include "runner/interpreter.h"
#include "runner/session.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using moxy::Op;
using testing_support::keptNumberMismatch;
using testing_support::set;
using testing_support::slot;

namespace {
const runner::NumberFormat kPoint{'.'};
const runner::NumberFormat kComma{','};
}  // namespace

TEST(KeptNumber, AgreesWithTheTextRoundTripOnSampledValues) {
    std::mt19937_64 random(20261207);
    int shortcut = 0;
    constexpr int kSamples = 280000;
    for (int i = 0; i < kSamples; ++i) {
        const double value = testing_support::numberSample(random, static_cast<std::uint64_t>(i));
        const std::string mismatch = keptNumberMismatch(value, i % 8 == 0 ? kComma : kPoint);
        if (!mismatch.empty()) {
            ADD_FAILURE() << mismatch << " (value bits " << std::hex << testing_support::bitsOf(value) << ")";
            return;
        }
        double kept = 0;
        shortcut += runner::textValue(value, kept);
    }
    // The shortcut must cover nearly every value outside the families made to miss it.
    EXPECT_GT(shortcut, kSamples / 2);
}

TEST(KeptNumber, EdgeCasesKeepTheTextsValue) {
    struct Case {
        double value;
        const char* text;
        bool shortcut;
    };
    const Case cases[] = {
        {1.0 / 3, "0.333333333333333", true},
        {2.0 / 3, "0.666666666666667", true},
        {-2.5, "-2.5", true},
        {0.1 + 0.2, "0.3", true},
        {999999999999999.9, "1E+15", true},
        {1e15, "1E+15", true},
        {123456789012345.67, "123456789012346", true},
        {0.0001, "0.0001", true},
        {0.00009999999999999999, "0.0001", true},
        {1.5e-5, "1.5E-05", true},
        {1e-9, "1E-09", false},         // below the shortcut's range
        {4.9406564584124654e-324, "4.94065645841247E-324", false},
        {1e300, "1E+300", false},
        {-0.0, "0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(runner::formatNumber(c.value, kPoint), c.text);
        double kept = 0;
        EXPECT_EQ(runner::textValue(c.value, kept), c.shortcut);
        EXPECT_EQ(keptNumberMismatch(c.value, kPoint), "");
    }
}

TEST(KeptNumber, SingleComesFromTheTextOnlyHalfwayBetweenSingles) {
    struct Case {
        double number;
        bool fromNumber;
    };
    const Case cases[] = {
        {8388608.5, false},  // singles are whole there: .5 lies halfway
        {8388608.25, true},
        {1.0 + 0x1p-24, false},
        {1.0 + 0x1p-24 + 0x1p-52, true},
        {0.1, true},
        {0.0, true},
        {1e39, false},  // beyond single precision: the text decides (overflow)
        {1e-40, false},  // subnormal in single precision
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        float single = 0;
        EXPECT_EQ(runner::singleOfNumber(c.number, single), c.fromNumber);
    }
    // Cells also keep numbers read from texts: any text's number gives its single.
    std::mt19937_64 random(5);
    for (int i = 0; i < 50000; ++i) {
        std::string text = std::to_string(random() % 100000000);
        text += '.';
        text += std::to_string(random() % 1000000000000ULL);
        if (i % 3 == 0)
            text += "E" + std::to_string(static_cast<int>(random() % 80) - 40);
        double number = 0;
        float expected = 0;
        ASSERT_EQ(runner::parseNumber(text, kPoint, number), runner::ParseStatus::Ok);
        const bool readsBack = runner::parseSingle(text, kPoint, expected) == runner::ParseStatus::Ok;
        float single = 0;
        if (runner::singleOfNumber(number, single)) {
            ASSERT_TRUE(readsBack) << text;
            ASSERT_TRUE(testing_support::sameSingle(single, expected)) << text;
        }
    }
}

TEST(KeptNumber, ProgramsSeeTheTextsAndTheirSingles) {
    struct Case {
        const char *a, *b;
        Op operation;
        const char* text;
        const char* greaterThan;  // compared in single precision with 8388608
    };
    const Case cases[] = {
        {"1", "3", Op::Divide, "0.333333333333333", "skipped"},
        {"16777217", "2", Op::Divide, "8388608.5", "skipped"},  // halfway: rounds to the even single
        // The text reads 8388608.5; the number before rounding lies just above it.
        {"8388608.5", "0.000000001", Op::Add, "8388608.5", "skipped"},
        {"8388608.5", "0.25", Op::Add, "8388608.75", "ran"},
        {"1E+20", "10", Op::Multiply, "1E+21", "ran"},
        {"0.5", "-1", Op::Multiply, "-0.5", "skipped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        moxy::Writer writer;
        set(writer, 0, c.a).op(Op::SetPar1);
        set(writer, 1, c.b).op(Op::SetPar2);
        slot(writer, 2).op(c.operation).op(Op::SetPar1);
        set(writer, 3, "8388608").op(Op::SetPar2);
        set(writer, 4, "skipped").op(Op::IfGreater);
        set(writer, 4, "ran").op(Op::EndIf);
        testing_support::FakeHost host;
        runner::Interpreter interpreter(writer.code(), host);
        EXPECT_EQ(runner::statusText(runner::runWithRestart(interpreter)), "ok");
        EXPECT_EQ(interpreter.cell(33152), c.text);
        EXPECT_EQ(interpreter.cell(33154), c.greaterThan);
    }
}

TEST(KeptNumber, TextLimitsHoldForComputedNumbersAsForTexts) {
    // The 17 characters of a third fit once into 20, not twice.
    moxy::Writer writer;
    set(writer, 0, "1").op(Op::SetPar1);
    set(writer, 1, "3").op(Op::SetPar2);
    slot(writer, 2).op(Op::Divide);
    slot(writer, 3).op(Op::Divide);
    testing_support::FakeHost host;
    runner::InterpreterOptions options;
    options.maxTotalText = 20;
    runner::Interpreter interpreter(writer.code(), host, options);
    EXPECT_EQ(runner::statusText(runner::runWithRestart(interpreter)), "error text-too-long");
    EXPECT_EQ(interpreter.cell(33152), "0.333333333333333");
    EXPECT_EQ(interpreter.cell(33153), "");
}
