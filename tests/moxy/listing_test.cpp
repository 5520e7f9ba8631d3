#include "moxy/format.h"
#include "moxy/listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using moxy::Op;
using testing::HasSubstr;

// Which codes are opcodes and which selectors keys is checked against the reference
// tables in docs_test.cpp.
TEST(Writer, WritesReferencesOpcodesTextAndLabels) {
    moxy::Writer writer;
    writer.cell(130, 131).op(Op::Clear).text("10").label(3).key(moxy::Key::B).system(moxy::SubCode::Beep);
    EXPECT_EQ(writer.code(), std::string("\x01\x82\x83\x1b"
                                         "10\xff\xff\xff\xea\xfd\xf7\xfd"));
}

TEST(Listing, NamesInstructionsCellsTextsAndLabels) {
    moxy::Writer writer;
    writer.raw(moxy::kQuillonHeader).cell(130, 130).op(Op::Clear).text("Hi \"you\"").label(2).op(Op::Jump);
    writer.byte(13).byte(10);
    EXPECT_EQ(moxy::listing(writer.code()),
              "SelectCell 255\n"
              "Text \"This Program was written and compiled in Quillon.\"\n"
              "Clear\n"
              "SelectCell 33150\n"
              "Clear\n"
              "Text \"Hi \\\"you\\\"\"\n"
              "label 2\n"
              "Jump\n"
              "Ignored 13 10\n");
}

TEST(Listing, ShowsOperandsCutOffOrOutsideTheTables) {
    struct Case {
        std::string code;
        std::string expected;
    };
    const Case cases[] = {
        {"\xea\xfe", "KeyState A\n"},
        {"\xea\x64", "KeyState 100 (does nothing)\n"},
        {"\xf7\xfc", "System LoadFile\n"},
        {"\xf7\xc8", "System 200 (does nothing)\n"},
        {"\xf7", "System (cut off at the end: does nothing)\n"},
        {std::string("\x01\x82", 2), "SelectCell hi 130, lo kept (a kept digit comes from the previous reference)\n"},
        {std::string("\x01\x00\x05", 3), "SelectCell hi kept, lo 5 (a kept digit comes from the previous reference)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(moxy::listing(c.code), c.expected);
    }
}

TEST(Listing, PositionsAndLongLabels) {
    moxy::Writer writer;
    writer.op(Op::End).label(1000);
    const std::string text = moxy::listing(writer.code(), {.positions = true, .note = {}});
    EXPECT_THAT(text, HasSubstr("      1  End\n"));
    EXPECT_THAT(text, HasSubstr("      2  label 1000 (longer than 999 markers: never a jump target)\n"));
}
