// The protocol session driven by a scripted client over the fake machine. (Pause and the stop
// on run-time errors before the restart are the editor's debug panel tests, over this session.)
#include "debugger/dap_replay.h"
#include "debugger/fake_debuggee.h"
#include "debugger/framing.h"
#include "support/corpus.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

// Sends requests to a Session through the framing and keeps every response and event.
struct SessionClient {
    explicit SessionClient(debugger::DebuggeeFactory factory)
        : session(std::move(factory), [this](const std::string& json) {
              const QJsonObject message = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
              (message["type"] == "event" ? events : responses).push_back(message);
          }) {}

    const QJsonObject raw(const std::string& text) {
        const std::size_t before = responses.size();
        session.feed(debugger::frame(text));
        return responses.size() > before ? responses.back() : QJsonObject{};
    }
    const QJsonObject request(const QString& command, const QJsonObject& arguments = {}) {
        return raw(QJsonDocument(QJsonObject{{"seq", ++m_seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}})
                       .toJson().toStdString());
    }
    QString runUntilStopped(std::uint64_t slice = 1000) {
        for (int i = 0; i < 100000 && session.running(); ++i)
            session.runFor(slice);
        return events.empty() ? QString() : events.back()["event"].toString();
    }
    const QJsonObject lastEvent(const QString& name) const {
        const auto found = std::find_if(events.rbegin(), events.rend(), [&](const QJsonObject& event) { return event["event"] == name; });
        return found == events.rend() ? QJsonObject{} : (*found)["body"].toObject();
    }
    void start(const QString& program, QJsonObject launch = {}, const QJsonArray& lines = {}) {
        request("initialize");
        launch.insert("program", program);
        request("launch", launch);
        if (!lines.isEmpty())
            request("setBreakpoints", {{"source", QJsonObject{{"path", "prog.qlnp"}}}, {"lines", lines}});
        request("configurationDone");
    }

    debugger::Session session;
    std::vector<QJsonObject> responses;
    std::vector<QJsonObject> events;
    int m_seq = 0;
};

// Cells 33150 (score) and 33151 (greeting): "set score 12" on line 1, "set greeting hi"
// on line 3, a yield on line 4, a last statement on line 6 that appends x to score.
const std::string kProgram = std::string("\x01\x82\x82\x1b" "12") + "\x01\x82\x83\x1b" "hi" "\xfc" "\x01\x82\x82" "x";
const std::string kMap = "# moxy source map\n1 1 1\n7 3 1\n13 4 1\n14 6 3\nname score 33150\nname greeting 33151\n";
const std::string kFailing = "\x01\x82\x82" "5\x07" "6";  // "5" for cell 33150, a failing opcode at position 5

class DebugSession : public testing::Test {
protected:
    QString write(const std::string& code, const std::string& map = {}) {
        std::ofstream(m_folder.filePath("prog.moxy").toStdString(), std::ios::binary) << code;
        if (!map.empty())
            std::ofstream(m_folder.filePath("prog.moxy.map").toStdString(), std::ios::binary) << map;
        return m_folder.filePath("prog.moxy");
    }
    const QJsonObject frame() { return client.request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"][0].toObject(); }
    QString variable(int reference, const QString& name) {
        for (const QJsonValue item : client.request("variables", {{"variablesReference", reference}})["body"]["variables"].toArray())
            if (item["name"] == name)
                return item["value"].toString();
        return "(none)";
    }
    QTemporaryDir m_folder;
    SessionClient client{testing_support::fakeFactory()};
};

QString errorOf(const QJsonObject& response) {
    return response["success"].toBool() ? QString("(success)") : response["message"].toString();
}

}  // namespace

