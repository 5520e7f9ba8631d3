// Declarations and the name table: slot order, a full table, freespace reservations,
// the names "0" and "", and the declaration errors that abandon a compile.
#include "quillon_testing.h"

#include <gmock/gmock.h>

#include <tuple>
#include <utility>

using namespace quillon_testing;

TEST(NameTable, NamesFillSlotsInSlotOrderAndOneTooManyIsIgnoredSilently) {
    std::string source;
    for (int i = 0; i <= 15625; ++i)
        source += "dim[n" + std::to_string(i) + "]\r\n";
    // The declaration's 0-based index, the slot's two indices.
    const std::tuple<int, int, int> cases[] = {{0, 130, 130}, {1, 130, 131}, {124, 130, 254}, {125, 131, 130},
                                               {15624, 254, 254}};
    for (const auto& [index, first, second] : cases)
        expectListings({{"inc[n" + std::to_string(index) + "]", cellLine(first, second) + "Increment\n"}}, source);
    expectListings({{"inc[n15625]", "Increment\n", {kUndeclared + "n15625"}}}, source);
}

TEST(NameTable, FreespaceReservesTheFirstEmptySlots) {
    // Slots reserved after a and b; 15623 is every one left.
    const std::pair<const char*, int> cases[] = {
        {"3", 2},       {"2", 1}, {" 3 ", 2},       {"4e0", 3},       {"1", 15623},     {"0", 15623},
        {"2.5", 15623}, {"x", 1}, {"15623", 15622}, {"15624", 15623}, {"15625", 15623},
    };
    for (const auto& [count, reserved] : cases) {
        const int slot = 2 + reserved;
        const bool free = slot < 15625;
        expectListings({{"freespace{" + std::string(count) + "}\r\ndim[c]\r\ninc[c]",
                         (free ? cellLine(130 + slot / 125, 130 + slot % 125) : "") + "Increment\n",
                         free ? std::vector<std::string>{} : std::vector<std::string>{kUndeclared + "c"}}},
                       declarations({"a", "b"}));
    }
}

TEST(NameTable, ZeroAndTheEmptyNameStandForSlots) {
    expectListings(
        {
            // "0" is the first reserved slot, also after later reservations; without one it
            // is undeclared.
            {"freespace{3}\r\ndim[c]\r\ninc[0]\r\ninc[c]\r\nfreespace{2}\r\ninc[0]",
             cellLine(130, 132) + "Increment\n" + cellLine(130, 134) + "Increment\n" + cellLine(130, 132) +
                 "Increment\n"},
            {"inc[0]", "Increment\n", {kUndeclared + "0"}},
            // "" is the first empty slot; with every slot taken it is none, and dim[] is ignored.
            {"msgbox[]", cellLine(130, 132) + "System MessageBox\n"},
            {"freespace{3}\r\nmsgbox[]", cellLine(130, 134) + "System MessageBox\n"},
            {"freespace{1}\r\nmsgbox[]", "System MessageBox\n", {kUndeclared}},
            {"freespace{1}\r\ndim[]\r\nexit", "End\n"},
            // dim tests no marker: "*" between keyword and "[" is passed over.
            {"dim*[c]\r\ninc[c]", cellLine(130, 132) + "Increment\n"},
        },
        declarations({"a", "b"}));
}

TEST(NameTable, DeclarationErrorsAbandonTheCompile) {
    const std::string reserved = "Cannot use \"0\" as a variable name, it is reserved.";
    const std::string twice = "Error, variable already declared.";
    const std::tuple<std::string, long long, std::string> cases[] = {  // source, caret, "LINE:COLUMN TEXT"
        {"dim[0]", 4, "1:1 " + reserved},
        {"dim[a]\r\ndim[a]", 12, "2:1 " + twice},
        {"dim[a]\r\ndim[b]\r\n  dim [b]", 22, "3:3 " + twice},
        {"dim[]", 4, "1:1 " + twice},
        {"exit\r\ndim[x]\r\nDIM[x]\r\nexit", 18, "3:1 " + twice},
        // dim[0] is refused even when freespace reserved slots.
        {"freespace{3}\r\ndim[0]", 18, "2:1 " + reserved},
        // A failed measurement declares the name last measured again.
        {"dim[a]\r\ndim[", 12, "2:1 " + twice},
    };
    for (const auto& [source, caret, message] : cases) {
        SCOPED_TRACE(source);
        const auto compiled = compileSource(source);
        EXPECT_TRUE(compiled.result.abandoned);
        EXPECT_EQ(compiled.result.caret, caret);
        EXPECT_TRUE(compiled.result.code.empty());
        EXPECT_TRUE(compiled.result.map.empty());
        EXPECT_EQ(compiled.messages(Compiled::Place::Yes), std::vector<std::string>{message});
    }
}

TEST(NameTable, AbandonedCompileStopsReportingAtOnce) {
    const auto compiled = compileSource("msgbox[x]\r\ndim[0]\r\nmsgbox[y]\r\n");
    EXPECT_THAT(compiled.messages(),
                testing::ElementsAre(kUndeclared + "x", "Cannot use \"0\" as a variable name, it is reserved."));
    // Positions 10 and 11 of 30 reported; the dim at 12 ends the compile before its step.
    EXPECT_THAT(compiled.progress, testing::ElementsAre(33, 37));
}
