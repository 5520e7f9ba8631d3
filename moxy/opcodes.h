// The MOXY format: every opcode, system sub-code and key selector, written once.
//
// A MOXY program is plain character data: one byte per character, every opcode one
// character. This header is the only list of codes; the runner, both compilers and the
// disassembler take names, bytes and operand kinds from here. It depends on nothing
// but the standard library.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace moxy {

// What follows an opcode in the program text.
enum class Operand : std::uint8_t {
    None,         // nothing: every input comes from cells named by the registers
    CellDigits,   // two cell digits hi, lo (codes 1..254): cell hi x 254 + lo
    KeySelector,  // one character naming a key (see MOXY_KEYS)
    SubCode,      // one character naming a system operation (see MOXY_SUBCODES)
};

// The cell an instruction writes, as the trace shows it.
enum class Writes : std::uint8_t {
    Nothing,
    Pointer,  // V(P)
    Res,      // V(Res)
};

// Columns: name, byte, operand, the cell it writes (Pointer: V(P), Res: V(Res), Nothing:
// no cell; System's sub-code tells its own). P is the current cell (the Pointer register),
// V(n) the text of cell n.
#define MOXY_OPCODES(X)                                                                            \
    X(SelectCell, 1, CellDigits, Nothing)       /* P := hi x 254 + lo; creates the cell */         \
    X(SetPar1, 3, None, Nothing)                /* Par1 := P */                                    \
    X(SetPar2, 4, None, Nothing)                /* Par2 := P */                                    \
    X(SetRes, 5, None, Nothing)                 /* Res := P */                                     \
    X(Add, 6, None, Pointer)                    /* V(P) := V(Par1) + V(Par2) */                    \
    X(Subtract, 7, None, Pointer)               /* V(P) := V(Par1) - V(Par2) */                    \
    X(Multiply, 8, None, Pointer)               /* V(P) := V(Par1) x V(Par2) */                    \
    X(Divide, 9, None, Pointer)                 /* V(P) := V(Par1) / V(Par2) */                    \
    X(ColourByDigit, 12, None, Nothing)         /* drawing colour from the digit 1..9 in V(P) */   \
    X(Point, 14, None, Nothing)                 /* dot at (V(Par1), V(Par2)) */                    \
    X(IfEqual, 15, None, Nothing)               /* skip unless V(Par1) = V(Par2) as text */        \
    X(IfGreater, 16, None, Nothing)             /* skip unless V(Par1) > V(Par2) as numbers */     \
    X(IfLess, 17, None, Nothing)                /* skip unless V(Par1) < V(Par2) as numbers */     \
    X(EndIf, 18, None, Nothing)                 /* no action; where a skip ends */                 \
    X(TickCount, 19, None, Pointer)             /* V(P) := milliseconds since system start */      \
    X(GetPointer, 20, None, Pointer)            /* V(P) := the number Par1 (not its cell) */       \
    X(MovePointer, 21, None, Pointer)           /* P := whole(|V(P)|): indirect addressing */      \
    X(InputBox, 23, None, Pointer)              /* V(P) := answer to the prompt V(Par1) */         \
    X(End, 24, None, Nothing)                   /* ends the runner */                              \
    X(Increment, 25, None, Pointer)             /* V(P) := V(P) + 1 */                             \
    X(Decrement, 26, None, Pointer)             /* V(P) := V(P) - 1 */                             \
    X(Clear, 27, None, Pointer)                 /* V(P) := empty text */                           \
    X(Negate, 228, None, Pointer)               /* V(P) := -V(P) */                                \
    X(Circle, 229, None, Nothing)               /* circle at (V(Par1), V(Par2)), radius V(P) */    \
    X(NewPictureHolder, 230, None, Nothing)     /* creates the next picture holder */              \
    X(PaintPicture, 231, None, Nothing)         /* selected picture, scaled to V(Res) x V(P) */    \
    X(LoadPicture, 232, None, Nothing)          /* selected holder := picture file V(P) */         \
    X(SelectPictureHolder, 233, None, Nothing)  /* PicSelect := whole(V(P)) */                     \
    X(KeyState, 234, KeySelector, Pointer)      /* V(P) := "1" if the key is down, else "0" */     \
    X(FilledBox, 235, None, Nothing)            /* box outline and fill */                         \
    X(Box, 236, None, Nothing)                  /* box outline */                                  \
    X(Middle, 237, None, Pointer)               /* V(P) := part of V(Res) */                       \
    X(Length, 238, None, Pointer)               /* V(P) := length of V(Par1) */                    \
    X(Random, 239, None, Pointer)               /* V(P) := random whole number V(Par1)..V(Par2) */ \
    X(ColourByValue, 240, None, Nothing)        /* colour := red + 256 green + 65536 blue */       \
    X(AppendChar, 241, None, Pointer)           /* V(P) += the character of code V(Par1) */        \
    X(AppendFolder, 242, None, Pointer)         /* V(P) += the runner's folder */                  \
    X(Append, 243, None, Pointer)               /* V(P) += V(Par1) */                              \
    X(Line, 244, None, Nothing)                 /* line (V(Par1), V(Par2)) to (V(Res), V(P)) */    \
    X(Power, 245, None, Pointer)                /* V(P) := V(Par1) ^ V(Par2) */                    \
    X(SquareRoot, 246, None, Res)               /* V(Res) := square root of V(P) */                \
    X(System, 247, SubCode, Nothing)            /* one of twelve system operations */              \
    X(ClearScreen, 248, None, Nothing)          /* clears the drawing surface to white */          \
    X(Copy, 249, None, Pointer)                 /* V(P) := V(Par1) */                              \
    X(Yield, 252, None, Nothing)                /* lets pending window events through */           \
    X(Print, 253, None, Nothing)                /* writes V(P) at (V(Par1), V(Par2)) */            \
    X(Jump, 254, None, Nothing)                 /* continues after label whole(V(P)) */

