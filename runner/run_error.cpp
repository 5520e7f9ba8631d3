#include "runner/run_error.h"

#include "moxy/opcodes.h"

namespace runner {

namespace {
struct KindInfo {
    std::string_view id;
    std::string_view title;
};
constexpr KindInfo kKinds[] = {
#define MOXY_X(name, id, title) {id, title},
    MOXY_RUN_ERRORS(MOXY_X)
#undef MOXY_X
};
}  // namespace

RunError::RunError(Kind kind, std::string detail)
    : std::runtime_error(std::string(kindTitle(kind)) + ": " + detail), m_kind(kind), m_detail(std::move(detail)) {}

void RunError::setLocation(std::size_t position, std::uint8_t opcode) {
    m_position = position;
    m_opcode = opcode;
}

std::string_view kindName(RunError::Kind kind) { return kKinds[static_cast<int>(kind)].id; }
std::string_view kindTitle(RunError::Kind kind) { return kKinds[static_cast<int>(kind)].title; }

std::string report(const RunError& error) {
    std::string text = "run-time error (";
    text.append(kindName(error.kind())).append("): ").append(error.detail());
    if (error.position() > 0) {
        text.append(" [position ").append(std::to_string(error.position()));
        text.append(", opcode ").append(std::to_string(error.opcode()));
        if (const moxy::OpInfo* op = moxy::opInfo(error.opcode()))
            text.append(" ").append(op->name);
        text.append("]");
    }
    return text;
}

}  // namespace runner
