// Declarations and the name table: slot order, a full table, freespace reservations,
// the names "0" and "", and the declaration errors that abandon a compile.
#include "quillon_testing.h"

#include <gmock/gmock.h>

using quillon_testing::bodyListing;
using quillon_testing::cellLine;
using quillon_testing::compileSource;
using quillon_testing::declarations;

namespace {

// dim[n0] ... dim[n<count - 1>], CR LF after each.
std::string manyDeclarations(int count) {
    std::string source;
    for (int i = 0; i < count; ++i)
        source += "dim[n" + std::to_string(i) + "]\r\n";
    return source;
}

}  // namespace

TEST(NameTable, NamesFillSlotsInSlotOrder) {
    const struct {
        int index;  // of the declaration, 0-based
        int first;
        int second;
    } cases[] = {{0, 130, 130}, {1, 130, 131}, {124, 130, 254}, {125, 131, 130}, {15624, 254, 254}};
    const std::string source = manyDeclarations(15625);
    for (const auto& slot : cases) {
        SCOPED_TRACE(slot.index);
        const auto compiled = compileSource(source + "inc[n" + std::to_string(slot.index) + "]\r\n");
        EXPECT_EQ(bodyListing(compiled.result), cellLine(slot.first, slot.second) + "Increment\n");
        EXPECT_TRUE(compiled.diagnostics.empty());
    }
}

TEST(NameTable, DeclarationPastTheLastSlotIsIgnoredSilently) {
    const auto compiled = compileSource(manyDeclarations(15626) + "inc[n15625]\r\ninc[n15624]\r\n");
    EXPECT_FALSE(compiled.result.abandoned);
    EXPECT_EQ(bodyListing(compiled.result), "Increment\n" + cellLine(254, 254) + "Increment\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. n15625"));
}

TEST(NameTable, FreespaceReservesTheFirstEmptySlots) {
    const struct {
        std::string count;
        int reserved;  // slots reserved after a and b; 15623 = every one left
    } cases[] = {
        {"3", 2},    {"2", 1},        {" 3 ", 2},        {"3.0", 2},       {"1", 15623},
        {"0", 15623}, {"-2", 15623},  {"2.5", 15623},    {"x", 1},         {"", 1},
        {"15624", 15623}, {"15625", 15623}, {"15623", 15622}, {"4e0", 3},
    };
    for (const auto& freespace : cases) {
        SCOPED_TRACE(freespace.count);
        const auto compiled =
            compileSource(declarations({"a", "b"}) + "freespace{" + freespace.count + "}\r\ndim[c]\r\ninc[c]\r\n");
        const int slot = 2 + freespace.reserved;
        if (slot < 15625) {
            EXPECT_EQ(bodyListing(compiled.result), cellLine(130 + slot / 125, 130 + slot % 125) + "Increment\n");
            EXPECT_TRUE(compiled.diagnostics.empty());
        } else {
            EXPECT_EQ(bodyListing(compiled.result), "Increment\n");
            EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. c"));
        }
    }
}

TEST(NameTable, ZeroNamesTheFirstReservedSlot) {
    const auto compiled = compileSource(declarations({"a", "b"}) +
                                        "freespace{3}\r\ndim[c]\r\ninc[0]\r\ninc[c]\r\nfreespace{2}\r\ninc[0]\r\n");
    EXPECT_EQ(bodyListing(compiled.result),
              cellLine(130, 132) + "Increment\n" + cellLine(130, 134) + "Increment\n" + cellLine(130, 132) + "Increment\n");
    EXPECT_TRUE(compiled.diagnostics.empty());
}

