// `quillon --compile` and `vorna --compile`: compiles a source file without a window and
// writes the MOXY file, its messages on standard error. No dialogs, no Qt Widgets.
#pragma once

#include "editor/program.h"

#include <QString>

#include <cstdio>

namespace editor {

// Exit statuses of the compiler programs.
enum ExitStatus {
    kExitWritten = 0,    // the MOXY file was written (messages may have been shown)
    kExitAbandoned = 1,  // a declaration error ended the compile; nothing was written
    kExitFileError = 2,  // SRC unreadable or OUT unwritable; also a command line we cannot use
};

struct CompileRequest {
    QString source;  // SRC; "-" reads standard input
    QString output;  // OUT; empty: SRC with its extension replaced by .moxy ("-" for "-")
    bool map = false;  // also write OUT.map: the header line, then "POSITION LINE COLUMN" per statement
};

// Compiles [request.source] with [program]; writes the code and CR LF to OUT ("-":
// [out]) and the messages as SRC:LINE:COLUMN: TEXT to [errors], the first thousand of
// them and then one line that counts the rest. An OUT (or OUT.map) that is SRC itself is
// refused before anything is compiled. Without --map, a stale OUT.map is deleted only when
// it starts with the source-map header line. Returns the exit status.
int compileFile(const Program& program, const CompileRequest& request, std::FILE* out, std::FILE* errors);

}  // namespace editor
