// The scan over the source: where statements are found, where scanning resumes after
// them, comments, and what a statement uses when one of its delimiters is missing.
#include "quillon_testing.h"

using namespace quillon_testing;

TEST(Scan, WhereStatementsAreFoundAndTheScanResumes) {
    expectListings({
        // The character directly behind a statement is never examined.
        {"exitexit", "End\n"},
        {"exit exit", "End\nEnd\n"},
        // Statements without arguments read nothing behind them; after one blank the scan
        // resumes at the "[" and the name a holds no keyword.
        {"exit[a]", "End\n"},
        {"doevents [a]", "Yield\n"},
        // The scan resumes at the "s" of pset: "set[a][b]" then takes no literal.
        {"mov[a][b]pset[a][b]", kAb + "Copy\n" + kA + "Clear\n"},
        // One character between keyword and "[" is not counted: the scan resumes at the
        // character directly behind the statement.
        {"mov [a][b]exit", kAb + "Copy\nEnd\n"},
        {"mov[a][b]exit", kAb + "Copy\n"},
        {"mov[a]*[b]exit", kA + "SetPar1\n" + kB + "MovePointer\nCopy\nEnd\n"},
        // getticks, six blanks, [exit]: the advances end six characters short, so the scan
        // resumes at the "e" of the argument and compiles an exit as well.
        {"getticks      [exit]", "TickCount\nEnd\n", {kUndeclared + "exit"}},
        // Keywords are found inside words; setwindow is no window keyword but holds set.
        {"reprint[a][b][a]", kAb + "SetPar2\n" + kA + "Print\n"},
        {"preset[a]{1}", kA + "Clear\nText \"1\"\n"},
        {"setwindow[a]{1}", kA + "Clear\nText \"1\"\n"},
    });
}

TEST(Scan, CommentsRunToTheNextPair) {
    expectListings({
        {"// note //", ""},
        {"// exit // exit", "End\n"},
        {"///exit", "End\n"},
        {"// exit", ""},
        {"exit // exit exit\r\nexit", "End\n"},
        // The closing pair's second "/" starts the next test: "///" there opens a comment.
        {"// a ///exit//exit", "End\n"},
        {"/ exit", "End\n"},
    });
}

TEST(Scan, MissingDelimitersKeepWhatTheHoldersHadBefore) {
    expectListings({
        // No "]" after the "[": the name step fails, the first slot keeps a's reference
        // from the statement before, and no message is shown.
        {"msgbox[a]\r\nmsgbox[b", kA + "System MessageBox\n" + kA + "System MessageBox\n"},
        {"mov[b][a]\r\nmov[a][", kB + "SetPar1\n" + kA + "Copy\n" + kA + "SetPar1\n" + kA + "Copy\n"},
        // Nothing earlier in the slot: the reference is empty.
        {"msgbox[", "System MessageBox\n"},
        // label keeps its text in the first slot: the text "3" stands in for a reference.
        {"label{3}\r\nmsgbox[b", "label 3\nText \"3\"\nSystem MessageBox\n"},
        // The literal is the next brace text anywhere after the argument.
        {"set[a]\r\nlater{7}", kA + "Clear\nText \"7\"\n"},
        {"set[a]{5}\r\nset[b]{", kA + "Clear\nText \"5\"\n" + kB + "Clear\nText \"5\"\n"},
        {"set[a]", kA + "Clear\n"},
        {"getkey[a]{254}\r\ngetkey[b]{", kA + "KeyState A\n" + kB + "KeyState A\n"},
        // The label text is the first slot's reference: no number, no markers.
        {"msgbox[a]\r\nlabel{", kA + "System MessageBox\n"},
        // Two runs of two markers with nothing between them read as one label 4.
        {"label{2}\r\nlabel{", "label 4\n"},
        // freespace{3} reserves two slots; the second freespace reuses "3" and reserves two
        // more, so e lands in the fifth slot after a to d: (130, 138).
        {"freespace{3}\r\nfreespace{\r\n\r\ndim[e]\r\nmsgbox[e]", "SelectCell 33158\nSystem MessageBox\n"},
    });
    expectListings(
        {
            // No "[" after the keyword: the name runs from the first character to the first "]".
            {"dim[a]\r\nmsgbox", "System MessageBox\n", {kUndeclared + "dim[a"}},
            // The measurement of "[" with no "]" fails and the advance uses the name last
            // measured (by dim): "a" is 3 characters with its brackets, so the scan resumes
            // at the "e"; "abc" needs two more blanks.
            {"dim[a]\r\nmsgbox[   exit", "System MessageBox\nEnd\n"},
            {"dim[abc]\r\nmsgbox[   exit", "System MessageBox\n"},
            {"dim[abc]\r\nmsgbox[     exit", "System MessageBox\nEnd\n"},
            // Statements with nothing to extract still append their code.
            {"print", "SetPar1\nSetPar2\nPrint\n"},
            {"set", "Clear\n"},
            {"getkey", ""},
            {"label", ""},
            {"freespace", ""},
        },
        "");
}
