// A compile stops once its code has passed the largest program the runner reads, so that
// a short source of long labels cannot take gigabytes and minutes.
#include "quillon/compiler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

constexpr std::size_t kRunnerLimit = std::size_t{256} << 20;

TEST(CodeBound, StopsOnceTheCodePassesWhatTheRunnerReads) {
    // 300,000 labels of 999 markers would be 300 MB of code; the exit after them is
    // never reached.
    std::string source;
    for (int i = 0; i < 300'000; ++i)
        source += "label{999}\n";
    source += "exit\n";
    const quillon::CompileResult result = quillon::compile(source, nullptr);
    EXPECT_GT(result.code.size(), kRunnerLimit);
    EXPECT_LE(result.code.size(), kRunnerLimit + 999);
    EXPECT_NE(result.code.back(), '\x18');
}

}  // namespace
