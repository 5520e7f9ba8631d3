// What a compile hands back besides the code: progress percentages for the caption,
// source map entries and the line and column of each message.
#include "quillon_testing.h"

#include <gmock/gmock.h>

#include <cmath>

using quillon_testing::compileSource;
using testing::ElementsAre;

namespace {

// The percentages a source without keywords reports: every position, rounded half to
// even, each value once.
std::vector<int> plainProgress(int limit) {
    std::vector<int> values;
    for (int position = 1; position <= limit; ++position) {
        const int percent = static_cast<int>(std::nearbyint(static_cast<double>(position) / limit * 100.0));
        if (values.empty() || values.back() != percent)
            values.push_back(percent);
    }
    return values;
}

}  // namespace

TEST(Progress, ReportsEachPercentageOnceRoundedHalfToEven) {
    EXPECT_THAT(compileSource("........").progress, ElementsAre(12, 25, 38, 50, 62, 75, 88, 100));
    for (int limit : {1, 2, 3, 7, 8, 199, 200, 201, 333, 1000, 4097}) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(compileSource(std::string(static_cast<std::size_t>(limit), ' ')).progress, plainProgress(limit));
    }
}

TEST(Progress, UsesThePositionTheStatementLeft) {
    // exit at position 1 leaves the scan position at 5 of 4: 125%.
    EXPECT_THAT(compileSource("exit").progress, ElementsAre(125));
    // A comment without its end runs past the last position.
    EXPECT_THAT(compileSource("// x").progress, ElementsAre(125));
    // Two statements: exit leaves 5 of 10, position 6 is passed over, exit leaves 11.
    EXPECT_THAT(compileSource("exit\r\nexit").progress, ElementsAre(50, 60, 110));
}

TEST(Progress, NoCallbackIsFine) {
    const quillon::CompileResult result = quillon::compile("dim[a]\r\nmsgbox[b]\r\n", {}, {});
    EXPECT_EQ(result.map.size(), 1u);
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
    const std::size_t first = moxy::kQuillonHeader.size() + 1;
    ASSERT_EQ(compiled.result.map.size(), 4u);
    const struct {
        std::size_t position;
        int line;
        int column;
    } expected[] = {{first, 2, 3}, {first + 5, 2, 13}, {first + 6, 7, 1}, {first + 12, 9, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(compiled.result.map[i].position, expected[i].position);
        EXPECT_EQ(compiled.result.map[i].line, expected[i].line);
        EXPECT_EQ(compiled.result.map[i].column, expected[i].column);
    }
}

TEST(Diagnostics, NameTheLineAndColumnOfTheKeyword) {
    const auto compiled = compileSource(
        "msgbox[x]\r\n"        // CR LF
        "  \tmsgbox[y]\n"      // LF
        "\rmov[a][b]\r"        // a lone CR ends line 3 and line 4
        "\r\n\n"
        "ab*mov[c][d]");
    ASSERT_EQ(compiled.diagnostics.size(), 6u);
    const struct {
        int line;
        int column;
        std::string text;
    } expected[] = {
        {1, 1, "Error: Variable doesnt exist. x"}, {2, 4, "Error: Variable doesnt exist. y"},
        {4, 1, "Error: Variable doesnt exist. a"}, {4, 1, "Error: Variable doesnt exist. b"},
        {7, 4, "Error: Variable doesnt exist. c"}, {7, 4, "Error: Variable doesnt exist. d"},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(compiled.diagnostics[i].line, expected[i].line);
        EXPECT_EQ(compiled.diagnostics[i].column, expected[i].column);
        EXPECT_EQ(compiled.diagnostics[i].text, expected[i].text);
    }
}

TEST(Diagnostics, UndeclaredNameIsReportedWithItsBytes) {
    const auto compiled = compileSource("msgbox[\x01\xe9 x]");
    EXPECT_THAT(compiled.messages(), ElementsAre(std::string("Error: Variable doesnt exist. \x01\xe9 x")));
}