TEST(NameTable, ZeroWithoutReservationIsUndeclared) {
    const auto compiled = compileSource(declarations({"a"}) + "inc[0]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), "Increment\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. 0"));
}

TEST(NameTable, EmptyNameIsTheFirstEmptySlot) {
    const struct {
        std::string source;
        std::string listing;
        bool reported;
    } cases[] = {
        {"msgbox[]", cellLine(130, 130) + "System MessageBox\n", false},
        {"dim[a]\r\nmsgbox[]", cellLine(130, 131) + "System MessageBox\n", false},
        {"dim[a]\r\nfreespace{3}\r\nmsgbox[]", cellLine(130, 133) + "System MessageBox\n", false},
        // With every slot taken no slot equals "".
        {"freespace{1}\r\nmsgbox[]", "System MessageBox\n", true},
    };
    for (const auto& lookup : cases) {
        SCOPED_TRACE(lookup.source);
        const auto compiled = compileSource(lookup.source + "\r\n");
        EXPECT_EQ(bodyListing(compiled.result), lookup.listing);
        EXPECT_EQ(compiled.diagnostics.size(), lookup.reported ? 1u : 0u);
    }
}

TEST(NameTable, DeclarationErrorsAbandonTheCompile) {
    const struct {
        std::string source;
        std::string message;
        long long caret;
        int line;
        int column;
    } cases[] = {
        {"dim[0]", "Cannot use \"0\" as a variable name, it is reserved.", 4, 1, 1},
        {"dim[a]\r\ndim[a]", "Error, variable already declared.", 12, 2, 1},
        {"dim[a]\r\ndim[b]\r\n  dim [b]", "Error, variable already declared.", 22, 3, 3},
        {"dim[]", "Error, variable already declared.", 4, 1, 1},
        {"exit\r\ndim[x]\r\nDIM[x]\r\nexit", "Error, variable already declared.", 18, 3, 1},
        // dim[0] is refused even when freespace reserved slots.
        {"freespace{3}\r\ndim[0]", "Cannot use \"0\" as a variable name, it is reserved.", 18, 2, 1},
        // A failed measurement declares the name last measured again.
        {"dim[a]\r\ndim[", "Error, variable already declared.", 12, 2, 1},
    };
    for (const auto& declaration : cases) {
        SCOPED_TRACE(declaration.source);
        const auto compiled = compileSource(declaration.source);
        EXPECT_TRUE(compiled.result.abandoned);
        EXPECT_EQ(compiled.result.caret, declaration.caret);
        EXPECT_TRUE(compiled.result.code.empty());
        EXPECT_TRUE(compiled.result.map.empty());
        ASSERT_EQ(compiled.diagnostics.size(), 1u);
        EXPECT_EQ(compiled.diagnostics[0].text, declaration.message);
        EXPECT_EQ(compiled.diagnostics[0].line, declaration.line);
        EXPECT_EQ(compiled.diagnostics[0].column, declaration.column);
    }
}

TEST(NameTable, AbandonedCompileStopsReportingAtOnce) {
    const auto compiled = compileSource("msgbox[x]\r\ndim[0]\r\nmsgbox[y]\r\n");
    EXPECT_THAT(compiled.messages(), testing::ElementsAre("Error: Variable doesnt exist. x",
                                                          "Cannot use \"0\" as a variable name, it is reserved."));
    // Positions 10 and 11 of 30 reported; the dim at 12 ends the compile before its step.
    EXPECT_THAT(compiled.progress, testing::ElementsAre(33, 37));
}

TEST(NameTable, EachCompileStartsEmpty) {
    ASSERT_FALSE(compileSource("dim[a]\r\n").result.abandoned);
    const auto second = compileSource("dim[a]\r\ninc[a]\r\n");
    EXPECT_FALSE(second.result.abandoned);
    EXPECT_EQ(bodyListing(second.result), cellLine(130, 130) + "Increment\n");
}

TEST(NameTable, EmptyNameDeclarationWithAFullTableIsIgnored) {
    const auto compiled = compileSource("freespace{1}\r\ndim[]\r\nexit\r\n");
    EXPECT_FALSE(compiled.result.abandoned);
    EXPECT_EQ(bodyListing(compiled.result), "End\n");
    EXPECT_TRUE(compiled.diagnostics.empty());
}

TEST(NameTable, StarredDeclarationDeclaresTheNameAsWritten) {
    // dim tests no marker: "*" between keyword and "[" is passed over.
    const auto compiled = compileSource("dim*[a]\r\ninc[a]\r\n");
    EXPECT_EQ(bodyListing(compiled.result), cellLine(130, 130) + "Increment\n");
}
