// A computed result that nobody reads keeps its raw value until it is read: every way of
// reading it sees its text's value, and the limits on texts count its text as if written
// when the result was stored.
#include "support/fake_host.h"
#include "support/program_builder.h"
#include "moxy/format.h"
#include "runner/conversions.h"
#include "runner/interpreter.h"
#include "runner/session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using moxy::Op;
using testing_support::set;
using testing_support::slot;

namespace {
const runner::NumberFormat kPoint{'.'};
}  // namespace

TEST(UnreadResult, EveryReaderSeesTheTextsValue) {
    // Slot 2 := slot 0 / slot 1, then one reader; slot 5 holds what the reader saw.
    struct Reader {
        const char* name;
        std::function<void(moxy::Writer&)> read;
        std::function<std::string(const std::string& text)> expected;
    };
    const Reader readers[] = {
        {"copy", [](moxy::Writer& w) { slot(w, 2).op(Op::SetPar1); slot(w, 5).op(Op::Copy); },
         [](const std::string& text) { return text; }},
        {"append", [](moxy::Writer& w) { slot(w, 2).op(Op::SetPar1); set(w, 5, "x").op(Op::Append); },
         [](const std::string& text) { return "x" + text; }},
        {"length", [](moxy::Writer& w) { slot(w, 2).op(Op::SetPar1); slot(w, 5).op(Op::Length); },
         [](const std::string& text) { return std::to_string(text.size()); }},
        {"add zero", [](moxy::Writer& w) {
             slot(w, 2).op(Op::SetPar1);
             set(w, 4, "0").op(Op::SetPar2);
             slot(w, 5).op(Op::Add);
         },
         [](const std::string& text) {
             double value = 0;
             runner::parseNumber(text, kPoint, value);
             return runner::formatNumber(value, kPoint);
         }},
        {"equal to its text", [](moxy::Writer& w) {
             slot(w, 2).op(Op::SetPar1);
             slot(w, 6).op(Op::SetPar2);
             set(w, 5, "no").op(Op::IfEqual);
             set(w, 5, "yes").op(Op::EndIf);
         },
         [](const std::string&) { return std::string("yes"); }},
        {"greater than its single", [](moxy::Writer& w) {
             slot(w, 2).op(Op::SetPar1);
             slot(w, 6).op(Op::SetPar2);
             set(w, 5, "yes").op(Op::IfGreater);
             set(w, 5, "no").op(Op::EndIf);
         },
         [](const std::string&) { return std::string("yes"); }},
    };
    struct Operands {
        const char *a, *b;
    };
    // A third, an exact decimal tie at the 16th digit, a halfway single, a tiny and a huge
    // quotient.
    const Operands operands[] = {{"1", "3"},         {"999999999999999", "2"}, {"16777217", "2"},
                                 {"1E-300", "7"},    {"1E+30", "0.7"},        {"123456789012345", "-0.2"}};
    for (const Operands& o : operands) {
        double a = 0, b = 0;
        runner::parseNumber(o.a, kPoint, a);
        runner::parseNumber(o.b, kPoint, b);
        const std::string text = runner::formatNumber(a / b, kPoint);
        for (const Reader& reader : readers) {
            SCOPED_TRACE(std::string(o.a) + " / " + o.b + ", " + reader.name);
            moxy::Writer writer;
            set(writer, 0, o.a).op(Op::SetPar1);
            set(writer, 1, o.b).op(Op::SetPar2);
            slot(writer, 2).op(Op::Divide);
            set(writer, 6, text);
            reader.read(writer);
            testing_support::FakeHost host;
            runner::Interpreter interpreter(writer.code(), host);
            EXPECT_EQ(runner::statusText(runner::runWithRestart(interpreter)), "ok");
            EXPECT_EQ(interpreter.cell(33155), reader.expected(text));
            EXPECT_EQ(interpreter.cell(33152), text);
        }
    }
}

