// The kept inputs of a fuzzer, replayed by the tests: every file of a folder, as bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

// Calls [replay] with the bytes of every file in [folder]; fails when there is none.
template <typename Replay>
void forEachCorpusFile(const std::filesystem::path& folder, Replay replay) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        std::ostringstream bytes;
        bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        replay(bytes.str());
        ++files;
    }
    EXPECT_GT(files, 0) << folder;
}

}  // namespace testing_support
