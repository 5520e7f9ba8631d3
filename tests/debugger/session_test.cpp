// The protocol session driven by a scripted client against a fake machine: the order of
// requests, breakpoints through the map, the three kinds of step, variables, the stop on
// run-time errors before the restart, pause while running, the end of the session.
#include "debugger/fake_debuggee.h"
#include "debugger/session_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using testing_support::FakeDebuggee;
using testing_support::SessionClient;

namespace {

// Cells 33150 (score) and 33151 (greeting): "set score 12" on line 1, "set greeting hi"
// on line 3, a yield on line 4, a last statement on line 6 that appends x to score.
const std::string kProgram = std::string("\x01\x82\x82\x1b" "12") + "\x01\x82\x83\x1b" "hi" "\xfc" "\x01\x82\x82" "x";
const std::string kMap = "# moxy source map\n1 1 1\n7 3 1\n13 4 1\n14 6 3\nname score 33150\nname greeting 33151\n";

class DebugSession : public testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("moxy-debugger-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    // Writes [code] (and [map] beside it, when given) and returns the program's path.
    std::string write(const std::string& code, const std::string& map = {}) {
        const std::string path = (m_folder / "prog.moxy").string();
        std::ofstream(path, std::ios::binary) << code;
        if (!map.empty())
            std::ofstream(path + ".map", std::ios::binary) << map;
        return path;
    }

    std::filesystem::path m_folder;
};

QJsonObject frame(SessionClient& client) {
    return client.request("stackTrace", {{"threadId", 1}})["body"].toObject()["stackFrames"].toArray()[0].toObject();
}

QString variable(SessionClient& client, int reference, const QString& name) {
    const QJsonObject response = client.request("variables", {{"variablesReference", reference}});
    for (const QJsonValue& item : response["body"].toObject()["variables"].toArray())
        if (item.toObject()["name"].toString() == name)
            return item.toObject()["value"].toString();
    return "(none)";
}

QString errorOf(const QJsonObject& response) {
    return response["success"].toBool() ? QString("(success)") : response["message"].toString();
}

}  // namespace

TEST_F(DebugSession, InitializeAnnouncesTheCapabilities) {
    SessionClient client(testing_support::fakeFactory());
    const QJsonObject body = client.request("initialize")["body"].toObject();
    for (const char* capability : {"supportsConfigurationDoneRequest", "supportsSetVariable", "supportsEvaluateForHovers",
                                   "supportsTerminateRequest", "supportsSteppingGranularity"})
        EXPECT_TRUE(body[capability].toBool()) << capability;
    EXPECT_EQ(body["exceptionBreakpointFilters"].toArray()[0].toObject()["filter"].toString(), "runtime-error");
    EXPECT_EQ(body["exceptionBreakpointFilters"].toArray()[0].toObject()["label"].toString(), "Run-time errors");
}

