// The Quillon compiler as the editor shell sees it. Separate from the VORNA program, so
// that each executable links only its own compiler.
#include "editor/program.h"
#include "quillon/compiler.h"

#include <QtCore/qglobal.h>

#include <utility>

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
    program.compile = [](std::string_view source, const ReportFunction& report, const ProgressFunction& progress) {
        quillon::CompileResult result = quillon::compile(
            source,
            [&report](const quillon::Diagnostic& diagnostic) {
                if (report)
                    report(Message{diagnostic.line, diagnostic.column, diagnostic.text});
            },
            progress);
        Compiled compiled;
        compiled.code = std::move(result.code);
        compiled.abandoned = result.abandoned;
        compiled.caret = result.caret;
        compiled.map = std::move(result.map);
        return compiled;
    };
    program.highlight = highlightQuillon;
    return program;
}

}  // namespace editor
