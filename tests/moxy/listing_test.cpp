#include "moxy/format.h"
#include "moxy/listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using moxy::Op;
using testing::HasSubstr;

TEST(Format, OpcodeTableCoversEveryExecutableCode) {
    // Codes that do something, by the format's character classes.
    for (int code : {1, 3, 4, 5, 6, 7, 8, 9, 12, 14, 15, 16, 17, 18, 19, 20, 21, 23, 24, 25, 26, 27}) {
        SCOPED_TRACE(code);
        EXPECT_NE(moxy::opInfo(static_cast<std::uint8_t>(code)), nullptr);
    }
    for (int code = 228; code <= 254; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(moxy::opInfo(static_cast<std::uint8_t>(code)) != nullptr, code != 250 && code != 251);
    }
    for (int code : {0, 2, 10, 11, 13, 22, 28, 31, 32, 126, 127, 227, 255}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(moxy::opInfo(static_cast<std::uint8_t>(code)), nullptr);
    }
}

TEST(Format, KeySelectorsFollowTheKeyboardTable) {
    // Every selector from 213 to 254 names a key, and only those.
    EXPECT_EQ(moxy::kKeyCount, 42);
    for (int selector = 213; selector <= 254; ++selector)
        EXPECT_NE(moxy::keyInfo(static_cast<std::uint8_t>(selector)), nullptr) << selector;
    for (auto [key, selector] : {std::pair{moxy::Key::A, 254}, {moxy::Key::Z, 229}, {moxy::Key::Up, 228},
                                 {moxy::Key::Space, 223}, {moxy::Key::Digit1, 222}, {moxy::Key::Digit0, 213}})
        EXPECT_EQ(moxy::keyInfo(key).selector, selector) << selector;
    EXPECT_EQ(moxy::keyInfo(212), nullptr);
}

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
