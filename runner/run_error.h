// Run-time errors of MOXY programs. A failing conversion or host call throws RunError;
// the interpreter adds where it happened; only the start-up catches it (one restart,
// then the report). Every kind has one hyphenated name, used by `--dump` and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace runner {

#define MOXY_RUN_ERRORS(X)                                                   \
    X(TypeMismatch, "type-mismatch", "type mismatch")                        \
    X(Overflow, "overflow", "overflow")                                      \
    X(InvalidArgument, "invalid-argument", "invalid argument")               \
    X(FileNotFound, "file-not-found", "file not found")                      \
    X(FileError, "file-error", "file cannot be read or written")             \
    X(NotAPicture, "not-a-picture", "not a picture")                         \
    X(LabelNotFound, "label-not-found", "label not found")                   \
    X(CellOutOfRange, "cell-out-of-range", "cell out of range")              \
    X(TextTooLong, "text-too-long", "text too long")                         \
    X(HolderExists, "holder-exists", "picture holder already exists")        \
    X(NoSuchHolder, "no-such-holder", "no such picture holder")              \
    X(EmptyHolder, "empty-holder", "picture holder holds no picture")        \
    X(ProgramNotStarted, "program-not-started", "program cannot be started") \
    X(Refused, "refused", "refused")                                         \
    X(NotRegularFile, "not-a-regular-file", "not a regular file")            \
    X(PictureTooLarge, "picture-too-large", "picture too large")

// How many kinds the table has.
inline constexpr std::size_t kRunErrorKinds = 0
#define MOXY_X(name, id, title) +1
    MOXY_RUN_ERRORS(MOXY_X)
#undef MOXY_X
    ;

class RunError : public std::runtime_error {
public:
    enum class Kind : std::uint8_t {
#define MOXY_X(name, id, title) name,
        MOXY_RUN_ERRORS(MOXY_X)
#undef MOXY_X
    };

    RunError(Kind kind, std::string detail);

    Kind kind() const { return m_kind; }
    const std::string& detail() const { return m_detail; }

    // Where the error happened: 1-based position and the opcode's byte. Set by the
    // interpreter as the error leaves the execution loop.
    void setLocation(std::size_t position, std::uint8_t opcode);
    std::size_t position() const { return m_position; }
    std::uint8_t opcode() const { return m_opcode; }

private:
    Kind m_kind;
    std::string m_detail;
    std::size_t m_position = 0;
    std::uint8_t m_opcode = 0;
};

std::string_view kindName(RunError::Kind kind);   // "type-mismatch"
std::string_view kindTitle(RunError::Kind kind);  // "type mismatch"

// The error report: kind, detail, position and opcode, in one line.
std::string report(const RunError& error);

// Raised by a host when the window was closed during a yield or a dialog: the run ends
// at once, as after opcode 24. Not an error.
struct WindowClosed {};

}  // namespace runner
