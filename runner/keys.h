// The keys a MOXY program can ask about (opcode 234), as the runner's window recognises
// them and as `--keys` scripts name them: one table for both.
#pragma once

#include "moxy/opcodes.h"

#include <QtCore/qnamespace.h>
#include <QtCore/qglobal.h>

#include <optional>
#include <string_view>

namespace runner {

struct KeyBinding {
    moxy::Key key;
    std::string_view scriptName;  // in --keys scripts (the format's name, e.g. Digit1, works too)
    int qtKey;                    // the Qt key that sets its flag
    int otherQtKey;               // another one (the keypad's Enter), or 0
    quint32 scanCode;             // X11 scan code of the key when it arrives as a symbol
                                  // (the digit row with shift), or 0
    bool onKeypad;                // the keypad's key of the same Qt key counts too
};

// Keys are tracked by key, not by character: shift plays no part, and the keypad's digits
// are not the digit row's.
inline constexpr KeyBinding kKeyBindings[] = {
    {moxy::Key::A, "A", Qt::Key_A, 0, 0, true},
    {moxy::Key::B, "B", Qt::Key_B, 0, 0, true},
    {moxy::Key::C, "C", Qt::Key_C, 0, 0, true},
    {moxy::Key::D, "D", Qt::Key_D, 0, 0, true},
    {moxy::Key::E, "E", Qt::Key_E, 0, 0, true},
    {moxy::Key::F, "F", Qt::Key_F, 0, 0, true},
    {moxy::Key::G, "G", Qt::Key_G, 0, 0, true},
    {moxy::Key::H, "H", Qt::Key_H, 0, 0, true},
    {moxy::Key::I, "I", Qt::Key_I, 0, 0, true},
    {moxy::Key::J, "J", Qt::Key_J, 0, 0, true},
    {moxy::Key::K, "K", Qt::Key_K, 0, 0, true},
    {moxy::Key::L, "L", Qt::Key_L, 0, 0, true},
    {moxy::Key::M, "M", Qt::Key_M, 0, 0, true},
    {moxy::Key::N, "N", Qt::Key_N, 0, 0, true},
    {moxy::Key::O, "O", Qt::Key_O, 0, 0, true},
    {moxy::Key::P, "P", Qt::Key_P, 0, 0, true},
    {moxy::Key::Q, "Q", Qt::Key_Q, 0, 0, true},
    {moxy::Key::R, "R", Qt::Key_R, 0, 0, true},
    {moxy::Key::S, "S", Qt::Key_S, 0, 0, true},
    {moxy::Key::T, "T", Qt::Key_T, 0, 0, true},
    {moxy::Key::U, "U", Qt::Key_U, 0, 0, true},
    {moxy::Key::V, "V", Qt::Key_V, 0, 0, true},
    {moxy::Key::W, "W", Qt::Key_W, 0, 0, true},
    {moxy::Key::X, "X", Qt::Key_X, 0, 0, true},
    {moxy::Key::Y, "Y", Qt::Key_Y, 0, 0, true},
    {moxy::Key::Z, "Z", Qt::Key_Z, 0, 0, true},
    {moxy::Key::Up, "Up", Qt::Key_Up, 0, 0, true},
    {moxy::Key::Down, "Down", Qt::Key_Down, 0, 0, true},
    {moxy::Key::Left, "Left", Qt::Key_Left, 0, 0, true},
    {moxy::Key::Right, "Right", Qt::Key_Right, 0, 0, true},
    {moxy::Key::Enter, "Enter", Qt::Key_Return, Qt::Key_Enter, 0, true},
    {moxy::Key::Space, "Space", Qt::Key_Space, 0, 0, true},
    {moxy::Key::Digit1, "1", Qt::Key_1, 0, 10, false},
    {moxy::Key::Digit2, "2", Qt::Key_2, 0, 11, false},
    {moxy::Key::Digit3, "3", Qt::Key_3, 0, 12, false},
    {moxy::Key::Digit4, "4", Qt::Key_4, 0, 13, false},
    {moxy::Key::Digit5, "5", Qt::Key_5, 0, 14, false},
    {moxy::Key::Digit6, "6", Qt::Key_6, 0, 15, false},
    {moxy::Key::Digit7, "7", Qt::Key_7, 0, 16, false},
    {moxy::Key::Digit8, "8", Qt::Key_8, 0, 17, false},
    {moxy::Key::Digit9, "9", Qt::Key_9, 0, 18, false},
    {moxy::Key::Digit0, "0", Qt::Key_0, 0, 19, false},
};

static_assert(std::size(kKeyBindings) == static_cast<std::size_t>(moxy::kKeyCount), "a key without binding");

// The key flag of a key event: its Qt key, whether it came from the keypad, its native
// scan code. nullopt for keys no flag tracks.
std::optional<moxy::Key> keyOfEvent(int qtKey, bool keypad, quint32 scanCode);

// The key a --keys script names: "A"-"Z", "0"-"9", "Up", "Down", "Left", "Right",
// "Enter", "Space" (or the format's name of the key).
std::optional<moxy::Key> keyNamed(std::string_view name);

}  // namespace runner
