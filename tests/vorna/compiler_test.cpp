// The VORNA compiler core: mnemonics, escapes, names, pointer moves, labels, progress, map, warnings, corpus.
#include "moxy/format.h"
#include "moxy/listing.h"
#include "support/corpus.h"
#include "vorna/compiler.h"

#include <gtest/gtest.h>


namespace vorna {
namespace {

std::string codes(std::initializer_list<int> list) { return std::string(list.begin(), list.end()); }

std::string repeated(std::string_view text, int times) {
    std::string out;
    while (times-- > 0)
        out += text;
    return out;
}

TEST(Compile, MnemonicsEscapesAndNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"DEC", codes({1})}, {"INC", codes({2})}, {"SETPAR1", codes({3})}, {"SETPAR2", codes({4})}, {"SETRES", codes({5})},
        {"ADD", codes({6})}, {"SUB", codes({7})}, {"MUL", codes({8})}, {"DIV", codes({9})}, {"PRINT", codes({253})},
        {"SETCOL", codes({12})}, {"PSET", codes({14})}, {"IF=", codes({15})}, {"IF>", codes({16})}, {"IF<", codes({17})},
        {"ENDIF", codes({18})}, {"SETTICK", codes({19})}, {"GETPOINTER", codes({20})}, {"MOVPOINTER", codes({21})},
        {"SETPROMPT", codes({22})}, {"INPUT", codes({23})}, {"EXIT", codes({24})}, {"VUP", codes({25})},
        {"VDN", codes({26})}, {"CLEARVAR", codes({27})}, {"GOTO", codes({254})}, {"LABEL", codes({255})},
        {"INCVUP", codes({2})}, {"EXITS", codes({24})}, {"inc print Exit", ""}, {"xxADDxxSUB", codes({6, 7})},
        {"INC\r\nVUP", codes({2, 25})}, {"``", "`"}, {"`", ""}, {"INC `", codes({2})}, {"``INC", codes({'`', 2})},
        {std::string("`\0`\xff", 4), codes({0, 255})}, {"INC`A", codes({2})},
        {"DIM[SUBTOTAL]", codes({7})}, {"DIM[`A]", "A"}, {"DIM[EXIT] USE[EXIT]", codes({24, 24})},
        {"DIM[a] DIM[b] DIM[c] USE[c] USE[a] USE[b]", codes({2, 2, 1, 1, 2})},
        {"DIM[a] DIM[A] USE[A] USE[a]", codes({2, 1})}, {"DIM[a] DIM[b] USE[b] USE[x]", codes({2})},
        {"DIM[a] DIM[b] USE[]", codes({2, 2})}, {"DIM[] DIM[a] USE[a] USE[]", codes({2, 1})},
        {"DIM[a] DIM[a] DIM[b] USE[b] USE[a]", codes({2, 2, 1, 1})},
        {"]DIM[a] DIM[ USE", codes({2, 2})}, {"DIM[a] USE[b] DIM[x] DIM[b] USE[", codes({2, 2})}, {"DIM DIM USE", ""},
        {"DIM[DIM[DIM[a] USE[[a] USE[a]", codes({2, 2})},
        {"DIM[DIM[DIM[" + std::string(100, 'z') + "] USE[[" + std::string(100, 'z') + "] USE[" + std::string(100, 'z') + "]",
         codes({2, 2})},
        {"DIM[" + std::string(100, 'z') + "] DIM[x] USE[x] USE[" + std::string(101, 'z') + "]", codes({2})},
        {std::string(100, 'z') + "] DIM[b] USE[b] DIM DIM USE", codes({2})},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source);
        const std::string code = compile(source).code;
        EXPECT_EQ(code, expected) << moxy::listing(code);
    }
    EXPECT_EQ(moxy::listing(compile("DEC `\x82`\x83").code), "SelectCell 33151\n");  // escaped cell digits
    // 2000 nested names, each a suffix of the one before: USE finds its own at index 1000.
    const std::string code = compile(repeated("DIM[", 2000) + "] USE[" + repeated("DIM[", 999) + "]").code;
    EXPECT_TRUE(code == std::string(1000, '\x02')) << code.size() << " codes";
}

