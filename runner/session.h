// A whole run of a MOXY program as the start-up makes it: RUN, one restart after a
// first run-time error, the end status, driven in slices; a plain driver that runs it
// to its end through a Host; and the state dump of `--dump`. No Qt.
#pragma once

#include "runner/interpreter.h"

#include <chrono>
#include <optional>
#include <string>

namespace runner {

struct RunResult {
    enum class Status : std::uint8_t { RanPastEnd, Ended, StepLimit, Error };
    Status status = Status::RanPastEnd;
    std::optional<RunError> error;  // the second run-time error, for Status::Error
};

// The run of one program in slices, with the restart rule: a first run-time error runs
// the program once more from its first character with cells, registers and drawing as
// the failed run left them; a second one ends the run. Drivers call resume() until it
// reports a final SliceEnd, answering the dialogs and letting events through at yields.
class Session {
public:
    // [firstError], when given, is told of the first run-time error.
    explicit Session(Interpreter& interpreter, std::function<void(const RunError&)> firstError = {});

    // Runs at most [steps] steps (a restart after a first error ends the slice early)
    // and says why it stopped; after a final end it keeps reporting that end.
    SliceEnd resume(std::uint64_t steps = kWholeRun);
    // Runs for about [time]: slices of [stepsPerClockRead] steps until the time is spent
    // (then SliceEnd::Budget) or a slice ends otherwise. The time is checked between
    // slices only, so one long step (a big file, a long text) may overrun it.
    SliceEnd resumeFor(std::chrono::nanoseconds time, std::uint64_t stepsPerClockRead = 20000);
    // The dialog the last slice stopped at (SliceEnd::InputBox, SliceEnd::MessageBox).
    const std::string& request() const { return m_interpreter.request(); }
    // The input box's answer ("" for Cancel).
    void answer(std::string text);
    // Ends the run where it stands, between two opcodes (the window was closed).
    void stop();

    bool finished() const { return m_finished; }
    const RunResult& result() const { return m_result; }
    Interpreter& interpreter() { return m_interpreter; }

private:
    SliceEnd failed(const RunError& error);
    SliceEnd finish(SliceEnd end);

    Interpreter& m_interpreter;
    std::function<void(const RunError&)> m_firstError;
    bool m_started = false;
    bool m_restarted = false;
    bool m_finished = false;
    SliceEnd m_end = SliceEnd::RanPastEnd;
    RunResult m_result;
};

// Drives [session] to its end in one loop, in slices of [stepsPerSlice] steps (as a window
// cuts them): yields go to host.pumpEvents(), dialogs to
// host.inputBox() and host.messageBox(); a WindowClosed from them ends the run.
RunResult runToEnd(Session& session, Host& host, std::uint64_t stepsPerSlice = kWholeRun);

// A whole run through the interpreter's own host: Session and runToEnd in one call.
RunResult runWithRestart(Interpreter& interpreter, const std::function<void(const RunError&)>& firstError = {});

// The state dump: registers, every non-empty cell with its text escaped, the end status.
std::string stateDump(const Interpreter& interpreter, const RunResult& result);

// The status word of the dump's last line: ok, ended, steps or "error KIND".
std::string statusText(const RunResult& result);

}  // namespace runner