// Sub-codes of opcode 247, in the order the runner tests them. Columns: name, byte,
// Quillon keyword, the cell it writes.
#define MOXY_SUBCODES(X)                                \
    X(Beep, 253, "beep", Nothing)                       \
    X(LoadFile, 252, "loadfile", Pointer)               \
    X(WriteFile, 251, "writefile", Nothing)             \
    X(ScreenWidth, 250, "getresx", Pointer)             \
    X(ScreenHeight, 249, "getresy", Pointer)            \
    X(SetWindowWidth, 248, "setwindowwidth", Nothing)   \
    X(SetWindowHeight, 247, "setwindowheight", Nothing) \
    X(SetWindowTop, 246, "setwindowx", Nothing)         \
    X(SetWindowLeft, 245, "setwindowy", Nothing)        \
    X(Caption, 244, "title", Nothing)                   \
    X(MessageBox, 243, "msgbox", Nothing)               \
    X(Exec, 242, "exec", Nothing)

// Key selectors of opcode 234. Columns: name, selector byte, the key's code as the key
// handlers see it. Deliberate: selector 213 follows the digit row and reads the 0 key;
// no other key reaches it.
#define MOXY_KEYS(KEY) \
    KEY(A, 254, 65) KEY(B, 253, 66) KEY(C, 252, 67) KEY(D, 251, 68) KEY(E, 250, 69) KEY(F, 249, 70)   \
    KEY(G, 248, 71) KEY(H, 247, 72) KEY(I, 246, 73) KEY(J, 245, 74) KEY(K, 244, 75) KEY(L, 243, 76)   \
    KEY(M, 242, 77) KEY(N, 241, 78) KEY(O, 240, 79) KEY(P, 239, 80) KEY(Q, 238, 81) KEY(R, 237, 82)   \
    KEY(S, 236, 83) KEY(T, 235, 84) KEY(U, 234, 85) KEY(V, 233, 86) KEY(W, 232, 87) KEY(X, 231, 88)   \
    KEY(Y, 230, 89) KEY(Z, 229, 90) KEY(Up, 228, 38) KEY(Down, 227, 40) KEY(Right, 226, 39)          \
    KEY(Left, 225, 37) KEY(Enter, 224, 13) KEY(Space, 223, 32) KEY(Digit1, 222, 49)                \
    KEY(Digit2, 221, 50) KEY(Digit3, 220, 51) KEY(Digit4, 219, 52) KEY(Digit5, 218, 53)            \
    KEY(Digit6, 217, 54) KEY(Digit7, 216, 55) KEY(Digit8, 215, 56) KEY(Digit9, 214, 57)            \
    KEY(Digit0, 213, 48)

