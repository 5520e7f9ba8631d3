#include "runner/trace.h"

#include "moxy/format.h"
#include "moxy/listing.h"

namespace runner {

namespace {
// A cell's text after an instruction: quoted, a long one cut with its length.
std::string shownValue(const std::string& text) {
    moxy::Escaping escaping = moxy::kQuoted;
    escaping.limit = 60;
    escaping.countCut = true;
    return moxy::escaped(text, escaping);
}
}  // namespace

TraceWriter::TraceWriter(const Interpreter& interpreter, std::function<void(const std::string&)> out,
                         std::function<std::string(std::size_t)> note)
    : m_interpreter(interpreter), m_out(std::move(out)), m_note(std::move(note)) {}

TraceWriter::~TraceWriter() { flush(); }

void TraceWriter::line(std::size_t position, const std::string& text) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%7zu  ", position);
    std::string full = prefix + text;
    if (m_note) {
        const std::string note = m_note(position);
        if (!note.empty())
            full += "    ; " + note;
    }
    m_out(full + "\n");
}

void TraceWriter::flush() {
    if (m_literalStart == 0)
        return;
    const std::string_view program = m_interpreter.program();
    line(m_literalStart, "Text " + moxy::quoted(program.substr(m_literalStart - 1, m_literalEnd - m_literalStart + 1)) +
                             "  -> appended to V(" + std::to_string(m_literalCell) + ")");
    m_literalStart = 0;
}

void TraceWriter::step(const TraceStep& step) {
    const std::uint8_t code = step.code;
    if (moxy::isLiteral(code)) {
        if (m_literalStart != 0 && step.position == m_literalEnd + 1 && step.cell == m_literalCell) {
            m_literalEnd = step.position;
        } else {
            flush();
            m_literalStart = m_literalEnd = step.position;
            m_literalCell = step.cell;
        }
        return;
    }
    flush();
    if (code == moxy::kLabelMarker) {
        line(step.position, "label marker");
        return;
    }
    const moxy::OpInfo* op = moxy::opInfo(code);
    if (!op) {
        line(step.position, "Ignored " + std::to_string(code));
        return;
    }
    std::string text(op->name);
    const int p = step.cell;
    moxy::Writes writes = op->writes;
    switch (op->operand) {
    case moxy::Operand::CellDigits:
        text += " " + std::to_string(p);
        break;
    case moxy::Operand::KeySelector: {
        const std::string_view key = moxy::keyName(step.operand);
        text += " " + (key.empty() ? std::to_string(step.operand) + " (no key)" : std::string(key));
        break;
    }
    case moxy::Operand::SubCode: {
        const moxy::SubCodeInfo* sub = moxy::subCodeInfo(step.operand);
        text += " " + (sub ? std::string(sub->name) : std::to_string(step.operand) + " (does nothing)");
        writes = sub ? sub->writes : moxy::Writes::Nothing;
        break;
    }
    case moxy::Operand::None:
        break;
    }
    // What the registers and the flow of control did, for the instructions that change them.
    switch (static_cast<moxy::Op>(code)) {
    case moxy::Op::SetPar1:
    case moxy::Op::SetPar2:
    case moxy::Op::SetRes:
        text += " " + std::to_string(p);
        break;
    case moxy::Op::IfEqual:
    case moxy::Op::IfGreater:
    case moxy::Op::IfLess:
        text += " V(" + std::to_string(m_interpreter.par1()) + "), V(" + std::to_string(m_interpreter.par2()) + "): ";
        text += step.skippedTo ? "fails, continues at " + std::to_string(step.skippedTo) : std::string("holds");
        break;
    case moxy::Op::Jump:
        text += " to " + std::to_string(step.skippedTo);
        break;
    default:
        break;
    }
    switch (writes) {
    case moxy::Writes::Pointer:
        text += "  -> V(" + std::to_string(p) + ") = " + shownValue(m_interpreter.cell(p));
        break;
    case moxy::Writes::Res:
        text += "  -> V(" + std::to_string(m_interpreter.res()) + ") = " +
                shownValue(m_interpreter.cell(m_interpreter.res()));
        break;
    case moxy::Writes::Nothing:
        break;
    }
    line(step.position, text);
}

}  // namespace runner
