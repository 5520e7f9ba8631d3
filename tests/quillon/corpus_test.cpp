// The fuzzer's interesting inputs, kept as regression cases, and source shapes that
// would make a naive compile slow or large: every one must compile in an orderly way.
#include "quillon_testing.h"
#include "support/corpus.h"

using quillon_testing::compileSource;

TEST(Corpus, FuzzerFindsCompileInAnOrderlyWay) {
    testing_support::forEachCorpusFile(QUILLON_CORPUS_DIR, [](const std::string& source) {
        const auto compiled = compileSource(source);
        if (compiled.result.abandoned)
            EXPECT_TRUE(compiled.result.code.empty() && compiled.result.caret >= 3) << compiled.result.caret;
        else
            EXPECT_NE(quillon_testing::bodyOf(compiled.result), "<no header>");
    });
}

TEST(Corpus, HostileShapesCompileInLinearTime) {
    // Each of these would make a compile that searches the rest of the text for every
    // statement run for hours: keywords whose delimiters never come, or come only at
    // the very end.
    const std::size_t size = 2 << 20;
    auto repeat = [](std::string_view piece, std::size_t bytes) {
        std::string text;
        while (text.size() < bytes)
            text += piece;
        return text;
    };
    const std::string shapes[] = {
        repeat("print ", size),
        repeat("print ", size) + "[a]",
        std::string(1, ']').append(repeat("PRINT*", size)),
        repeat("set{", size),
        repeat("mov  ", size) + "[a][b]",
        repeat("// ", size),
        repeat("label ", size) + "{5}",
        repeat("freespace{1}", 4096) + repeat("dim[]", size),
    };
    for (const std::string& source : shapes) {
        SCOPED_TRACE(source.substr(0, 20));
        EXPECT_LE(quillon::compile(source, {}, {}).code.size(), source.size() * 8 + 1000);
    }
}
