// A small MOXY-like machine for the debugger's tests, fuzzer and fake adapter: a cell reference
// (1 and two digits), literals (32..126) appended to the cell, clear (27), yield (252), end (24),
// a jump to the start (254) and an opcode (7) that fails while [failures] lasts.
#pragma once

#include "debugger/debuggee.h"

#include <fstream>
#include <map>
#include <sstream>

namespace testing_support {

class FakeDebuggee : public debugger::Debuggee {
public:
    FakeDebuggee(std::string program, int failures) : m_program(std::move(program)), m_failures(failures) {}

    debugger::StepResult step() override {
        using Kind = debugger::StepResult::Kind;
        const std::uint8_t code = codeAt(m_position);
        if (m_position > m_program.size() || code == 24)
            return {code == 24 ? Kind::Ended : Kind::RanPastEnd, {}, {}};
        if (code == 7 && m_failures-- > 0)
            return {Kind::Error, "type mismatch: \"x\" is not a number", "type-mismatch"};
        ++m_position;
        if (code == 1) {
            m_registers.pointer = codeAt(m_position) * 254 + codeAt(m_position + 1);
            m_registers.varTop = std::max(m_registers.varTop, m_registers.pointer);
            m_position += 2;
        } else if (code == 27 || (code >= 32 && code <= 126)) {
            m_cells[m_registers.pointer] = code == 27 ? std::string() : m_cells[m_registers.pointer] + char(code);
        } else if (code == 254) {
            m_position = 1;
        }
        return {code == 252 ? Kind::Yielded : Kind::Continued, {}, {}};
    }
    void restart() override { m_position = 1; }
    std::size_t position() const override { return m_position; }
    std::size_t programSize() const override { return m_program.size(); }
    debugger::Registers registers() const override { return m_registers; }
    const std::string& cellText(int cell) const override { return m_cells[cell]; }
    bool setCellText(int cell, const std::string& text) override {
        return cell >= 0 && cell <= m_registers.varTop && (m_cells[cell] = text, true);
    }

private:
    std::uint8_t codeAt(std::size_t position) const {
        return position >= 1 && position <= m_program.size() ? static_cast<std::uint8_t>(m_program[position - 1]) : 0;
    }

    std::string m_program;
    int m_failures;
    std::size_t m_position = 1;
    debugger::Registers m_registers;
    mutable std::map<int, std::string> m_cells;
};

inline debugger::DebuggeeFactory fakeFactory(int failures = 1000000) {
    return [failures](const debugger::LaunchOptions& options, std::string& error) -> std::unique_ptr<debugger::Debuggee> {
        std::ostringstream bytes;
        bytes << std::ifstream(options.program, std::ios::binary).rdbuf();
        error = "cannot read " + options.program;
        return std::ifstream(options.program) ? std::make_unique<FakeDebuggee>(bytes.str(), failures) : nullptr;
    };
}

}  // namespace testing_support
