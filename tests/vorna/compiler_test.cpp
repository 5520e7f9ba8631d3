// Tests of the VORNA compiler core: the code of every mnemonic, the scan's skipped
// characters, names and pointer moves, labels, escapes, failed extractions, progress,
// the source map and the bounds on the code; and a replay of the fuzzing corpus.
#include "moxy/format.h"
#include "moxy/listing.h"
#include "vorna/compiler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace vorna {
namespace {

// Code from its character codes.
std::string codes(std::initializer_list<int> list) {
    std::string code;
    for (int c : list)
        code += static_cast<char>(c);
    return code;
}

std::string repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

struct Case {
    std::string source;
    std::string expected;
};

void expectCode(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string code = compile(c.source).code;
        EXPECT_EQ(code, c.expected) << moxy::listing(code);
    }
}

TEST(Compile, EveryMnemonicAppendsItsCode) {
    expectCode({
        {"DEC", codes({1})},         {"INC", codes({2})},         {"SETPAR1", codes({3})},
        {"SETPAR2", codes({4})},     {"SETRES", codes({5})},      {"ADD", codes({6})},
        {"SUB", codes({7})},         {"MUL", codes({8})},         {"DIV", codes({9})},
        {"PRINT", codes({253})},     {"SETCOL", codes({12})},     {"PSET", codes({14})},
        {"IF=", codes({15})},        {"IF>", codes({16})},        {"IF<", codes({17})},
        {"ENDIF", codes({18})},      {"SETTICK", codes({19})},    {"GETPOINTER", codes({20})},
        {"MOVPOINTER", codes({21})}, {"SETPROMPT", codes({22})},  {"INPUT", codes({23})},
        {"EXIT", codes({24})},       {"VUP", codes({25})},        {"VDN", codes({26})},
        {"CLEARVAR", codes({27})},   {"GOTO", codes({254})},      {"LABEL", codes({255})},
    });
}

TEST(Compile, SkipsTheCharacterAfterEachMnemonic) {
    expectCode({
        {"", ""},
        {"INC VUP", codes({2, 25})},
        {"INCVUP", codes({2})},
        {"INC\r\nVUP", codes({2, 25})},  // the CR is skipped, the LF passed over
        {"SETPAR1 PRINT", codes({3, 253})},
        {"EXITS", codes({24})},
        {"IF=IF<", codes({15})},
        {"inc print Exit", ""},
        {"xxADDxxSUB", codes({6, 7})},
    });
}

TEST(Compile, ScansTheNamesInsideBrackets) {
    expectCode({
        {"DIM[SUBTOTAL]", codes({7})},
        {"DIM[`A]", "A"},
        {"DIM[EXIT] USE[EXIT]", codes({24, 24})},
    });
}

TEST(Compile, UseMovesThePointerBetweenNames) {
    expectCode({
        {"DIM[a] DIM[b] USE[b] USE[a]", codes({2, 1})},
        {"DIM[a] DIM[b] DIM[c] USE[c] USE[a] USE[b]", codes({2, 2, 1, 1, 2})},
        {"DIM[a] DIM[A] USE[A] USE[a]", codes({2, 1})},      // names are case-sensitive
        {"DIM[a] DIM[b] USE[b] USE[x]", codes({2})},          // undeclared: stays on b
        {"DIM[a] DIM[b] USE[b] USE[a] USE[x]", codes({2, 1})},
        {"DIM[a] DIM[b] USE[x]", ""},                         // nothing found yet: index 0
        {"DIM[a] DIM[b] USE[]", codes({2, 2})},               // the empty entry at count
        {"USE[]", ""},
        {"DIM[] DIM[a] USE[a] USE[]", codes({2, 1})},         // a declared empty name first
        {"DIM[a] DIM[a] DIM[b] USE[b] USE[a]", codes({2, 2, 1, 1})},  // first equal entry
    });
}

TEST(Compile, FailedExtractionReusesThePreviousNameOfItsKind) {
    expectCode({
        // The second DIM has no "]" after its "[": it stores a once more, so the
        // empty entry is index 2. The USE finds no "[" and reads from the text's start.
        {"]DIM[a] DIM[ USE", codes({2, 2})},
        // The failing USE looks up b again, which is declared by now.
        {"DIM[a] USE[b] DIM[x] DIM[b] USE[", codes({2, 2})},
        {"DIM DIM USE", ""},
    });
}

