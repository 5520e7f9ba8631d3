// The protocol fuzzer's interesting inputs, kept as regression cases: hostile streams get
// error responses, never a crash.
#include "debugger/dap_replay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

TEST(DapCorpus, HostileStreamsAreSurvived) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DAP_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::ostringstream bytes;
        bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        const std::string data = bytes.str();
        testing_support::replayDap(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        ++files;
    }
    EXPECT_GT(files, 0);
}
