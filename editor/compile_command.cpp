#include "editor/compile_command.h"

#include "editor/program_text.h"
#include "moxy/compile.h"
#include "moxy/escape.h"
#include "moxy/format.h"
#include "moxy/source_map.h"
#include "platform/files.h"

#include <QFile>

#include <sys/stat.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace editor {

namespace {

const QString kStandardStream = QStringLiteral("-");

std::string localPath(const QString& path) { return path.toLocal8Bit().toStdString(); }

std::optional<std::string> readStream(std::FILE* stream, std::string* reason) {
    std::string bytes;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes.append(buffer, count);
    if (std::ferror(stream)) {
        *reason = "read error";
        return std::nullopt;
    }
    return bytes;
}

bool writeStream(std::FILE* stream, const std::string& bytes, std::string* reason) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() || std::fflush(stream) != 0) {
        *reason = "write error";
        return false;
    }
    return true;
}

// A compile's messages on standard error: written in large blocks, not one write a
// message, and only the first kShownMessages of them; the rest are counted and summed up
// in one line at the end, so that a source full of mistakes cannot flood the terminal.
// Warnings are messages too, written with "warning: " before their text, and count toward
// the same limit: the messages written so far stay in source order, and a source that
// warns at every line writes no more than one full of errors.
class MessageSink {
public:
    static constexpr long long kShownMessages = 1000;

    MessageSink(std::FILE* stream, std::string sourceName) : m_stream(stream), m_sourceName(std::move(sourceName)) {}
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;
    ~MessageSink() { finish(); }

    void add(const moxy::Diagnostic& message) {
        if (++m_count > kShownMessages)
            return;
        m_buffer.append(m_sourceName).append(":");
        m_buffer.append(std::to_string(message.line)).append(":");
        m_buffer.append(std::to_string(message.column)).append(": ");
        if (message.severity == moxy::Severity::Warning)
            m_buffer.append("warning: ");
        // The text goes out byte for byte, as the source wrote the names in it.
        // One message a line: a name that spans lines shows its line breaks as \r and \n.
        m_buffer += moxy::escaped(message.text, moxy::kMessageText);
        m_buffer += '\n';
        if (m_buffer.size() >= kBlock)
            flush();
    }

    // Writes what is buffered and the count of the messages not shown.
    void finish() {
        if (m_count > kShownMessages) {
            m_buffer.append(m_sourceName).append(": ");
            m_buffer.append(std::to_string(m_count - kShownMessages)).append(" more messages not shown\n");
            m_count = kShownMessages;
        }
        flush();
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;

    void flush() {
        if (!m_buffer.empty())
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_stream);
        std::fflush(m_stream);
        m_buffer.clear();
    }

    std::FILE* m_stream;
    std::string m_sourceName;
    std::string m_buffer;
    long long m_count = 0;
};

// True when [path] names the same file as [source] (the same inode on the same device,
// through links too); false when either does not exist.
bool sameFile(const std::string& path, const struct stat& source) {
    struct stat target {};
    return ::stat(path.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino;
}

// True when the file at [path] starts with the first line of a source map, so that it is
// one this program wrote and may be deleted.
bool isSourceMap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(static_cast<qint64>(moxy::kSourceMapHeader.size()) + 2);
    const std::string_view header = moxy::kSourceMapHeader;
    if (start.size() < static_cast<qsizetype>(header.size()) ||
        std::memcmp(start.constData(), header.data(), header.size()) != 0)
        return false;
    return start.size() == static_cast<qsizetype>(header.size()) || start[header.size()] == '\n' ||
           start[header.size()] == '\r';
}

}  // namespace

int compileFile(const Program& program, const CompileRequest& request, std::FILE* out, std::FILE* errors) {
    const std::string name = program.name.toStdString();
    const std::string sourceName = localPath(request.source);
    const bool fromInput = request.source == kStandardStream;

    std::optional<std::string> source;
    std::string reason;
    if (fromInput) {
        source = readStream(stdin, &reason);
    } else {
        platform::FileError error{};
        source = platform::readWholeFile(sourceName, &error);
        reason = error.reason;
    }
    if (!source) {
        std::fprintf(errors, "%s: cannot read %s: %s\n", name.c_str(), sourceName.c_str(), reason.c_str());
        return kExitFileError;
    }

    QString output = request.output;
    const bool defaultOutput = output.isEmpty();
    if (defaultOutput)
        output = fromInput ? kStandardStream : replaceExtension(request.source, QStringLiteral(".moxy"));
    const std::string outputName = localPath(output);

    // Writing the code over its own source would lose the source: a SRC named X.moxy
    // (whose default OUT is itself), or an OUT or OUT.map that is SRC under another name.
    struct stat sourceFile {};
    const bool sourceKnown = !fromInput && ::stat(sourceName.c_str(), &sourceFile) == 0;
    if (!fromInput) {
        if (output != kStandardStream &&
            (output == request.source || (sourceKnown && sameFile(outputName, sourceFile)))) {
            if (defaultOutput)
                std::fprintf(errors, "%s: %s would be written over itself: name the MOXY file with -o OUT\n",
                             name.c_str(), sourceName.c_str());
            else
                std::fprintf(errors, "%s: %s is the source itself: name another MOXY file with -o OUT\n",
                             name.c_str(), outputName.c_str());
            return kExitFileError;
        }
        if (request.map && sourceKnown && sameFile(outputName + ".map", sourceFile)) {
            std::fprintf(errors, "%s: %s.map is the source itself: name another MOXY file with -o OUT\n",
                         name.c_str(), outputName.c_str());
            return kExitFileError;
        }
    }

    MessageSink messages(errors, sourceName);
    const moxy::CompileResult compiled =
        program.compile(*source, [&messages](const moxy::Diagnostic& message) { messages.add(message); }, {});
    messages.finish();
    if (compiled.abandoned)
        return kExitAbandoned;
    const std::string file = moxy::moxyFileText(compiled.code);
    if (file.size() > moxy::kLargestProgram) {
        std::fprintf(errors,
                     "%s: cannot write %s: the program would be larger than %zu MiB, more than the runner reads\n",
                     name.c_str(), outputName.c_str(), moxy::kLargestProgram >> 20);
        return kExitFileError;
    }
    bool written = false;
    if (output == kStandardStream) {
        written = writeStream(out, file, &reason);
    } else {
        platform::FileError error{};
        written = platform::writeFileAtomically(outputName, file, &error);
        reason = error.reason;
    }
    if (!written) {
        std::fprintf(errors, "%s: cannot write %s: %s\n", name.c_str(), outputName.c_str(), reason.c_str());
        return kExitFileError;
    }

    if (request.map) {
        const std::string mapName = outputName + ".map";
        platform::FileError error{};
        if (!platform::writeFileAtomically(mapName, moxy::sourceMapText(compiled.map) + moxy::sourceMapNamesText(compiled.names),
                                          &error)) {
            std::fprintf(errors, "%s: cannot write %s: %s\n", name.c_str(), mapName.c_str(), error.reason.c_str());
            return kExitFileError;
        }
    } else if (output != kStandardStream) {
        // A map from an earlier compile would name the wrong source lines for this code;
        // a file of that name that is no source map of ours is the user's and stays.
        const QString mapName =
            QString::fromLocal8Bit(outputName.data(), static_cast<qsizetype>(outputName.size())) +
            QStringLiteral(".map");
        if (isSourceMap(mapName) && !(sourceKnown && sameFile(localPath(mapName), sourceFile)))
            QFile::remove(mapName);
    }
    return kExitWritten;
}

}  // namespace editor