TEST(UnreadResult, AnExactTieCountsItsTextFromTheStart) {
    // Only the text of an exact decimal tie tells its value: it is written when stored and
    // counts against the limit at once; any other result counts only when its text is read.
    // 16 characters of operands, 15 of a written quotient, 11 appended: 42 > 40.
    struct Case {
        const char* dividend;
        const char* status;
        const char* appended;
    };
    const Case cases[] = {
        {"999999999999999", "error text-too-long", "abcdefghi"},  // 499999999999999.5
        {"999999999999998", "ok", "abcdefghijk"},                 // 333333333333332.67
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dividend);
        moxy::Writer writer;
        set(writer, 0, c.dividend).op(Op::SetPar1);
        set(writer, 1, c.dividend[14] == '9' ? "2" : "3").op(Op::SetPar2);
        slot(writer, 2).op(Op::Divide);
        set(writer, 3, "abcdefghijk");
        testing_support::FakeHost host;
        runner::InterpreterOptions options;
        options.maxTotalText = 40;
        runner::Interpreter interpreter(writer.code(), host, options);
        EXPECT_EQ(runner::statusText(runner::runWithRestart(interpreter)), c.status);
        EXPECT_EQ(interpreter.cell(33153), c.appended);
    }
}

TEST(UnreadResult, ResultsOverwrittenUnreadNeverCount) {
    // A loop of roots into one cell: the unread roots leave nothing behind, the last one
    // is read at the end.
    moxy::Writer writer;
    set(writer, 0, "0");
    set(writer, 1, "1000");
    set(writer, 7, "1");
    writer.label(1);
    slot(writer, 2).op(Op::SetRes);
    slot(writer, 0).op(Op::Increment).op(Op::SquareRoot).op(Op::SetPar1);
    slot(writer, 1).op(Op::SetPar2).op(Op::IfLess);
    slot(writer, 7).op(Op::Jump).op(Op::EndIf);
    testing_support::FakeHost host;
    runner::InterpreterOptions options;
    options.maxTotalText = 60;
    runner::Interpreter interpreter(writer.code(), host, options);
    EXPECT_EQ(runner::statusText(runner::runWithRestart(interpreter)), "ok");
    EXPECT_EQ(interpreter.cell(33152), "31.6227766016838");
}

TEST(UnreadResult, KeptNumbersCompareAndCountAsTheirTexts) {
    // Each value is made a kept number (value + 0, then incremented and decremented back),
    // then compared in single precision with the other: as the texts' singles compare.
    const char* values[] = {"0",        "-0.5",     "16777216", "16777217",       "16777218",  "1E-40",
                            "1E-45",    "1E-38",    "2E+38",    "1.7014118E+38",  "1.7014119E+38", "8388608.5",
                            "999999999999999", "-999999999999999", "0.1", "123456789012345.5"};
    for (const char* a : values) {
        for (const char* b : values) {
            SCOPED_TRACE(std::string(a) + " against " + b);
            moxy::Writer writer;
            set(writer, 9, "0").op(Op::SetPar2);
            set(writer, 0, a).op(Op::SetPar1);
            slot(writer, 2).op(Op::Add).op(Op::Increment).op(Op::Decrement);
            set(writer, 1, b).op(Op::SetPar1);
            slot(writer, 3).op(Op::Add).op(Op::Increment).op(Op::Decrement);
            slot(writer, 2).op(Op::SetPar1);
            slot(writer, 3).op(Op::SetPar2);
            set(writer, 4, "no").op(Op::IfLess);
            set(writer, 4, "yes").op(Op::EndIf);
            set(writer, 5, "no").op(Op::IfGreater);
            set(writer, 5, "yes").op(Op::EndIf);
            testing_support::FakeHost host;
            runner::Interpreter interpreter(writer.code(), host);
            const std::string status = runner::statusText(runner::runWithRestart(interpreter));
            float x = 0, y = 0;
            const bool fit = runner::parseSingle(interpreter.cell(33152), kPoint, x) == runner::ParseStatus::Ok &&
                             runner::parseSingle(interpreter.cell(33153), kPoint, y) == runner::ParseStatus::Ok;
            if (!fit) {
                EXPECT_EQ(status, "error overflow");
                continue;
            }
            EXPECT_EQ(status, "ok");
            EXPECT_EQ(interpreter.cell(33154), x < y ? "yes" : "no");
            EXPECT_EQ(interpreter.cell(33155), x > y ? "yes" : "no");
        }
    }
}
