// A whole run of a MOXY program as the start-up makes it: RUN, one restart after a
// first run-time error, the end status; and the state dump of `--dump`. No Qt.
#pragma once

#include "runner/interpreter.h"

#include <optional>
#include <string>

namespace runner {

struct RunResult {
    enum class Status : std::uint8_t { RanPastEnd, Ended, StepLimit, Error };
    Status status = Status::RanPastEnd;
    std::optional<RunError> error;  // the second run-time error, for Status::Error
};

// Runs the program; a first run-time error runs it once more from its first character
// with cells, registers and drawing as the failed run left them. [firstError], when
// given, is told of that first error.
RunResult runWithRestart(Interpreter& interpreter, const std::function<void(const RunError&)>& firstError = {});

// The state dump: registers, every non-empty cell with its text escaped, the end status.
std::string stateDump(const Interpreter& interpreter, const RunResult& result);

// The status word of the dump's last line: ok, ended, steps or "error KIND".
std::string statusText(const RunResult& result);

}  // namespace runner
