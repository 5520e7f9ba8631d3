// The VORNA compiler as the editor shell sees it. Separate from the Quillon program, so
// that each executable links only its own compiler.
#include "editor/program.h"
#include "vorna/compiler.h"

namespace editor {

Program vornaProgram() {
    Program program;
    program.name = QStringLiteral("vorna");
    program.title = QStringLiteral("VORNA Compiler");
    program.extension = QStringLiteral(".vornaproj");
    program.compileCaption = QStringLiteral("Compile to ZAPL");
    program.description = QStringLiteral("The VORNA compiler: an editor for VORNA programs that compiles them "
                                         "into MOXY files.");
    // VORNA reports only warnings and never abandons a compile.
    program.compile = [](std::string_view source, const moxy::DiagnosticFunction& report,
                         const moxy::ProgressFunction& progress) { return vorna::compile(source, report, progress); };
    program.highlight = highlightVorna;
    return program;
}

}  // namespace editor
