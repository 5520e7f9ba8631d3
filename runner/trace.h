// The runner's trace (`--trace`): one readable line per executed instruction, with
// runs of literal characters gathered into one quoted line. No Qt.
#pragma once

#include "runner/interpreter.h"

#include <cstdio>
#include <functional>
#include <string>

namespace runner {

class TraceWriter {
public:
    // Lines go to [out]; [note], when given, adds e.g. a source location for a position.
    TraceWriter(const Interpreter& interpreter, std::function<void(const std::string&)> out,
                std::function<std::string(std::size_t position)> note = {});
    ~TraceWriter();

    void step(const TraceStep& step);
    void flush();  // writes a pending literal run

private:
    void line(std::size_t position, const std::string& text);

    const Interpreter& m_interpreter;
    std::function<void(const std::string&)> m_out;
    std::function<std::string(std::size_t)> m_note;
    std::size_t m_literalStart = 0;  // 0: no pending run
    std::size_t m_literalEnd = 0;
    int m_literalCell = 0;
};

}  // namespace runner
