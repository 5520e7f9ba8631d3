// The protocol's framing (whole messages from bytes split anywhere, broken headers
// reported and passed over) and the names part of the map file.
#include "debugger/framing.h"
#include "debugger/program_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using debugger::MessageReader;
using testing::ElementsAre;

namespace {

// Everything the reader hands out for [stream], fed in pieces of [piece] bytes: messages
// as their text, errors as "error: TEXT".
std::vector<std::string> readAll(const std::string& stream, std::size_t piece, std::size_t maxBody = 1000) {
    MessageReader reader(maxBody);
    std::vector<std::string> items;
    for (std::size_t at = 0; at < stream.size(); at += piece)
        reader.feed(std::string_view(stream).substr(at, piece));
    MessageReader::Item item;
    while (reader.next(item))
        items.push_back(item.kind == MessageReader::Item::Kind::Message ? item.text : "error: " + item.text);
    return items;
}

}  // namespace

TEST(Framing, MessagesSurviveAnySplit) {
    const std::string stream = debugger::frame("{\"a\":1}") + debugger::frame("") +
                               "content-length:  3 \r\nContent-Type: application/json\r\n\r\n[2]" +
                               "\r\n" + debugger::frame("{}");
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        EXPECT_THAT(readAll(stream, piece), ElementsAre("{\"a\":1}", "", "[2]", "{}"));
    }
}

TEST(Framing, BrokenHeadersAreReportedAndPassedOver) {
    const std::string good = debugger::frame("{}");
    const struct {
        std::string stream;
        std::vector<std::string> items;
    } cases[] = {
        {"Content-Type: x\r\n\r\n{}" + good, {"error: missing Content-Length", "{}"}},
        {"Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}" + good, {"error: duplicate Content-Length", "{}"}},
        {"Content-Length: -2\r\n\r\n{}" + good, {"error: Content-Length is not a number", "{}"}},
        {"Content-Length 2\r\n\r\n{}" + good, {"error: malformed header line (no colon)", "{}"}},
        // Too long for the limit: the body is dropped, the next message read.
        {"Content-Length: 1001\r\n\r\n" + std::string(1001, 'x') + good,
         {"error: message longer than the limit of 1000 bytes", "{}"}},
        {"Content-Length: 99999999999999999999999999\r\n\r\nxyz" + good,
         {"error: message longer than the limit of 1000 bytes", "{}"}},
        {std::string(9000, 'h') + good, {"error: header longer than 8192 bytes without an empty line", "{}"}},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.stream.substr(0, 60));
        EXPECT_EQ(readAll(example.stream, example.stream.size()), example.items);
        EXPECT_EQ(readAll(example.stream, 7), example.items);
    }
}

TEST(Framing, MemoryStaysBoundedOnEndlessJunk) {
    MessageReader reader(1000);
    const std::string junk(1 << 20, 'j');
    for (int i = 0; i < 64; ++i)
        reader.feed(junk);
    reader.feed(debugger::frame("{}"));
    MessageReader::Item item;
    ASSERT_TRUE(reader.next(item));
    EXPECT_EQ(item.kind, MessageReader::Item::Kind::Error);
    ASSERT_TRUE(reader.next(item));
    EXPECT_EQ(item.text, "{}");
}

TEST(MapNames, NamesAreReadWithTheirEscapes) {
    const std::string map =
        "# moxy source map\n"
        "1 1 1\n"
        "name score 33150\r\n"
        "name back\\\\slash\\x41\\t 33151\n"
        "name two words 33152\n"
        "name \\q\\x4 33153\n"
        "name nocell\n"
        "name bad -4\n"
        "name bad 12x\n"
        "names 1 2\n"
        "7 2 1\n";
    const debugger::ProgramMap program(map);
    ASSERT_EQ(program.names().size(), 4u);
    EXPECT_EQ(program.names()[0].name, "score");
    EXPECT_EQ(program.names()[0].cell, 33150);
    EXPECT_EQ(program.names()[1].name, "back\\slashA\t");
    EXPECT_EQ(program.names()[2].name, "two words");
    EXPECT_EQ(program.names()[3].name, "\\q\\x4");  // not escapes: kept as they are
    EXPECT_EQ(program.cellOf("two words"), 33152);
    EXPECT_EQ(program.cellOf("nocell"), std::nullopt);
    EXPECT_EQ(program.entries().size(), 2u);
}

TEST(MapNames, BreakpointLinesMoveToTheNextLineWithCode) {
    const debugger::ProgramMap program("# moxy source map\n10 3 5\n4 1 1\n20 3 1\n30 6 2\n");
    const struct {
        int line;
        std::size_t position;  // 0: none
    } cases[] = {{1, 4}, {2, 10}, {3, 10}, {4, 30}, {6, 30}, {7, 0}};  // line 3: the first code of the line
    for (const auto& example : cases) {
        SCOPED_TRACE(example.line);
        const moxy::SourceMapEntry* entry = program.statementOnOrAfter(example.line);
        EXPECT_EQ(entry ? entry->position : 0, example.position);
    }
    EXPECT_EQ(program.statementAt(3), nullptr);
    EXPECT_EQ(program.statementAt(25)->position, 20u);
    EXPECT_TRUE(program.startsStatement(30));
    EXPECT_FALSE(program.startsStatement(31));
}
