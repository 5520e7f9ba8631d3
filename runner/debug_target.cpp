#include "runner/debug_target.h"

#include "runner/run_error.h"

namespace runner {

namespace {

debugger::StepResult::Kind kindOf(SliceEnd end) {
    using Kind = debugger::StepResult::Kind;
    switch (end) {
    case SliceEnd::Yielded:
        return Kind::Yielded;
    case SliceEnd::Budget:
    case SliceEnd::InputBox:
    case SliceEnd::MessageBox:
        return Kind::Continued;
    case SliceEnd::RanPastEnd:
        return Kind::RanPastEnd;
    default:
        return Kind::Ended;
    }
}

class ScriptedDialogs : public DebugDialogs {
public:
    ScriptedDialogs(std::function<void(const std::string&)> output, std::vector<std::string> inputs)
        : m_output(std::move(output)), m_inputs(std::move(inputs)) {}

    void open(bool input, const std::string& text) override {
        if (!input) {
            m_output(text + "\n");
            return;
        }
        if (m_next < m_inputs.size()) {
            m_answer = m_inputs[m_next++];
            m_output("input box: " + text + "\nanswered: " + m_answer + "\n");
        } else {
            m_answer.clear();
            m_output("input box: " + text + "\ncancelled (no answer left in the launch's inputs)\n");
        }
    }
    bool answered(std::string& answer) override {
        answer = m_answer;
        return true;
    }

private:
    std::function<void(const std::string&)> m_output;
    std::vector<std::string> m_inputs;
    std::size_t m_next = 0;
    std::string m_answer;
};

}  // namespace

std::unique_ptr<DebugDialogs> scriptedDialogs(std::function<void(const std::string&)> output,
                                              std::vector<std::string> inputs) {
    return std::make_unique<ScriptedDialogs>(std::move(output), std::move(inputs));
}

DebugTarget::DebugTarget(std::string program, Surroundings surroundings, InterpreterOptions options)
    : m_surroundings(std::move(surroundings)),
      m_interpreter(std::move(program), *m_surroundings.host, std::move(options)) {
    m_interpreter.begin();
}

DebugTarget::~DebugTarget() {
    // The dialogs may belong to the window: they go first.
    m_surroundings.dialogs.reset();
}

debugger::StepResult DebugTarget::step() {
    using Kind = debugger::StepResult::Kind;
    debugger::StepResult result;
    if ((m_surroundings.closed && m_surroundings.closed()) || !m_interpreter.running()) {
        result.kind = Kind::Ended;
        return result;
    }
    try {
        if (m_dialog != Dialog::None)
            return finishDialog();
        const std::size_t start = m_interpreter.position();
        const SliceEnd end = m_interpreter.resume(1);
        switch (end) {
        case SliceEnd::Yielded:
            if (m_surroundings.yield)
                m_surroundings.yield();
            result.kind = Kind::Yielded;
            break;
        case SliceEnd::InputBox:
        case SliceEnd::MessageBox:
            // The step is done when the dialog is: at once without a window.
            m_dialog = end == SliceEnd::InputBox ? Dialog::Input : Dialog::Message;
            m_dialogPosition = start;
            m_surroundings.dialogs->open(m_dialog == Dialog::Input, m_interpreter.request());
            return finishDialog();
        default:
            result.kind = kindOf(end);
            break;
        }
    } catch (const RunError& error) {
        m_errorPosition = error.position();
        result.kind = Kind::Error;
        result.errorText = error.what();  // "type mismatch: the text ..."
        result.errorKind = std::string(kindName(error.kind()));
    } catch (const WindowClosed&) {
        result.kind = Kind::Ended;
    }
    return result;
}

debugger::StepResult DebugTarget::finishDialog() {
    debugger::StepResult result;
    std::string answer;
    if (!m_surroundings.dialogs->answered(answer)) {
        result.kind = debugger::StepResult::Kind::Waiting;
        return result;
    }
    const Dialog dialog = m_dialog;
    m_dialog = Dialog::None;
    if (dialog == Dialog::Input)
        m_interpreter.answer(std::move(answer));
    else  // completes the message box's step and runs nothing more, unless the program ends there
        result.kind = kindOf(m_interpreter.resume(0));
    return result;
}

void DebugTarget::restart() {
    m_surroundings.dialogs->close();
    m_dialog = Dialog::None;
    m_errorPosition = 0;
    m_interpreter.begin();
}

std::size_t DebugTarget::position() const {
    if (m_errorPosition != 0)
        return m_errorPosition;
    // While a dialog waits, the program stands at the step that opened it.
    return m_dialog != Dialog::None ? m_dialogPosition : m_interpreter.position();
}

debugger::Registers DebugTarget::registers() const {
    debugger::Registers registers;
    registers.pointer = m_interpreter.pointer();
    registers.par1 = m_interpreter.par1();
    registers.par2 = m_interpreter.par2();
    registers.res = m_interpreter.res();
    registers.varTop = m_interpreter.varTop();
    registers.picSelect = m_interpreter.picSelect();
    return registers;
}

bool DebugTarget::setCellText(int cell, const std::string& text) {
    try {
        return m_interpreter.setCell(cell, text);
    } catch (const RunError&) {
        return false;
    }
}

void DebugTarget::show() {
    if (m_surroundings.show)
        m_surroundings.show();
}

}  // namespace runner
