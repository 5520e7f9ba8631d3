#include "runner/session.h"

#include "moxy/escape.h"

#include <cstdio>

namespace runner {

Session::Session(Interpreter& interpreter, std::function<void(const RunError&)> firstError)
    : m_interpreter(interpreter), m_firstError(std::move(firstError)) {}

SliceEnd Session::finish(SliceEnd end) {
    m_finished = true;
    m_end = end;
    switch (end) {
    case SliceEnd::RanPastEnd:
        m_result.status = RunResult::Status::RanPastEnd;
        break;
    case SliceEnd::StepLimit:
        m_result.status = RunResult::Status::StepLimit;
        break;
    case SliceEnd::Failed:
        m_result.status = RunResult::Status::Error;
        break;
    default:
        m_result.status = RunResult::Status::Ended;
        break;
    }
    return end;
}

SliceEnd Session::failed(const RunError& error) {
    if (m_restarted) {
        m_result.error = error;
        return finish(SliceEnd::Failed);
    }
    m_restarted = true;
    if (m_firstError)
        m_firstError(error);
    m_interpreter.begin();
    return SliceEnd::Budget;
}

SliceEnd Session::resume(std::uint64_t steps) {
    if (m_finished)
        return m_end;
    if (!m_started) {
        m_started = true;
        m_interpreter.begin();
    }
    try {
        const SliceEnd end = m_interpreter.resume(steps);
        return isFinal(end) ? finish(end) : end;
    } catch (const RunError& error) {
        return failed(error);
    }
}

SliceEnd Session::resumeFor(std::chrono::nanoseconds time, std::uint64_t stepsPerClockRead) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    for (;;) {
        const SliceEnd end = resume(stepsPerClockRead);
        if (end != SliceEnd::Budget || std::chrono::steady_clock::now() >= deadline)
            return end;
    }
}

void Session::answer(std::string text) {
    try {
        m_interpreter.answer(std::move(text));
    } catch (const RunError& error) {
        failed(error);
    }
}

void Session::stop() {
    if (!m_finished)
        finish(SliceEnd::Ended);
}

RunResult runToEnd(Session& session, Host& host, std::uint64_t stepsPerSlice) {
    try {
        for (;;) {
            switch (session.resume(stepsPerSlice)) {
            case SliceEnd::Yielded:
                host.pumpEvents();
                break;
            case SliceEnd::InputBox:
                session.answer(host.inputBox(session.request()));
                break;
            case SliceEnd::MessageBox:
                host.messageBox(session.request());
                break;
            case SliceEnd::Budget:
                break;
            default:
                return session.result();
            }
        }
    } catch (const WindowClosed&) {
        session.stop();
    }
    return session.result();
}

RunResult runWithRestart(Interpreter& interpreter, const std::function<void(const RunError&)>& firstError) {
    Session session(interpreter, firstError);
    return runToEnd(session, interpreter.host());
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
