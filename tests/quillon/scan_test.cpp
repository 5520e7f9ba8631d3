// The scan over the source: where statements are found, where scanning resumes after
// them, comments, and what a statement uses when one of its delimiters is missing.
#include "quillon_testing.h"

#include <gmock/gmock.h>

using quillon_testing::bodyListing;
using quillon_testing::compileSource;
using quillon_testing::declarations;

namespace {

const std::string kA = "SelectCell 33150\n";
const std::string kB = "SelectCell 33151\n";
const std::string kNames = declarations({"a", "b"});

struct ScanCase {
    std::string source;   // after the declarations of a and b
    std::string listing;  // of the code after the header
};

void expectListings(const std::vector<ScanCase>& cases) {
    for (const ScanCase& scan : cases) {
        SCOPED_TRACE(scan.source);
        EXPECT_EQ(bodyListing(compileSource(kNames + scan.source).result), scan.listing);
    }
}

}  // namespace

TEST(Scan, StatementDirectlyBehindAnotherLosesItsFirstCharacter) {
    expectListings({
        {"exitexit", "End\n"},
        {"exit\r\nexit", "End\nEnd\n"},
        {"exit exit", "End\nEnd\n"},
        // The scan resumes at the "s" of pset: "set[a][b]" then takes no literal.
        {"mov[a][b]pset[a][b]", kA + "SetPar1\n" + kB + "Copy\n" + kA + "Clear\n"},
        {"mov[a][b]\r\npset[a][b]", kA + "SetPar1\n" + kB + "Copy\n" + kA + "SetPar1\n" + kB + "SetPar2\nPoint\n"},
        // One character between keyword and "[" is not counted: the scan resumes at the
        // character directly behind the statement.
        {"mov [a][b]exit", kA + "SetPar1\n" + kB + "Copy\nEnd\n"},
        {"mov[a][b]exit", kA + "SetPar1\n" + kB + "Copy\n"},
        {"mov[a]*[b]exit", kA + "SetPar1\n" + kB + "MovePointer\nCopy\nEnd\n"},
    });
}

TEST(Scan, KeywordsAreFoundInsideWords) {
    expectListings({
        {"reprint[a][b][a]", kA + "SetPar1\n" + kB + "SetPar2\n" + kA + "Print\n"},
        {"Texit!", "End\n"},
        {"preset[a]{1}", kA + "Clear\nText \"1\"\n"},
        // setwindowx is tried before set.
        {"setwindowx[a]", kA + "System SetWindowTop\n"},
        {"SetWindowY[a]", kA + "System SetWindowLeft\n"},
        {"setwindow[a]{1}", kA + "Clear\nText \"1\"\n"},
    });
}

TEST(Scan, BlanksBeforeTheBracketMoveTheResumePointIntoTheStatement) {
    // getticks, six blanks, [exit]: the advances end six characters short, so the scan
    // resumes at the "e" of the argument and compiles an exit as well.
    const auto compiled = compileSource(kNames + "getticks      [exit]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), "TickCount\nEnd\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. exit"));
}

TEST(Scan, Comments) {
    expectListings({
        {"// note //", ""},
        {"// exit // exit", "End\n"},
        {"///exit", "End\n"},
        {"// exit", ""},
        {"//exit", ""},
        {"exit // exit exit\r\nexit", "End\n"},
        // The closing pair's second "/" starts the next test: "///" there opens a comment.
        {"// a ///exit//exit", "End\n"},
        {"/ exit", "End\n"},
    });
}

TEST(Scan, MissingNameBracketKeepsTheSlotsEarlierReference) {
    expectListings({
        // No "]" after the "[": the name step fails, the first slot keeps a's reference
        // from the statement before, and no message is shown.
        {"msgbox[a]\r\nmsgbox[b", kA + "System MessageBox\n" + kA + "System MessageBox\n"},
        {"mov[b][a]\r\nmov[a][", kB + "SetPar1\n" + kA + "Copy\n" + kA + "SetPar1\n" + kA + "Copy\n"},
        // Nothing earlier in the slot: the reference is empty.
        {"msgbox[", "System MessageBox\n"},
        // label keeps its text in the first slot: the text "3" stands in for a reference.
        {"label{3}\r\nmsgbox[b", "label 3\nText \"3\"\nSystem MessageBox\n"},
    });
}

TEST(Scan, MissingOpeningBracketTakesTheTextFromTheStart) {
    // No "[" after the keyword: the name runs from the first character to the first "]".
    const auto compiled = compileSource("dim[a]\r\nmsgbox");
    EXPECT_EQ(bodyListing(compiled.result), "System MessageBox\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. dim[a"));
}

TEST(Scan, FailedMeasurementAdvancesByTheNameLastMeasured) {
    // The measurement of "[" with no "]" fails and the advance uses "a", the name last
    // measured (by dim): 3 characters, so the scan resumes at the "e".
    EXPECT_EQ(bodyListing(compileSource("dim[a]\r\nmsgbox[   exit").result), "System MessageBox\nEnd\n");
    EXPECT_EQ(bodyListing(compileSource("dim[abc]\r\nmsgbox[   exit").result), "System MessageBox\n");
    EXPECT_EQ(bodyListing(compileSource("dim[abc]\r\nmsgbox[     exit").result), "System MessageBox\nEnd\n");
}

TEST(Scan, MissingBracesKeepTheEarlierText) {
    expectListings({
        // The literal is the next brace text anywhere after the argument.
        {"set[a]\r\nlater{7}", kA + "Clear\nText \"7\"\n"},
        {"set[a]{5}\r\nset[b]{", kA + "Clear\nText \"5\"\n" + kB + "Clear\nText \"5\"\n"},
        {"set[a]", kA + "Clear\n"},
        {"getkey[a]{254}\r\ngetkey[b]{", kA + "KeyState A\n" + kB + "KeyState A\n"},
        // The label text is the first slot's reference: no number, no markers.
        {"msgbox[a]\r\nlabel{", kA + "System MessageBox\n"},
        // Two runs of two markers with nothing between them read as one label 4.
        {"label{2}\r\nlabel{", "label 4\n"},
    });
}

TEST(Scan, MissingFreespaceBraceKeepsTheEarlierCount) {
    // freespace{3} reserves two slots; the second freespace reuses "3" and reserves two
    // more, so c lands in the fifth slot after a and b: (130, 136).
    const auto compiled = compileSource(kNames + "freespace{3}\r\nfreespace{\r\n\r\ndim[c]\r\nmsgbox[c]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), "SelectCell 33156\nSystem MessageBox\n");
}

TEST(Scan, StatementsWithNothingToExtractStillAppendTheirCode) {
    const struct {
        std::string source;
        std::string listing;
    } cases[] = {
        {"print", "SetPar1\nSetPar2\nPrint\n"},
        {"paintpicture", "SetPar1\nSetPar2\nSetRes\nPaintPicture\n"},
        {"set", "Clear\n"},
        {"getkey", ""},
        {"label", ""},
        {"freespace", ""},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.source);
        const auto compiled = compileSource(statement.source);
        EXPECT_EQ(bodyListing(compiled.result), statement.listing);
        EXPECT_TRUE(compiled.diagnostics.empty());
    }
}