// A row whose command starts with { or [ is sent as message text.
TEST_F(DebugSession, RequestsOutOfOrderMalformedOrRefusedGetErrorResponses) {
    const QString program = write(kProgram, kMap);
    const struct { std::string command; QJsonObject arguments; QString error; } steps[] = {
        {"next", {}, "the first request must be initialize"},
        {"initialize", {}, "(success)"},
        {"initialize", {}, "initialize was already sent"},
        {"next", {}, "no program is launched"},
        {"configurationDone", {}, "configurationDone comes after launch"},
        {"launch", {}, "missing argument: program (the MOXY file's path)"},
        {"launch", {{"program", program + ".x"}}, "cannot read " + program + ".x"},
        {"setBreakpoints", {{"lines", QJsonArray{1}}}, "missing argument: source"},
        {"setExceptionBreakpoints", {}, "missing argument: filters"},
        {"launch", {{"program", program}, {"stopOnEntry", true}}, "(success)"},
        {"launch", {{"program", program}}, "a program is already launched"},
        {"continue", {}, "configurationDone has not been sent"},
        {"configurationDone", {}, "(success)"},
        {"configurationDone", {}, "configurationDone was already sent"},
        {"evaluate", {}, "missing argument: expression"},
        {"evaluate", {{"expression", "V(40000)"}}, "cell 40000 does not exist (VarTop is 255)"},
        {"evaluate", {{"expression", "V(-1)"}}, "unknown name: V(-1)"},
        {"setVariable", {{"name", "score"}}, "missing argument: name and value"},
        {"setVariable", {{"variablesReference", 2}, {"name", "Pointer"}, {"value", "1"}}, "registers cannot be changed"},
        {"setVariable", {{"variablesReference", 3}, {"name", "V(300)"}, {"value", "1"}}, "cell 300 does not exist (VarTop is 255)"},
        {"setVariable", {{"variablesReference", 3}, {"name", "x"}, {"value", "1"}}, "unknown name: x"},
        {"variables", {{"variablesReference", 77}}, "unknown variablesReference"},
        {"continue", {}, "(success)"},
        {"stackTrace", {}, "the program is running"},
        {"{\"seq\":", {}, "malformed JSON: unterminated object"},
        {"[1,2]", {}, "a message must be a JSON object"},
        {R"({"seq":4,"type":"event","event":"x"})", {}, "not a request: a request has \"type\": \"request\" and a \"command\""},
        {R"({"seq":5,"type":"request","command":7})", {}, "not a request: a request has \"type\": \"request\" and a \"command\""},
        {R"({"seq":7,"type":"request","command":"threads","arguments":3})", {}, "the arguments must be a JSON object"},
        {R"({"seq":8,"type":"request","command":"setBreakpoints","arguments":{"source":5}})", {}, "missing argument: source"},
        {R"({"seq":9,"type":"request","command":"fly"})", {}, "unknown request: fly"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        const bool text = step.command[0] == '{' || step.command[0] == '[';
        EXPECT_EQ(errorOf(text ? client.raw(step.command) : client.request(QString::fromStdString(step.command), step.arguments)),
                  step.error);
    }
    client.session.feed("Content-Type: x\r\n\r\n");
    EXPECT_EQ(errorOf(client.responses.back()), "bad message frame: missing Content-Length");
    EXPECT_TRUE(client.request("threads")["success"].toBool());
}

TEST_F(DebugSession, BreakpointsMoveToCodeStopTheRunAndShowAndChangeVariables) {
    client.start(write(kProgram, kMap), {}, QJsonArray{2, 6, 9});
    const QJsonArray replies = std::as_const(client.responses)[2]["body"]["breakpoints"].toArray();
    EXPECT_EQ(replies[0]["message"].toString(), "line 2 has no code; moved to line 3");
    EXPECT_EQ(replies[0]["line"].toInt(), 3);
    EXPECT_EQ(replies[1]["column"].toInt(), 3);
    EXPECT_EQ(replies[2]["message"].toString(), "no code on line 9 or after it");
    EXPECT_FALSE(replies[2]["verified"].toBool());
    EXPECT_EQ(client.runUntilStopped(1), "stopped");
    EXPECT_EQ(frame()["name"].toString(), "position 7");
    EXPECT_EQ(frame()["source"]["path"].toString(), "prog.qlnp");
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame()["line"].toInt(), 6);
    EXPECT_EQ(client.request("scopes", {{"frameId", 1}})["body"]["scopes"][0]["name"].toString(), "Names");
    EXPECT_EQ(variable(1, "greeting"), "\"hi\"");
    EXPECT_EQ(client.request("setVariable", {{"variablesReference", 1}, {"name", "score"}, {"value", "\"4\\t0\""}})["body"]["value"], "\"4\\t0\"");
    client.request("setVariable", {{"variablesReference", 3}, {"name", "V(33151)"}, {"value", "plain"}});
    client.request("setVariable", {{"variablesReference", 3}, {"name", "V(3)"}, {"value", QString(5000, 'w')}});
    const std::pair<const char*, QString> cases[] = {
        {"score", "\"4\\t0\""}, {" V( 33151 ) ", "\"plain\""}, {"v(0)", "\"\""}, {"Pointer", "33151"}, {"vartop", "33151"},
        {"V(3)", "\"" + QString(4096, 'w') + "\"... (5000 characters)"},
    };
    for (const auto& [expression, result] : cases)
        EXPECT_EQ(client.request("evaluate", {{"expression", expression}})["body"]["result"].toString(), result) << expression;

    // A breakpoint without a line replaces the others: the run goes to its end.
    const QJsonObject cleared = client.request(
        "setBreakpoints", {{"source", QJsonObject{{"path", "prog.qlnp"}}}, {"breakpoints", QJsonArray{QJsonObject{}}}});
    EXPECT_EQ(cleared["body"]["breakpoints"][0]["message"].toString(), "no line given");
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "terminated");
    EXPECT_EQ(client.lastEvent("exited")["exitCode"].toInt(), 0);
    EXPECT_EQ(errorOf(client.request("next")), "the program has ended");
}

// The editor's debug panel steps by next, stepIn and stepFrame; stepOut is a frame step too.
TEST_F(DebugSession, StepOutIsAFrameStepAndNextGoesByInstructionWhenAsked) {
    client.start(write(kProgram, kMap), {{"stopOnEntry", true}});
    client.request("stepOut");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame()["name"].toString(), "position 14");
    client.request("next", {{"granularity", "instruction"}});
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame()["name"].toString(), "position 17");
}