enum class Op : std::uint8_t {
#define MOXY_X(name, code, operand, writes) name = code,
    MOXY_OPCODES(MOXY_X)
#undef MOXY_X
};

enum class SubCode : std::uint8_t {
#define MOXY_X(name, code, keyword, writes) name = code,
    MOXY_SUBCODES(MOXY_X)
#undef MOXY_X
};

enum class Key : std::uint8_t {
#define MOXY_X(name, selector, keyCode) name,
    MOXY_KEYS(MOXY_X)
#undef MOXY_X
};

struct OpInfo {
    Op op;
    std::string_view name;
    Operand operand;
    Writes writes;
};

struct SubCodeInfo {
    SubCode subCode;
    std::string_view name;
    std::string_view keyword;
    Writes writes;
};

struct KeyInfo {
    Key key;
    std::string_view name;
    std::uint8_t selector;
    int keyCode;
};

inline constexpr OpInfo kOpInfo[] = {
#define MOXY_X(name, code, operand, writes) {Op::name, #name, Operand::operand, Writes::writes},
    MOXY_OPCODES(MOXY_X)
#undef MOXY_X
};

inline constexpr SubCodeInfo kSubCodeInfo[] = {
#define MOXY_X(name, code, keyword, writes) {SubCode::name, #name, keyword, Writes::writes},
    MOXY_SUBCODES(MOXY_X)
#undef MOXY_X
};

inline constexpr KeyInfo kKeyInfo[] = {
#define MOXY_X(name, selector, keyCode) {Key::name, #name, selector, keyCode},
    MOXY_KEYS(MOXY_X)
#undef MOXY_X
};

inline constexpr int kKeyCount = static_cast<int>(std::size(kKeyInfo));

namespace detail {
template <typename Info, std::size_t N, typename Code>
constexpr auto byteTable(const Info (&infos)[N], Code code) {
    std::array<const Info*, 256> table{};
    for (const Info& info : infos)
        table[code(info)] = &info;
    return table;
}
template <typename Info, std::size_t N, typename Code>
constexpr bool bytesUnique(const Info (&infos)[N], Code code) {
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (code(infos[i]) == code(infos[j]))
                return false;
    return true;
}
}  // namespace detail

inline constexpr auto kOpByByte =
    detail::byteTable(kOpInfo, [](const OpInfo& info) { return static_cast<std::uint8_t>(info.op); });
inline constexpr auto kSubCodeByByte = detail::byteTable(
    kSubCodeInfo, [](const SubCodeInfo& info) { return static_cast<std::uint8_t>(info.subCode); });
inline constexpr auto kKeyBySelector =
    detail::byteTable(kKeyInfo, [](const KeyInfo& info) { return info.selector; });

static_assert(detail::bytesUnique(kOpInfo, [](const OpInfo& i) { return static_cast<int>(i.op); }),
              "two opcodes share a byte");
static_assert(detail::bytesUnique(kSubCodeInfo,
                                  [](const SubCodeInfo& i) { return static_cast<int>(i.subCode); }),
              "two sub-codes share a byte");
static_assert(detail::bytesUnique(kKeyInfo, [](const KeyInfo& i) { return static_cast<int>(i.selector); }),
              "two keys share a selector");

// The opcode of [byte], or nullptr for literal characters, label markers and ignored codes.
constexpr const OpInfo* opInfo(std::uint8_t byte) { return kOpByByte[byte]; }
constexpr const SubCodeInfo* subCodeInfo(std::uint8_t byte) { return kSubCodeByByte[byte]; }
constexpr const KeyInfo* keyInfo(std::uint8_t selector) { return kKeyBySelector[selector]; }
constexpr const KeyInfo& keyInfo(Key key) { return kKeyInfo[static_cast<int>(key)]; }

}  // namespace moxy
