// Runs the interpreter on arbitrary bytes with a step limit and small text limits. Any
// crash, sanitizer report or unbounded allocation is a bug.
#include "runner/session.h"
#include "support/fake_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing_support::FakeHost host;
    host.closeAtYield = 5000;
    host.folder = "/nonexistent-folder";
    host.realFiles = false;
    runner::InterpreterOptions options;
    options.seed = 1;
    options.maxSteps = 20000;
    options.maxCellText = 1 << 16;
    options.maxTotalText = 1 << 20;
    runner::Interpreter interpreter(std::string(reinterpret_cast<const char*>(data), size), host, options);
    (void)runner::stateDump(interpreter, runner::runWithRestart(interpreter));
    return 0;
}
