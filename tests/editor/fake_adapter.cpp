// The real protocol session on standard input and output over the debugger tests' fake machine;
// with --silent, an adapter that hangs: it reads and answers nothing.
#include "debugger/fake_debuggee.h"
#include "debugger/stdio_loop.h"

#include <string_view>

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--silent") {
        char buffer[4096];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        return 0;
    }
    debugger::Session session(testing_support::fakeFactory(), debugger::frameWriter(STDOUT_FILENO));
    return debugger::serve(session, STDIN_FILENO, 1000) ? 0 : 1;
}
