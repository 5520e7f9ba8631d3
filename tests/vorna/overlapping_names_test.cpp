// Names that overlap in the source: nested brackets make every name a suffix of the one
// before, and a name read from the text's start is asked about again and again. USE must
// still tell each of them apart and find the first equal one, for short names and for
// names longer than those compared character by character.
#include "vorna/compiler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The pointer moves of a compile as a string of '+' (code 2) and '-' (code 1).
std::string moves(const std::string& source) {
    std::string steps;
    for (const char c : vorna::compile(source).code)
        steps += c == '\x02' ? '+' : c == '\x01' ? '-' : '?';
    return steps;
}

TEST(OverlappingNames, SuffixesAndRepeatsAreToldApart) {
    const std::string tail(100, 'z');  // longer than the names compared character by character
    const std::pair<std::string, std::string> cases[] = {
        // Three nested names, DIM[DIM[a, DIM[a and a (indexes 0 to 2); [a is none of
        // them, a is the last.
        {"DIM[DIM[DIM[a] USE[[a] USE[a]", "++"},
        {"DIM[DIM[DIM[" + tail + "] USE[[" + tail + "] USE[" + tail + "]", "++"},
        // Equal long names in different places are one name; one character more is not.
        {"DIM[" + tail + "] DIM[x] USE[x] USE[" + tail + "] USE[" + tail + "z]", "+-"},
        // After the last "[", DIM and USE read the text from its start to the first "]":
        // the two DIMs store that name twice, and USE finds the first of them (index 1).
        {"a] DIM[b] USE[b] DIM DIM USE", "+"},
        {tail + "] DIM[b] USE[b] DIM DIM USE", "+"},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source);
        EXPECT_EQ(moves(source), expected);
    }
}

TEST(OverlappingNames, ManyNestedNamesEachHaveTheirOwnIndex) {
    // DIM[ 2000 times and one "]": 2000 names, each a suffix of the one before, and the
    // DIMs inside the USE's brackets add more. USE finds its name at index 1000.
    std::string source;
    for (int i = 0; i < 2000; ++i)
        source += "DIM[";
    source += "]";
    std::string name;
    for (int i = 0; i < 999; ++i)
        name += "DIM[";
    const std::string code = vorna::compile(source + " USE[" + name + "]").code;
    EXPECT_TRUE(code == std::string(1000, '\x02')) << code.size() << " codes";
}

}  // namespace
