// The code of every Quillon statement, with and without star markers, and the worked
// examples: what each keyword appends after the header.
#include "quillon_testing.h"

#include <gmock/gmock.h>

#include <string>

using quillon_testing::bodyListing;
using quillon_testing::bodyOf;
using quillon_testing::compileSource;
using quillon_testing::declarations;

namespace {

// a, b, c and d are the first four names declared.
const std::string kA = "SelectCell 33150\n";
const std::string kB = "SelectCell 33151\n";
const std::string kC = "SelectCell 33152\n";
const std::string kD = "SelectCell 33153\n";
const std::string kNames = declarations({"a", "b", "c", "d"});

struct StatementCase {
    std::string source;
    std::string listing;  // of the code after the header
};

const std::vector<StatementCase> kStatements = {
    {"print[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Print\n"},
    {"setwindowwidth[a]", kA + "System SetWindowWidth\n"},
    {"setwindowheight[a]", kA + "System SetWindowHeight\n"},
    {"setwindowx[a]", kA + "System SetWindowTop\n"},
    {"setwindowy[a]", kA + "System SetWindowLeft\n"},
    {"set[a]{Hi there}", kA + "Clear\nText \"Hi there\"\n"},
    {"if=[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nIfEqual\n"},
    {"if>[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nIfGreater\n"},
    {"if<[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nIfLess\n"},
    {"getticks[a]", kA + "TickCount\n"},
    {"getpointer[a][b]", kA + "SetPar1\n" + kB + "GetPointer\n"},
    {"exit", "End\n"},
    {"doevents", "Yield\n"},
    {"inc[a]", kA + "Increment\n"},
    {"dec[a]", kA + "Decrement\n"},
    {"clear[a]", kA + "Clear\n"},
    {"inputbox[a][b]", kB + "SetPar1\n" + kA + "InputBox\n"},
    {"add[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Add\n"},
    {"sub[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Subtract\n"},
    {"mul[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Multiply\n"},
    {"div[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Divide\n"},
    {"pwr[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Power\n"},
    {"sqrt[a][b]", kB + "SetRes\n" + kA + "SquareRoot\n"},
    {"append[a][b]", kA + "SetPar1\n" + kB + "Append\n"},
    {"mov[a][b]", kA + "SetPar1\n" + kB + "Copy\n"},
    {"msgbox[a]", kA + "System MessageBox\n"},
    {"cls", "ClearScreen\n"},
    {"getapppath[a]", kA + "AppendFolder\n"},
    {"chr[a][b]", kA + "SetPar1\n" + kB + "AppendChar\n"},
    {"label{3}", "label 3\n"},
    {"goto[a]", kA + "Jump\n"},
    {"randnum[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Random\n"},
    {"mid[a][b][c][d]", kA + "SetRes\n" + kB + "SetPar1\n" + kC + "SetPar2\n" + kD + "Middle\n"},
    {"len[a][b]", kA + "SetPar1\n" + kB + "Length\n"},
    {"pset[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nPoint\n"},
    {"col9[a]", kA + "ColourByDigit\n"},
    {"collong[a]", kA + "ColourByValue\n"},
    {"line[a][b][c][d]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "SetRes\n" + kD + "Line\n"},
    {"selpbox[a]", kA + "SelectPictureHolder\n"},
    {"loadtopbox[a]", kA + "LoadPicture\n"},
    {"newpbox", "NewPictureHolder\n"},
    {"paintpicture[a][b][c][d]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "SetRes\n" + kD + "PaintPicture\n"},
    {"beep[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nSystem Beep\n"},
    {"loadfile[a][b]", kA + "SetPar1\n" + kB + "System LoadFile\n"},
    {"writefile[a][b]", kA + "SetPar1\n" + kB + "SetPar2\nSystem WriteFile\n"},
    {"getresx[a]", kA + "System ScreenWidth\n"},
    {"getresy[a]", kA + "System ScreenHeight\n"},
    {"title[a]", kA + "System Caption\n"},
    {"exec[a]", kA + "System Exec\n"},
    {"getkey[a]{254}", kA + "KeyState A\n"},
    {"circle[a][b][c]", kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Circle\n"},
    {"invert[a]", kA + "Negate\n"},
    {"endif", "EndIf\n"},
    {"freespace{2}", ""},
    {"dim[e]", ""},
};

// [source] with a "*" before its [argument]-th "[".
std::string starred(const std::string& source, int argument) {
    std::string result = source;
    std::size_t at = 0;
    for (int i = 0; i < argument; ++i)
        at = result.find('[', i == 0 ? 0 : at + 1);
    result.insert(at, 1, '*');
    return result;
}

int bracketArguments(const std::string& source) {
    return static_cast<int>(std::count(source.begin(), source.end(), '['));
}

}  // namespace

TEST(Statements, EachKeywordAppendsItsCode) {
    for (const StatementCase& statement : kStatements) {
        SCOPED_TRACE(statement.source);
        const auto compiled = compileSource(kNames + statement.source + "\r\n");
        EXPECT_EQ(bodyListing(compiled.result), statement.listing);
        EXPECT_TRUE(compiled.diagnostics.empty());
    }
}

TEST(Statements, KeywordsMatchInAnyCase) {
    // A capital last letter changes only where the first star test looks, which matters
    // to none of these.
    for (const StatementCase& statement : kStatements) {
        std::string upper = statement.source;
        std::string mixed = statement.source;
        const std::size_t keywordEnd = std::min(upper.find_first_of("[{"), upper.size());
        for (std::size_t i = 0; i < keywordEnd; ++i) {
            upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
            if (i % 2 == 0)
                mixed[i] = upper[i];
        }
        for (const std::string& source : {upper, mixed}) {
            SCOPED_TRACE(source);
            EXPECT_EQ(bodyListing(compileSource(kNames + source + "\r\n").result), statement.listing);
        }
    }
}

TEST(Statements, StarMarkerAddsMovePointerAfterItsOwnArgument) {
    const std::string references[] = {kA, kB, kC, kD};
    for (const StatementCase& statement : kStatements) {
        if (statement.source.starts_with("dim"))
            continue;  // dim tests no marker: a starred name is declared as written
        for (int argument = 1; argument <= bracketArguments(statement.source); ++argument) {
            const std::string source = starred(statement.source, argument);
            SCOPED_TRACE(source);
            std::string expected = statement.listing;
            const std::string& reference = references[argument - 1];
            expected.insert(expected.find(reference) + reference.size(), "MovePointer\n");
            // The marker is not counted by the advances: scanning resumes at the line
            // break. The unmarked copy behind shows that markers do not carry over.
            const auto compiled = compileSource(kNames + source + "\r\n" + statement.source + "\r\n");
            EXPECT_EQ(bodyListing(compiled.result), expected + statement.listing);
        }
    }
}

TEST(Statements, StarMarkerMustBeFirstCharacterBeforeTheBracket) {
    const struct {
        std::string source;
        std::string listing;
    } cases[] = {
        {"mov*[a]*[b]", kA + "MovePointer\nSetPar1\n" + kB + "MovePointer\nCopy\n"},
        {"mov [a][b]", kA + "SetPar1\n" + kB + "Copy\n"},
        {"mov[a] *[b]", kA + "SetPar1\n" + kB + "Copy\n"},
        {"mov**[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "Copy\n"},
        // IF= ends in "=", which has no case: its star test is unaffected.
        {"IF=*[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\nIfEqual\n"},
        // COL9 ends in a digit.
        {"COL9*[a]", kA + "MovePointer\nColourByDigit\n"},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.source);
        EXPECT_EQ(bodyListing(compileSource(kNames + statement.source + "\r\n").result), statement.listing);
    }
}

TEST(Statements, CapitalLastLetterMovesTheFirstStarTestToTheNextLowerCaseLetter) {
    // PRINT's first test looks for a lower-case "t" after the keyword: here the one in
    // the last line, which a "*" follows, so the first argument is marked.
    EXPECT_EQ(bodyListing(compileSource(kNames + "PRINT[a][b][c]\r\nt*[\r\n").result),
              kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\n" + kC + "Print\n");
    // Without a later "t" the test takes the text from the start of the source up to
    // its first "[" ("dim"): no marker, even when the keyword has one.
    EXPECT_EQ(bodyListing(compileSource(kNames + "PRINT*[a][b][c]\r\n").result),
              kA + "SetPar1\n" + kB + "SetPar2\n" + kC + "Print\n");
    // A source that starts with "*" marks it that way.
    EXPECT_EQ(bodyListing(compileSource("*" + kNames + "MOV[a][b]\r\n").result),
              kA + "MovePointer\nSetPar1\n" + kB + "Copy\n");
}

TEST(Statements, NamesAreCaseSensitive) {
    const auto compiled = compileSource(declarations({"count", "Count"}) + "inc[Count]\r\ninc[count]\r\ninc[COUNT]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), kB + "Increment\n" + kA + "Increment\nIncrement\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. COUNT"));
}

TEST(Statements, UndeclaredNamesAreReportedInOrderAndLeaveOutTheirReference) {
    const auto compiled = compileSource(kNames + "print[a][nope][x]\r\nlen[nope][b]\r\nmov*[q][b]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), kA + "SetPar1\nSetPar2\nPrint\n"  // print
                                                 "SetPar1\n" + kB + "Length\n"   // len
                                                 "MovePointer\nSetPar1\n" + kB + "Copy\n");
    EXPECT_THAT(compiled.messages(),
                testing::ElementsAre("Error: Variable doesnt exist. nope", "Error: Variable doesnt exist. x",
                                     "Error: Variable doesnt exist. nope", "Error: Variable doesnt exist. q"));
}

TEST(Statements, LiteralsAreCopiedUnchanged) {
    const struct {
        std::string source;
        std::string body;  // raw characters after the reference and the Clear
    } cases[] = {
        {"set[a]{42}", "42"},
        {"set[a]{}", ""},
        {"set[a]{ two\r\nlines [x] }", " two\r\nlines [x] "},
        {"set[a]{\xe9\x01\xff}", "\xe9\x01\xff"},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.source);
        EXPECT_EQ(bodyOf(compileSource(kNames + statement.source + "\r\n").result),
                  std::string("\x01\x82\x82\x1b") + statement.body);
    }
    // set[a]{} and clear[a] append the same code.
    EXPECT_EQ(compileSource(kNames + "set[a]{}\r\n").result.code, compileSource(kNames + "clear[a]\r\n").result.code);
}

TEST(Statements, LabelWritesItsNumberOfMarkers) {
    const struct {
        std::string source;
        int markers;
    } cases[] = {
        {"label{2}", 2},    {"label{0}", 0},     {"label{-4}", 0},    {"label{ 7 }", 7},   {"label{\t7\t}", 7},
        {"label{2.5}", 2},  {"label{3.5}", 4},   {"label{0.5}", 0},   {"label{0.51}", 1},  {"label{999}", 999},
        {"label{999.4}", 999}, {"label{999.5}", 0}, {"label{1000}", 0}, {"label{1e2}", 100}, {"label{+3}", 3},
        {"label{abc}", 0},  {"label{}", 0},      {"label{3x}", 0},    {"label{3 4}", 0},   {"label{99999999999}", 0},
        {"label{1e400}", 0}, {"label{.5e1}", 5}, {"label{5.}", 5},    {"label{-}", 0},     {"label{e5}", 0},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.source);
        const auto compiled = compileSource(statement.source + "\r\n");
        EXPECT_EQ(bodyOf(compiled.result), std::string(static_cast<std::size_t>(statement.markers), '\xff'));
        EXPECT_EQ(compiled.result.map.size(), statement.markers > 0 ? 1u : 0u);
    }
}

TEST(Statements, GetKeyWritesTheRoundedKeyNumberAsSelector) {
    const struct {
        std::string keyText;
        std::string listing;  // after the reference
    } cases[] = {
        {"254", "KeyState A\n"},     {"253.6", "KeyState A\n"},  {"253.5", "KeyState A\n"},
        {"252.5", "KeyState C\n"},   {" 213 ", "KeyState Digit0\n"}, {"0", "KeyState 0 (does nothing)\n"},
        {"255", "KeyState 255 (does nothing)\n"}, {"255.5", ""}, {"256", ""}, {"-1", ""}, {"-0.5", "KeyState 0 (does nothing)\n"},
        {"A", ""}, {"", ""},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.keyText);
        const auto compiled = compileSource(kNames + "getkey[a]{" + statement.keyText + "}\r\n");
        EXPECT_EQ(bodyListing(compiled.result), kA + statement.listing);
    }
}

TEST(Statements, CodeWithoutArgumentsIgnoresBracketsBehindIt) {
    const struct {
        std::string source;
        std::string listing;
    } cases[] = {
        {"exit[a]", "End\n"},
        {"cls[a]", "ClearScreen\n"},
        {"newpbox[a]", "NewPictureHolder\n"},
        {"endif[a]", "EndIf\n"},
        // One blank: the scan resumes at the "[" and the name a holds no keyword.
        {"doevents [a]", "Yield\n"},
    };
    for (const auto& statement : cases) {
        SCOPED_TRACE(statement.source);
        const auto compiled = compileSource(kNames + statement.source + "\r\n");
        EXPECT_EQ(bodyListing(compiled.result), statement.listing);
        EXPECT_TRUE(compiled.diagnostics.empty());
    }
}

TEST(WorkedExamples, DeclareSetExit) {
    const auto compiled = compileSource("dim[x]\r\nset[x]{5}\r\nexit");
    EXPECT_EQ(compiled.result.code, std::string(moxy::kQuillonHeader) + "\x01\x82\x82\x1b" "5" "\x18");
    EXPECT_FALSE(compiled.result.abandoned);
}

TEST(WorkedExamples, PrintHiAtTenTwenty) {
    const auto compiled = compileSource(
        "dim[x]\r\ndim[y]\r\ndim[t]\r\nset[x]{10}\r\nset[y]{20}\r\nset[t]{Hi}\r\nprint[x][y][t]\r\nexit\r\n");
    EXPECT_EQ(bodyOf(compiled.result), "\x01\x82\x82\x1b" "10"
                                       "\x01\x82\x83\x1b" "20"
                                       "\x01\x82\x84\x1b" "Hi"
                                       "\x01\x82\x82\x03\x01\x82\x83\x04\x01\x82\x84\xfd"
                                       "\x18");
    EXPECT_EQ(bodyOf(compiled.result).size(), 31u);
}

TEST(WorkedExamples, EndlessMessageLoop) {
    const auto compiled = compileSource("dim[i]\r\ndim[one]\r\nset[one]{1}\r\nlabel{1}\r\nmsgbox[i]\r\ngoto[one]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), "SelectCell 33151\nClear\nText \"1\"\nlabel 1\n"
                                            "SelectCell 33150\nSystem MessageBox\n"
                                            "SelectCell 33151\nJump\n");
}

TEST(WorkedExamples, EmptySourceIsTheHeaderAlone) {
    const auto compiled = compileSource("");
    EXPECT_EQ(compiled.result.code, moxy::kQuillonHeader);
    EXPECT_TRUE(compiled.result.map.empty());
    EXPECT_TRUE(compiled.progress.empty());
}
