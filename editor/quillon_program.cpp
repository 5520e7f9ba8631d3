// The Quillon compiler as the editor shell sees it. Separate from the VORNA program, so
// that each executable links only its own compiler.
#include "editor/program.h"
#include "quillon/compiler.h"

#include <QtCore/qglobal.h>

// Resources of a static library must be registered by hand, outside every namespace.
static void registerResources() { Q_INIT_RESOURCE(editor); }

namespace editor {

Program quillonProgram() {
    registerResources();
    Program program;
    program.name = QStringLiteral("quillon");
    program.title = QStringLiteral("Quillon Compiler");
    program.extension = QStringLiteral(".qlnp");
    program.compileCaption = QStringLiteral("Compile to MOXY");
    program.iconFile = QStringLiteral(":/editor/quillon.png");
    program.description = QStringLiteral("The Quillon compiler: an editor for Quillon programs that compiles them "
                                         "into MOXY files.");
    program.compile = quillon::compile;
    program.highlight = highlightQuillon;
    return program;
}

}  // namespace editor
