// The editor's side of the Debug Adapter Protocol: starts a debug adapter (`moxy
// --debug-adapter`) as a child process, frames the requests it writes to the adapter's
// standard input, reads the framed responses and events from its standard output and
// matches each response to its request by sequence number. Knows no widgets: the debug
// panel drives it and listens to its signals.
#pragma once

#include "debugger/framing.h"

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace editor {

class DebugClient : public QObject {
    Q_OBJECT
public:
    // What a request's response said: success, its body, and the error text on failure.
    using Reply = std::function<void(bool success, const QJsonObject& body, const QString& message)>;

    explicit DebugClient(QObject* parent = nullptr);
    // Ends the adapter if it still runs.
    ~DebugClient() override;

    // Starts [adapter] with [arguments] in the working folder [folder]. A failure to start
    // arrives as failed() and then finished().
    void start(const QString& adapter, const QStringList& arguments, const QString& folder);
    // True from start() until the adapter process has ended.
    bool active() const { return m_process.state() != QProcess::NotRunning; }
    // Sends the request [command] with [arguments]; [reply] gets its response, or a
    // failure with the message "The debug adapter ended." when the adapter ends first.
    // Returns the request's sequence number.
    int request(const QString& command, const QJsonObject& arguments = {}, Reply reply = {});
    // Ends the adapter process at once.
    void kill();
    // Responses still awaited.
    int pending() const { return static_cast<int>(m_replies.size()); }

signals:
    // The events of the protocol, by name; [body] is the event's body.
    void initialized();
    void stopped(const QString& reason, const QString& text, const QJsonObject& body);
    void continued();
    void output(const QString& category, const QString& text);
    void exited(int exitCode);
    void terminated();
    // The adapter could not be started or broke the protocol.
    void failed(const QString& message);
    // The adapter process ended (after failed() when it could not start).
    void finished();

private:
    void readOutput();
    void readErrors();
    void handle(const QByteArray& json);
    void dispatchEvent(const QString& name, const QJsonObject& body);
    void processEnded();

    QProcess m_process;
    QString m_adapter;
    debugger::MessageReader m_reader;
    int m_seq = 1;
    std::map<int, Reply> m_replies;
    bool m_ended = false;
};

}  // namespace editor
