// The Quillon keyword chain: every keyword in the order the scanner tries it, the shape of
// its arguments and the MOXY code its statement appends. The translation loop in
// compiler.cpp reads only this table; no Qt, no state.
#pragma once

#include "moxy/opcodes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace quillon {

// How a statement reads the text after its keyword.
enum class Form : std::uint8_t {
    Brackets,    // [a][b]...: names looked up, each with its star test
    Bare,        // nothing after the keyword is read
    Comment,     // "//" up to the next "//"
    Set,         // [a]{literal}
    GetKey,      // [v]{key number}
    Label,       // {label number}
    FreeSpace,   // {count}
    Declare,     // [name], no star test
};

// One piece of a statement's code.
struct Piece {
    enum class Kind : std::uint8_t { None, Reference, Opcode, System };
    Kind kind = Kind::None;
    std::uint8_t value = 0;  // argument 1..4, opcode or sub-code
};

inline constexpr int kMaxArguments = 4;
inline constexpr int kMaxPieces = 8;

struct KeywordInfo {
    std::string_view word;   // lower case, as matched
    Form form = Form::Bare;
    int arguments = 0;       // bracket arguments read
    std::array<Piece, kMaxPieces> code{};  // appended left to right; Kind::None ends it

    // The character that opens the first argument's star test: the keyword's last one.
    constexpr char starOpener() const { return word.back(); }
};

