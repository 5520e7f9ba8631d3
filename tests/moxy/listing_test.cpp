#include "moxy/format.h"
#include "moxy/listing.h"

#include <gtest/gtest.h>

TEST(Listing, NamesInstructionsAndShowsOperandsCutOffOrOutsideTheTables) {
    const std::pair<std::string, std::string> cases[] = {
        {moxy::Writer().text("Hi \"you\"").label(2).op(moxy::Op::Jump).take(), "Text \"Hi \\\"you\\\"\"\nlabel 2\nJump\n"},
        {moxy::Writer().label(1000).take(), "label 1000 (longer than 999 markers: never a jump target)\n"},
        {"\r\n", "Ignored 13 10\n"},
        {"\xea\xfe", "KeyState A\n"},
        {"\xea\x64", "KeyState 100 (does nothing)\n"},
        {"\xf7\xfc", "System LoadFile\n"},
        {"\xf7\xc8", "System 200 (does nothing)\n"},
        {"\xf7", "System (cut off at the end: does nothing)\n"},
        {std::string("\x01\x82", 2), "SelectCell hi 130, lo kept (a kept digit comes from the previous reference)\n"},
        {std::string("\x01\x00\x05", 3), "SelectCell hi kept, lo 5 (a kept digit comes from the previous reference)\n"},
    };
    for (const auto& [code, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(moxy::listing(code), expected);
    }
    moxy::Writer writer;
    writer.cell(130, 131).key(moxy::Key::B).system(moxy::SubCode::Beep).raw("\r").byte(10);
    EXPECT_EQ(moxy::listing(writer.code(), {.positions = true, .note = {}}),
              "      1  SelectCell 33151\n      4  KeyState B\n      6  System Beep\n      8  Ignored 13 10\n");
}
