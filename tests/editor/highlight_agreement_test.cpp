// The editor's colouring reads Quillon as the compiler does: over the examples, the
// reference's examples and the fuzz corpus, every statement the compiler's source map
// names is coloured as a keyword at its line and column.
#include "editor/highlight_rules.h"
#include "moxy/lines.h"
#include "quillon/compiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Source {
    std::string name;
    std::string text;
};

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<Source> sources() {
    namespace fs = std::filesystem;
    std::vector<Source> found;
    for (const auto& entry : fs::directory_iterator(QUILLON_EXAMPLES_DIR))
        if (entry.path().extension() == ".qlnp")
            found.push_back({entry.path().filename().string(), fileText(entry.path())});
    for (const auto& entry : fs::directory_iterator(QUILLON_CORPUS_DIR))
        found.push_back({"corpus " + entry.path().filename().string(), fileText(entry.path())});
    const std::string reference = fileText(fs::path(MOXY_DOCS_DIR) / "quillon.md");
    const std::string open = "```quillon\n";
    for (std::size_t at = reference.find(open); at != std::string::npos; at = reference.find(open, at)) {
        at += open.size();
        const std::size_t end = reference.find("```", at);
        found.push_back({"quillon.md at " + std::to_string(at), reference.substr(at, end - at)});
    }
    return found;
}

// The 0-based starts of the keyword spans of every line of [text] (lines end in CR LF),
// as the text box colours them.
std::vector<std::vector<int>> keywordStarts(const std::string& text) {
    std::vector<std::vector<int>> lines;
    editor::LineState state = editor::LineState::Code;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::vector<int>& starts = lines.emplace_back();
        for (const editor::Span& span : editor::highlightQuillon(std::string_view(text).substr(start, end - start), state))
            if (span.highlight == editor::Highlight::Keyword)
                starts.push_back(span.start);
        start = end + 2;
    }
    return lines;
}

}  // namespace

TEST(HighlightAgreement, EveryStatementOfTheMapIsColouredAsAKeyword) {
    const std::vector<Source> all = sources();
    ASSERT_GT(all.size(), 20u);
    std::size_t checked = 0;
    for (const Source& source : all) {
        SCOPED_TRACE(source.name);
        // As the editor holds it after Open: every line ending in CR LF.
        const std::string text = moxy::linesEndingInCrLf(source.text);
        const moxy::CompileResult result = quillon::compile(text, {});
        const std::vector<std::vector<int>> starts = keywordStarts(text);
        for (const moxy::SourceMapEntry& entry : result.map) {
            SCOPED_TRACE("line " + std::to_string(entry.line) + ", column " + std::to_string(entry.column));
            ASSERT_LE(static_cast<std::size_t>(entry.line), starts.size());
            const std::vector<int>& line = starts[static_cast<std::size_t>(entry.line - 1)];
            EXPECT_NE(std::find(line.begin(), line.end(), entry.column - 1), line.end());
            ++checked;
        }
    }
    EXPECT_GT(checked, 500u);
}
