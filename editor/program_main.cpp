#include "editor/program_main.h"

#include "editor/compile_command.h"
#include "editor/editor_window.h"
#include "editor/workbench.h"
#include "platform/command_line.h"
#include "platform/files.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

namespace editor {

namespace {

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int usageError(const Program& program, const QString& message) {
    const QByteArray name = program.name.toLocal8Bit();
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name.constData(), qPrintable(message),
                 name.constData());
    return kExitFileError;
}

}  // namespace

bool loadStartFile(EditorWindow& window, const QString& argument, std::string* reason) {
    platform::FileError error{};
    const std::optional<std::string> bytes =
        platform::readWholeFile(platform::withoutQuotes(argument).toLocal8Bit().toStdString(), &error, kLargestSource);
    if (!bytes || !fitsTheEditor(*bytes)) {
        if (reason)
            *reason = bytes || error.failure == platform::FileFailure::TooLarge ? kTooLarge.toStdString()
                                                                                : error.reason;
        return false;
    }
    window.setProgramText(*bytes);
    return true;
}

int programMain(int argc, char** argv, Program program, const char* version) {
    QCommandLineParser parser;
    parser.setApplicationDescription(program.description);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A source file to load into the editor at start."),
                                 QStringLiteral("[FILE]"));
    const QCommandLineOption compileOption(
        QStringLiteral("compile"), QStringLiteral("Compile SRC without a window (- reads standard input)."),
        QStringLiteral("SRC"));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("With --compile: the MOXY file to write (default: SRC with the extension .moxy; - is "
                       "standard output)."),
        QStringLiteral("OUT"));
    const QCommandLineOption mapOption(
        QStringLiteral("map"), QStringLiteral("With --compile: also write the source map OUT.map."));
    parser.addOptions({compileOption, outputOption, mapOption});

    // What is wrong with the command line, or nothing.
    const auto usageProblem = [&](const QStringList& arguments) -> QString {
        if (!parser.parse(arguments))
            return parser.errorText();
        if (parser.isSet(helpOption) || parser.isSet(versionOption))
            return QString();
        const QStringList positional = parser.positionalArguments();
        if (parser.isSet(compileOption)) {
            if (!positional.isEmpty())
                return QStringLiteral("--compile takes no FILE besides SRC");
            const QString output = parser.value(outputOption);
            if (parser.isSet(mapOption) && (output == QLatin1String("-") ||
                                            (output.isEmpty() && parser.value(compileOption) == QLatin1String("-"))))
                return QStringLiteral("--map needs a named OUT file, not standard output");
            return QString();
        }
        if (parser.isSet(outputOption) || parser.isSet(mapOption))
            return QStringLiteral("-o and --map go with --compile");
        if (positional.size() > 1)
            return QStringLiteral("expected at most one FILE, got %1").arg(positional.size());
        return QString();
    };

    // Only the editor window needs the window system: --compile, --help, --version and
    // usage errors work without a display. (Qt's own window options, such as -platform,
    // are known only to QApplication; QT_QPA_PLATFORM does the same.)
    const bool windowless = !usageProblem(argumentList(argc, argv)).isEmpty() || parser.isSet(compileOption) ||
                            parser.isSet(helpOption) || parser.isSet(versionOption);
    if (!windowless && !platform::hasDisplay()) {
        std::fprintf(stderr, "%s: no display to open the window on; use --compile to compile without one\n",
                     program.name.toLocal8Bit().constData());
        return kExitFileError;
    }
    const std::unique_ptr<QCoreApplication> app =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(program.name);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version));

    if (const QString problem = usageProblem(QCoreApplication::arguments()); !problem.isEmpty())
        return usageError(program, problem);
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();

    if (parser.isSet(compileOption)) {
        CompileRequest request;
        request.source = parser.value(compileOption);
        request.output = parser.value(outputOption);
        request.map = parser.isSet(mapOption);
        return compileFile(program, request, stdout, stderr);
    }

    // Installed system-wide, the program's folder cannot be written: the files then live in
    // the user's own folder.
    const std::string executableFolder = platform::executableFolder();
    const QString folder =
        filesFolder(QString::fromLocal8Bit(executableFolder.data(), static_cast<qsizetype>(executableFolder.size())),
                    userFilesFolder(program.name));
    const QStringList positional = parser.positionalArguments();
    EditorWindow window(std::move(program), folder);
    window.setStatus(QStringLiteral("Files are kept in %1").arg(QDir::toNativeSeparators(folder)));
    if (!positional.isEmpty()) {
        std::string reason;
        if (!loadStartFile(window, positional.front(), &reason)) {
            std::fprintf(stderr, "%s: cannot read %s: %s\n", qPrintable(QCoreApplication::applicationName()),
                         qPrintable(platform::withoutQuotes(positional.front())), reason.c_str());
            window.setStatus(QStringLiteral("Cannot open %1: %2")
                                 .arg(platform::withoutQuotes(positional.front()), QString::fromLocal8Bit(reason.c_str())));
        }
    }
    window.show();
    return app->exec();
}

}  // namespace editor
