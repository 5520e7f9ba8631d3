#include "moxy/escape.h"

#include <gtest/gtest.h>

#include <string>

TEST(Escape, EachPlaceShowsProgramTextsInItsOwnWay) {
    const std::string text = std::string("a\"b\\c\r\n\t") + '\x01' + '\xe9';
    const struct { const char* place; moxy::Escaping escaping; std::string expected; } cases[] = {
        {"listing and trace", moxy::kQuoted, R"("a\"b\\c\x0d\x0a\x09\x01\xe9")"},
        {"dump", moxy::kDumpText, R"(a"b\\c\r\n\t\x01\xe9)"},
        {"compile message", moxy::kMessageText, std::string(R"(a"b\c\r\n)") + "\t\x01\xe9"},
        {"error report", moxy::Escaping{.limit = 3}, R"("a\"b"...)"},
        {"trace value", moxy::Escaping{.limit = 3, .countCut = true}, R"("a\"b"... (10 characters))"},
        {"not cut at the limit", moxy::Escaping{.limit = 10, .countCut = true}, R"("a\"b\\c\x0d\x0a\x09\x01\xe9")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        EXPECT_EQ(moxy::escaped(text, c.escaping), c.expected);
    }
}
