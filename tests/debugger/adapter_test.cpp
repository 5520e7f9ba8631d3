// The real `moxy --debug-adapter` over its standard input and output, headless in the plain
// loop and with the runner window (offscreen) in Qt's event loop: what only the real runner shows.
#include "debugger/framing.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace {

class Adapter {
public:
    explicit Adapter(bool plainLoop) {
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(MOXY_EXE, plainLoop ? QStringList{"--debug-adapter", "--headless"} : QStringList{"--debug-adapter"});
        EXPECT_TRUE(m_process.waitForStarted());
    }
    ~Adapter() { m_process.kill(), m_process.waitForFinished(); }
    const QJsonObject request(const QString& command, const QJsonObject& arguments = {}) {
        const int seq = ++m_seq;
        const QJsonObject message{{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
        m_process.write(QByteArray::fromStdString(debugger::frame(QJsonDocument(message).toJson().toStdString())));
        return waitFor([seq](const QJsonObject& m) { return m["type"] == "response" && m["request_seq"].toInt() == seq; });
    }
    const QJsonObject event(const QString& name) {
        return waitFor([&name](const QJsonObject& m) { return m["event"] == name; })["body"].toObject();
    }
    // The first message not yet taken that [match]es; {} after a minute.
    const QJsonObject waitFor(const std::function<bool(const QJsonObject&)>& match) {
        const QDeadlineTimer deadline(60000);
        for (;;) {
            if (const auto found = std::find_if(m_unread.begin(), m_unread.end(), match); found != m_unread.end()) {
                const QJsonObject message = *found;
                m_unread.erase(found);
                return message;
            }
            if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return {};
            m_reader.feed(m_process.readAllStandardOutput().toStdString());
            for (debugger::MessageReader::Item item; m_reader.next(item);) {
                const QJsonObject message = QJsonDocument::fromJson(QByteArray::fromStdString(item.text)).object();
                EXPECT_FALSE(message.isEmpty()) << item.text;
                m_unread.push_back(message);
                outputs += message["body"]["output"].toString().toStdString();
            }
        }
    }
    QString value(const QString& expression) { return request("evaluate", {{"expression", expression}})["body"]["result"].toString(); }
    int end() {
        m_process.closeWriteChannel();
        EXPECT_TRUE(m_process.waitForFinished(60000));
        return m_process.exitCode();
    }

    std::string outputs;

private:
    QProcess m_process;
    debugger::MessageReader m_reader;
    std::vector<QJsonObject> m_unread;
    int m_seq = 0;
};

// Compiles the Quillon [source] into [folder] as [name] with its map; the MOXY file's path.
QString compile(const QTemporaryDir& folder, const QString& name, const QString& source) {
    QFile file(folder.filePath(name + ".qlnp"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(source.toUtf8());
    file.close();
    EXPECT_EQ(QProcess::execute(QUILLON_EXE, {"--compile", file.fileName(), "--map"}), 0);
    return folder.filePath(name + ".moxy");
}

// In the plain loop: a launch stops at the breakpoints of the compile's map, shows and changes
// values by name, and the dialogs become output, the input box taking the launch's answers.
TEST(Adapter, ThePlainLoopDebugsAProgramCompiledWithItsMap) {
    QTemporaryDir folder;
    const QString program =
        compile(folder, "prog", "dim[a]\ndim[b]\ndim[c]\nset[a]{1}\nset[b]{2}\n// added: //\nadd[a][b][c]\nmsgbox[c]\ninputbox[a][b]\nmsgbox[a]\n");
    const struct { QJsonObject launch; QString error; } refused[] = {
        {{{"program", "/nonexistent/x.moxy"}, {"headless", true}}, "cannot read /nonexistent/x.moxy: "},
        {{{"program", program}, {"headless", true}, {"keys", "x"}}, "keys: "},
        {{{"program", program}, {"headless", true}, {"screen", "12"}}, "screen takes WIDTHxHEIGHT, e.g. 1024x768"},
        {{{"program", program}}, "launch with \"headless\": true"},  // this adapter has no window
    };
    Adapter adapter(true);
    adapter.request("initialize", {{"adapterID", "moxy"}});
    for (const auto& example : refused) {
        const QJsonObject response = adapter.request("launch", example.launch);
        EXPECT_TRUE(response["message"].toString().contains(example.error)) << response["message"].toString().toStdString();
    }
    ASSERT_TRUE(adapter.request("launch", {{"program", program}, {"headless", true}, {"inputs", QJsonArray{"typed"}}})["success"].toBool());
    adapter.request("setBreakpoints", {{"source", QJsonObject{{"path", folder.filePath("prog.qlnp")}}}, {"lines", QJsonArray{6}}});
    adapter.request("configurationDone");
    EXPECT_EQ(adapter.event("stopped")["reason"], "breakpoint");
    EXPECT_EQ(adapter.request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"][0]["line"].toInt(), 7);  // the comment has no code
    adapter.request("setVariable", {{"variablesReference", 1}, {"name", "b"}, {"value", "40"}});
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_EQ(adapter.event("exited")["exitCode"].toInt(-1), 0);
    EXPECT_EQ(adapter.outputs, "41\ninput box: 40\nanswered: typed\ntyped\n");
    EXPECT_TRUE(adapter.request("disconnect")["success"].toBool());
    EXPECT_EQ(adapter.end(), 0);
}

TEST(Adapter, AFrameStepRunsTheGameToItsNextYieldWithTheScriptedKeys) {
    Adapter adapter(true);
    adapter.request("initialize", {{"adapterID", "moxy"}});
    adapter.request("launch", {{"program", EXAMPLES_DIR "/game.moxy"}, {"headless", true}, {"stopOnEntry", true},
                               {"seed", 1}, {"keys", "1:Right+"}});
    adapter.request("configurationDone");
    ASSERT_EQ(adapter.event("stopped")["reason"], "entry");
    for (const char* paddle : {"\"141\"", "\"149\"", "\"157\""}) {
        adapter.request("stepFrame", {{"threadId", 1}});
        ASSERT_EQ(adapter.event("stopped")["reason"], "step");
        EXPECT_EQ(adapter.value("px"), paddle);
    }
    EXPECT_EQ(adapter.end(), 0);  // the end of input ends the adapter
}

// The document's launch configuration opens the runner window; the event loop reads requests
// between the slices of a run that never yields.
TEST(Adapter, TheDocumentsLaunchConfigurationDebugsInTheWindowAndPauseStopsTheRun) {
    QFile file(QStringLiteral(MOXY_DOCS_DIR "/debugging.md"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString document = QString::fromUtf8(file.readAll());
    const qsizetype begin = document.indexOf("```json\n") + 8;
    QTemporaryDir folder;
    const QString json = document.mid(begin, document.indexOf("```\n", begin) - begin).replace("${workspaceFolder}", folder.path());
    QJsonObject configuration = QJsonDocument::fromJson(json.toUtf8())["configurations"][0].toObject();
    EXPECT_EQ(configuration.take("type"), "moxy");
    EXPECT_EQ(configuration.take("request"), "launch");
    configuration.remove("name");
    for (const QString& key : configuration.keys())
        EXPECT_TRUE(document.contains("| `" + key + "` |")) << key.toStdString();
    EXPECT_EQ(configuration["program"], compile(folder, "game",
                  "dim[x]\ndim[y]\ndim[again]\nset[again]{7}\nappend[y][x]\nset[y]{5}\ninc[x]\nlabel{7}\ngoto[again]\n"));

    Adapter adapter(false);
    adapter.request("initialize", {{"adapterID", "moxy"}});
    const QJsonObject launched = adapter.request("launch", configuration);
    ASSERT_TRUE(launched["success"].toBool()) << launched["message"].toString().toStdString();
    adapter.request("configurationDone");
    EXPECT_EQ(adapter.event("stopped")["reason"], "entry");
    adapter.request("continue", {{"threadId", 1}});
    EXPECT_FALSE(adapter.waitFor([](const QJsonObject& m) { return m["body"]["output"].toString().contains("again"); }).isEmpty());
    EXPECT_TRUE(adapter.request("pause", {{"threadId", 1}})["success"].toBool());
    EXPECT_EQ(adapter.event("stopped")["reason"], "pause");
    EXPECT_EQ(adapter.end(), 0);  // the end of input ends the event loop too
}

}  // namespace
