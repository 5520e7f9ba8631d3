// The real `moxy --debug-adapter` driven through its standard input and output: the
// example programs (compiled with their maps by the build) and small programs compiled
// here, headless in the plain loop and in the runner window's event loop (offscreen).
// The protocol's rules (order, steps, pause in both drivers) are the session's and the
// drivers' tests over the fake machine; here is what only the real runner shows.
#include "adapter_client.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using testing_support::AdapterProcess;

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The 1-based number of the first line of [path] that starts with [start].
int lineOf(const fs::path& path, const std::string& start) {
    std::istringstream text(readText(path));
    std::string line;
    for (int number = 1; std::getline(text, line); ++number)
        if (line.rfind(start, 0) == 0)
            return number;
    return 0;
}

std::string example(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }
fs::path exampleSource(const std::string& name) { return fs::path(EXAMPLES_SOURCE_DIR) / name; }

std::string runCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, count);
        ::pclose(pipe);
    }
    return out;
}

class Adapter : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("moxy_adapter_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override {
        if (m_adapter) {
            // Nothing but protocol messages ever reaches standard output.
            for (const QJsonObject& message : m_adapter->messages())
                EXPECT_NE(message.value("type").toString(), "garbage") << message.value("text").toString().toStdString();
        }
        m_adapter.reset();
        fs::remove_all(m_folder);
    }

    // Starts the adapter: the plain loop with --headless, else the event loop (offscreen).
    AdapterProcess& start(bool plainLoop = true) {
        std::vector<std::string> arguments{"--debug-adapter"};
        if (plainLoop)
            arguments.push_back("--headless");
        m_adapter = std::make_unique<AdapterProcess>(MOXY_EXE, arguments, (m_folder / "stderr.txt").string());
        EXPECT_TRUE(m_adapter->started());
        return *m_adapter;
    }

    // Compiles Quillon [source] into the folder with its map; the MOXY file's path.
    std::string compile(const std::string& name, const std::string& source) {
        const fs::path path = m_folder / (name + ".qlnp");
        writeText(path, source);
        const std::string command = std::string(QUILLON_EXE) + " --compile '" + path.string() + "' --map 2>&1";
        const std::string out = runCommand(command);
        EXPECT_TRUE(fs::exists(m_folder / (name + ".moxy"))) << out;
        return (m_folder / (name + ".moxy")).string();
    }

    // initialize and launch [program] headless with [more] arguments; breakpoints on
    // [lines] of [source]; the exception filter when [errors]; configurationDone.
    void launch(AdapterProcess& adapter, const std::string& program, QJsonObject more = {},
                const std::string& source = {}, const QJsonArray& lines = {}, bool errors = false) {
        ASSERT_TRUE(adapter.request("initialize", {{"adapterID", "moxy"}}).value("success").toBool());
        more.insert("program", QString::fromStdString(program));
        if (!more.contains("headless"))
            more.insert("headless", true);
        const QJsonObject launched = adapter.request("launch", more);
        ASSERT_TRUE(launched.value("success").toBool()) << launched.value("message").toString().toStdString();
        ASSERT_FALSE(adapter.event("initialized").isEmpty());
        if (!lines.isEmpty()) {
            m_breakpoints = adapter.request(
                "setBreakpoints", {{"source", QJsonObject{{"path", QString::fromStdString(source)}}}, {"lines", lines}});
            ASSERT_TRUE(m_breakpoints.value("success").toBool());
        }
        if (errors) {
            ASSERT_TRUE(adapter.request("setExceptionBreakpoints", {{"filters", QJsonArray{"runtime-error"}}})
                            .value("success")
                            .toBool());
        }
        ASSERT_TRUE(adapter.request("configurationDone").value("success").toBool());
    }

    static QJsonObject frame(AdapterProcess& adapter) {
        return adapter.request("stackTrace", {{"threadId", 1}}).value("body").toObject().value("stackFrames").toArray().at(0).toObject();
    }
    static QString value(AdapterProcess& adapter, const QString& expression) {
        const QJsonObject reply = adapter.request("evaluate", {{"expression", expression}});
        return reply.value("success").toBool() ? reply.value("body").toObject().value("result").toString()
                                               : "error: " + reply.value("message").toString();
    }
    static QString stopReason(AdapterProcess& adapter) {
        return adapter.event("stopped").value("body").toObject().value("reason").toString();
    }

    fs::path m_folder;
    std::unique_ptr<AdapterProcess> m_adapter;
    QJsonObject m_breakpoints;
};

