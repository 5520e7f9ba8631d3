// The programs' access to files, processes and the clock, on top of Qt Core. Calls
// return std::optional or bool with a reason; callers decide what failure means. The
// file reads and writes themselves live in file_io.h, which needs no Qt.
#pragma once

#include "platform/file_io.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The words of [commandLine] as a shell splits them: blanks separate, single quotes
// keep everything, double quotes keep all but \" \\ \$, a backslash escapes the next
// character. Nothing is expanded.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Starts [commandLine] as a detached process, split into program and arguments as a
// shell would (quotes group words) without running a shell.
bool startDetached(std::string_view commandLine, std::string* reason = nullptr);

// Milliseconds since the system started, as a signed 32-bit counter that wraps.
std::int32_t tickCount();

// The folder of the running executable, without a trailing separator (except "/").
std::string executableFolder();

}  // namespace platform
