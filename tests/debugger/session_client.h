// A scripted protocol client for the debugger's tests: sends requests to a Session, keeps
// every response and event it sends back, and drives the run as a driver would.
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
              if (message.value("type").toString() == "event")
                  events.push_back(message);
              else
                  responses.push_back(message);
          }) {}

    // Sends a request through the framing and returns its response (an empty object when
    // none came).
    QJsonObject request(const QString& command, const QJsonObject& arguments = {}) {
        QJsonObject message{{"seq", ++m_seq}, {"type", "request"}, {"command", command}};
        if (!arguments.isEmpty())
            message.insert("arguments", arguments);
        const std::size_t before = responses.size();
        session.feed(debugger::frame(QJsonDocument(message).toJson().toStdString()));
        return responses.size() > before ? responses.back() : QJsonObject{};
    }
    // Sends raw message text and returns the response it drew.
    QJsonObject raw(const std::string& text) {
        const std::size_t before = responses.size();
        session.feed(debugger::frame(text));
        return responses.size() > before ? responses.back() : QJsonObject{};
    }

    // Runs the program in slices until it stops or ends; returns the last event's name.
    QString runUntilStopped(std::uint64_t slice = 1000) {
        for (int i = 0; i < 100000 && session.running(); ++i)
            session.runFor(slice);
        return events.empty() ? QString() : events.back().value("event").toString();
    }
    QJsonObject lastEvent(const QString& name) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->value("event").toString() == name)
                return it->value("body").toObject();
        return {};
    }
    std::string outputs() const {
        std::string text;
        for (const QJsonObject& event : events)
            if (event.value("event").toString() == "output")
                text += event.value("body").toObject().value("output").toString().toStdString();
        return text;
    }

    // initialize, launch [program] with [launchArguments], the given breakpoint lines,
    // configurationDone.
    void start(const std::string& program, QJsonObject launchArguments = {}, const QJsonArray& lines = {}) {
        request("initialize", {{"adapterID", "moxy"}});
        launchArguments.insert("program", QString::fromStdString(program));
        request("launch", launchArguments);
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
