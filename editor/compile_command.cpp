#include "editor/compile_command.h"

#include "editor/program_text.h"
#include "moxy/escape.h"
#include "platform/files.h"

#include <QFile>

#include <optional>
#include <string>

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

    const moxy::CompileResult compiled = program.compile(
        *source,
        [&](const moxy::Diagnostic& message) {
            // The text goes out byte for byte, as the source wrote the names in it.
            // One message a line: a name that spans lines shows its line breaks as \r and \n.
            const std::string text = moxy::escaped(message.text, moxy::kMessageText);
            std::fprintf(errors, "%s:%d:%d: ", sourceName.c_str(), message.line, message.column);
            std::fwrite(text.data(), 1, text.size(), errors);
            std::fputc('\n', errors);
        },
        {});
    if (compiled.abandoned)
        return kExitAbandoned;

    QString output = request.output;
    if (output.isEmpty())
        output = fromInput ? kStandardStream : replaceExtension(request.source, QStringLiteral(".moxy"));
    const std::string outputName = localPath(output);
    const std::string file = moxy::moxyFileText(compiled.code);
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
        // A map from an earlier compile would name the wrong source lines for this code.
        QFile::remove(QString::fromLocal8Bit(outputName.data(), static_cast<qsizetype>(outputName.size())) +
                      QStringLiteral(".map"));
    }
    return kExitWritten;
}

}  // namespace editor
