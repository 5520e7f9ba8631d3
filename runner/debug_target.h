// The runner's side of the debugger: a MOXY program on the interpreter as a
// debugger::Debuggee, one step at a time, with its dialogs answered without ever
// blocking the driver. Without a window the dialogs become the session's output (an
// input box takes the launch's scripted answers or is cancelled: standard input is the
// protocol's); in the runner window they are real dialogs the step waits for.
#pragma once

#include "debugger/debuggee.h"
#include "runner/host.h"
#include "runner/interpreter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace runner {

class RunnerWindow;

// The program's dialogs under the debugger. open() shows one and returns at once;
// answered() says whether it is done.
class DebugDialogs {
public:
    virtual ~DebugDialogs() = default;
    // Opens an input box with [text] as its prompt ([input]) or a message box showing [text].
    virtual void open(bool input, const std::string& text) = 0;
    // True once the dialog opened last is done; [answer] is the input box's text ("" for Cancel).
    virtual bool answered(std::string& answer) = 0;
    // Closes a dialog still open (the program starts again or ends).
    virtual void close() {}
};

// Dialogs without a window: a message box's text and an input box's prompt go to
// [output]; the input boxes take [inputs] in turn and are cancelled after them.
std::unique_ptr<DebugDialogs> scriptedDialogs(std::function<void(const std::string&)> output,
                                              std::vector<std::string> inputs);
// The runner window's dialogs, shown without a nested event loop; the window stays
// closable while one is open.
std::unique_ptr<DebugDialogs> windowDialogs(RunnerWindow& window);

class DebugTarget : public debugger::Debuggee {
public:
    // What the target needs of the place the program runs in.
    struct Surroundings {
        std::unique_ptr<Host> host;           // owned: the window or the headless host
        std::unique_ptr<DebugDialogs> dialogs;
        std::function<void()> yield;          // opcode 252 ran: keys, painting
        std::function<bool()> closed;         // true once the window is closed
        std::function<void()> show;           // show the current drawing
    };
    DebugTarget(std::string program, Surroundings surroundings, InterpreterOptions options);
    ~DebugTarget() override;

    debugger::StepResult step() override;
    void restart() override;
    std::size_t position() const override;
    std::size_t programSize() const override { return m_interpreter.program().size(); }
    debugger::Registers registers() const override;
    const std::string& cellText(int cell) const override { return m_interpreter.cell(cell); }
    bool setCellText(int cell, const std::string& text) override;
    void show() override;

    Interpreter& interpreter() { return m_interpreter; }

private:
    debugger::StepResult finishDialog();

    Surroundings m_surroundings;
    Interpreter m_interpreter;
    enum class Dialog : std::uint8_t { None, Input, Message };
    Dialog m_dialog = Dialog::None;
    std::size_t m_dialogPosition = 0;  // the step that opened the dialog
    std::size_t m_errorPosition = 0;   // the failed step's position until the restart
};

}  // namespace runner
