// A scripted protocol client for the debugger's tests: sends requests to a Session through
// the framing, keeps every response and event it sends back, and drives the run.
#pragma once

#include "debugger/framing.h"
#include "debugger/session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

namespace testing_support {

class SessionClient {
public:
    explicit SessionClient(debugger::DebuggeeFactory factory)
        : session(std::move(factory), [this](const std::string& json) {
              const QJsonObject message = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
              (message.value("type").toString() == "event" ? events : responses).push_back(message);
          }) {}

    // Sends message text; the response it drew, or {}.
    const QJsonObject raw(const std::string& text) {
        const std::size_t before = responses.size();
        session.feed(debugger::frame(text));
        return responses.size() > before ? responses.back() : QJsonObject{};
    }
    const QJsonObject request(const QString& command, const QJsonObject& arguments = {}) {
        const QJsonObject message{{"seq", ++m_seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
        return raw(QJsonDocument(message).toJson().toStdString());
    }
    // Runs the program in slices until it stops or ends; the last event's name.
    QString runUntilStopped(std::uint64_t slice = 1000) {
        for (int i = 0; i < 100000 && session.running(); ++i)
            session.runFor(slice);
        return events.empty() ? QString() : events.back().value("event").toString();
    }
    const QJsonObject lastEvent(const QString& name) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->value("event").toString() == name)
                return it->value("body").toObject();
        return {};
    }
    std::string outputs() const {
        std::string text;
        for (const QJsonObject& event : events)
            text += event.value("body").toObject().value("output").toString().toStdString();
        return text;
    }
    // initialize, launch [program] with [launch], breakpoints on [lines], configurationDone.
    void start(const std::string& program, QJsonObject launch = {}, const QJsonArray& lines = {}) {
        request("initialize", {{"adapterID", "moxy"}});
        launch.insert("program", QString::fromStdString(program));
        request("launch", launch);
        if (!lines.isEmpty())
            request("setBreakpoints", {{"source", QJsonObject{{"path", "prog.qlnp"}}}, {"lines", lines}});
        request("configurationDone");
    }

    debugger::Session session;
    std::vector<QJsonObject> responses;
    std::vector<QJsonObject> events;

private:
    int m_seq = 0;
};

}  // namespace testing_support
