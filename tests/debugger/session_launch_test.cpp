// What the adapter's start-up relies on in the session: a launch without a program runs
// the adapter's FILE, by its absolute path (a --safe run changes the working folder);
// scripted input answers reach the factory; a debuggee that ends outside a step (its
// window closed while stopped) ends the run once.
#include "fake_debuggee.h"
#include "session_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testing_support::SessionClient;

class SessionLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("moxy_session_launch_" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        std::ofstream(m_folder / "prog.moxy", std::ios::binary) << "abc";
        m_previous = fs::current_path();
        fs::current_path(m_folder);
    }
    void TearDown() override {
        fs::current_path(m_previous);
        fs::remove_all(m_folder);
    }
    fs::path m_folder;
    fs::path m_previous;
};

TEST_F(SessionLaunch, ALaunchWithoutAProgramRunsTheDefaultByItsAbsolutePath) {
    debugger::LaunchOptions seen;
    SessionClient client([&](const debugger::LaunchOptions& options, std::string& error) {
        seen = options;
        return testing_support::fakeFactory()(options, error);
    });
    client.request("initialize");
    EXPECT_FALSE(client.request("launch", {{"headless", true}})["success"].toBool());
    client.session.setDefaultProgram("prog.moxy");
    const QJsonObject launched = client.request("launch", {{"headless", true}, {"inputs", QJsonArray{"yes", 12}}});
    ASSERT_TRUE(launched["success"].toBool()) << launched["message"].toString().toStdString();
    EXPECT_EQ(fs::path(seen.program), fs::canonical(m_folder / "prog.moxy"));
    EXPECT_EQ(seen.inputs, (std::vector<std::string>{"yes", "12"}));
}

TEST_F(SessionLaunch, ADebuggeeEndedWhileStoppedEndsTheRunOnce) {
    SessionClient client(testing_support::fakeFactory());
    client.start("prog.moxy", {{"stopOnEntry", true}});
    ASSERT_EQ(client.lastEvent("stopped")["reason"].toString(), "entry");
    client.session.debuggeeEnded();
    ASSERT_GE(client.events.size(), 2u);
    EXPECT_EQ(client.events[client.events.size() - 2]["event"].toString(), "exited");
    EXPECT_EQ(client.events.back()["event"].toString(), "terminated");
    const std::size_t events = client.events.size();
    client.session.debuggeeEnded();
    EXPECT_EQ(client.events.size(), events);
    EXPECT_EQ(client.request("continue")["message"].toString(), "the program has ended");
}

}  // namespace