TEST_F(Adapter, BreakpointsOnAnExampleStopOnTheirLinesAndMoveOffLinesWithoutCode) {
    const fs::path source = exampleSource("hello.qlnp");
    const int greeting = lineOf(source, "print[x][y][greeting]");
    const int comment = lineOf(source, "// The next line goes");
    const int lower = lineOf(source, "set[y]{40}");
    ASSERT_GT(greeting, 0);
    ASSERT_EQ(lower, comment + 1);
    AdapterProcess& adapter = start();
    launch(adapter, example("hello.moxy"), {}, source.string(), QJsonArray{greeting, comment});
    const QJsonArray replies = m_breakpoints.value("body").toObject().value("breakpoints").toArray();
    ASSERT_EQ(replies.size(), 2);
    EXPECT_TRUE(replies.at(0).toObject().value("verified").toBool());
    EXPECT_EQ(replies.at(0).toObject().value("line").toInt(), greeting);
    EXPECT_EQ(replies.at(1).toObject().value("line").toInt(), lower);
    EXPECT_TRUE(replies.at(1).toObject().value("message").toString().contains("moved to line"));

    EXPECT_EQ(stopReason(adapter), "breakpoint");
    EXPECT_EQ(frame(adapter).value("line").toInt(), greeting);
    EXPECT_EQ(frame(adapter).value("source").toObject().value("path").toString().toStdString(), source.string());
    EXPECT_EQ(value(adapter, "greeting"), "\"Hello, world!\"");
    EXPECT_EQ(value(adapter, "y"), "\"20\"");
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(stopReason(adapter), "breakpoint");
    EXPECT_EQ(frame(adapter).value("line").toInt(), lower);
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(adapter.event("exited").value("body").toObject().value("exitCode").toInt(-1), 0);
    EXPECT_FALSE(adapter.event("terminated").isEmpty());
    EXPECT_TRUE(adapter.request("disconnect").value("success").toBool());
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, AFrameStepRunsTheGameToItsNextYieldWithTheScriptedKeys) {
    const fs::path source = exampleSource("game.qlnp");
    const int doevents = lineOf(source, "doevents");
    AdapterProcess& adapter = start();
    launch(adapter, example("game.moxy"), {{"stopOnEntry", true}, {"seed", 1}, {"keys", "1:Right+"}});
    ASSERT_EQ(stopReason(adapter), "entry");
    const struct {
        const char* request;
        const char* paddle;
    } frames[] = {{"stepOut", "\"141\""}, {"stepFrame", "\"149\""}, {"stepOut", "\"157\""}};
    for (const auto& step : frames) {
        SCOPED_TRACE(step.request);
        ASSERT_TRUE(adapter.request(step.request, {{"threadId", 1}}).value("success").toBool());
        ASSERT_EQ(stopReason(adapter), "step");
        // Just after the yield: the statement after doevents, which reads the keys.
        EXPECT_EQ(frame(adapter).value("line").toInt(), doevents + 1);
        EXPECT_EQ(value(adapter, "px"), step.paddle);
    }
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, NamesShowTheCellsTheDumpShows) {
    const fs::path source = exampleSource("hello.qlnp");
    // The last statement changes no cell: at its breakpoint the cells are the run's last.
    const int last = lineOf(source, "print[x][y][note]");
    const std::string dump = runCommand(std::string(MOXY_EXE) + " --headless --dump - '" + example("hello.moxy") + "'");
    std::map<int, std::string> dumped;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("cell ", 0) != 0)
            continue;
        const std::size_t blank = line.find(' ', 5);
        dumped[std::stoi(line.substr(5, blank - 5))] = line.substr(blank + 1);
    }
    ASSERT_FALSE(dumped.empty()) << dump;

    AdapterProcess& adapter = start();
    launch(adapter, example("hello.moxy"), {}, source.string(), QJsonArray{last});
    ASSERT_EQ(stopReason(adapter), "breakpoint");
    const QJsonArray scopes = adapter.request("scopes", {{"frameId", 1}}).value("body").toObject().value("scopes").toArray();
    ASSERT_FALSE(scopes.isEmpty());
    ASSERT_EQ(scopes.at(0).toObject().value("name").toString(), "Names");
    const QJsonArray names = adapter.request("variables", {{"variablesReference", scopes.at(0).toObject().value("variablesReference")}})
                                 .value("body").toObject().value("variables").toArray();
    std::map<std::string, std::string> shown;
    for (const QJsonValue& item : names)
        shown[item.toObject().value("name").toString().toStdString()] = item.toObject().value("value").toString().toStdString();
    for (const char* name : {"caption", "x", "y", "greeting", "note"})
        EXPECT_TRUE(shown.count(name)) << name;
    for (const QJsonValue& item : names) {
        const QJsonObject variable = item.toObject();
        SCOPED_TRACE(variable.value("name").toString().toStdString());
        const QString type = variable.value("type").toString();  // "V(n)"
        const int cell = type.mid(2, type.size() - 3).toInt();
        EXPECT_EQ(variable.value("value").toString().toStdString(), "\"" + dumped[cell] + "\"");
    }
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