TEST(Compile, LabelsProgressAndTheSourceMap) {
    for (int compiles = 0; compiles < 2; ++compiles)
        EXPECT_EQ(compile("LABEL LABEL\nLABEL").code, std::string(6, '\xff'));
    // Past the highest number a LABEL appends nothing.
    const moxy::CompileResult labels = compile(repeated("LABEL ", moxy::kHighestLabel + 2) + "EXIT");
    EXPECT_EQ(labels.code.size(), moxy::kHighestLabel * (moxy::kHighestLabel + 1) / 2 + 1);
    EXPECT_EQ(labels.map.size(), static_cast<std::size_t>(moxy::kHighestLabel) + 1);

    // The percentages' rounding is the Quillon tests'; a mnemonic may reach past the end.
    for (const auto& [source, expected] : {std::pair<std::string, std::vector<int>>{"INC", {133}}, {"", {}}}) {
        std::vector<int> reported;
        compile(source, [&](int percent) { reported.push_back(percent); });
        EXPECT_EQ(reported, expected) << source;
    }

    const moxy::CompileResult result = compile("INC\r\nVUP\nDIM[a] USE[] USE[a]\r  LABEL LABEL `A");
    ASSERT_EQ(result.code, codes({2, 25, 2, 1, 255, 255, 255, 'A'}));
    std::vector<std::vector<int>> entries;
    for (const moxy::SourceMapEntry& entry : result.map)
        entries.push_back({static_cast<int>(entry.position), entry.line, entry.column});
    EXPECT_EQ(entries, (std::vector<std::vector<int>>{{1, 1, 1}, {2, 2, 1}, {3, 3, 8}, {4, 3, 14}, {5, 4, 3}, {6, 4, 9}, {8, 4, 15}}));
}

TEST(Compile, WarningsAtTheirPlaceAndTheCodeUnchanged) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {  // the warnings' starts
        {"SETPAR1\r\n  PRNT", {"2:3 \"PRNT\" is not a VORNA mnemonic"}},
        {"SETPAR3 IF", {"1:1 \"SETPAR\" is not", "1:9 \"IF\" is not"}},
        {"SETPAR1PRINT", {"1:8 \"PRINT\" is not compiled: it stands right behind a mnemonic"}},
        {"DIM[x] USE[y]\r\nUSE[y] DIM[y]", {"1:8 USE of \"y\", which no DIM before it declares", "2:1 USE of \"y\""}},
        {"DIM[a] USE[a", {"1:8 USE with a [ but no ] after it"}},
        {"DIM", {"1:1 DIM without a [name] after it"}},
        {"notes in lower case, Mixed Case words, single letters A and I", {}},
        {"EXITS INCINC DIM[SUBTOTAL] USE[SUBTOTAL] DIM[COUNT] USE[COUNT] USE[]", {}},
        {"CLEARVAR `H`E`L`L`O `AB DEC `x`x CLEARVAR `1`0 IF= GOTO ENDIF", {}},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source);
        std::vector<std::string> warnings;
        const moxy::CompileResult result = compile(
            source,
            [&](const moxy::Diagnostic& d) {
                EXPECT_EQ(d.severity, moxy::Severity::Warning);
                warnings.push_back(std::to_string(d.line) + ":" + std::to_string(d.column) + " " + d.text);
            },
            {});
        ASSERT_EQ(warnings.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(warnings[i].substr(0, expected[i].size()), expected[i]);
        EXPECT_EQ(result.code, compile(source).code);
    }
}

TEST(Compile, PointerMovesStopAtTheirBudgetAndTheCorpusReplays) {
    // a at index 0, b at 4096: every USE after the first moves the pointer 4096 steps.
    const int distance = 4096;
    const std::string declarations = "DIM[a] " + repeated("DIM[] ", distance - 1) + "DIM[b] ";
    const int moves = static_cast<int>(kMaxPointerSteps / distance);
    const std::string code = compile(declarations + repeated("USE[b] USE[a] ", moves / 2 + 1) + "USE[] EXIT").code;
    ASSERT_EQ(code.size(), kMaxPointerSteps + 1);
    EXPECT_EQ(code.substr(code.size() - 2), codes({1, 24}));  // the last move that fits went down

    testing_support::forEachCorpusFile(VORNA_CORPUS_DIR, [](const std::string& source) {
        const moxy::CompileResult first = compile(source);
        EXPECT_EQ(first.code, compile(source).code);
        for (const moxy::SourceMapEntry& entry : first.map)
            EXPECT_LE(entry.position, first.code.size());
    });
}

}  // namespace
}  // namespace vorna
