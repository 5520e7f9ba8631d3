#include "runner/startup.h"

#include "debugger/event_loop_driver.h"
#include "debugger/session.h"
#include "debugger/stdio_loop.h"
#include "moxy/format.h"
#include "moxy/listing.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "runner/export_html.h"
#include "runner/debug_target.h"
#include "runner/gui_library.h"
#include "runner/headless_host.h"
#include "runner/session.h"
#include "runner/source_map.h"
#include "runner/trace.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace runner {

namespace {

enum ExitStatus { kExitOk = 0, kExitUsage = 1, kExitRunError = 2, kExitSteps = 3 };

// The runner keeps a table of four bytes per program character; real programs are far
// smaller than this limit (a 10 MB Quillon source compiles to 4 MB).
constexpr std::size_t kLargestProgram = std::size_t{64} << 20;

bool hasOption(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

int usageError(const QString& message) {
    std::fprintf(stderr, "moxy: %s\nTry 'moxy --help' for more information.\n", qPrintable(message));
    return kExitUsage;
}

bool writeOut(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return true;
    }
    platform::FileError error{};
    if (platform::writeFileAtomically(path, text, &error))
        return true;
    std::fprintf(stderr, "moxy: cannot write %s: %s\n", path.c_str(), error.reason.c_str());
    return false;
}

// Without a window everything the run produced is written by now: the streams are
// flushed and the process ends without tearing Qt down (that would load the font
// database only to free it).
[[noreturn]] void leaveAtOnce(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

// Qt's offscreen platform complains about a missing XDG_RUNTIME_DIR; that is no news
// for a runner without a window.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fputs(qPrintable(qFormatLogMessage(type, context, message)), stderr);
    std::fputc('\n', stderr);
}

// A run without a window starts with a QCoreApplication: the window library is loaded and
// the picture decoders made ready (a QGuiApplication in place of it) only when the program
// first uses a picture, so that most runs start quicker. Text needs nothing of Qt: it
// comes from the glyph table.
class HostWithLateFonts final : public HeadlessHost {
public:
    HostWithLateFonts(Settings settings, std::function<void()> needGui)
        : HeadlessHost(std::move(settings)), m_needGui(std::move(needGui)) {}
    void loadPicture(int holder, std::string_view path) override {
        m_needGui();
        HeadlessHost::loadPicture(holder, path);
    }
    void paintPicture(int holder, float x, float y, double width, double height) override {
        m_needGui();
        HeadlessHost::paintPicture(holder, x, y, width, height);
    }

private:
    std::function<void()> m_needGui;
};

// `moxy --debug-adapter`: the Debug Adapter Protocol on standard input and output. The
// protocol owns standard output: whatever else the process writes there (a library's
// message, say) goes to standard error instead. With [windows] a launch may open the
// runner window and Qt's event loop drives the session; without, a plain poll loop does
// and every launch runs headless.
[[noreturn]] void serveDebugAdapter(const std::string& defaultProgram, bool windows) {
    std::fflush(stdout);
    const int protocolOut = ::dup(STDOUT_FILENO);
    if (protocolOut < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("moxy: cannot set up the protocol's output");
        leaveAtOnce(kExitUsage);
    }
    debugger::Session* session = nullptr;
    debugger::EventLoopDriver* driver = nullptr;

    auto factory = [&](const debugger::LaunchOptions& options, std::string& error) -> std::unique_ptr<debugger::Debuggee> {
        InterpreterOptions interpreterOptions;
        interpreterOptions.numberFormat = numberFormatFromEnvironment();
        interpreterOptions.seed = options.seed;
        ScreenSize screen{1024, 768};
        if (!options.screen.empty()) {
            const QStringList parts = QString::fromStdString(options.screen).split(QLatin1Char('x'));
            bool okWidth = false;
            bool okHeight = false;
            if (parts.size() == 2) {
                screen.width = parts[0].toInt(&okWidth);
                screen.height = parts[1].toInt(&okHeight);
            }
            if (!okWidth || !okHeight || screen.width < 1 || screen.height < 1) {
                error = "screen takes WIDTHxHEIGHT, e.g. 1024x768";
                return nullptr;
            }
        }
        std::string reason;
        std::optional<std::vector<KeyEvent>> keys = parseKeyScript(options.keys, &reason);
        if (!keys) {
            error = "keys: " + reason;
            return nullptr;
        }
        if (!options.headless && !windows) {
            error = platform::hasDisplay() ? "this adapter runs without a window (--headless): launch with \"headless\": true"
                                           : "no display to open the window on: launch with \"headless\": true";
            return nullptr;
        }
        platform::FileError readError{};
        std::optional<platform::ProgramFile> programFile =
            platform::readProgramFile(options.program, &readError, kLargestProgram);
        if (!programFile) {
            if (readError.failure == platform::FileFailure::TooLarge)
                readError.reason += ", too large for a MOXY program";
            error = "cannot read " + options.program + ": " + readError.reason;
            return nullptr;
        }
        HostOptions basic;
        basic.safe = options.safe;
        basic.safeFolder = std::move(programFile->folder);
        if (basic.safe && basic.safeFolder)
            platform::enterFolder(*basic.safeFolder);

        DebugTarget::Surroundings surroundings;
        if (options.headless) {
            HeadlessHost::Settings settings;
            settings.basic = basic;
            settings.screen = screen;
            settings.keys = std::move(*keys);
            settings.output = stderr;  // never used: the dialogs go to the session
            auto host = std::make_unique<HeadlessHost>(std::move(settings));
            HeadlessHost* headless = host.get();
            surroundings.yield = [headless] { headless->pumpEvents(); };
            surroundings.dialogs = scriptedDialogs(
                [&session](const std::string& text) { if (session) session->sendOutput(text); }, options.inputs);
            surroundings.host = std::move(host);
        } else {
            surroundings = guiLibrary().showDebugWindow(basic, [&session, &driver] {
                // Closing the window ends the program, also while it is stopped.
                if (session)
                    session->debuggeeEnded();
                if (driver)
                    driver->wake();
            });
        }
        return std::make_unique<DebugTarget>(std::move(programFile->content), std::move(surroundings),
                                             interpreterOptions);
    };

    debugger::Session adapter(factory, debugger::frameWriter(protocolOut));
    session = &adapter;
    if (!defaultProgram.empty())
        adapter.setDefaultProgram(defaultProgram);
    bool ok = true;
    if (windows) {
        // A closed runner window ends the program, not the session (showDebugWindow).
        debugger::EventLoopDriver loopDriver(adapter, STDIN_FILENO, [] { QCoreApplication::quit(); });
        driver = &loopDriver;
        QCoreApplication::exec();
        driver = nullptr;
    } else {
        ok = debugger::serve(adapter, STDIN_FILENO);
    }
    session = nullptr;
    leaveAtOnce(ok ? kExitOk : kExitUsage);
}

}  // namespace

