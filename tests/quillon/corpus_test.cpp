// The fuzzer's interesting inputs, kept as regression cases, and source shapes that
// would make a naive compile slow or large: every one must compile in an orderly way.
#include "quillon_testing.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using quillon_testing::compileSource;

TEST(Corpus, FuzzerFindsCompileInAnOrderlyWay) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLON_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        const auto compiled = compileSource(bytes.str());
        if (compiled.result.abandoned) {
            EXPECT_TRUE(compiled.result.code.empty());
            EXPECT_GE(compiled.result.caret, 3);
        } else {
            EXPECT_EQ(compiled.result.code.substr(0, moxy::kQuillonHeader.size()), moxy::kQuillonHeader);
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}

TEST(Corpus, HostileShapesCompileInLinearTime) {
    // Each of these would make a compile that searches the rest of the text for every
    // statement run for hours: keywords whose delimiters never come, or come only at
    // the very end.
    auto repeat = [](std::string_view piece, std::size_t bytes) {
        std::string text;
        while (text.size() < bytes)
            text += piece;
        return text;
    };
    const std::size_t size = 2 << 20;
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
        const quillon::CompileResult result = quillon::compile(source, {}, {});
        EXPECT_LE(result.code.size(), source.size() * 8 + 1000);
    }
}
