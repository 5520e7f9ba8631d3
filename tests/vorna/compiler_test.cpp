// Tests of the VORNA compiler core: the code of every mnemonic, the scan's skipped
// characters, names and pointer moves, labels, escapes, failed extractions, progress,
// the source map and the bounds on the code; and a replay of the fuzzing corpus.
#include "moxy/format.h"
#include "moxy/listing.h"
#include "support/corpus.h"
#include "vorna/compiler.h"

#include <initializer_list>
#include <numeric>
#include <string>
#include <utility>
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

void expectCode(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source);
        const std::string code = compile(source).code;
        EXPECT_EQ(code, expected) << moxy::listing(code);
    }
}

TEST(Compile, EveryMnemonicAppendsItsCode) {
    const std::pair<const char*, int> mnemonics[] = {
        {"DEC", 1},         {"INC", 2},        {"SETPAR1", 3},  {"SETPAR2", 4},     {"SETRES", 5},  {"ADD", 6},
        {"SUB", 7},         {"MUL", 8},        {"DIV", 9},      {"PRINT", 253},     {"SETCOL", 12}, {"PSET", 14},
        {"IF=", 15},        {"IF>", 16},       {"IF<", 17},     {"ENDIF", 18},      {"SETTICK", 19},
        {"GETPOINTER", 20}, {"MOVPOINTER", 21}, {"SETPROMPT", 22}, {"INPUT", 23},   {"EXIT", 24},   {"VUP", 25},
        {"VDN", 26},        {"CLEARVAR", 27},  {"GOTO", 254},   {"LABEL", 255},
    };
    for (const auto& [mnemonic, code] : mnemonics)
        expectCode({{mnemonic, codes({code})}});
}

TEST(Compile, SkipsTheCharacterAfterEachMnemonicAndAppendsTheOneAfterABacktick) {
    expectCode({
        {"", ""}, {"INC VUP", codes({2, 25})}, {"INCVUP", codes({2})}, {"EXITS", codes({24})}, {"inc print Exit", ""},
        {"xxADDxxSUB", codes({6, 7})}, {"INC\r\nVUP", codes({2, 25})},  // the CR is skipped, the LF passed over
        {"`A", "A"}, {"``", "`"}, {"`", ""}, {"INC `", codes({2})}, {"`INC", "I"}, {"``INC", codes({'`', 2})},
        {std::string("`\0`\xff", 4), codes({0, 255})},
        {"INC`A", codes({2})},  // the backtick is skipped, the A passed over
    });
    EXPECT_EQ(moxy::listing(compile("DEC `\x82`\x83").code), "SelectCell 33151\n");
}

TEST(Compile, NamesAreScannedAndUseMovesThePointerBetweenThem) {
    expectCode({
        {"DIM[SUBTOTAL]", codes({7})},
        {"DIM[`A]", "A"},
        {"DIM[EXIT] USE[EXIT]", codes({24, 24})},
        {"DIM[a] DIM[b] USE[b] USE[a]", codes({2, 1})},
        {"DIM[a] DIM[b] DIM[c] USE[c] USE[a] USE[b]", codes({2, 2, 1, 1, 2})},
        {"DIM[a] DIM[A] USE[A] USE[a]", codes({2, 1})},      // names are case-sensitive
        {"DIM[a] DIM[b] USE[b] USE[x]", codes({2})},          // undeclared: stays on b
        {"DIM[a] DIM[b] USE[x]", ""},                         // nothing found yet: index 0
        {"DIM[a] DIM[b] USE[]", codes({2, 2})},               // the empty entry at count
        {"USE[]", ""},
        {"DIM[] DIM[a] USE[a] USE[]", codes({2, 1})},         // a declared empty name first
        {"DIM[a] DIM[a] DIM[b] USE[b] USE[a]", codes({2, 2, 1, 1})},  // first equal entry
        // A failed extraction reuses the previous name of its kind. The second DIM has no
        // "]" after its "[": it stores a once more, so the empty entry is index 2. The USE
        // finds no "[" and reads from the text's start.
        {"]DIM[a] DIM[ USE", codes({2, 2})},
        // The failing USE looks up b again, which is declared by now.
        {"DIM[a] USE[b] DIM[x] DIM[b] USE[", codes({2, 2})},
        {"DIM DIM USE", ""},
    });
}