constexpr const char* kSum = R"(dim[a]
dim[b]
dim[c]
set[a]{1}
set[b]{2}
add[a][b][c]
msgbox[c]
inputbox[a][b]
msgbox[a]
)";

TEST_F(Adapter, SetVariableChangesTheRunsOutcomeAndDialogsBecomeOutput) {
    const std::string program = compile("sum", kSum);
    AdapterProcess& adapter = start();
    launch(adapter, program, {{"inputs", QJsonArray{"typed"}}}, (m_folder / "sum.qlnp").string(), QJsonArray{6});
    ASSERT_EQ(stopReason(adapter), "breakpoint");
    const QJsonObject changed = adapter.request("setVariable", {{"variablesReference", 1}, {"name", "b"}, {"value", "40"}});
    ASSERT_TRUE(changed.value("success").toBool()) << changed.value("message").toString().toStdString();
    EXPECT_EQ(changed.value("body").toObject().value("value").toString(), "\"40\"");
    EXPECT_FALSE(adapter.request("setVariable", {{"variablesReference", 1}, {"name", "nothing"}, {"value", "1"}})
                     .value("success").toBool());
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(adapter.event("exited").value("body").toObject().value("exitCode").toInt(-1), 0);
    const std::string outputs = adapter.outputs();
    EXPECT_NE(outputs.find("41\n"), std::string::npos) << outputs;
    EXPECT_NE(outputs.find("input box: 40\nanswered: typed\n"), std::string::npos) << outputs;
    EXPECT_NE(outputs.find("typed\n"), std::string::npos) << outputs;
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, ARunTimeErrorStopsOnItsLineBeforeTheRestart) {
    const std::string program = compile("fail", "dim[a]\nset[a]{abc}\ninc[a]\n");
    AdapterProcess& adapter = start();
    launch(adapter, program, {}, {}, {}, true);
    const QJsonObject stopped = adapter.event("stopped").value("body").toObject();
    EXPECT_EQ(stopped.value("reason").toString(), "exception");
    EXPECT_TRUE(stopped.value("text").toString().contains("type mismatch")) << stopped.value("text").toString().toStdString();
    EXPECT_EQ(frame(adapter).value("line").toInt(), 3);
    EXPECT_EQ(value(adapter, "a"), "\"abc\"");
    // Resuming applies the restart rule: the second run fails again and ends the run.
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(stopReason(adapter), "exception");
    EXPECT_EQ(frame(adapter).value("line").toInt(), 3);
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(adapter.event("exited").value("body").toObject().value("exitCode").toInt(-1), 2);
    EXPECT_NE(adapter.outputs().find("running the program again from its start"), std::string::npos);
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, MalformedAndOutOfOrderMessagesGetErrorsAndTheAdapterGoesOn) {
    AdapterProcess& adapter = start();
    const struct {
        const char* name;
        std::string bytes;
    } broken[] = {
        // Every kind of broken request is the session's test; here: the process goes on.
        {"not JSON", debugger::frame("{not json")},
        {"bad header", "Content-Length: x\r\n\r\n"},
    };
    for (const auto& message : broken) {
        SCOPED_TRACE(message.name);
        adapter.sendRaw(message.bytes);
        const QJsonObject reply = adapter.waitFor([](const QJsonObject& m) { return m.value("type").toString() == "response"; });
        ASSERT_FALSE(reply.isEmpty());
        EXPECT_FALSE(reply.value("success").toBool());
        EXPECT_FALSE(reply.value("message").toString().isEmpty());
    }
    ASSERT_TRUE(adapter.request("initialize", {{"adapterID", "moxy"}}).value("success").toBool());
    const QJsonObject missing = adapter.request("launch", {{"program", (m_folder / "none.moxy").string().c_str()}, {"headless", true}});
    EXPECT_FALSE(missing.value("success").toBool());
    EXPECT_TRUE(missing.value("message").toString().startsWith("cannot read")) << missing.value("message").toString().toStdString();
    const QJsonObject badKeys = adapter.request("launch", {{"program", example("hello.moxy").c_str()}, {"headless", true}, {"keys", "x"}});
    EXPECT_FALSE(badKeys.value("success").toBool());
    EXPECT_TRUE(adapter.request("launch", {{"program", example("hello.moxy").c_str()}, {"headless", true}}).value("success").toBool());
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, TheDocumentsLaunchConfigurationDebugsTheGameInTheWindow) {
    const std::string document = readText(fs::path(MOXY_DOCS_DIR) / "debugging.md");
    const std::size_t begin = document.find("```json\n");
    ASSERT_NE(begin, std::string::npos);
    std::string json = document.substr(begin + 8, document.find("```\n", begin + 8) - begin - 8);
    for (std::size_t at; (at = json.find("${workspaceFolder}")) != std::string::npos;)
        json.replace(at, 18, m_folder.string());
    fs::copy_file(exampleSource("game.qlnp"), m_folder / "game.qlnp");
    fs::copy_file(example("game.moxy"), m_folder / "game.moxy");
    fs::copy_file(example("game.moxy.map"), m_folder / "game.moxy.map");
    QJsonObject configuration = QJsonDocument::fromJson(QByteArray::fromStdString(json))
                                    .object().value("configurations").toArray().at(0).toObject();
    ASSERT_FALSE(configuration.isEmpty()) << json;
    EXPECT_EQ(configuration.value("type").toString(), "moxy");
    EXPECT_EQ(configuration.value("request").toString(), "launch");
    for (const char* key : {"type", "request", "name"})
        configuration.remove(key);
    // Every argument it uses is in the document's table of launch arguments.
    for (const QString& key : configuration.keys())
        EXPECT_NE(document.find("| `" + key.toStdString() + "` |"), std::string::npos) << key.toStdString();
    EXPECT_FALSE(configuration.value("headless").toBool(true));

    // The event loop with the runner window (offscreen here).
    AdapterProcess& adapter = start(false);
    ASSERT_TRUE(adapter.request("initialize", {{"adapterID", "moxy"}}).value("success").toBool());
    const QJsonObject launched = adapter.request("launch", configuration);
    ASSERT_TRUE(launched.value("success").toBool()) << launched.value("message").toString().toStdString();
    const int doevents = lineOf(m_folder / "game.qlnp", "doevents");
    const QJsonObject breakpoints = adapter.request(
        "setBreakpoints", {{"source", QJsonObject{{"path", (m_folder / "game.qlnp").string().c_str()}}}, {"lines", QJsonArray{doevents}}});
    ASSERT_TRUE(breakpoints.value("success").toBool());
    adapter.request("configurationDone");
    EXPECT_EQ(stopReason(adapter), "entry");
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(stopReason(adapter), "breakpoint");
    EXPECT_EQ(frame(adapter).value("line").toInt(), doevents);
    EXPECT_EQ(frame(adapter).value("source").toObject().value("name").toString(), "game.qlnp");
    EXPECT_EQ(value(adapter, "score"), "\"0\"");
    EXPECT_TRUE(adapter.request("terminate").value("success").toBool());
    EXPECT_FALSE(adapter.event("terminated").isEmpty());
    adapter.request("disconnect");
    EXPECT_EQ(adapter.wait(), 0);
}

TEST_F(Adapter, TheEndOfInputEndsTheAdapter) {
    for (const bool plainLoop : {true, false}) {
        SCOPED_TRACE(plainLoop ? "plain loop" : "event loop");
        AdapterProcess& adapter = start(plainLoop);
        ASSERT_TRUE(adapter.request("initialize", {{"adapterID", "moxy"}}).value("success").toBool());
        adapter.closeInput();
        EXPECT_EQ(adapter.wait(), 0);
    }
}

}  // namespace
