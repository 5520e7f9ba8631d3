// What a compile hands back besides the code: progress percentages for the caption,
// source map entries and the line and column of each message.
#include "quillon_testing.h"

#include <gmock/gmock.h>

#include <array>
#include <cmath>

using quillon_testing::Compiled;
using quillon_testing::compileSource;
using testing::ElementsAre;

TEST(Progress, ReportsEachPercentageOnceRoundedHalfToEven) {
    EXPECT_THAT(compileSource("........").progress, ElementsAre(12, 25, 38, 50, 62, 75, 88, 100));
    // Against every position's percentage worked out one by one.
    for (int limit : {1, 2, 3, 7, 199, 200, 201, 333, 1000, 4097}) {
        SCOPED_TRACE(limit);
        std::vector<int> expected;
        for (int position = 1; position <= limit; ++position) {
            const int percent = static_cast<int>(std::nearbyint(static_cast<double>(position) / limit * 100.0));
            if (expected.empty() || expected.back() != percent)
                expected.push_back(percent);
        }
        EXPECT_EQ(compileSource(std::string(static_cast<std::size_t>(limit), ' ')).progress, expected);
    }
    // The position a statement left: exit at position 1 leaves 5 of 4, 125%; a comment
    // without its end runs past the last position.
    EXPECT_THAT(compileSource("exit").progress, ElementsAre(125));
    EXPECT_THAT(compileSource("// x").progress, ElementsAre(125));
    // Two statements: exit leaves 5 of 10, position 6 is passed over, exit leaves 11.
    EXPECT_THAT(compileSource("exit\r\nexit").progress, ElementsAre(50, 60, 110));
}

TEST(SourceMap, OneEntryPerStatementThatAppendedCode) {
    const auto compiled = compileSource(
        "dim[a]\r\n"             // line 1: no code
        "  msgbox[a] exit\r\n"   // line 2: two statements
        "label{0}\n"             // line 3: no code
        "freespace{2}\r"         // line 4: no code
        "// exit //\r\n"         // line 5: no code
        "\tgetkey[zz]{300}\n"    // line 6: no code (undeclared, key out of range)
        "set[a]{12}\r\n"         // line 7
        "\r\n"
        "cls");                  // line 9
    std::vector<std::array<std::size_t, 3>> entries;
    for (const moxy::SourceMapEntry& entry : compiled.result.map)
        entries.push_back(
            {entry.position, static_cast<std::size_t>(entry.line), static_cast<std::size_t>(entry.column)});
    const std::size_t first = moxy::kQuillonHeader.size() + 1;
    EXPECT_EQ(entries, (decltype(entries){{first, 2, 3}, {first + 5, 2, 13}, {first + 6, 7, 1}, {first + 12, 9, 1}}));
}

TEST(Diagnostics, NameTheLineAndColumnOfTheKeywordAndTheNamesBytes) {
    const auto compiled = compileSource(
        "msgbox[x]\r\n"        // CR LF
        "  \tmsgbox[y]\n"      // LF
        "\rmov[a][b]\r"        // a lone CR ends line 3 and line 4
        "\r\n\n"
        "ab*mov[c][d] msgbox[\x01\xe9 x]");
    EXPECT_THAT(compiled.messages(Compiled::Place::Yes),
                ElementsAre("1:1 Error: Variable doesnt exist. x", "2:4 Error: Variable doesnt exist. y",
                            "4:1 Error: Variable doesnt exist. a", "4:1 Error: Variable doesnt exist. b",
                            "7:4 Error: Variable doesnt exist. c", "7:4 Error: Variable doesnt exist. d",
                            "7:14 Error: Variable doesnt exist. \x01\xe9 x"));
}
