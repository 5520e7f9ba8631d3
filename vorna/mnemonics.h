// The VORNA mnemonics in the order the compiler tries them, each with the action it
// takes and the one code it appends. Depends only on the MOXY opcode list; no Qt.
#pragma once

#include "moxy/opcodes.h"

#include <cstdint>
#include <string_view>

namespace vorna {

// What a matched mnemonic does.
enum class Action : std::uint8_t {
    Emit,     // appends its one code
    Declare,  // DIM[name]: adds the name to the name list, appends nothing
    Use,      // USE[name]: one pointer step per name between the tracked name and [name]
    Label,    // LABEL: the markers of the next label number
    Escape,   // the backtick: appends the character that follows it
};

constexpr std::uint8_t opCode(moxy::Op op) { return static_cast<std::uint8_t>(op); }

// Deliberate: VORNA steps the pointer down with code 1 (DEC, and each downward step of
// USE). The runner reads code 1 as the lead of a variable reference and takes the next
// two characters as cell digits, so the step does not do what the VORNA program means.
// Stored files and users rely on the code, so it stays.
inline constexpr std::uint8_t kPointerDownCode = opCode(moxy::Op::SelectCell);
// Deliberate: code 2 (INC, and each upward step of USE) is no opcode; the runner skips it.
inline constexpr std::uint8_t kPointerUpCode = 2;
// Deliberate: code 22 (SETPROMPT) is no opcode either; the runner skips it.
inline constexpr std::uint8_t kSetPromptCode = 22;

struct Mnemonic {
    std::string_view text;  // matched exactly, upper case
    Action action;
    std::uint8_t code = 0;  // what an Emit mnemonic appends
};

inline constexpr Mnemonic kMnemonics[] = {
    {"DEC", Action::Emit, kPointerDownCode},
    {"INC", Action::Emit, kPointerUpCode},
    {"SETPAR1", Action::Emit, opCode(moxy::Op::SetPar1)},
    {"SETPAR2", Action::Emit, opCode(moxy::Op::SetPar2)},
    {"SETRES", Action::Emit, opCode(moxy::Op::SetRes)},
    {"ADD", Action::Emit, opCode(moxy::Op::Add)},
    {"SUB", Action::Emit, opCode(moxy::Op::Subtract)},
    {"MUL", Action::Emit, opCode(moxy::Op::Multiply)},
    {"DIV", Action::Emit, opCode(moxy::Op::Divide)},
    {"PRINT", Action::Emit, opCode(moxy::Op::Print)},
    {"SETCOL", Action::Emit, opCode(moxy::Op::ColourByDigit)},
    {"PSET", Action::Emit, opCode(moxy::Op::Point)},
    {"IF=", Action::Emit, opCode(moxy::Op::IfEqual)},
    {"IF>", Action::Emit, opCode(moxy::Op::IfGreater)},
    {"IF<", Action::Emit, opCode(moxy::Op::IfLess)},
    {"ENDIF", Action::Emit, opCode(moxy::Op::EndIf)},
    {"SETTICK", Action::Emit, opCode(moxy::Op::TickCount)},
    {"GETPOINTER", Action::Emit, opCode(moxy::Op::GetPointer)},
    {"MOVPOINTER", Action::Emit, opCode(moxy::Op::MovePointer)},
    {"SETPROMPT", Action::Emit, kSetPromptCode},
    {"INPUT", Action::Emit, opCode(moxy::Op::InputBox)},
    {"EXIT", Action::Emit, opCode(moxy::Op::End)},
    {"VUP", Action::Emit, opCode(moxy::Op::Increment)},
    {"VDN", Action::Emit, opCode(moxy::Op::Decrement)},
    {"CLEARVAR", Action::Emit, opCode(moxy::Op::Clear)},
    {"GOTO", Action::Emit, opCode(moxy::Op::Jump)},
    {"DIM", Action::Declare},
    {"USE", Action::Use},
    {"LABEL", Action::Label},
    {"`", Action::Escape},
};

// No mnemonic begins with another one, so the order of the table decides nothing.
constexpr bool noMnemonicBeginsAnother() {
    for (const Mnemonic& a : kMnemonics)
        for (const Mnemonic& b : kMnemonics)
            if (&a != &b && b.text.substr(0, a.text.size()) == a.text)
                return false;
    return true;
}
static_assert(noMnemonicBeginsAnother(), "a mnemonic begins with another one");

}  // namespace vorna
