// A compile stops once its code has passed the largest program the runner reads, so that
// a short source of long labels cannot take gigabytes and minutes.
#include "moxy/format.h"
#include "quillon/compiler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

constexpr std::size_t kRunnerLimit = moxy::kLargestProgram;

TEST(CodeBound, StopsOnceTheCodePassesWhatTheRunnerReads) {
    // 100,000 labels of 999 markers would be 100 MB of code; the exit after them is
    // never reached.
    std::string source;
    for (int i = 0; i < 100'000; ++i)
        source += "label{999}\n";
    source += "exit\n";
    const moxy::CompileResult result = quillon::compile(source, nullptr);
    EXPECT_GT(result.code.size(), kRunnerLimit);
    EXPECT_LE(result.code.size(), kRunnerLimit + 999);
    EXPECT_NE(result.code.back(), '\x18');
}

}  // namespace