TEST(Compile, LabelsCountFromOneInEveryCompileUpToTheHighest) {
    for (int compiles = 0; compiles < 2; ++compiles)
        EXPECT_EQ(compile("LABEL LABEL\nLABEL").code, std::string(6, '\xff'));
    // Past the highest number a LABEL appends nothing.
    const moxy::CompileResult result = compile(repeated("LABEL ", moxy::kHighestLabel + 2) + "EXIT");
    EXPECT_EQ(result.code.size(), moxy::kHighestLabel * (moxy::kHighestLabel + 1) / 2 + 1);
    EXPECT_EQ(result.code.back(), static_cast<char>(moxy::Op::End));
    EXPECT_EQ(result.map.size(), static_cast<std::size_t>(moxy::kHighestLabel) + 1);
}

TEST(Compile, ReportsProgressOnlyWhenItChanges) {
    std::vector<int> everyValue(101);
    std::iota(everyValue.begin(), everyValue.end(), 0);
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"", {}},
        {"abcdefgh", {12, 25, 38, 50, 62, 75, 88, 100}},  // a half goes to the even neighbour
        {"INC", {133}},                                   // the mnemonic reaches past the end
        {std::string(1000, 'x'), everyValue},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source.substr(0, 10));
        std::vector<int> reported;
        compile(source, [&](int percent) { reported.push_back(percent); });
        EXPECT_EQ(reported, expected);
    }
}

TEST(Compile, MapsEachAppendingMnemonicToItsSource) {
    const moxy::CompileResult result = compile("INC\r\nVUP\nDIM[a] USE[] USE[a]\r  LABEL LABEL `A");
    ASSERT_EQ(result.code, codes({2, 25, 2, 1, 255, 255, 255, 'A'}));
    std::vector<std::vector<int>> entries;
    for (const moxy::SourceMapEntry& entry : result.map)
        entries.push_back({static_cast<int>(entry.position), entry.line, entry.column});
    EXPECT_EQ(entries, (std::vector<std::vector<int>>{
                           {1, 1, 1}, {2, 2, 1}, {3, 3, 8}, {4, 3, 14}, {5, 4, 3}, {6, 4, 9}, {8, 4, 15}}));
}

TEST(Compile, PointerMovesStopAtTheirBudget) {
    // Name a at index 0, empty names up to index 4095, name b at index 4096: every USE
    // of the two names after the first moves the pointer 4096 steps.
    const int distance = 4096;
    const std::string declarations = "DIM[a] " + repeated("DIM[] ", distance - 1) + "DIM[b] ";
    const int moves = static_cast<int>(kMaxPointerSteps / distance);
    const std::string code = compile(declarations + repeated("USE[b] USE[a] ", moves / 2 + 1) + "USE[] EXIT").code;
    ASSERT_EQ(code.size(), kMaxPointerSteps + 1);
    EXPECT_EQ(code.substr(code.size() - 2), codes({1, 24}));  // the last move that fits went down
}

TEST(Compile, ReplaysTheFuzzingCorpus) {
    testing_support::forEachCorpusFile(VORNA_CORPUS_DIR, [](const std::string& source) {
        const moxy::CompileResult first = compile(source);
        const moxy::CompileResult second = compile(source);
        EXPECT_EQ(first.code, second.code);
        EXPECT_EQ(first.map.size(), second.map.size());
        for (const moxy::SourceMapEntry& entry : first.map)
            EXPECT_LE(entry.position, first.code.size());
    });
}

}  // namespace
}  // namespace vorna
