// The code of every Quillon statement, with and without star markers, and the worked
// examples: what each keyword appends after the header.
#include "quillon_testing.h"

#include <cctype>
#include <string>
#include <utility>

using namespace quillon_testing;

namespace {

const std::vector<ListingCase> kStatements = {
    {"print[a][b][c]", kAbc + "Print\n"}, {"setwindowwidth[a]", kA + "System SetWindowWidth\n"},
    {"setwindowheight[a]", kA + "System SetWindowHeight\n"}, {"setwindowx[a]", kA + "System SetWindowTop\n"},
    {"setwindowy[a]", kA + "System SetWindowLeft\n"}, {"set[a]{Hi there}", kA + "Clear\nText \"Hi there\"\n"},
    {"if=[a][b]", kAb + "SetPar2\nIfEqual\n"}, {"if>[a][b]", kAb + "SetPar2\nIfGreater\n"},
    {"if<[a][b]", kAb + "SetPar2\nIfLess\n"}, {"getticks[a]", kA + "TickCount\n"},
    {"getpointer[a][b]", kAb + "GetPointer\n"}, {"exit", "End\n"}, {"doevents", "Yield\n"},
    {"inc[a]", kA + "Increment\n"}, {"dec[a]", kA + "Decrement\n"}, {"clear[a]", kA + "Clear\n"},
    {"inputbox[a][b]", kB + "SetPar1\n" + kA + "InputBox\n"}, {"add[a][b][c]", kAbc + "Add\n"},
    {"sub[a][b][c]", kAbc + "Subtract\n"}, {"mul[a][b][c]", kAbc + "Multiply\n"}, {"div[a][b][c]", kAbc + "Divide\n"},
    {"pwr[a][b][c]", kAbc + "Power\n"}, {"sqrt[a][b]", kB + "SetRes\n" + kA + "SquareRoot\n"},
    {"append[a][b]", kAb + "Append\n"}, {"mov[a][b]", kAb + "Copy\n"}, {"msgbox[a]", kA + "System MessageBox\n"},
    {"cls", "ClearScreen\n"}, {"getapppath[a]", kA + "AppendFolder\n"}, {"chr[a][b]", kAb + "AppendChar\n"},
    {"label{3}", "label 3\n"}, {"goto[a]", kA + "Jump\n"}, {"randnum[a][b][c]", kAbc + "Random\n"},
    {"mid[a][b][c][d]", kA + "SetRes\n" + kB + "SetPar1\n" + kC + "SetPar2\n" + kD + "Middle\n"},
    {"len[a][b]", kAb + "Length\n"}, {"pset[a][b]", kAb + "SetPar2\nPoint\n"}, {"col9[a]", kA + "ColourByDigit\n"},
    {"collong[a]", kA + "ColourByValue\n"}, {"line[a][b][c][d]", kAbcd + "Line\n"},
    {"selpbox[a]", kA + "SelectPictureHolder\n"}, {"loadtopbox[a]", kA + "LoadPicture\n"},
    {"newpbox", "NewPictureHolder\n"}, {"paintpicture[a][b][c][d]", kAbcd + "PaintPicture\n"},
    {"beep[a][b]", kAb + "SetPar2\nSystem Beep\n"}, {"loadfile[a][b]", kAb + "System LoadFile\n"},
    {"writefile[a][b]", kAb + "SetPar2\nSystem WriteFile\n"}, {"getresx[a]", kA + "System ScreenWidth\n"},
    {"getresy[a]", kA + "System ScreenHeight\n"}, {"title[a]", kA + "System Caption\n"},
    {"exec[a]", kA + "System Exec\n"}, {"getkey[a]{254}", kA + "KeyState A\n"},
    {"circle[a][b][c]", kAbc + "Circle\n"}, {"invert[a]", kA + "Negate\n"}, {"endif", "EndIf\n"},
    {"freespace{2}", ""}, {"dim[e]", ""},
};

}  // namespace

TEST(Statements, EachKeywordAppendsItsCode) { expectListings(kStatements); }

TEST(Statements, KeywordsMatchInAnyCase) {
    // A capital last letter changes only where the first star test looks, which matters
    // to none of these.
    for (const ListingCase& statement : kStatements) {
        std::string upper = statement.source;
        std::string mixed = statement.source;
        for (std::size_t i = 0; i < std::min(upper.find_first_of("[{"), upper.size()); ++i) {
            upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
            mixed[i] = i % 2 == 0 ? upper[i] : mixed[i];
        }
        expectListings({{upper, statement.listing}, {mixed, statement.listing}});
    }
}

TEST(Statements, StarMarkerAddsMovePointerAfterItsOwnArgument) {
    const std::string references[] = {kA, kB, kC, kD};
    for (const ListingCase& statement : kStatements) {
        if (statement.source.starts_with("dim"))
            continue;  // dim tests no marker: a starred name is declared as written
        std::size_t at = 0;
        for (int argument = 0; (at = statement.source.find('[', at)) != std::string::npos; ++argument, ++at) {
            std::string source = statement.source;
            source.insert(at, 1, '*');
            std::string expected = statement.listing;
            expected.insert(expected.find(references[argument]) + references[argument].size(), "MovePointer\n");
            // The marker is not counted by the advances: scanning resumes at the line
            // break. The unmarked copy behind shows that markers do not carry over.
            expectListings({{source + "\r\n" + statement.source, expected + statement.listing}});
        }
    }
}

