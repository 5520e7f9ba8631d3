#include "editor/debug_client.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonParseError>

#include <utility>

namespace editor {

DebugClient::DebugClient(QObject* parent) : QObject(parent) {
    m_process.setObjectName(QStringLiteral("debugAdapter"));
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &DebugClient::readOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &DebugClient::readErrors);
    connect(&m_process, &QProcess::finished, this, &DebugClient::processEnded);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        emit failed(QStringLiteral("Unable to start the debug adapter %1.").arg(QDir::toNativeSeparators(m_adapter)));
        processEnded();
    });
}

DebugClient::~DebugClient() {
    // No signals from a client being destroyed: its listeners may be going too.
    blockSignals(true);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void DebugClient::start(const QString& adapter, const QStringList& arguments, const QString& folder) {
    m_adapter = adapter;
    m_ended = false;
    m_process.setWorkingDirectory(folder);
    m_process.start(adapter, arguments);
}

int DebugClient::request(const QString& command, const QJsonObject& arguments, Reply reply) {
    const int seq = m_seq++;
    QJsonObject message{{"seq", seq}, {"type", "request"}, {"command", command}};
    if (!arguments.isEmpty())
        message.insert("arguments", arguments);
    if (m_ended) {
        if (reply)
            reply(false, {}, QStringLiteral("The debug adapter ended."));
        return seq;
    }
    if (reply)
        m_replies.emplace(seq, std::move(reply));
    const std::string framed = debugger::frame(QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString());
    m_process.write(framed.data(), static_cast<qint64>(framed.size()));
    return seq;
}

void DebugClient::kill() {
    if (m_process.state() != QProcess::NotRunning)
        m_process.kill();
}

void DebugClient::readOutput() {
    const QByteArray bytes = m_process.readAllStandardOutput();
    m_reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    debugger::MessageReader::Item item;
    while (m_reader.next(item)) {
        if (item.kind == debugger::MessageReader::Item::Kind::Error)
            emit failed(QStringLiteral("The debug adapter sent a broken message: %1").arg(QString::fromStdString(item.text)));
        else
            handle(QByteArray::fromStdString(item.text));
    }
}

void DebugClient::readErrors() {
    // The runner's own messages on standard error, shown as the adapter's output.
    const QString text = QString::fromLocal8Bit(m_process.readAllStandardError());
    if (!text.isEmpty())
        emit output(QStringLiteral("stderr"), text);
}

void DebugClient::handle(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        emit failed(QStringLiteral("The debug adapter sent a message that is not JSON."));
        return;
    }
    const QJsonObject message = document.object();
    const QString type = message.value("type").toString();
    if (type == QLatin1String("event")) {
        dispatchEvent(message.value("event").toString(), message.value("body").toObject());
        return;
    }
    if (type != QLatin1String("response"))
        return;
    const auto found = m_replies.find(message.value("request_seq").toInt());
    if (found == m_replies.end())
        return;
    const Reply reply = std::move(found->second);
    m_replies.erase(found);
    const QJsonObject body = message.value("body").toObject();
    QString text = message.value("message").toString();
    // The error's own words, where the adapter gives them.
    const QString format = body.value("error").toObject().value("format").toString();
    if (!format.isEmpty())
        text = format;
    reply(message.value("success").toBool(), body, text);
}

void DebugClient::dispatchEvent(const QString& name, const QJsonObject& body) {
    if (name == QLatin1String("initialized"))
        emit initialized();
    else if (name == QLatin1String("stopped"))
        emit stopped(body.value("reason").toString(), body.value("text").toString(), body);
    else if (name == QLatin1String("continued"))
        emit continued();
    else if (name == QLatin1String("output"))
        emit output(body.value("category").toString(), body.value("output").toString());
    else if (name == QLatin1String("exited"))
        emit exited(body.value("exitCode").toInt());
    else if (name == QLatin1String("terminated"))
        emit terminated();
}

void DebugClient::processEnded() {
    if (m_ended)
        return;
    m_ended = true;
    // Whatever was still written before the end.
    readOutput();
    readErrors();
    std::map<int, Reply> replies;
    replies.swap(m_replies);
    for (auto& [seq, reply] : replies)
        reply(false, {}, QStringLiteral("The debug adapter ended."));
    emit finished();
}

}  // namespace editor