TEST_F(DebugSession, RequestsOutOfOrderGetErrorResponses) {
    SessionClient client(testing_support::fakeFactory());
    const std::string program = write(kProgram, kMap);
    const struct {
        const char* command;
        QJsonObject arguments;
        QString error;
    } steps[] = {
        {"next", {}, "the first request must be initialize"},
        {"initialize", {}, "(success)"},
        {"initialize", {}, "initialize was already sent"},
        {"next", {}, "no program is launched"},
        {"stackTrace", {}, "no program is launched"},
        {"configurationDone", {}, "configurationDone comes after launch"},
        {"launch", {}, "missing argument: program (the MOXY file's path)"},
        {"launch", {{"program", QString::fromStdString(program + ".missing")}},
         QString::fromStdString("cannot read " + program + ".missing")},
        {"setBreakpoints", {{"lines", QJsonArray{1}}}, "missing argument: source"},
        {"setExceptionBreakpoints", {}, "missing argument: filters"},
        {"launch", {{"program", QString::fromStdString(program)}}, "(success)"},
        {"launch", {{"program", QString::fromStdString(program)}}, "a program is already launched"},
        {"continue", {}, "configurationDone has not been sent"},
        {"evaluate", {}, "missing argument: expression"},
        {"setVariable", {{"name", "score"}}, "missing argument: name and value"},
        {"variables", {{"variablesReference", 77}}, "unknown variablesReference"},
        {"configurationDone", {}, "(success)"},
        {"configurationDone", {}, "configurationDone was already sent"},
        {"stackTrace", {}, "the program is running"},
        {"next", {}, "the program is running"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        EXPECT_EQ(errorOf(client.request(step.command, step.arguments)), step.error);
    }
}

TEST_F(DebugSession, MalformedMessagesGetErrorResponses) {
    SessionClient client(testing_support::fakeFactory());
    client.request("initialize");
    const struct {
        std::string text;
        QString error;
    } cases[] = {
        {"{\"seq\":", "malformed JSON: unterminated object"},
        {"[1,2]", "a message must be a JSON object"},
        {"{\"seq\":4,\"type\":\"event\",\"event\":\"x\"}",
         "not a request: a request has \"type\": \"request\" and a \"command\""},
        {"{\"seq\":5,\"type\":\"request\",\"command\":7}",
         "not a request: a request has \"type\": \"request\" and a \"command\""},
        {"{\"seq\":6,\"type\":\"request\",\"command\":\"fly\"}", "unknown request: fly"},
        {"{\"seq\":7,\"type\":\"request\",\"command\":\"threads\",\"arguments\":3}", "the arguments must be a JSON object"},
        {"{\"seq\":8,\"type\":\"request\",\"command\":\"setBreakpoints\",\"arguments\":{\"source\":5}}",
         "missing argument: source"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.text);
        const QJsonObject response = client.raw(example.text);
        EXPECT_EQ(errorOf(response), example.error);
        EXPECT_EQ(response["type"].toString(), "response");
    }
    EXPECT_EQ(client.responses[3]["request_seq"].toInt(), 4);  // answered by its own seq
    const std::size_t before = client.responses.size();
    client.session.feed("Content-Type: x\r\n\r\n");
    ASSERT_EQ(client.responses.size(), before + 1);
    EXPECT_EQ(errorOf(client.responses.back()), "bad message frame: missing Content-Length");
    EXPECT_TRUE(client.request("threads")["success"].toBool());
}

TEST_F(DebugSession, BreakpointsMoveToCodeAndStopTheRun) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write(kProgram, kMap), {}, QJsonArray{2, 6, 9});
    const QJsonArray replies = client.responses[2]["body"].toObject()["breakpoints"].toArray();
    ASSERT_EQ(replies.size(), 3);
    EXPECT_TRUE(replies[0].toObject()["verified"].toBool());
    EXPECT_EQ(replies[0].toObject()["line"].toInt(), 3);
    EXPECT_EQ(replies[0].toObject()["message"].toString(), "line 2 has no code; moved to line 3");
    EXPECT_TRUE(replies[1].toObject()["verified"].toBool());
    EXPECT_EQ(replies[1].toObject()["column"].toInt(), 3);
    EXPECT_FALSE(replies[2].toObject()["verified"].toBool());
    EXPECT_EQ(replies[2].toObject()["message"].toString(), "no code on line 9 or after it");

    EXPECT_EQ(client.runUntilStopped(1), "stopped");
    EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "breakpoint");
    EXPECT_EQ(frame(client)["line"].toInt(), 3);
    EXPECT_EQ(frame(client)["name"].toString(), "position 7");
    EXPECT_EQ(frame(client)["source"].toObject()["path"].toString(), "prog.qlnp");
    EXPECT_EQ(variable(client, 1, "score"), "\"12\"");

    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame(client)["line"].toInt(), 6);
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "terminated");
    EXPECT_EQ(client.lastEvent("exited")["exitCode"].toInt(), 0);
    EXPECT_EQ(errorOf(client.request("next")), "the program has ended");
}

