// The VORNA compiler as the editor shell sees it. Separate from the Quillon program, so
// that each executable links only its own compiler.
#include "editor/program.h"
#include "vorna/compiler.h"

#include <utility>

namespace editor {

Program vornaProgram() {
    Program program;
    program.name = QStringLiteral("vorna");
    program.title = QStringLiteral("VORNA Compiler");
    program.extension = QStringLiteral(".vornaproj");
    program.compileCaption = QStringLiteral("Compile to ZAPL");
    program.description = QStringLiteral("The VORNA compiler: an editor for VORNA programs that compiles them "
                                         "into MOXY files.");
    // VORNA reports nothing and never abandons a compile.
    program.compile = [](std::string_view source, const ReportFunction&, const ProgressFunction& progress) {
        vorna::CompileResult result = vorna::compile(source, progress);
        Compiled compiled;
        compiled.code = std::move(result.code);
        compiled.map.reserve(result.map.size());
        compiled.map = std::move(result.map);
        return compiled;
    };
    program.highlight = highlightVorna;
    return program;
}

}  // namespace editor
