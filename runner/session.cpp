#include "runner/session.h"

#include "moxy/escape.h"

#include <cstdio>

namespace runner {

namespace {
RunResult::Status statusOf(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::RanPastEnd:
        return RunResult::Status::RanPastEnd;
    case RunOutcome::Ended:
        return RunResult::Status::Ended;
    case RunOutcome::StepLimit:
        return RunResult::Status::StepLimit;
    }
    return RunResult::Status::Ended;
}
}  // namespace

RunResult runWithRestart(Interpreter& interpreter, const std::function<void(const RunError&)>& firstError) {
    RunResult result;
    try {
        result.status = statusOf(interpreter.run());
        return result;
    } catch (const RunError& error) {
        if (firstError)
            firstError(error);
    }
    try {
        result.status = statusOf(interpreter.run());
    } catch (const RunError& error) {
        result.status = RunResult::Status::Error;
        result.error = error;
    }
    return result;
}

std::string statusText(const RunResult& result) {
    switch (result.status) {
    case RunResult::Status::RanPastEnd:
        return "ok";
    case RunResult::Status::Ended:
        return "ended";
    case RunResult::Status::StepLimit:
        return "steps";
    case RunResult::Status::Error:
        return "error " + std::string(kindName(result.error->kind()));
    }
    return "ok";
}

std::string stateDump(const Interpreter& interpreter, const RunResult& result) {
    std::string out;
    out += "Pointer " + std::to_string(interpreter.pointer()) + "\n";
    out += "Par1 " + std::to_string(interpreter.par1()) + "\n";
    out += "Par2 " + std::to_string(interpreter.par2()) + "\n";
    out += "Res " + std::to_string(interpreter.res()) + "\n";
    out += "VarTop " + std::to_string(interpreter.varTop()) + "\n";
    out += "PicSelect " + std::to_string(interpreter.picSelect()) + "\n";
    for (int cell = 0; cell <= interpreter.varTop(); ++cell) {
        const std::string& text = interpreter.cell(cell);
        if (!text.empty())
            out += "cell " + std::to_string(cell) + " " + moxy::escaped(text, moxy::kDumpText) + "\n";
    }
    out += "end " + statusText(result) + "\n";
    return out;
}

}  // namespace runner
