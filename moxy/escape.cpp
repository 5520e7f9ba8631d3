#include "moxy/escape.h"

#include <cstdint>
#include <cstdio>

namespace moxy {

std::string escaped(std::string_view text, const Escaping& escaping) {
    const bool cut = text.size() > escaping.limit;
    const std::string_view shown = cut ? text.substr(0, escaping.limit) : text;
    std::string out;
    out.reserve(shown.size() + 2);
    if (escaping.quotes)
        out += '"';
    for (const char c : shown) {
        const auto byte = static_cast<std::uint8_t>(c);
        if ((c == '"' && escaping.quotes) || (c == '\\' && escaping.backslash)) {
            out += '\\';
            out += c;
        } else if (c == '\r' && escaping.lineBreaks) {
            out += "\\r";
        } else if (c == '\n' && escaping.lineBreaks) {
            out += "\\n";
        } else if (c == '\t' && escaping.tab) {
            out += "\\t";
        } else if ((byte >= 32 && byte <= 126) || escaping.bytesAsIs) {
            out += c;
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
            out += buffer;
        }
    }
    if (escaping.quotes)
        out += '"';
    if (cut) {
        out += "...";
        if (escaping.countCut)
            out += " (" + std::to_string(text.size()) + " characters)";
    }
    return out;
}

}  // namespace moxy
