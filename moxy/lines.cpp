#include "moxy/lines.h"

namespace moxy {

std::string linesEndingInCrLf(std::string_view content) {
    std::string text;
    text.reserve(content.size() + content.size() / 16 + 2);
    std::size_t lineStart = 0;
    while (lineStart < content.size()) {
        std::size_t end = lineStart;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        text.append(content.substr(lineStart, end - lineStart));
        text += "\r\n";
        if (end + 1 < content.size() && content[end] == '\r' && content[end + 1] == '\n')
            ++end;
        lineStart = end + 1;
    }
    return text;
}

}  // namespace moxy
