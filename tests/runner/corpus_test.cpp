// The fuzzer's interesting inputs, kept as regression cases: hostile programs must end
// in an orderly way.
#include "runner/session.h"
#include "support/corpus.h"
#include "support/fake_host.h"

namespace {
// Runs [program] as the fuzzer does and returns its state dump.
std::string runHostile(const std::string& program, std::uint64_t maxSteps) {
    testing_support::FakeHost host;
    host.realFiles = false;
    host.closeAtYield = 1000;
    runner::InterpreterOptions options;
    options.seed = 1;
    options.maxSteps = maxSteps;
    runner::Interpreter interpreter(program, host, options);
    const runner::RunResult result = runner::runWithRestart(interpreter);
    return runner::stateDump(interpreter, result);
}
}  // namespace

TEST(Corpus, HostileProgramsEndInAnOrderlyWay) {
    testing_support::forEachCorpusFile(
        MOXY_CORPUS_DIR, [](const std::string& program) { EXPECT_FALSE(runHostile(program, 200000).empty()); });
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
    for (const std::string& program : {noise, std::string(1000, '\xff') + "\x01\x01\x01" "1000\xfe",
                                       std::string("\x01\xfe\xfe" "64770\x15\x15\x01\xfe\xfe\x1b" "64770\x15"),
                                       std::string("\x01\x82\x82\x1b" "1\xff\x01\xff\xff\xfe")})  // label 1 inside a reference
        EXPECT_FALSE(runHostile(program, 2000000).empty());
}
