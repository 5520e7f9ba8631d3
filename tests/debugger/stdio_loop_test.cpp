// The plain driver on real descriptors: requests from a pipe, framed replies into a file.
#include "debugger/fake_debuggee.h"
#include "debugger/stdio_loop.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string request(int seq, const std::string& command, const std::string& arguments = "{}") {
    return debugger::frame("{\"seq\":" + std::to_string(seq) + ",\"type\":\"request\",\"command\":\"" + command +
                           "\",\"arguments\":" + arguments + "}");
}

enum class InputEnds : bool { No, Yes };

// Serves [input] (then the end of input, when [ends]) and returns everything written back.
std::string serveAll(const std::string& input, InputEnds ends, const std::filesystem::path& folder, bool* served) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    EXPECT_EQ(::write(pipeEnds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    if (ends == InputEnds::Yes)
        ::close(pipeEnds[1]);
    const std::filesystem::path outputPath = folder / "out";
    const int output = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    debugger::Session session(testing_support::fakeFactory(), debugger::frameWriter(output));
    *served = debugger::serve(session, pipeEnds[0], 1000);
    ::close(pipeEnds[0]);
    if (ends == InputEnds::No)
        ::close(pipeEnds[1]);
    ::close(output);
    std::ostringstream text;
    text << std::ifstream(outputPath, std::ios::binary).rdbuf();
    return text.str();
}

}  // namespace

TEST(StdioLoop, PauseStopsTheRunAndDisconnectEndsTheLoop) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("moxy-stdio-loop-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string program = (folder / "loop.moxy").string();
    std::ofstream(program, std::ios::binary) << "\x01\x82\x82" "a\xfe";  // never yields, never ends
    const std::string start = request(1, "initialize") + request(2, "launch", "{\"program\":\"" + program + "\"}") +
                              request(3, "configurationDone");

    // The end of input ends the loop, also while the program runs.
    bool served = false;
    std::string output = serveAll(start + request(4, "pause"), InputEnds::Yes, folder, &served);
    EXPECT_TRUE(served);
    EXPECT_EQ(output.rfind("Content-Length: ", 0), 0u);
    EXPECT_NE(output.find("\"reason\":\"pause\""), std::string::npos);

    // Disconnect ends it with the input still open.
    output = serveAll(start + request(4, "disconnect"), InputEnds::No, folder, &served);
    EXPECT_TRUE(served);
    EXPECT_NE(output.find("\"command\":\"disconnect\""), std::string::npos);
    std::filesystem::remove_all(folder);
}
