// Under a real X server (DISPLAY set by debug_window.sh): the real `moxy --debug-adapter`
// stops the game in its runner window, which shows the frame drawn so far while the program
// is stopped; closing the window ends the program (exited, terminated) and the adapter goes
// on until disconnect. The script passes MOXY, GAME_MOXY, GAME_SOURCE, CLOSE_WINDOW and WORK
// in the environment.
#include "adapter_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The standard output of [command], without its last line end.
std::string outputOf(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, count);
        ::pclose(pipe);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

int lineOf(const std::string& path, const std::string& start) {
    std::ifstream file(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number)
        if (line.rfind(start, 0) == 0)
            return number;
    return 0;
}

TEST(DebugWindow, TheStoppedGameShowsItsFrameAndClosingTheWindowEndsTheRun) {
    const std::string source = environment("GAME_SOURCE");
    const std::string work = environment("WORK");
    ASSERT_FALSE(source.empty() || work.empty()) << "run by debug_window.sh";
    testing_support::AdapterProcess adapter(environment("MOXY"), {"--debug-adapter"});
    ASSERT_TRUE(adapter.started());
    const auto request = [&](const QString& command, const QJsonObject& arguments = {}) {
        const QJsonObject reply = adapter.request(command, arguments);
        EXPECT_TRUE(reply.value("success").toBool())
            << command.toStdString() << ": " << reply.value("message").toString().toStdString();
    };
    request("initialize", {{"adapterID", "moxy"}});
    request("launch", {{"program", QString::fromStdString(environment("GAME_MOXY"))}, {"seed", 1}});
    request("setBreakpoints", {{"source", QJsonObject{{"path", QString::fromStdString(source)}}},
                               {"lines", QJsonArray{lineOf(source, "doevents")}}});
    request("configurationDone");
    ASSERT_EQ(adapter.event("stopped").value("body").toObject().value("reason").toString(), "breakpoint");

    const std::string window = outputOf("timeout 20 xdotool search --sync --name '^Catch the ball!$' | head -n1");
    ASSERT_FALSE(window.empty()) << "no runner window named 'Catch the ball!'";
    const auto pixel = [&](int x, int y) {
        outputOf("import -window " + window + " '" + work + "/shot.png' 2>/dev/null");
        return outputOf("convert '" + work + "/shot.png' -format '%[pixel:p{" + std::to_string(x) + "," +
                        std::to_string(y) + "}]' info: 2>/dev/null");
    };
    // The paddle (blue, rows 222 to 224 from x 141) differs from the empty middle of the window.
    std::string paddle;
    std::string empty;
    for (int i = 0; i < 200; ++i) {
        paddle = pixel(160, 223);
        empty = pixel(160, 120);
        if (!paddle.empty() && !empty.empty() && paddle != empty)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(paddle, empty) << "the stopped program's frame is not shown";
    std::printf("stopped; the window shows the frame (paddle %s on %s)\n", paddle.c_str(), empty.c_str());

    ASSERT_EQ(std::system((environment("CLOSE_WINDOW") + " " + window).c_str()), 0);
    EXPECT_EQ(adapter.event("exited").value("body").toObject().value("exitCode").toInt(-1), 0);
    EXPECT_FALSE(adapter.event("terminated").isEmpty());
    request("disconnect");
    EXPECT_EQ(adapter.wait(std::chrono::seconds(20)), 0) << "the adapter did not end after disconnect";
}

}  // namespace
