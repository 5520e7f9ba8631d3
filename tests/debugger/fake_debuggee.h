// A small MOXY-like machine for the debugger's tests and fuzzer: variable references
// (code 1 and two cell digits), clear (27), literals (32..126), yield (252), end (24), a
// jump to the start (254) and a failing opcode (7) that raises a run-time error while
// [failures] lasts. Every step is one character or one reference, as in the runner.
#pragma once

#include "debugger/debuggee.h"

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace testing_support {

class FakeDebuggee : public debugger::Debuggee {
public:
    explicit FakeDebuggee(std::string program) : m_program(std::move(program)) {}

    int failures = 1000000;  // how many times opcode 7 fails
    int restarts = 0;

    debugger::StepResult step() override {
        using Kind = debugger::StepResult::Kind;
        if (m_position > m_program.size())
            return {Kind::RanPastEnd, {}, {}};
        const auto code = static_cast<std::uint8_t>(m_program[m_position - 1]);
        switch (code) {
        case 1: {
            const int hi = digit(m_position + 1);
            const int lo = digit(m_position + 2);
            m_registers.pointer = hi * 254 + lo;
            m_registers.varTop = std::max(m_registers.varTop, m_registers.pointer);
            m_position += 3;
            return {};
        }
        case 7:
            if (failures > 0) {
                --failures;
                return {Kind::Error, "type mismatch: \"x\" is not a number", "type-mismatch"};
            }
            break;
        case 24:
            return {Kind::Ended, {}, {}};
        case 27:
            m_cells[m_registers.pointer].clear();
            break;
        case 252:
            ++m_position;
            return {Kind::Yielded, {}, {}};
        case 254:
            m_position = 1;
            return {};
        default:
            if (code >= 32 && code <= 126)
                m_cells[m_registers.pointer] += static_cast<char>(code);
            break;
        }
        ++m_position;
        return {};
    }
    void restart() override {
        ++restarts;
        m_position = 1;
    }
    std::size_t position() const override { return m_position; }
    std::size_t programSize() const override { return m_program.size(); }
    std::uint8_t codeAt(std::size_t position) const {
        return position >= 1 && position <= m_program.size() ? static_cast<std::uint8_t>(m_program[position - 1]) : 0;
    }
    debugger::Registers registers() const override { return m_registers; }
    const std::string& cellText(int cell) const override {
        static const std::string kEmpty;
        const auto found = m_cells.find(cell);
        return found == m_cells.end() ? kEmpty : found->second;
    }
    bool setCellText(int cell, const std::string& text) override {
        if (cell < 0 || cell > m_registers.varTop)
            return false;
        m_cells[cell] = text;
        return true;
    }

private:
    int digit(std::size_t position) const {
        const std::uint8_t code = codeAt(position);
        return code >= 1 && code <= 254 ? code : 0;
    }

    std::string m_program;
    std::size_t m_position = 1;
    debugger::Registers m_registers;
    std::map<int, std::string> m_cells;
};

// A factory that reads the program from the launched file, as the runner does.
inline debugger::DebuggeeFactory fakeFactory(FakeDebuggee** made = nullptr, int failures = 1000000) {
    return [made, failures](const debugger::LaunchOptions& options, std::string& error)
               -> std::unique_ptr<debugger::Debuggee> {
        std::ifstream file(options.program, std::ios::binary);
        if (!file) {
            error = "cannot read " + options.program;
            return nullptr;
        }
        std::ostringstream bytes;
        bytes << file.rdbuf();
        auto debuggee = std::make_unique<FakeDebuggee>(bytes.str());
        debuggee->failures = failures;
        if (made)
            *made = debuggee.get();
        return debuggee;
    };
}

}  // namespace testing_support
