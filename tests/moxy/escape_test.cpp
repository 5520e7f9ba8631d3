#include "moxy/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

moxy::Escaping cutAt(std::size_t limit, bool count) {
    moxy::Escaping escaping = moxy::kQuoted;
    escaping.limit = limit;
    escaping.countCut = count;
    return escaping;
}

}  // namespace

TEST(Escape, EachPlaceShowsProgramTextsInItsOwnWay) {
    const std::string text = std::string("a\"b\\c\r\n\t") + '\x01' + '\xe9';
    struct Case {
        const char* place;
        moxy::Escaping escaping;
        std::string expected;
    };
    const Case cases[] = {
        {"listing and trace", moxy::kQuoted, R"("a\"b\\c\x0d\x0a\x09\x01\xe9")"},
        {"dump", moxy::kDumpText, R"(a"b\\c\r\n\t\x01\xe9)"},
        {"compile message", moxy::kMessageText, std::string(R"(a"b\c\r\n)") + "\t\x01\xe9"},
        {"error report", cutAt(3, false), R"("a\"b"...)"},
        {"trace value", cutAt(3, true), R"("a\"b"... (10 characters))"},
        {"not cut at the limit", cutAt(10, true), R"("a\"b\\c\x0d\x0a\x09\x01\xe9")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.place);
        EXPECT_EQ(moxy::escaped(text, c.escaping), c.expected);
    }
}
