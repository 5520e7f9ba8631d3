// The protocol's framing and the map file as the debugger reads it.
#include "debugger/framing.h"
#include "debugger/program_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using debugger::MessageReader;

namespace {

// Messages as their text, errors as "error: TEXT", from [stream] fed in pieces of [piece] bytes.
std::vector<std::string> readAll(const std::string& stream, std::size_t piece) {
    MessageReader reader(1000);
    for (std::size_t at = 0; at < stream.size(); at += piece)
        reader.feed(std::string_view(stream).substr(at, piece));
    std::vector<std::string> items;
    for (MessageReader::Item item; reader.next(item);)
        items.push_back(item.kind == MessageReader::Item::Kind::Message ? item.text : "error: " + item.text);
    return items;
}

}  // namespace

TEST(Framing, MessagesSurviveAnySplit) {
    const std::string stream = debugger::frame("{\"a\":1}") + debugger::frame("") +
                               "content-length:  3 \r\nContent-Type: application/json\r\n\r\n[2]\r\n" + debugger::frame("{}");
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        EXPECT_THAT(readAll(stream, piece), testing::ElementsAre("{\"a\":1}", "", "[2]", "{}"));
    }
}

TEST(Framing, BrokenHeadersAreReportedAndPassedOver) {
    const struct { std::string stream; std::string error; } cases[] = {
        {"Content-Type: x\r\n\r\n{}", "missing Content-Length"},
        {"Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}", "duplicate Content-Length"},
        {"Content-Length: -2\r\n\r\n{}", "Content-Length is not a number"},
        {"Content-Length 2\r\n\r\n{}", "malformed header line (no colon)"},
        {"Content-Length: 1001\r\n\r\n" + std::string(1001, 'x'), "message longer than the limit of 1000 bytes"},
        {"Content-Length: 99999999999999999999999999\r\n\r\nxyz", "message longer than the limit of 1000 bytes"},
        {std::string(9000, 'h'), "header longer than 8192 bytes without an empty line"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.stream.substr(0, 60));
        const std::string stream = example.stream + debugger::frame("{}");
        const std::vector<std::string> items{"error: " + example.error, "{}"};
        EXPECT_EQ(readAll(stream, stream.size()), items);
        EXPECT_EQ(readAll(stream, 7), items);
    }
}

TEST(MapNames, NamesAreReadWithTheirEscapesAndLinesMoveToCode) {
    const debugger::ProgramMap names("# moxy source map\n1 1 1\nname score 33150\r\nname back\\\\slash\\x41\\t 33151\n"
                                     "name two words 33152\nname \\q\\x4 33153\nname nocell\nname bad -4\nname bad 12x\n"
                                     "names 1 2\n7 2 1\n");
    std::vector<std::string> read;
    for (const auto& named : names.names())
        read.push_back(named.name + "=" + std::to_string(named.cell));
    EXPECT_THAT(read, testing::ElementsAre("score=33150", "back\\slashA\t=33151", "two words=33152", "\\q\\x4=33153"));
    EXPECT_EQ(names.cellOf("two words"), 33152);
    EXPECT_EQ(names.cellOf("nocell"), std::nullopt);
    EXPECT_EQ(names.entries().size(), 2u);

    const debugger::ProgramMap program("# moxy source map\n10 3 5\n4 1 1\n20 3 1\n30 6 2\n");
    const std::pair<int, std::size_t> lines[] = {{1, 4}, {2, 10}, {3, 10}, {4, 30}, {6, 30}, {7, 0}};  // 0: none
    for (const auto& [line, position] : lines) {
        SCOPED_TRACE(line);
        const moxy::SourceMapEntry* entry = program.statementOnOrAfter(line);
        EXPECT_EQ(entry ? entry->position : 0, position);
    }
    EXPECT_EQ(program.statementAt(3), nullptr);
    EXPECT_EQ(program.statementAt(25)->position, 20u);
    EXPECT_FALSE(program.startsStatement(31));
}