namespace detail {

using moxy::Op;
using moxy::SubCode;

constexpr Piece argument(int number) { return {Piece::Kind::Reference, static_cast<std::uint8_t>(number)}; }
constexpr Piece opcode(Op op) { return {Piece::Kind::Opcode, static_cast<std::uint8_t>(op)}; }
constexpr Piece system(SubCode subCode) { return {Piece::Kind::System, static_cast<std::uint8_t>(subCode)}; }

constexpr KeywordInfo keyword(std::string_view word, Form form, int arguments, std::initializer_list<Piece> code) {
    KeywordInfo info{word, form, arguments, {}};
    std::size_t i = 0;
    for (const Piece& piece : code)
        info.code[i++] = piece;
    return info;
}

// The order matters only where one keyword begins another: the four window keywords come
// before "set".
inline constexpr KeywordInfo kKeywordChain[] = {
    // clang-format off
    // Output, assignment, conditions, arithmetic.
    keyword("print", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Print)}),
    keyword("//", Form::Comment, 0, {}),
    // Deliberate: setwindowx moves the window's top edge and setwindowy its left edge.
    keyword("setwindowwidth", Form::Brackets, 1, {argument(1), system(SubCode::SetWindowWidth)}),
    keyword("setwindowheight", Form::Brackets, 1, {argument(1), system(SubCode::SetWindowHeight)}),
    keyword("setwindowx", Form::Brackets, 1, {argument(1), system(SubCode::SetWindowTop)}),
    keyword("setwindowy", Form::Brackets, 1, {argument(1), system(SubCode::SetWindowLeft)}),
    keyword("set", Form::Set, 1, {argument(1), opcode(Op::Clear)}),
    keyword("if=", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), opcode(Op::IfEqual)}),
    keyword("if>", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), opcode(Op::IfGreater)}),
    keyword("if<", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), opcode(Op::IfLess)}),
    keyword("getticks", Form::Brackets, 1, {argument(1), opcode(Op::TickCount)}),
    keyword("getpointer", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::GetPointer)}),
    keyword("exit", Form::Bare, 0, {opcode(Op::End)}),
    keyword("doevents", Form::Bare, 0, {opcode(Op::Yield)}),
    keyword("inc", Form::Brackets, 1, {argument(1), opcode(Op::Increment)}),
    keyword("dec", Form::Brackets, 1, {argument(1), opcode(Op::Decrement)}),
    keyword("clear", Form::Brackets, 1, {argument(1), opcode(Op::Clear)}),
    // The prompt (second argument) goes first so that the answer's cell is the pointer.
    keyword("inputbox", Form::Brackets, 2, {argument(2), opcode(Op::SetPar1), argument(1), opcode(Op::InputBox)}),
    keyword("add", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Add)}),
    keyword("sub", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Subtract)}),
    keyword("mul", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Multiply)}),
    keyword("div", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Divide)}),
    // Math, text, labels, graphics.
    keyword("pwr", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Power)}),
    // The result (second argument) goes first: the root is stored into Res.
    keyword("sqrt", Form::Brackets, 2, {argument(2), opcode(Op::SetRes), argument(1), opcode(Op::SquareRoot)}),
    keyword("append", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::Append)}),
    keyword("mov", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::Copy)}),
    keyword("msgbox", Form::Brackets, 1, {argument(1), system(SubCode::MessageBox)}),
    keyword("cls", Form::Bare, 0, {opcode(Op::ClearScreen)}),
    keyword("getapppath", Form::Brackets, 1, {argument(1), opcode(Op::AppendFolder)}),
    keyword("chr", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::AppendChar)}),
    keyword("label", Form::Label, 0, {}),
    keyword("goto", Form::Brackets, 1, {argument(1), opcode(Op::Jump)}),
    keyword("randnum", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Random)}),
    keyword("mid", Form::Brackets, 4, {argument(1), opcode(Op::SetRes), argument(2), opcode(Op::SetPar1), argument(3), opcode(Op::SetPar2), argument(4), opcode(Op::Middle)}),
    keyword("len", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::Length)}),
    keyword("pset", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), opcode(Op::Point)}),
    keyword("col9", Form::Brackets, 1, {argument(1), opcode(Op::ColourByDigit)}),
    keyword("collong", Form::Brackets, 1, {argument(1), opcode(Op::ColourByValue)}),
    keyword("line", Form::Brackets, 4, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::SetRes), argument(4), opcode(Op::Line)}),
    keyword("selpbox", Form::Brackets, 1, {argument(1), opcode(Op::SelectPictureHolder)}),
    keyword("loadtopbox", Form::Brackets, 1, {argument(1), opcode(Op::LoadPicture)}),
    keyword("newpbox", Form::Bare, 0, {opcode(Op::NewPictureHolder)}),
    keyword("paintpicture", Form::Brackets, 4, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::SetRes), argument(4), opcode(Op::PaintPicture)}),
    // Sound, files, window, keys, declarations.
    keyword("beep", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), system(SubCode::Beep)}),
    keyword("loadfile", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), system(SubCode::LoadFile)}),
    // Deliberate: writefile makes its second argument Par2 too, which the runner ignores.
    keyword("writefile", Form::Brackets, 2, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), system(SubCode::WriteFile)}),
    keyword("getresx", Form::Brackets, 1, {argument(1), system(SubCode::ScreenWidth)}),
    keyword("getresy", Form::Brackets, 1, {argument(1), system(SubCode::ScreenHeight)}),
    keyword("title", Form::Brackets, 1, {argument(1), system(SubCode::Caption)}),
    keyword("exec", Form::Brackets, 1, {argument(1), system(SubCode::Exec)}),
    keyword("getkey", Form::GetKey, 1, {argument(1)}),
    keyword("circle", Form::Brackets, 3, {argument(1), opcode(Op::SetPar1), argument(2), opcode(Op::SetPar2), argument(3), opcode(Op::Circle)}),
    keyword("invert", Form::Brackets, 1, {argument(1), opcode(Op::Negate)}),
    keyword("endif", Form::Bare, 0, {opcode(Op::EndIf)}),
    keyword("freespace", Form::FreeSpace, 0, {}),
    keyword("dim", Form::Declare, 1, {}),
    // clang-format on
};

}  // namespace detail

// The keyword chain, in the order tried at every scan position.
inline constexpr std::span<const KeywordInfo> kKeywords = detail::kKeywordChain;

inline constexpr int kKeywordCount = static_cast<int>(kKeywords.size());

}  // namespace quillon
