// The start-up of both compiler programs: the command line, then either a compile without
// a window (--compile) or the editor window, with a file named on the command line loaded.
#pragma once

#include "editor/program.h"

#include <QString>

#include <string>

namespace editor {

class EditorWindow;

// Runs [program] with the command line [argc], [argv]; [version] for --version. Returns
// the exit status.
int programMain(int argc, char** argv, Program program, const char* version);

// Loads the file named by [argument] (quoted or not) into [window]'s text box, one
// character per byte. False, with the reason in [reason], when the file cannot be read;
// the text box then keeps its text.
bool loadStartFile(EditorWindow& window, const QString& argument, std::string* reason = nullptr);

}  // namespace editor
