#include "moxy/compile.h"

namespace moxy {

std::string moxyFileText(std::string_view code) {
    std::string text;
    text.reserve(code.size() + 2);
    text += code;
    text += "\r\n";
    return text;
}

}  // namespace moxy
