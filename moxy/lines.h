// The line convention of every text the tool chain reads: lines end at CR LF, LF or CR,
// and each line read is handed on followed by CR LF (the runner's loadfile, the editors'
// Open). No Qt.
#pragma once

#include <string>
#include <string_view>

namespace moxy {

// [content]'s lines, each followed by CR LF, the last one too; empty content gives "".
std::string linesEndingInCrLf(std::string_view content);

}  // namespace moxy
