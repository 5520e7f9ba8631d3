// What the debugger needs of a running MOXY program: execute one step, say where it is,
// show and change registers and cells, and start the program again after a first
// run-time error. The runner implements it on its interpreter (window or headless);
// tests implement it with a scripted fake. The debugging logic (breakpoints, statement
// and frame steps, pause, the stop before the restart) lives in Session and knows the
// machine only through this interface. No Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace debugger {

// What one step did.
struct StepResult {
    enum class Kind : std::uint8_t {
        Continued,   // one step executed; the program goes on at position()
        Yielded,     // the step executed opcode 252 (window events were let through)
        Waiting,     // nothing executed: the step waits for something outside, e.g. the
                     // answer of a dialog the window shows; the same step is tried again
        RanPastEnd,  // execution ran past the last character (the RUN call returned)
        Ended,       // opcode 24, or the window was closed
        Error,       // a run-time error; position() is the position of the failed step
    };
    Kind kind = Kind::Continued;
    std::string errorText;  // for Error: the error's report, e.g. "type mismatch: ..."
    std::string errorKind;  // for Error: the hyphenated kind, e.g. "type-mismatch"
};

// The registers as the variables view shows them.
struct Registers {
    int pointer = 255;
    int par1 = 0;
    int par2 = 0;
    int res = 0;
    int varTop = 255;
    std::int32_t picSelect = 0;
};

class Debuggee {
public:
    virtual ~Debuggee() = default;

    // Executes one step of the execution loop (a variable reference, an opcode with its
    // operand, a literal or an ignored character) at position().
    virtual StepResult step() = 0;
    // A new RUN call after a first run-time error: label table rebuilt, position 1; cells
    // and registers keep what the failed run left.
    virtual void restart() = 0;

    // 1-based position of the character the next step executes.
    virtual std::size_t position() const = 0;
    // Length of the program text.
    virtual std::size_t programSize() const = 0;

    virtual Registers registers() const = 0;
    // The text of cell [cell] ("" for a cell that does not exist); valid until the
    // program or setCellText changes the machine.
    virtual const std::string& cellText(int cell) const = 0;
    // Sets the text of cell [cell]; false when the cell does not exist (above VarTop).
    virtual bool setCellText(int cell, const std::string& text) = 0;

    // Called after every run of steps and at every stop: a window shows the current
    // drawing. Nothing to do without one.
    virtual void show() {}
};

// What a launch request asks for. [program] is the MOXY file's path; the rest are the
// runner's options of the same names.
struct LaunchOptions {
    std::string program;
    bool headless = false;
    bool safe = false;
    std::optional<std::uint64_t> seed;
    std::string keys;    // headless key script, as --keys
    std::string screen;  // "WxH", as --screen
    // The answers of the program's input boxes, in turn, for a run without a window (which
    // never reads standard input: that is the protocol's); an input box beyond them is
    // cancelled.
    std::vector<std::string> inputs;
};

// Makes the debuggee for a launch request; returns null and sets [error] (e.g. "cannot
// read demo.moxy: No such file or directory") when the program cannot be loaded.
using DebuggeeFactory = std::function<std::unique_ptr<Debuggee>(const LaunchOptions& options, std::string& error)>;

}  // namespace debugger