TEST_F(DebugSession, ClearedBreakpointsNoLongerStop) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write(kProgram, kMap), {}, QJsonArray{3, 6});
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    const QJsonObject reply = client.request(
        "setBreakpoints", {{"source", QJsonObject{{"path", "prog.qlnp"}}}, {"breakpoints", QJsonArray{QJsonObject{}}}});
    const QJsonObject lineless = reply["body"].toObject()["breakpoints"].toArray()[0].toObject();
    EXPECT_FALSE(lineless["verified"].toBool());
    EXPECT_EQ(lineless["message"].toString(), "no line given");
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "terminated");
}

TEST_F(DebugSession, BreakpointsSetBeforeLaunchAreResolvedByIt) {
    SessionClient client(testing_support::fakeFactory());
    client.request("initialize");
    const QJsonObject reply = client.request(
        "setBreakpoints", {{"source", QJsonObject{{"path", "p.qlnp"}}}, {"breakpoints", QJsonArray{QJsonObject{{"line", 4}}}}});
    EXPECT_FALSE(reply["body"].toObject()["breakpoints"].toArray()[0].toObject()["verified"].toBool());
    client.request("launch", {{"program", QString::fromStdString(write(kProgram, kMap))}});
    const QJsonObject changed = client.lastEvent("breakpoint");
    EXPECT_TRUE(changed["breakpoint"].toObject()["verified"].toBool());
    EXPECT_EQ(client.events.back()["event"].toString(), "initialized");
    client.request("configurationDone");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame(client)["name"].toString(), "position 13");
}

TEST_F(DebugSession, StepsByStatementInstructionAndFrame) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write(kProgram, kMap), {{"stopOnEntry", true}});
    EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "entry");
    const struct {
        const char* command;
        QJsonObject arguments;
        const char* frameName;
        int line;
    } steps[] = {
        {"next", {}, "position 7", 3},
        {"next", {}, "position 13", 4},
        {"stepIn", {}, "position 14", 6},
        {"stepIn", {}, "position 17", 6},  // a variable reference is one instruction
        {"stepIn", {}, "position 18", 6},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.frameName);
        EXPECT_TRUE(client.request(step.command, step.arguments)["success"].toBool());
        EXPECT_EQ(client.runUntilStopped(), "stopped");
        EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "step");
        EXPECT_EQ(frame(client)["name"].toString(), step.frameName);
        EXPECT_EQ(frame(client)["line"].toInt(), step.line);
    }
    client.request("next", {{"granularity", "instruction"}});
    EXPECT_EQ(client.runUntilStopped(), "terminated");

    // A frame step runs to just after the next yield.
    SessionClient again(testing_support::fakeFactory());
    again.start(write(kProgram, kMap), {{"stopOnEntry", true}});
    again.request("stepOut");
    EXPECT_EQ(again.runUntilStopped(), "stopped");
    EXPECT_EQ(frame(again)["name"].toString(), "position 14");
    again.request("stepFrame");
    EXPECT_EQ(again.runUntilStopped(), "terminated");
}

TEST_F(DebugSession, WithoutAMapPositionsStandForLines) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write(kProgram), {{"stopOnEntry", true}}, QJsonArray{13, 500});
    const QJsonArray replies = client.responses[2]["body"].toObject()["breakpoints"].toArray();
    EXPECT_TRUE(replies[0].toObject()["verified"].toBool());
    EXPECT_EQ(replies[1].toObject()["message"].toString(), "the program has no position 500");
    client.request("next");  // one instruction without a map
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame(client)["line"].toInt(), 4);
    EXPECT_FALSE(frame(client).contains("source"));
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame(client)["line"].toInt(), 13);

    const QJsonArray scopes = client.request("scopes", {{"frameId", 1}})["body"].toObject()["scopes"].toArray();
    ASSERT_EQ(scopes.size(), 2);
    EXPECT_EQ(scopes[0].toObject()["name"].toString(), "Registers");
    EXPECT_EQ(variable(client, 3, "V(33150)"), "\"12\"");
    EXPECT_EQ(variable(client, 3, "V(33151)"), "\"hi\"");
    EXPECT_EQ(variable(client, 3, "V(255)"), "(none)");  // empty cells are left out
    EXPECT_EQ(variable(client, 2, "Pointer"), "33151");
    EXPECT_EQ(variable(client, 2, "VarTop"), "33151");
    EXPECT_EQ(variable(client, 2, "PicSelect"), "0");
}

