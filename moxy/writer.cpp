#include "moxy/format.h"

#include <cassert>

namespace moxy {

Writer& Writer::cell(int hi, int lo) {
    assert(hi >= 0 && hi <= 255 && lo >= 0 && lo <= 255);
    m_code += static_cast<char>(Op::SelectCell);
    m_code += static_cast<char>(hi);
    m_code += static_cast<char>(lo);
    return *this;
}

Writer& Writer::op(Op op) {
    assert(opInfo(static_cast<std::uint8_t>(op))->operand == Operand::None);
    m_code += static_cast<char>(op);
    return *this;
}

Writer& Writer::key(Key key) {
    m_code += static_cast<char>(Op::KeyState);
    m_code += static_cast<char>(keyInfo(key).selector);
    return *this;
}

Writer& Writer::system(SubCode subCode) {
    m_code += static_cast<char>(Op::System);
    m_code += static_cast<char>(subCode);
    return *this;
}

Writer& Writer::text(std::string_view literal) {
    m_code += literal;
    return *this;
}

Writer& Writer::label(int number) {
    assert(number >= 0);
    m_code.append(static_cast<std::size_t>(number), static_cast<char>(kLabelMarker));
    return *this;
}

Writer& Writer::raw(std::string_view bytes) {
    m_code += bytes;
    return *this;
}

Writer& Writer::byte(std::uint8_t code) {
    m_code += static_cast<char>(code);
    return *this;
}

}  // namespace moxy
