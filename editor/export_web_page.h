// The editors' "Export as web page": asks for a MOXY file (a name below the editor's
// folder, as Compile does) and has the runner write it as one web page beside it
// (`moxy --export-html NAME.moxy -o NAME.html`), then tells what was written or why not.
#pragma once

#include <QString>

class QMenu;

namespace editor {

class Dialogs;

// The runner that exports: `moxy` beside the editor's executable, else the one on PATH;
// empty when there is none.
QString runnerExecutable();

// Exports [moxyPath] with [runner] as a page beside it and tells the outcome.
void exportWebPage(const QString& runner, const QString& moxyPath, Dialogs& dialogs);

// Adds the menu item "Export as web page" to [menu].
void addExportWebPage(QMenu* menu, const QString& folder, Dialogs& dialogs);

}  // namespace editor