TEST_F(DebugSession, VariablesAreShownChangedAndEvaluatedByName) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write(kProgram, kMap), {}, QJsonArray{4});
    client.runUntilStopped();
    const QJsonArray scopes = client.request("scopes", {{"frameId", 1}})["body"].toObject()["scopes"].toArray();
    ASSERT_EQ(scopes.size(), 3);
    EXPECT_EQ(scopes[0].toObject()["name"].toString(), "Names");
    EXPECT_EQ(variable(client, 1, "greeting"), "\"hi\"");

    const QJsonObject set =
        client.request("setVariable", {{"variablesReference", 1}, {"name", "score"}, {"value", "\"4\\t0\""}});
    EXPECT_EQ(set["body"].toObject()["value"].toString(), "\"4\\t0\"");
    client.request("setVariable", {{"variablesReference", 3}, {"name", "V(33151)"}, {"value", "plain"}});
    const struct {
        const char* expression;
        QString result;
    } cases[] = {
        {"score", "\"4\\t0\""}, {" V( 33151 ) ", "\"plain\""}, {"v(0)", "\"\""},
        {"Pointer", "33151"},   {"vartop", "33151"},
        {"V(40000)", "cell 40000 does not exist (VarTop is 33151)"},
        {"nothing", "unknown name: nothing"},
        {"V(-1)", "unknown name: V(-1)"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.expression);
        const QJsonObject response = client.request("evaluate", {{"expression", example.expression}, {"context", "hover"}});
        EXPECT_EQ(response["success"].toBool() ? response["body"].toObject()["result"].toString() : errorOf(response),
                  example.result);
    }
    EXPECT_EQ(errorOf(client.request("setVariable", {{"variablesReference", 2}, {"name", "Pointer"}, {"value", "1"}})),
              "registers cannot be changed");
    EXPECT_EQ(errorOf(client.request("setVariable", {{"variablesReference", 3}, {"name", "V(40000)"}, {"value", "1"}})),
              "cell 40000 does not exist (VarTop is 33151)");
    EXPECT_EQ(errorOf(client.request("setVariable", {{"variablesReference", 3}, {"name", "x"}, {"value", "1"}})),
              "unknown name: x");

    client.request("setVariable", {{"variablesReference", 3}, {"name", "V(3)"}, {"value", QString(5000, 'w')}});
    EXPECT_TRUE(variable(client, 3, "V(3)").endsWith("www\"... (5000 characters)"));
    EXPECT_EQ(variable(client, 3, "V(3)").size(), 4096 + 2 + 21);

    // The changed value is what the program goes on with.
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "terminated");
}

