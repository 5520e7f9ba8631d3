// The two drivers on real descriptors: the plain loop (requests from a pipe, framed
// replies into a file) and the Qt event loop.
#include "debugger/event_loop_driver.h"
#include "debugger/fake_debuggee.h"
#include "debugger/stdio_loop.h"

#include <QCoreApplication>

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

TEST(EventLoopDriver, PauseArrivesWhileTheProgramRuns) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("moxy-event-loop-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string program = (folder / "loop.moxy").string();
    std::ofstream(program, std::ios::binary) << "\x01\x82\x82" "a\x1b\xfe";  // never yields, never ends

    int argc = 1;
    char name[] = "debugger_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    std::vector<std::string> sent;
    debugger::Session session(testing_support::fakeFactory(), [&](const std::string& json) { sent.push_back(json); });
    bool ended = false;
    debugger::EventLoopDriver driver(session, pipeEnds[0], [&] {
        ended = true;
        app.quit();
    });
    auto write = [&](const std::string& bytes) {
        ASSERT_EQ(::write(pipeEnds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    };
    write(request(1, "initialize") + request(2, "launch", "{\"program\":\"" + program + "\"}") +
          request(3, "configurationDone"));
    // Once the program has run a while, the client pauses it and, once stopped, disconnects.
    QTimer poll;
    int state = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (state == 0 && session.running()) {
            write(request(4, "pause"));
            state = 1;
        } else if (state == 1 && !session.running()) {
            write(request(5, "disconnect"));
            state = 2;
        }
    });
    poll.start(1);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);  // a hang fails, it does not block the suite
    app.exec();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_TRUE(ended);
    EXPECT_EQ(state, 2);
    bool paused = false;
    for (const std::string& json : sent)
        paused = paused || json.find("\"reason\":\"pause\"") != std::string::npos;
    EXPECT_TRUE(paused);
    std::filesystem::remove_all(folder);
}