TEST(Statements, StarMarkerMustBeFirstCharacterBeforeTheBracket) {
    expectListings({
        {"mov*[a]*[b]", kA + "MovePointer\nSetPar1\n" + kB + "MovePointer\nCopy\n"},
        {"mov [a][b]", kAb + "Copy\n"},
        {"mov[a] *[b]", kAb + "Copy\n"},
        {"mov**[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "Copy\n"},
        // IF= ends in "=", which has no case: its star test is unaffected.
        {"IF=*[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\nIfEqual\n"},
        // COL9 ends in a digit.
        {"COL9*[a]", kA + "MovePointer\nColourByDigit\n"},
    });
    expectListings({
        // PRINT's first test looks for a lower-case "t" after the keyword: here the one in
        // the last line, which a "*" follows, so the first argument is marked.
        {kNames + "PRINT[a][b][c]\r\nt*[\r\n", kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\n" + kC + "Print\n"},
        // Without a later "t" the test takes the text from the start of the source up to
        // its first "[" ("dim"): no marker, even when the keyword has one.
        {kNames + "PRINT*[a][b][c]", kAbc + "Print\n"},
        // A source that starts with "*" marks it that way.
        {"*" + kNames + "MOV[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "Copy\n"},
    }, "");
}

TEST(Statements, NamesAreLookedUpAsWrittenAndUndeclaredOnesLeftOut) {
    expectListings({{"inc[Count]\r\ninc[count]\r\ninc[COUNT]", kB + "Increment\n" + kA + "Increment\nIncrement\n",
                     {kUndeclared + "COUNT"}}},
                   declarations({"count", "Count"}));
    expectListings({{"print[a][nope][x]\r\nlen[nope][b]\r\nmov*[q][b]",
                     kA + "SetPar1\nSetPar2\nPrint\nSetPar1\n" + kB + "Length\nMovePointer\nSetPar1\n" + kB + "Copy\n",
                     {kUndeclared + "nope", kUndeclared + "x", kUndeclared + "nope", kUndeclared + "q"}}});
}

TEST(Statements, LiteralsAreCopiedUnchanged) {
    for (const std::string literal : {"", " two\r\nlines [x] ", "\xe9\x01\xff"}) {
        SCOPED_TRACE(literal);
        EXPECT_EQ(bodyOf(compileSource(kNames + "set[a]{" + literal + "}").result), "\x01\x82\x82\x1b" + literal);
    }
}

TEST(Statements, LabelWritesItsNumberOfMarkers) {
    const std::pair<const char*, int> cases[] = {
        {"2", 2},     {"0", 0},     {"-4", 0},       {" 7 ", 7},     {"2.5", 2},   {"3.5", 4},   {"0.5", 0},
        {"0.51", 1},  {"999", 999}, {"999.4", 999},  {"999.5", 0},   {"1000", 0},  {"1e2", 100}, {"abc", 0},
    };
    for (const auto& [number, markers] : cases) {
        SCOPED_TRACE(number);
        const auto compiled = compileSource("label{" + std::string(number) + "}\r\n");
        EXPECT_EQ(bodyOf(compiled.result), std::string(static_cast<std::size_t>(markers), '\xff'));
        EXPECT_EQ(compiled.result.map.size(), markers > 0 ? 1u : 0u);
    }
}

TEST(Statements, GetKeyWritesTheRoundedKeyNumberAsSelector) {
    const std::pair<const char*, const char*> cases[] = {
        {"254", "KeyState A\n"},          {"253.5", "KeyState A\n"}, {"252.5", "KeyState C\n"},
        {" 213 ", "KeyState Digit0\n"},   {"0", "KeyState 0 (does nothing)\n"}, {"-0.5", "KeyState 0 (does nothing)\n"},
        {"255", "KeyState 255 (does nothing)\n"}, {"255.5", ""}, {"256", ""}, {"-1", ""}, {"A", ""},
    };
    for (const auto& [key, listing] : cases)
        expectListings({{"getkey[a]{" + std::string(key) + "}", kA + listing}});
}

TEST(Statements, WorkedExamples) {
    const std::pair<const char*, std::string> examples[] = {
        {"", ""},
        {"dim[x]\r\nset[x]{5}\r\nexit", "\x01\x82\x82\x1b" "5\x18"},
        {"dim[x]\r\ndim[y]\r\ndim[t]\r\nset[x]{10}\r\nset[y]{20}\r\nset[t]{Hi}\r\nprint[x][y][t]\r\nexit\r\n",
         "\x01\x82\x82\x1b" "10\x01\x82\x83\x1b" "20\x01\x82\x84\x1bHi"
         "\x01\x82\x82\x03\x01\x82\x83\x04\x01\x82\x84\xfd\x18"},
    };
    for (const auto& [source, body] : examples) {
        SCOPED_TRACE(source);
        EXPECT_EQ(bodyOf(compileSource(source).result), body);
    }
    expectListings({{"dim[i]\r\ndim[one]\r\nset[one]{1}\r\nlabel{1}\r\nmsgbox[i]\r\ngoto[one]\r\n",
                     kB + "Clear\nText \"1\"\nlabel 1\n" + kA + "System MessageBox\n" + kB + "Jump\n"}},
                   "");
}
