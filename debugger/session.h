// One debugging session of the Debug Adapter Protocol: the client's requests in, the
// responses and events out, the program run between them. The session never blocks: the
// driver feeds it what arrives from the client and, while running() is true, calls
// runFor() again and again, so that a pause request read between two calls stops the
// program. A Qt event loop or a plain poll loop can drive it. It knows the machine only
// through Debuggee, which launch makes through the factory. Uses Qt Core for JSON only.
#pragma once

#include "debugger/debuggee.h"
#include "debugger/framing.h"
#include "debugger/program_map.h"

#include <QJsonObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace debugger {

class Session {
public:
    // [send] gets every outgoing message's JSON text, unframed (frame() adds the header).
    using Send = std::function<void(const std::string& json)>;

    Session(DebuggeeFactory factory, Send send);
    ~Session();

    // Takes bytes from the client, split anywhere; every whole message is handled at once.
    void feed(std::string_view bytes);
    // Handles one message body.
    void handleMessage(std::string_view json);

    // True while the program runs (launched, configured, neither stopped nor ended).
    bool running() const { return m_running; }
    // Executes up to [budget] steps while running; returns how many executed. Stops (and
    // sends the stopped event) at a breakpoint, the end of a step, a pause request or a
    // run-time error.
    std::uint64_t runFor(std::uint64_t budget);

    // Sends text the program wrote (a headless message box, say) as an output event.
    void sendOutput(std::string_view text, std::string_view category = "stdout");

    // The program a launch request without a `program` argument runs (the FILE of
    // `moxy --debug-adapter FILE`).
    void setDefaultProgram(std::string path) { m_defaultProgram = std::move(path); }
    // The debuggee ended outside a step, e.g. its window was closed while the program was
    // stopped: sends exited and terminated, unless the program has ended already.
    void debuggeeEnded();

    // True after disconnect: the driver ends.
    bool finished() const { return m_finished; }
    // The debuggee, while there is one (the driver reaches its window through it).
    Debuggee* debuggee() const { return m_debuggee.get(); }

private:
    enum class Phase : std::uint8_t { New, Initialized, Launched, Configured, Exited };
    enum class StepMode : std::uint8_t { Continue, Statement, Instruction, Frame };

    struct Breakpoint {
        int id = 0;
        int line = 0;  // as the client asked, 1-based
    };

    using Handler = void (Session::*)(const QJsonObject& request, const QJsonObject& arguments);

    void send(const QJsonObject& message);
    void respond(const QJsonObject& request, const QJsonObject& body = {});
    void fail(const QJsonObject& request, const std::string& message);
    void event(const char* name, const QJsonObject& body = {});

    // Checks the phase a request needs; false after sending the error response.
    bool needStopped(const QJsonObject& request);

    void initialize(const QJsonObject& request, const QJsonObject& arguments);
    void launch(const QJsonObject& request, const QJsonObject& arguments);
    void setBreakpoints(const QJsonObject& request, const QJsonObject& arguments);
    void setExceptionBreakpoints(const QJsonObject& request, const QJsonObject& arguments);
    void configurationDone(const QJsonObject& request, const QJsonObject& arguments);
    void threads(const QJsonObject& request, const QJsonObject& arguments);
    void stackTrace(const QJsonObject& request, const QJsonObject& arguments);
    void scopes(const QJsonObject& request, const QJsonObject& arguments);
    void variables(const QJsonObject& request, const QJsonObject& arguments);
    void setVariable(const QJsonObject& request, const QJsonObject& arguments);
    void evaluate(const QJsonObject& request, const QJsonObject& arguments);
    void continueRequest(const QJsonObject& request, const QJsonObject& arguments);
    void next(const QJsonObject& request, const QJsonObject& arguments);
    void stepIn(const QJsonObject& request, const QJsonObject& arguments);
    void stepFrame(const QJsonObject& request, const QJsonObject& arguments);
    void pause(const QJsonObject& request, const QJsonObject& arguments);
    void terminate(const QJsonObject& request, const QJsonObject& arguments);
    void disconnect(const QJsonObject& request, const QJsonObject& arguments);

    // Resumes the stopped program in [mode]; applies the restart rule first after a stop
    // on a run-time error.
    void resume(const QJsonObject& request, StepMode mode);
    void stop(const char* reason, const std::string& text = {});
    void runtimeError(const StepResult& result);
    // The restart rule: a first run-time error runs the program again from its start, a
    // second one ends the run. Returns false when the run ended.
    bool applyRestartRule();
    void exit(int code);
    bool statementBoundary(std::size_t position) const;

    // The reply for one breakpoint: verified, where it landed, why not.
    QJsonObject breakpointBody(const Breakpoint& breakpoint, const std::string& sourcePath) const;
    // Sends the breakpoints set before launch again, now with their places.
    void resolveBreakpoints();
    void rebuildBreakPositions();
    // The position a breakpoint on [line] stops at; 0 for none.
    std::size_t breakPosition(int line) const;
    std::string sourcePath() const;
    QJsonObject sourceObject() const;
    std::string location(std::size_t position) const;
    // The cell [expression] names: a declared name or V(n); -1 when it names none.
    int cellNamed(const std::string& expression) const;
    std::string shownText(int cell) const;

    DebuggeeFactory m_factory;
    Send m_send;
    MessageReader m_reader;
    std::map<std::string, Handler> m_handlers;

    int m_seq = 1;
    Phase m_phase = Phase::New;
    bool m_finished = false;
    int m_lineBase = 1;    // 0 when the client counts lines from 0
    int m_columnBase = 1;

    LaunchOptions m_options;
    std::string m_defaultProgram;
    std::uint64_t m_maxSteps = 0;
    std::uint64_t m_steps = 0;
    std::string m_sourceArgument;  // the launch request's source, if any
    bool m_stopOnEntry = false;
    bool m_noDebug = false;
    std::unique_ptr<Debuggee> m_debuggee;
    ProgramMap m_map;

    int m_nextBreakpointId = 1;
    std::map<std::string, std::vector<Breakpoint>> m_breakpoints;  // by source path
    std::set<std::size_t> m_breakPositions;
    bool m_stopOnErrors = false;

    bool m_running = false;
    bool m_pauseRequested = false;
    bool m_fresh = false;  // nothing executed since the resume: no breakpoint check yet
    StepMode m_mode = StepMode::Continue;
    const moxy::SourceMapEntry* m_stepFrom = nullptr;
    bool m_hadError = false;          // the first run-time error has happened
    bool m_stoppedOnError = false;    // stopped on a run-time error, restart rule pending
    std::string m_errorText;
};

}  // namespace debugger
