// The MOXY format's encodings: variable references, labels, literal characters, the
// end-of-condition marker and the Quillon header; and `Writer`, through which every
// producer of MOXY code appends it. No Qt, no I/O.
#pragma once

#include "moxy/opcodes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace moxy {

inline constexpr int kCellBase = 254;          // cell = hi x 254 + lo
inline constexpr int kFirstCellDigit = 1;      // codes 0 and 255 are no cell digits
inline constexpr int kLastCellDigit = 254;
inline constexpr int kHighestCell = kLastCellDigit * kCellBase + kLastCellDigit;  // 64770
inline constexpr std::uint8_t kLabelMarker = 255;
inline constexpr std::uint8_t kEndOfCondition = static_cast<std::uint8_t>(Op::EndIf);
inline constexpr int kHighestLabel = 999;      // longer marker runs are never labels
inline constexpr std::uint8_t kFirstLiteral = 32;
inline constexpr std::uint8_t kLastLiteral = 126;
// The runner reads no larger MOXY file: it keeps a table of a few bytes per character, and
// real programs are far smaller (a 10 MB Quillon source compiles to 4 MB).
inline constexpr std::size_t kLargestProgram = std::size_t{64} << 20;

// Every file the Quillon compiler writes opens with this: a reference to cell 255, a
// sentence appended to it, and opcode 27 emptying it again.
inline constexpr std::string_view kQuillonHeader =
    "\x01\x01\x01"
    "This Program was written and compiled in Quillon."
    "\x1b";

constexpr bool isCellDigit(std::uint8_t byte) { return byte >= kFirstCellDigit && byte <= kLastCellDigit; }
constexpr bool isLiteral(std::uint8_t byte) { return byte >= kFirstLiteral && byte <= kLastLiteral; }
constexpr int cellNumber(int hi, int lo) { return hi * kCellBase + lo; }

// Appends MOXY code to a string. Producers never write byte literals: they name cells,
// opcodes, texts and labels.
class Writer {
public:
    Writer& cell(int hi, int lo);                  // opcode 1 with two cell digits
    Writer& op(Op op);                             // an opcode without operand
    Writer& key(Key key);                          // opcode 234 and the key's selector
    Writer& system(SubCode subCode);               // opcode 247 and the sub-code
    Writer& text(std::string_view literal);        // literal characters, appended as they are
    Writer& label(int number);                     // [number] label markers
    Writer& raw(std::string_view bytes);           // code taken from elsewhere, unchanged
    Writer& byte(std::uint8_t code);               // one character of any code

    const std::string& code() const { return m_code; }
    std::string take() { return std::move(m_code); }

private:
    std::string m_code;
};

}  // namespace moxy