TEST(Compile, LabelsCountFromOneInEveryCompile) {
    const std::string source = "LABEL LABEL\nLABEL";
    const std::string expected = codes({255, 255, 255, 255, 255, 255});
    EXPECT_EQ(compile(source).code, expected);
    EXPECT_EQ(compile(source).code, expected);
}

TEST(Compile, LabelsPastTheHighestAppendNothing) {
    const CompileResult result = compile(repeated("LABEL ", moxy::kHighestLabel + 2) + "EXIT");
    const std::size_t markers = moxy::kHighestLabel * (moxy::kHighestLabel + 1) / 2;
    EXPECT_EQ(result.code.size(), markers + 1);
    EXPECT_EQ(result.code.back(), static_cast<char>(moxy::Op::End));
    EXPECT_EQ(result.map.size(), static_cast<std::size_t>(moxy::kHighestLabel) + 1);
}

TEST(Compile, BacktickAppendsTheNextCharacter) {
    expectCode({
        {"`A", "A"},
        {"``", "`"},
        {"`", ""},
        {"INC `", codes({2})},
        {"INC`A", codes({2})},  // the backtick is skipped, the A passed over
        {"`INC", "I"},
        {"``INC", codes({'`', 2})},
        {std::string("`\0`\xff", 4), codes({0, 255})},
    });
    EXPECT_EQ(moxy::listing(compile("DEC `\x82`\x83").code), "SelectCell 33151\n");
}

TEST(Compile, ReportsProgressOnlyWhenItChanges) {
    struct ProgressCase {
        std::string source;
        std::vector<int> expected;
    };
    const ProgressCase cases[] = {
        {"", {}},
        {"ab", {50, 100}},
        {"abcdefgh", {12, 25, 38, 50, 62, 75, 88, 100}},  // a half goes to the even neighbour
        {"INC", {133}},                                   // the mnemonic reaches past the end
        {"xxxx", {25, 50, 75, 100}},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.source);
        std::vector<int> reported;
        compile(c.source, [&](int percent) { reported.push_back(percent); });
        EXPECT_EQ(reported, c.expected);
    }
    std::vector<int> reported;
    compile(std::string(1000, 'x'), [&](int percent) { reported.push_back(percent); });
    ASSERT_EQ(reported.size(), 101u);
    EXPECT_EQ(reported.front(), 0);
    EXPECT_EQ(reported.back(), 100);
}

TEST(Compile, MapsEachAppendingMnemonicToItsSource) {
    const CompileResult result = compile("INC\r\nVUP\nDIM[a] USE[] USE[a]\r  LABEL LABEL `A");
    ASSERT_EQ(result.code, codes({2, 25, 2, 1, 255, 255, 255, 'A'}));
    const std::vector<std::vector<int>> expected = {
        {1, 1, 1}, {2, 2, 1}, {3, 3, 8}, {4, 3, 14}, {5, 4, 3}, {6, 4, 9}, {8, 4, 15},
    };
    ASSERT_EQ(result.map.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const MapEntry& entry = result.map[i];
        EXPECT_EQ((std::vector<int>{static_cast<int>(entry.position), entry.line, entry.column}), expected[i]);
    }
}

TEST(Compile, PointerMovesStopAtTheirBudget) {
    // Name a at index 0, empty names up to index 4095, name b at index 4096: every USE
    // of the two names after the first moves the pointer 4096 steps.
    const int distance = 4096;
    const std::string declarations = "DIM[a] " + repeated("DIM[] ", distance - 1) + "DIM[b] ";
    const int moves = static_cast<int>(kMaxPointerSteps / distance);
    const std::string source = declarations + repeated("USE[b] USE[a] ", moves / 2 + 1) + "USE[] EXIT";
    const std::string code = compile(source).code;
    ASSERT_EQ(code.size(), kMaxPointerSteps + 1);
    EXPECT_EQ(code.substr(code.size() - 2), codes({1, 24}));  // the last move that fits went down
}

TEST(Compile, ReplaysTheFuzzingCorpus) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VORNA_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const CompileResult first = compile(source);
        const CompileResult second = compile(source);
        EXPECT_EQ(first.code, second.code);
        ASSERT_EQ(first.map.size(), second.map.size());
        for (std::size_t i = 0; i < first.map.size(); ++i)
            EXPECT_LE(first.map[i].position, first.code.size());
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace vorna