TEST_F(DebugSession, WithoutAMapPositionsStandForLinesAndCellsForNames) {
    client.start(write(kProgram), {{"stopOnEntry", true}}, QJsonArray{13, 500});
    EXPECT_EQ(std::as_const(client.responses)[2]["body"]["breakpoints"][1]["message"].toString(), "the program has no position 500");
    client.request("next");  // one instruction without a map
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame()["line"].toInt(), 4);
    EXPECT_FALSE(frame().contains("source"));
    client.request("continue");
    EXPECT_EQ(client.runUntilStopped(), "stopped");
    EXPECT_EQ(frame()["line"].toInt(), 13);
    EXPECT_EQ(client.request("scopes", {{"frameId", 1}})["body"]["scopes"][0]["name"].toString(), "Registers");
    EXPECT_EQ(variable(3, "V(33151)"), "\"hi\"");
    EXPECT_EQ(variable(3, "V(255)"), "(none)");  // empty cells are left out
    EXPECT_EQ(variable(2, "VarTop"), "33151");
    EXPECT_TRUE(client.request("pause")["success"].toBool());  // already stopped: nothing to do
    EXPECT_TRUE(client.request("terminate")["success"].toBool());
    EXPECT_EQ(client.events.back()["event"].toString(), "terminated");
    EXPECT_EQ(client.session.debuggee(), nullptr);
    EXPECT_TRUE(client.request("disconnect")["success"].toBool());
    EXPECT_TRUE(client.session.finished());
    EXPECT_EQ(errorOf(client.request("threads")), "the session has ended");
}

// Runs that end without a stop: errors without the filter restart once, then end (2);
// without debugging nothing stops; the step limit ends the run (3).
TEST_F(DebugSession, RunsThatEndWithoutStoppingGiveTheRunnersExitCodes) {
    const QString error = "run-time error: type mismatch: \"x\" is not a number at position 5\n";
    const struct { std::string program; int failures; QJsonObject launch; int exitCode; QString output; } cases[] = {
        {kFailing, 1, {}, 0, "running the program again from its start\n"},
        {kFailing, 5, {}, 2, error},
        {kFailing, 5, {{"noDebug", true}, {"stopOnEntry", true}}, 2, error},
        {"a\xfe", 0, {{"maxSteps", 50}}, 3, "step limit of 50 reached\n"},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.exitCode);
        SessionClient run(testing_support::fakeFactory(example.failures));
        run.request("initialize");
        QJsonObject launch = example.launch;
        launch.insert("program", write(example.program));
        run.request("launch", launch);
        if (launch.contains("noDebug")) {  // what would stop a debugged run
            run.request("setBreakpoints", {{"source", QJsonObject{{"path", "p"}}}, {"lines", QJsonArray{1, 2, 3}}});
            run.request("setExceptionBreakpoints", {{"filters", QJsonArray{"runtime-error"}}});
        }
        run.request("configurationDone");
        EXPECT_EQ(run.runUntilStopped(7), "terminated");
        EXPECT_EQ(run.lastEvent("exited")["exitCode"].toInt(), example.exitCode);
        EXPECT_TRUE(run.lastEvent("stopped").isEmpty());
        EXPECT_EQ(run.lastEvent("output")["output"].toString(), example.output);
    }
}

// A launch without a program runs the adapter's FILE by its absolute path (a --safe run changes
// the working folder), with the inputs as text; breakpoints set before it are resolved by it.
TEST_F(DebugSession, ALaunchWithoutAProgramRunsTheDefaultAndResolvesEarlierBreakpoints) {
    debugger::LaunchOptions seen;
    SessionClient run([&](const debugger::LaunchOptions& options, std::string& error) {
        seen = options;
        return testing_support::fakeFactory()(options, error);
    });
    const QString program = write(kProgram, kMap);
    run.session.setDefaultProgram("prog.moxy");
    run.request("initialize");
    const QJsonObject reply = run.request("setBreakpoints", {{"source", QJsonObject{{"path", "p.qlnp"}}}, {"lines", QJsonArray{4}}});
    EXPECT_EQ(reply["body"]["breakpoints"][0]["message"].toString(), "the program is not loaded yet");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    EXPECT_TRUE(run.request("launch", {{"inputs", QJsonArray{"yes", 12}}})["success"].toBool());
    QDir::setCurrent(previous);
    EXPECT_EQ(std::filesystem::path(seen.program), std::filesystem::canonical(program.toStdString()));
    EXPECT_EQ(seen.inputs, (std::vector<std::string>{"yes", "12"}));
    EXPECT_TRUE(run.lastEvent("breakpoint")["breakpoint"]["verified"].toBool());
    run.request("configurationDone");
    EXPECT_EQ(run.runUntilStopped(), "stopped");
    EXPECT_EQ(run.request("stackTrace")["body"]["stackFrames"][0]["name"].toString(), "position 13");
}

// The protocol fuzzer's kept inputs: hostile streams get error responses, never a crash.
TEST(DapCorpus, HostileStreamsAreSurvived) {
    testing_support::forEachCorpusFile(DAP_CORPUS_DIR, [](const std::string& data) {
        testing_support::replayDap(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    });
}
