// The start-up of the moxy program: the command line, then the run in a window or without
// one (--headless), or the listing (--disasm). See README.md and docs/moxy.md for the options.
#pragma once

namespace runner {

// Runs the runner with the command line [argc], [argv]; [version] for --version. Returns
// the exit status: 0 ran to its end, 1 usage or file error, 2 run-time error, 3 step limit.
int runMoxy(int argc, char** argv, const char* version);

}  // namespace runner
