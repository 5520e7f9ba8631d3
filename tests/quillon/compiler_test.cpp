// The Quillon compiler core: statements, scan, name table, messages, warnings, progress, map, bounds.
#include "moxy/format.h"
#include "moxy/listing.h"
#include "quillon/compiler.h"
#include "support/corpus.h"

#include <gmock/gmock.h>

#include <cmath>

using testing::ElementsAre;

namespace {

struct Compiled {
    moxy::CompileResult result;
    std::vector<std::string> errors, placed, warnings;  // placed: "LINE:COLUMN TEXT" of the errors
    std::vector<int> progress;
    // The code after the header.
    std::string body() const {
        return result.code.starts_with(moxy::kQuillonHeader) ? result.code.substr(moxy::kQuillonHeader.size())
                                                             : "<no header>";
    }
};

Compiled compileSource(std::string_view source) {
    Compiled c;
    c.result = quillon::compile(
        source,
        [&](const moxy::Diagnostic& d) {
            const std::string place = std::to_string(d.line) + ":" + std::to_string(d.column) + " ";
            if (d.severity == moxy::Severity::Warning)
                c.warnings.push_back(place + d.text);
            else
                c.errors.push_back(d.text), c.placed.push_back(place + d.text);
        },
        [&](int percent) { c.progress.push_back(percent); });
    return c;
}

std::string cell(int first, int second) { return "SelectCell " + std::to_string(moxy::cellNumber(first, second)) + "\n"; }

// a to d declared first, and the references to them as listed.
const std::string kAbNames = "dim[a]\r\ndim[b]\r\n", kNames = kAbNames + "dim[c]\r\ndim[d]\r\n";
const std::string kA = cell(130, 130), kB = cell(130, 131), kC = cell(130, 132), kD = cell(130, 133);
const std::string kAb = kA + "SetPar1\n" + kB, kAbc = kAb + "SetPar2\n" + kC, kAbcd = kAbc + "SetRes\n" + kD;
const std::string kUndeclared = "Error: Variable doesnt exist. ";

struct ListingCase {
    std::string source, listing;
    std::vector<std::string> errors = {};
};

// Compiles [prefix] and each case's source; checks the listing after the header and the errors.
void expectListings(const std::vector<ListingCase>& cases, const std::string& prefix = kNames) {
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.source);
        const Compiled compiled = compileSource(prefix + c.source);
        EXPECT_EQ(moxy::listing(compiled.body()), c.listing);
        EXPECT_EQ(compiled.errors, c.errors);
    }
}

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

