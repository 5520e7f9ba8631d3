// A protocol client for the adapter's tests: starts the real `moxy --debug-adapter` as a
// child with pipes on its standard input and output, sends framed requests and waits
// (with generous bounds, polling) for the responses and events it sends back.
#pragma once

#include "debugger/framing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

class AdapterProcess {
public:
    // Starts [executable] with [arguments] (after argv[0]) and the environment's
    // QT_QPA_PLATFORM; standard error goes to [errorPath] when given.
    AdapterProcess(const std::string& executable, const std::vector<std::string>& arguments,
                   const std::string& errorPath = "/dev/null") {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            const int error = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (error >= 0)
                ::dup2(error, STDERR_FILENO);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            std::vector<char*> argv{const_cast<char*>(executable.c_str())};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(executable.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_in = toChild[1];
        m_out = fromChild[0];
        std::signal(SIGPIPE, SIG_IGN);
    }
    ~AdapterProcess() {
        closeInput();
        if (m_out >= 0)
            ::close(m_out);
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    AdapterProcess(const AdapterProcess&) = delete;
    AdapterProcess& operator=(const AdapterProcess&) = delete;

    bool started() const { return m_pid > 0; }

    void sendRaw(const std::string& bytes) {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = ::write(m_in, bytes.data() + written, bytes.size() - written);
            if (count <= 0)
                return;
            written += static_cast<std::size_t>(count);
        }
    }
    // Sends a request; returns its seq.
    int send(const QString& command, const QJsonObject& arguments = {}) {
        QJsonObject message{{"seq", ++m_seq}, {"type", "request"}, {"command", command}};
        if (!arguments.isEmpty())
            message.insert("arguments", arguments);
        sendRaw(debugger::frame(QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString()));
        return m_seq;
    }
    // Sends a request and waits for its response (empty when none came in time).
    QJsonObject request(const QString& command, const QJsonObject& arguments = {}) {
        const int seq = send(command, arguments);
        return waitFor([seq](const QJsonObject& message) {
            return message.value("type").toString() == "response" && message.value("request_seq").toInt() == seq;
        });
    }
    // Waits for the next event named [name] not yet taken; empty when none came in time.
    QJsonObject event(const QString& name, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        return waitFor(
            [&name](const QJsonObject& message) {
                return message.value("type").toString() == "event" && message.value("event").toString() == name;
            },
            bound);
    }
    // Every message read so far, taken or not.
    const std::vector<QJsonObject>& messages() const { return m_messages; }
    // The texts of the output events read so far.
    std::string outputs() const {
        std::string text;
        for (const QJsonObject& message : m_messages)
            if (message.value("event").toString() == "output")
                text += message.value("body").toObject().value("output").toString().toStdString();
        return text;
    }

    void closeInput() {
        if (m_in >= 0)
            ::close(m_in);
        m_in = -1;
    }
    // Waits for the process to end; its exit status, or -1 when it did not end in time.
    int wait(std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            pollOnce(10);
        }
        return -1;
    }

    template <typename Match>
    QJsonObject waitFor(Match match, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;) {
            for (std::size_t i = m_taken; i < m_messages.size(); ++i) {
                if (!m_used[i] && match(m_messages[i])) {
                    m_used[i] = true;
                    return m_messages[i];
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !pollOnce(static_cast<int>(left.count())))
                return {};
        }
    }

private:
    // Reads what the adapter sent within [milliseconds]; false when its output ended.
    bool pollOnce(int milliseconds) {
        if (m_out < 0)
            return false;
        pollfd output{m_out, POLLIN, 0};
        if (::poll(&output, 1, milliseconds) <= 0)
            return true;
        char buffer[65536];
        const ssize_t count = ::read(m_out, buffer, sizeof buffer);
        if (count <= 0) {
            ::close(m_out);
            m_out = -1;
            return false;
        }
        m_reader.feed(std::string_view(buffer, static_cast<std::size_t>(count)));
        debugger::MessageReader::Item item;
        while (m_reader.next(item)) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(item.text), &error);
            // A message that is not JSON is kept as an object that says so; tests fail on it.
            m_messages.push_back(item.kind == debugger::MessageReader::Item::Kind::Message && document.isObject()
                                     ? document.object()
                                     : QJsonObject{{"type", "garbage"}, {"text", QString::fromStdString(item.text)}});
            m_used.push_back(false);
        }
        return true;
    }

    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_in = -1;
    int m_out = -1;
    int m_seq = 0;
    debugger::MessageReader m_reader;
    std::vector<QJsonObject> m_messages;
    std::vector<bool> m_used;
    std::size_t m_taken = 0;
};

}  // namespace testing_support
