// The launch configuration shown in docs/debugging.md must be one the adapter accepts, and
// every argument it uses must be in the document's table of launch arguments.
#include "debugger/fake_debuggee.h"
#include "debugger/session_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

TEST(DebuggingDocs, LaunchConfigurationIsAccepted) {
    std::ifstream file(MOXY_DOCS_DIR "/debugging.md");
    std::stringstream text;
    text << file.rdbuf();
    const std::string document = text.str();
    const std::size_t start = document.find("```json\n");
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = document.find("```\n", start + 8);
    std::string json = document.substr(start + 8, end - start - 8);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("moxy-debugging-docs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (std::size_t at; (at = json.find("${workspaceFolder}")) != std::string::npos;)
        json.replace(at, 18, folder.string());
    std::ofstream(folder / "game.moxy", std::ios::binary) << "\x01\x82\x82" "12\xfc";
    std::ofstream(folder / "game.moxy.map", std::ios::binary) << "# moxy source map\n1 1 1\n6 2 1\nname score 33150\n";

    const QJsonObject configuration = QJsonDocument::fromJson(QByteArray::fromStdString(json))
                                          .object()["configurations"].toArray()[0].toObject();
    EXPECT_EQ(configuration["type"].toString(), "moxy");
    EXPECT_EQ(configuration["request"].toString(), "launch");
    QJsonObject arguments = configuration;
    for (const char* key : {"type", "request", "name"})
        arguments.remove(key);
    for (const QString& key : arguments.keys())
        EXPECT_NE(document.find("| `" + key.toStdString() + "` |"), std::string::npos) << key.toStdString();

    testing_support::SessionClient client(testing_support::fakeFactory());
    client.request("initialize");
    EXPECT_TRUE(client.request("launch", arguments)["success"].toBool());
    client.request("configurationDone");
    EXPECT_EQ(client.lastEvent("stopped")["reason"].toString(), "entry");
    const QJsonObject frame =
        client.request("stackTrace")["body"].toObject()["stackFrames"].toArray()[0].toObject();
    EXPECT_EQ(frame["source"].toObject()["name"].toString(), "game.qlnp");
    std::filesystem::remove_all(folder);
}
