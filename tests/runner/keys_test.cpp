// The one key table: how the window's key events and the --keys scripts' names find the
// program's key flags.
#include "runner/keys.h"

#include <gtest/gtest.h>

#include <optional>

using moxy::Key;

TEST(KeyTable, KeyEventsFindTheirFlagByKeyNotByCharacter) {
    struct Case {
        const char* what;
        int qtKey;
        bool keypad;
        quint32 scanCode;
        std::optional<Key> expected;
    };
    const Case cases[] = {
        {"letter", Qt::Key_Q, false, 24, Key::Q},
        {"arrow on the keypad", Qt::Key_Left, true, 0, Key::Left},
        {"Return", Qt::Key_Return, false, 36, Key::Enter},
        {"keypad Enter", Qt::Key_Enter, true, 104, Key::Enter},
        {"digit row", Qt::Key_7, false, 16, Key::Digit7},
        {"digit row 0", Qt::Key_0, false, 19, Key::Digit0},
        {"keypad digit", Qt::Key_7, true, 79, std::nullopt},
        {"shifted digit 1 arrives as !", Qt::Key_Exclam, false, 10, Key::Digit1},
        {"shifted digit 0 arrives as )", Qt::Key_ParenRight, false, 19, Key::Digit0},
        {"keypad symbol with a digit's scan code", Qt::Key_Asterisk, true, 10, std::nullopt},
        {"untracked key", Qt::Key_F1, false, 67, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(runner::keyOfEvent(c.qtKey, c.keypad, c.scanCode), c.expected);
    }
}