// Each keyword in any case appends its code; a star before an argument adds MovePointer after
// its reference, in that statement only.
TEST(Statements, EachKeywordAndTheStarMarker) {
    expectListings(kStatements);
    expectListings({{"PrInT[a][b][c]", kAbc + "Print\n"}, {"SETWINDOWY[a]", kA + "System SetWindowLeft\n"}, {"eNDIF", "EndIf\n"}});
    const std::string references[] = {kA, kB, kC, kD};
    for (const ListingCase& statement : kStatements) {
        std::size_t at = 0;
        for (int argument = 0; !statement.source.starts_with("dim") && (at = statement.source.find('[', at)) != std::string::npos;
             ++argument, ++at) {
            std::string source = statement.source;
            std::string expected = statement.listing;
            source.insert(at, 1, '*');
            expected.insert(expected.find(references[argument]) + references[argument].size(), "MovePointer\n");
            expectListings({{source + "\r\n" + statement.source, expected + statement.listing}});
        }
    }
    expectListings({
        {"mov [a][b]", kAb + "Copy\n"}, {"mov[a] *[b]", kAb + "Copy\n"},
        {"mov**[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "Copy\n"},
        {"IF=*[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\nIfEqual\n"},
        {"COL9*[a]", kA + "MovePointer\nColourByDigit\n"},
    });
    // A capital last letter: the first star test looks for a lower-case "t" anywhere later,
    // or else at the source's start up to its first "[".
    expectListings({
        {kNames + "PRINT[a][b][c]\r\nt*[\r\n", kA + "MovePointer\nSetPar1\n" + kB + "SetPar2\n" + kC + "Print\n"},
        {kNames + "PRINT*[a][b][c]", kAbc + "Print\n"},
        {"*" + kNames + "MOV[a][b]", kA + "MovePointer\nSetPar1\n" + kB + "Copy\n"},
    }, "");
}

TEST(Statements, NumbersAndLiterals) {
    expectListings({
        {"label{2}", "label 2\n"}, {"label{0}", ""}, {"label{-4}", ""}, {"label{2.5}", "label 2\n"}, {"label{0.51}", "label 1\n"},
        {"label{999}", "label 999\n"}, {"label{999.5}", ""}, {"label{1000}", ""}, {"label{abc}", ""},
        {"getkey[a]{253.5}", kA + "KeyState A\n"}, {"getkey[a]{252.5}", kA + "KeyState C\n"}, {"getkey[a]{213}", kA + "KeyState Digit0\n"},
        {"getkey[a]{-0.5}", kA + "KeyState 0 (does nothing)\n"}, {"getkey[a]{255}", kA + "KeyState 255 (does nothing)\n"},
        {"getkey[a]{255.5}", kA}, {"getkey[a]{-1}", kA}, {"getkey[a]{A}", kA},
    });
    for (const std::string literal : {"", " two\r\nlines [x] ", "\xe9\x01\xff"})
        EXPECT_EQ(compileSource(kNames + "set[a]{" + literal + "}").body(), "\x01\x82\x82\x1b" + literal);
}

TEST(Scan, WhereStatementsAreFoundAndTheScanResumes) {
    expectListings({
        {"exitexit", "End\n"}, {"exit exit", "End\nEnd\n"}, {"exit[a]", "End\n"},
        {"mov[a][b]pset[a][b]", kAb + "Copy\n" + kA + "Clear\n"},
        {"mov [a][b]exit", kAb + "Copy\nEnd\n"}, {"mov[a][b]exit", kAb + "Copy\n"},
        {"getticks      [exit]", "TickCount\nEnd\n", {kUndeclared + "exit"}},
        {"reprint[a][b][a]", kAb + "SetPar2\n" + kA + "Print\n"}, {"setwindow[a]{1}", kA + "Clear\nText \"1\"\n"},
        {"// exit // exit", "End\n"}, {"///exit", "End\n"}, {"// exit", ""}, {"// a ///exit//exit", "End\n"},
        {"/ exit", "End\n"},
        {"mov[b][a]\r\nmov[a][", kB + "SetPar1\n" + kA + "Copy\n" + kA + "SetPar1\n" + kA + "Copy\n"},
        {"label{3}\r\nmsgbox[b", "label 3\nText \"3\"\nSystem MessageBox\n"},
        {"set[a]\r\nlater{7}", kA + "Clear\nText \"7\"\n"},
        {"set[a]{5}\r\nset[b]{", kA + "Clear\nText \"5\"\n" + kB + "Clear\nText \"5\"\n"},
        {"getkey[a]{254}\r\ngetkey[b]{", kA + "KeyState A\n" + kB + "KeyState A\n"},
        {"msgbox[a]\r\nlabel{", kA + "System MessageBox\n"}, {"label{2}\r\nlabel{", "label 4\n"},
        {"freespace{3}\r\nfreespace{\r\n\r\ndim[e]\r\nmsgbox[e]", "SelectCell 33158\nSystem MessageBox\n"},
    });
    expectListings({
        {"msgbox[", "System MessageBox\n"},
        {"dim[a]\r\nmsgbox", "System MessageBox\n", {kUndeclared + "dim[a"}},
        {"dim[a]\r\nmsgbox[   exit", "System MessageBox\nEnd\n"}, {"dim[abc]\r\nmsgbox[   exit", "System MessageBox\n"},
        {"print", "SetPar1\nSetPar2\nPrint\n"}, {"getkey", ""}, {"label", ""}, {"freespace", ""},
    }, "");
}

TEST(NameTable, SlotsFreespaceAndTheNamesZeroAndEmpty) {
    std::string full;
    for (int i = 0; i <= 15625; ++i)
        full += "dim[n" + std::to_string(i) + "]\r\n";
    const std::tuple<int, int, int> slots[] = {{0, 130, 130}, {124, 130, 254}, {125, 131, 130}, {15624, 254, 254}};
    for (const auto& [index, first, second] : slots)
        expectListings({{"inc[n" + std::to_string(index) + "]", cell(first, second) + "Increment\n"}}, full);
    expectListings({{"inc[n15625]", "Increment\n", {kUndeclared + "n15625"}}}, full);
    // Slots reserved after a and b; 15623 is every one left.
    for (const auto& [count, reserved] : std::vector<std::pair<std::string, int>>{
             {"3", 2}, {" 3 ", 2}, {"4e0", 3}, {"1", 15623}, {"0", 15623}, {"2.5", 15623}, {"x", 1}, {"15623", 15622}}) {
        const int slot = 2 + reserved;
        expectListings({{"freespace{" + count + "}\r\ndim[c]\r\ninc[c]",
                         (slot < 15625 ? cell(130 + slot / 125, 130 + slot % 125) : "") + "Increment\n",
                         slot < 15625 ? std::vector<std::string>{} : std::vector<std::string>{kUndeclared + "c"}}},
                       kAbNames);
    }
    expectListings({
        {"freespace{3}\r\ndim[c]\r\ninc[0]\r\ninc[c]\r\nfreespace{2}\r\ninc[0]",
         cell(130, 132) + "Increment\n" + cell(130, 134) + "Increment\n" + cell(130, 132) + "Increment\n"},
        {"inc[0]", "Increment\n", {kUndeclared + "0"}},
        {"msgbox[]", cell(130, 132) + "System MessageBox\n"},
        {"freespace{1}\r\nmsgbox[]", "System MessageBox\n", {kUndeclared}},
        {"freespace{1}\r\ndim[]\r\nexit", "End\n"},
        {"dim*[c]\r\ninc[c]", cell(130, 132) + "Increment\n"},
        {"dim[A]\r\ninc[A]\r\ninc[nope][A]", cell(130, 132) + "Increment\nIncrement\n", {kUndeclared + "nope"}},
    }, kAbNames);
}

TEST(NameTable, DeclarationErrorsAbandonTheCompileAtOnce) {
    const std::string reserved(quillon::kReservedNameMessage), twice(quillon::kAlreadyDeclaredMessage);
    const std::tuple<std::string, long long, std::vector<std::string>> cases[] = {  // source, caret, messages
        {"dim[0]", 4, {"1:1 " + reserved}},
        {"dim[a]\r\ndim[b]\r\n  dim [b]", 22, {"3:3 " + twice}},
        {"dim[]", 4, {"1:1 " + twice}},
        {"freespace{3}\r\ndim[0]", 18, {"2:1 " + reserved}},
        {"dim[a]\r\ndim[", 12, {"2:1 " + twice}},
        {"msgbox[x]\r\ndim[0]\r\nmsgbox[y]\r\n", 15, {"1:1 " + kUndeclared + "x", "2:1 " + reserved}},
    };
    for (const auto& [source, caret, messages] : cases) {
        SCOPED_TRACE(source);
        const Compiled compiled = compileSource(source);
        EXPECT_TRUE(compiled.result.abandoned);
        EXPECT_EQ(compiled.result.caret, caret);
        EXPECT_TRUE(compiled.result.code.empty() && compiled.result.map.empty());
        EXPECT_EQ(compiled.placed, messages);
    }
    EXPECT_THAT(compileSource("msgbox[x]\r\ndim[0]\r\nmsgbox[y]\r\n").progress, ElementsAre(33, 37));
}

TEST(Report, ProgressSourceMapAndPlaces) {
    // Every position's percentage worked out one by one; a statement may pass the end.
    for (int limit : {1, 3, 7, 200, 333, 4097}) {
        SCOPED_TRACE(limit);
        std::vector<int> expected;
        for (int position = 1; position <= limit; ++position) {
            const int percent = static_cast<int>(std::nearbyint(static_cast<double>(position) / limit * 100.0));
            if (expected.empty() || expected.back() != percent)
                expected.push_back(percent);
        }
        EXPECT_EQ(compileSource(std::string(static_cast<std::size_t>(limit), ' ')).progress, expected);
    }
    EXPECT_THAT(compileSource("// x").progress, ElementsAre(125));
    EXPECT_THAT(compileSource("exit\r\nexit").progress, ElementsAre(50, 60, 110));

    const Compiled compiled = compileSource(
        "dim[a]\r\n  msgbox[a] exit\r\nlabel{0}\nfreespace{2}\r// exit //\r\n\tgetkey[zz]{300}\nset[a]{12}\r\n\r\ncls\r\n"
        "  \tmsgbox[y]\n\rmov[a][q]\r\r\n\nab*mov[c][a] msgbox[\x01\xe9 x]");
    std::vector<std::array<std::size_t, 3>> entries;
    for (const moxy::SourceMapEntry& entry : compiled.result.map)
        entries.push_back({entry.position, static_cast<std::size_t>(entry.line), static_cast<std::size_t>(entry.column)});
    const std::size_t first = moxy::kQuillonHeader.size() + 1;
    EXPECT_EQ(entries.size(), 8u);
    EXPECT_EQ(std::vector(entries.begin(), entries.begin() + 4),
              (decltype(entries){{first, 2, 3}, {first + 5, 2, 13}, {first + 6, 7, 1}, {first + 12, 9, 1}}));
    EXPECT_THAT(compiled.placed, ElementsAre("6:2 " + kUndeclared + "zz", "10:4 " + kUndeclared + "y",
                                             "12:1 " + kUndeclared + "q", "15:4 " + kUndeclared + "c",
                                             "15:14 " + kUndeclared + "\x01\xe9 x"));
}

TEST(Warnings, EachAtItsStatementAndTheCodeUnchanged) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {  // the source after dim[x], its warnings' starts
        {"set[x]{one\r\ntwo}\r\n", {"2:1 a { without its } on the same line"}},
        {"  label{4\r\nexit\r\n", {"2:3 a { without its }:"}},
        {"set[x]{caf\xe9}\r\n", {"2:1 character code 233 in the text is MOXY opcode 233"}},
        {"set[x]{caf\xc3\xa9}\r\n", {"2:1 the text holds the UTF-8 character \"\xc3\xa9\""}},
        {"set[x]{a\xff}\r\n", {"2:1 character code 255 in the text is a label marker"}},
        {"set[x]{a\tb}\r\n", {"2:1 character code 9 in the text is MOXY opcode 9"}},
        {"set[x]{a\x7f}\r\n", {"2:1 character code 127 in the text is no literal character"}},
        {"set[x]{\xe9\xe9\r\n\xe9} set[x]{\xe9}\r\n", {"2:1 a { without its } on the same line", "3:4 character code 233"}},
        {"set[x]{Hello, world! ~ {}\r\nprint[x][x][x]\r\nexit\r\n", {}},
        {"set[x]{}\r\nlabel{1}\r\ngetkey[x]{37}\r\nfreespace{3}\r\n// { and \xe9 //\r\ndim[\xe9]\r\nset[\xe9]{b}\r\n", {}},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(source);
        const Compiled compiled = compileSource("dim[x]\r\n" + source);
        ASSERT_EQ(compiled.warnings.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(compiled.warnings[i].substr(0, expected[i].size()), expected[i]);
        EXPECT_EQ(compiled.result.code, quillon::compile("dim[x]\r\n" + source, {}).code);
    }
}

// The speed of hostile shapes is measured in bench/ (make_sources).
TEST(Bounds, FuzzerFindsAndLongLabelsCompileInAnOrderlyWay) {
    testing_support::forEachCorpusFile(QUILLON_CORPUS_DIR, [](const std::string& source) {
        const Compiled compiled = compileSource(source);
        if (compiled.result.abandoned)
            EXPECT_TRUE(compiled.result.code.empty() && compiled.result.caret >= 3) << compiled.result.caret;
        else
            EXPECT_NE(compiled.body(), "<no header>");
    });
    // The code stops once it passes the largest program the runner reads; the exit is never
    // reached. Without a report function messages go nowhere.
    std::string source = "msgbox[x]\n";
    for (int i = 0; i < 100'000; ++i)
        source += "label{999}\n";
    const moxy::CompileResult labels = quillon::compile(source + "exit\n", nullptr);
    EXPECT_GT(labels.code.size(), moxy::kLargestProgram);
    EXPECT_LE(labels.code.size(), moxy::kLargestProgram + 999);
    EXPECT_NE(labels.code.back(), '\x18');
}

}  // namespace
