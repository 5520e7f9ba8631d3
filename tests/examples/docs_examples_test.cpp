// The program examples in docs/quillon.md and docs/vorna.md, compiled by the real compilers:
// every ```quillon and ```vorna block must compile without a message, unless a ```messages
// block follows it, which then holds the exact messages (for a source file named example.qlnp or
// example.vornaproj). A ```listing block that follows must appear, line for line, in
// `moxy --disasm` of the compiled program. So the references cannot show what the tools do not do.
// The blocks are written as the editor window saves them, one byte per character (Latin-1), so
// that a reference can show a backtick followed by a character such as ü (code 252).
#include "cli/cli_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Example {
    int line = 0;          // of the opening fence, for messages
    std::string language;  // quillon or vorna
    std::string source;
    std::optional<std::string> messages;
    std::vector<std::string> listings;
};

// The fenced blocks of the Markdown file [path]; fences may be indented (inside list items), and
// their lines lose the fence's indentation.
std::vector<Example> examplesIn(const std::string& path) {
    std::ifstream file(path);
    EXPECT_TRUE(file.good()) << path;
    std::vector<Example> examples;
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        const auto indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || line.compare(indent, 3, "```") != 0)
            continue;
        const std::string kind = line.substr(indent + 3);
        const int opening = number;
        std::string body;
        while (std::getline(file, line)) {
            ++number;
            if (line.find_first_not_of(' ') == indent && line.compare(indent, 3, "```") == 0)
                break;
            body += (line.size() >= indent ? line.substr(indent) : std::string()) + "\n";
        }
        if (kind == "quillon" || kind == "vorna") {
            examples.push_back(Example{opening, kind, body, std::nullopt, {}});
        } else if (kind == "messages" || kind == "listing") {
            EXPECT_FALSE(examples.empty()) << path << ":" << opening << ": a " << kind << " block without a program";
            if (examples.empty())
                continue;
            if (kind == "messages")
                examples.back().messages = body;
            else
                examples.back().listings.push_back(body);
        }
    }
    return examples;
}

void checkExamples(const std::string& document, int atLeast) {
    const std::vector<Example> examples = examplesIn(std::string(MOXY_DOCS_DIR) + "/" + document);
    EXPECT_GE(static_cast<int>(examples.size()), atLeast) << document;
    for (const Example& example : examples) {
        SCOPED_TRACE(document + ":" + std::to_string(example.line));
        QTemporaryDir folder;
        const bool quillon = example.language == "quillon";
        const QString source = quillon ? QStringLiteral("example.qlnp") : QStringLiteral("example.vornaproj");
        // As typed into the editor window, whose text is one byte per character (Latin-1).
        cli::writeFile(folder, source, QString::fromStdString(example.source).toLatin1().toStdString());
        const cli::Outcome compiled = cli::run(quillon ? QStringLiteral(QUILLON_EXE) : QStringLiteral(VORNA_EXE),
                                               {"--compile", source, "-o", "example.moxy"}, {}, folder.path());
        EXPECT_EQ(compiled.err, example.messages.value_or(""));
        EXPECT_TRUE(example.messages || compiled.exitCode == 0) << compiled.exitCode;
        if (example.listings.empty())
            continue;
        const cli::Outcome listing =
            cli::run(QStringLiteral(MOXY_EXE), {"--disasm", "example.moxy"}, {}, folder.path());
        EXPECT_EQ(listing.exitCode, 0);
        for (const std::string& expected : example.listings) {
            EXPECT_NE(listing.out.find(expected), std::string::npos)
                << "listing not found:\n" << expected << "in:\n" << listing.out;
        }
    }
}

TEST(DocsExamples, QuillonReferenceCompilesAsShown) { checkExamples("quillon.md", 40); }

TEST(DocsExamples, VornaReferenceCompilesAsShown) { checkExamples("vorna.md", 6); }

}  // namespace
