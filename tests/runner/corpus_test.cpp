// The fuzzer's interesting inputs, kept as regression cases: hostile programs must end
// in an orderly way.
#include "runner/session.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

TEST(Corpus, HostileProgramsEndInAnOrderlyWay) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MOXY_CORPUS_DIR)) {
        SCOPED_TRACE(entry.path().string());
        std::ifstream file(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        testing_support::FakeHost host;
        host.realFiles = false;
        host.closeAtYield = 1000;
        runner::InterpreterOptions options;
        options.seed = 1;
        options.maxSteps = 200000;
        runner::Interpreter interpreter(bytes.str(), host, options);
        const runner::RunResult result = runner::runWithRestart(interpreter);
        EXPECT_FALSE(runner::stateDump(interpreter, result).empty());
        ++files;
    }
    EXPECT_GT(files, 0);
}

TEST(Corpus, HostileShapesDoNotCrash) {
    // Megabytes of random bytes, long label runs, references to the highest cell and jumps
    // into operand characters.
    std::string noise(4 << 20, '\0');
    std::uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    const std::string shapes[] = {
        noise,
        std::string(1000, '\xff') + "\x01\x01\x01" "1000\xfe",
        "\x01\xfe\xfe" "64770\x15\x15\x01\xfe\xfe\x1b" "64770\x15",
        "\x01\x82\x82\x1b" "1\xff\x01\xff\xff\xfe",  // label 1 sits inside a reference
    };
    for (const std::string& program : shapes) {
        testing_support::FakeHost host;
        host.realFiles = false;
        host.closeAtYield = 1000;
        runner::InterpreterOptions options;
        options.seed = 1;
        options.maxSteps = 2000000;
        runner::Interpreter interpreter(program, host, options);
        const runner::RunResult result = runner::runWithRestart(interpreter);
        EXPECT_FALSE(runner::statusText(result).empty());
    }
}
