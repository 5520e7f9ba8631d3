// Feeds arbitrary bytes to the debugger's message reader and protocol session.
#include "debugger/dap_replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing_support::replayDap(data, size);
    return 0;
}