int runMoxy(int argc, char** argv, const char* version) {
    if (exportWanted(argc, argv))
        return exportMain(argc, argv);
    const bool debugAdapter = hasOption(argc, argv, "--debug-adapter");
    // The debug adapter without a display runs its programs headless.
    const bool headless = hasOption(argc, argv, "--headless") || hasOption(argc, argv, "--disasm") ||
                          hasOption(argc, argv, "--help") || hasOption(argc, argv, "-h") ||
                          hasOption(argc, argv, "--version") || hasOption(argc, argv, "-v") ||
                          (debugAdapter && !platform::hasDisplay());
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!headless && !platform::hasDisplay()) {
        std::fputs("moxy: no display to open the window on; run with --headless\n", stderr);
        return kExitUsage;
    }
    qInstallMessageHandler(quietMessages);
    // The window's QApplication comes from the window library; a run without a window
    // makes do with Qt Core.
    std::unique_ptr<QCoreApplication> app(headless ? new QCoreApplication(argc, argv)
                                                   : guiLibrary().makeApplication(argc, argv, true));
    bool guiReady = !headless;
    const auto name = [version] {
        QCoreApplication::setApplicationName(QStringLiteral("moxy"));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(version));
    };
    name();
    const auto needGui = [&app, &argc, argv, &name, &guiReady] {
        if (guiReady)
            return;
        const GuiLibrary& library = guiLibrary();
        app.reset();
        app.reset(library.makeApplication(argc, argv, false));
        guiReady = true;
        name();
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs a MOXY program.\n  moxy --export-html FILE -o PAGE [--include F]...  "
                                                    "writes a web page that runs FILE in a browser."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The MOXY file to run."));
    const QCommandLineOption headlessOption(QStringLiteral("headless"),
                                            QStringLiteral("Run without a window; the drawing stays in memory."));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("When the run ends, write the drawing surface to PNG."),
                                              QStringLiteral("PNG"));
    const QCommandLineOption dumpOption(QStringLiteral("dump"),
                                        QStringLiteral("When the run ends, write the state dump to FILE (- for standard output)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption keysOption(QStringLiteral("keys"),
                                        QStringLiteral("Headless key events: space-separated N:KEY+ and N:KEY- (N-th yield)."),
                                        QStringLiteral("SCRIPT"));
    const QCommandLineOption maxStepsOption(QStringLiteral("max-steps"), QStringLiteral("Stop after N executed steps."),
                                            QStringLiteral("N"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed of the random numbers."),
                                        QStringLiteral("N"));
    const QCommandLineOption screenOption(QStringLiteral("screen"),
                                          QStringLiteral("Size of the virtual screen in headless mode (default 1024x768)."),
                                          QStringLiteral("WxH"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         QStringLiteral("One line per executed instruction to standard error."));
    const QCommandLineOption safeOption(QStringLiteral("safe"),
                                        QStringLiteral("Refuse program starts and files outside the MOXY file's folder."));
    const QCommandLineOption disasmOption(QStringLiteral("disasm"),
                                          QStringLiteral("Print a readable listing of FILE and exit without running it."));
    const QCommandLineOption debugAdapterOption(
        QStringLiteral("debug-adapter"),
        QStringLiteral("Speak the Debug Adapter Protocol on standard input and output instead of running FILE "
                       "(FILE is then given by the launch request and may be left out)."));
    parser.addOptions({headlessOption, screenshotOption, dumpOption, keysOption, maxStepsOption, seedOption,
                       screenOption, traceOption, safeOption, disasmOption, debugAdapterOption});
    parser.process(*app);

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(debugAdapterOption)) {
        if (positional.size() > 1)
            return usageError(QStringLiteral("expected at most one FILE, got %1 arguments").arg(positional.size()));
        const std::string program =
            positional.isEmpty() ? std::string() : platform::withoutQuotes(positional.front()).toLocal8Bit().toStdString();
        // Its programs may load pictures at any time: the picture decoders are made ready now.
        needGui();
        serveDebugAdapter(program, !headless);
    }
    if (positional.isEmpty()) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        return kExitUsage;
    }
    if (positional.size() > 1)
        return usageError(QStringLiteral("expected one FILE, got %1 arguments").arg(positional.size()));

    // A path handed over in double quotes loses them; any other path is used as it is.
    const std::string filePath = platform::withoutQuotes(positional.front()).toLocal8Bit().toStdString();

    InterpreterOptions interpreterOptions;
    interpreterOptions.numberFormat = numberFormatFromEnvironment();
    if (parser.isSet(maxStepsOption)) {
        bool ok = false;
        interpreterOptions.maxSteps = parser.value(maxStepsOption).toULongLong(&ok);
        if (!ok || interpreterOptions.maxSteps == 0)
            return usageError(QStringLiteral("--max-steps takes a whole number from 1"));
    }
    if (parser.isSet(seedOption)) {
        bool ok = false;
        interpreterOptions.seed = parser.value(seedOption).toULongLong(&ok);
        if (!ok)
            return usageError(QStringLiteral("--seed takes a whole number from 0"));
    }
    ScreenSize screen{1024, 768};
    if (parser.isSet(screenOption)) {
        const QStringList parts = parser.value(screenOption).split(QLatin1Char('x'));
        bool okWidth = false;
        bool okHeight = false;
        if (parts.size() == 2) {
            screen.width = parts[0].toInt(&okWidth);
            screen.height = parts[1].toInt(&okHeight);
        }
        if (!okWidth || !okHeight || screen.width < 1 || screen.height < 1)
            return usageError(QStringLiteral("--screen takes WIDTHxHEIGHT, e.g. 1024x768"));
    }
    std::vector<KeyEvent> keys;
    if (parser.isSet(keysOption)) {
        std::string reason;
        auto parsed = parseKeyScript(parser.value(keysOption).toStdString(), &reason);
        if (!parsed)
            return usageError(QStringLiteral("--keys: %1").arg(QString::fromStdString(reason)));
        keys = std::move(*parsed);
    }

    platform::FileError readError{};
    // The program's own folder (for --safe) is found from the opened file, not from the path.
    std::optional<platform::ProgramFile> programFile = platform::readProgramFile(filePath, &readError, moxy::kLargestProgram);
    std::optional<std::string> program = programFile ? std::optional(std::move(programFile->content)) : std::nullopt;
    if (!program) {
        if (readError.failure == platform::FileFailure::TooLarge)
            readError.reason += ", too large for a MOXY program";
        std::fprintf(stderr, "moxy: cannot read %s: %s\n", filePath.c_str(), readError.reason.c_str());
        return kExitUsage;
    }
    // The source map beside the program, when there is one (a compile with --map).
    const std::optional<std::string> mapText = platform::readWholeFile(filePath + ".map");
    const SourceMap sourceMap = mapText ? SourceMap::parse(*mapText) : SourceMap();
    const auto sourceNote = [&sourceMap](std::size_t position) { return sourceMap.describe(position); };

    if (parser.isSet(disasmOption)) {
        moxy::ListingOptions listingOptions;
        listingOptions.positions = true;
        if (!sourceMap.empty())
            listingOptions.note = sourceNote;
        const std::string text = moxy::listing(*program, listingOptions);
        std::fwrite(text.data(), 1, text.size(), stdout);
        leaveAtOnce(kExitOk);
    }

    HostOptions basic;
    basic.safe = parser.isSet(safeOption);
    basic.safeFolder = std::move(programFile->folder);
    // A --safe program works in its own folder; the files named on the command line stay
    // where the user meant them.
    const std::string dumpPath = platform::absolutePath(parser.value(dumpOption).toLocal8Bit().toStdString());
    const std::string screenshotPath = platform::absolutePath(parser.value(screenshotOption).toLocal8Bit().toStdString());
    if (basic.safe && basic.safeFolder)
        platform::enterFolder(*basic.safeFolder);

    // The screenshot keeps the resolution a surface made with fonts ready has.
    if (parser.isSet(screenshotOption))
        needGui();
    std::unique_ptr<HeadlessHost> headlessHost;
    std::unique_ptr<ShownWindow> window;
    Host* host = nullptr;
    if (parser.isSet(headlessOption)) {
        HeadlessHost::Settings settings;
        settings.basic = basic;
        settings.screen = screen;
        settings.keys = std::move(keys);
        headlessHost = std::make_unique<HostWithLateFonts>(std::move(settings), needGui);
        host = headlessHost.get();
    } else {
        window = guiLibrary().showWindow(basic);
        host = &window->host();
    }

    Interpreter interpreter(std::move(*program), *host, interpreterOptions);
    std::unique_ptr<TraceWriter> trace;
    if (parser.isSet(traceOption)) {
        trace = std::make_unique<TraceWriter>(
            interpreter, [](const std::string& line) { std::fwrite(line.data(), 1, line.size(), stderr); },
            sourceMap.empty() ? std::function<std::string(std::size_t)>() : sourceNote);
        interpreter.setTrace([&trace](const TraceStep& step) { trace->step(step); });
    }

    // "type mismatch ... [position 62, opcode 25 Increment] (line 4, column 3)"
    const auto located = [&sourceMap](const RunError& error) {
        std::string text = report(error);
        const std::string where = sourceMap.describe(error.position());
        if (!where.empty())
            text += " (" + where + ")";
        return text;
    };
    Session session(interpreter, [&](const RunError& error) {
        if (trace) {
            trace->flush();
            std::fprintf(stderr, "moxy: %s; running the program once more from its start\n", located(error).c_str());
        }
    });
    // The window drives the run from its event loop; --headless in a plain loop.
    const RunResult result = window ? window->run(session) : runToEnd(session, *host);
    if (trace)
        trace->flush();

    // A program that ran past its end leaves its window open until it is closed.
    if (window && result.status == RunResult::Status::RanPastEnd)
        window->waitUntilClosed();

    bool written = true;
    if (parser.isSet(screenshotOption)) {
        std::string reason;
        if (!writePicture(headlessHost ? headlessHost->canvas() : window->canvas(), screenshotPath, &reason)) {
            std::fprintf(stderr, "moxy: cannot write screenshot %s: %s\n", screenshotPath.c_str(), reason.c_str());
            written = false;
        }
    }
    if (parser.isSet(dumpOption))
        written = writeOut(dumpPath, stateDump(interpreter, result)) && written;

    int status = kExitOk;
    switch (result.status) {
    case RunResult::Status::RanPastEnd:
    case RunResult::Status::Ended:
        status = written ? kExitOk : kExitUsage;  // the run was fine; a file it was to write was not
        break;
    case RunResult::Status::StepLimit:
        status = kExitSteps;
        break;
    case RunResult::Status::Error: {
        const std::string message = "moxy: " + located(*result.error);
        std::fprintf(stderr, "%s\n", message.c_str());
        if (window)
            window->showErrorReport(message);
        status = kExitRunError;
        break;
    }
    }
    if (headlessHost)
        leaveAtOnce(status);
    return status;
}

}  // namespace runner
