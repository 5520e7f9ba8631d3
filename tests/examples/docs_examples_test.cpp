// Every ```quillon and ```vorna block of the language references compiles in the real compiler
// with the messages of the ```messages block after it, or none; each ```listing block after it
// appears in `moxy --disasm`. Sources are saved as the editor saves them (Latin-1).
#include "cli/cli_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

struct Example {
    int line = 0;  // of the opening fence
    std::string language, source;
    std::optional<std::string> messages;
    std::vector<std::string> listings;
};

void checkExamples(const std::string& document, int atLeast) {
    // Fences may be indented (inside list items); their lines lose the indentation.
    std::ifstream file(std::string(MOXY_DOCS_DIR) + "/" + document);
    std::vector<Example> examples;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const auto indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || line.compare(indent, 3, "```") != 0)
            continue;
        const std::string kind = line.substr(indent + 3);
        const int opening = number;
        std::string body;
        while (std::getline(file, line) && ++number && !(line.find_first_not_of(' ') == indent && line.compare(indent, 3, "```") == 0))
            body += (line.size() >= indent ? line.substr(indent) : std::string()) + "\n";
        if (kind == "quillon" || kind == "vorna")
            examples.push_back(Example{opening, kind, body, std::nullopt, {}});
        else if (kind == "messages" && !examples.empty())
            examples.back().messages = body;
        else if (kind == "listing" && !examples.empty())
            examples.back().listings.push_back(body);
    }
    EXPECT_GE(static_cast<int>(examples.size()), atLeast) << document;
    for (const Example& example : examples) {
        SCOPED_TRACE(document + ":" + std::to_string(example.line));
        QTemporaryDir folder;
        const bool quillon = example.language == "quillon";
        const QString source = quillon ? "example.qlnp" : "example.vornaproj";
        cli::writeFile(folder, source, QString::fromStdString(example.source).toLatin1().toStdString());
        const cli::Outcome compiled = cli::run(quillon ? QUILLON_EXE : VORNA_EXE, {"--compile", source, "-o", "example.moxy"}, {},
                                               folder.path());
        EXPECT_EQ(compiled.err, example.messages.value_or(""));
        EXPECT_TRUE(example.messages || compiled.exitCode == 0) << compiled.exitCode;
        if (example.listings.empty())
            continue;
        const cli::Outcome listing = cli::run(MOXY_EXE, {"--disasm", "example.moxy"}, {}, folder.path());
        for (const std::string& expected : example.listings)
            EXPECT_NE(listing.out.find(expected), std::string::npos) << expected << "not in:\n" << listing.out;
    }
}

TEST(DocsExamples, QuillonReferenceCompilesAsShown) { checkExamples("quillon.md", 40); }

TEST(DocsExamples, VornaReferenceCompilesAsShown) { checkExamples("vorna.md", 6); }

}  // namespace