TEST_F(DebugSession, RunTimeErrorsStopBeforeTheRestart) {
    FakeDebuggee* machine = nullptr;
    SessionClient client(testing_support::fakeFactory(&machine));
    client.request("initialize");
    client.request("launch", {{"program", QString::fromStdString(write("\x01\x82\x82" "5\x07" "6"))}});
    EXPECT_TRUE(client.request("setExceptionBreakpoints", {{"filters", QJsonArray{"runtime-error"}}})["success"].toBool());
    client.request("configurationDone");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    QJsonObject stopped = client.lastEvent("stopped");
    EXPECT_EQ(stopped["reason"].toString(), "exception");
    EXPECT_EQ(stopped["text"].toString(), "run-time error: type mismatch: \"x\" is not a number");
    EXPECT_EQ(frame(client)["name"].toString(), "position 5");
    EXPECT_EQ(machine->restarts, 0);

    client.request("continue");  // the restart rule: once more from the start
    EXPECT_EQ(machine->restarts, 1);
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "exception");
    client.request("continue");  // a second error ends the run
    EXPECT_EQ(client.runUntilStopped(), "terminated");
    EXPECT_EQ(client.lastEvent("exited")["exitCode"].toInt(), 2);
    EXPECT_NE(client.outputs().find("running the program again from its start"), std::string::npos);
}

// Runs that end without a stop: errors without the filter restart once, then end (2);
// without debugging nothing stops; the step limit ends the run (3).
TEST_F(DebugSession, RunsThatEndWithoutStoppingGiveTheRunnersExitCodes) {
    const std::string failing = "\x01\x82\x82" "5\x07" "6";
    const struct {
        const char* name;
        std::string program;
        int failures;
        QJsonObject launch;
        int exitCode;
    } cases[] = {
        {"one error", failing, 1, {}, 0},
        {"errors again", failing, 5, {}, 2},
        {"no debugging", failing, 5, {{"noDebug", true}, {"stopOnEntry", true}}, 2},
        {"step limit", "a\xfe", 0, {{"maxSteps", 50}}, 3},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.name);
        SessionClient client(testing_support::fakeFactory(nullptr, example.failures));
        client.request("initialize");
        QJsonObject launch = example.launch;
        launch.insert("program", QString::fromStdString(write(example.program)));
        client.request("launch", launch);
        if (launch.contains("noDebug")) {  // what would stop a debugged run
            client.request("setBreakpoints", {{"source", QJsonObject{{"path", "p"}}}, {"lines", QJsonArray{1, 2, 3}}});
            client.request("setExceptionBreakpoints", {{"filters", QJsonArray{"runtime-error"}}});
        }
        client.request("configurationDone");
        EXPECT_EQ(client.runUntilStopped(7), "terminated");
        EXPECT_EQ(client.lastEvent("exited")["exitCode"].toInt(), example.exitCode);
        EXPECT_TRUE(client.lastEvent("stopped").isEmpty());
        if (example.failures > 0) {
            EXPECT_NE(client.outputs().find("run-time error: type mismatch"), std::string::npos);
            EXPECT_NE(client.outputs().find("at position 5"), std::string::npos);
        }
    }
}

TEST_F(DebugSession, PauseStopsAProgramThatNeverYields) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write("\x01\x82\x82" "a\xfe"), {{"maxSteps", 0}});
    for (int i = 0; i < 5; ++i)
        client.session.runFor(1000);
    ASSERT_TRUE(client.session.running());
    EXPECT_TRUE(client.request("pause", {{"threadId", 1}})["success"].toBool());
    client.session.runFor(1000);
    EXPECT_FALSE(client.session.running());
    EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "pause");
    EXPECT_TRUE(client.request("pause")["success"].toBool());  // already stopped: nothing to do
}

TEST_F(DebugSession, TerminateAndDisconnectEndTheSession) {
    SessionClient client(testing_support::fakeFactory());
    client.start(write("a\xfe"));
    client.session.runFor(100);
    EXPECT_TRUE(client.request("terminate")["success"].toBool());
    EXPECT_FALSE(client.session.running());
    EXPECT_EQ(client.events.back()["event"].toString(), "terminated");
    EXPECT_EQ(client.session.debuggee(), nullptr);
    EXPECT_EQ(errorOf(client.request("continue")), "the program has ended");
    EXPECT_TRUE(client.request("disconnect")["success"].toBool());
    EXPECT_TRUE(client.session.finished());
    EXPECT_EQ(errorOf(client.request("threads")), "the session has ended");
}
