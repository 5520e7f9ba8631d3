#include "editor/export_web_page.h"

#include "editor/dialogs.h"
#include "editor/program_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>

namespace editor {

namespace {
const QString kMoxyExtension = QStringLiteral(".moxy");
const QString kPrompt = QStringLiteral("Name of the MOXY file to export as a web page?");
}  // namespace

QString runnerExecutable() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/moxy");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("moxy"));
}

void exportWebPage(const QString& runner, const QString& moxyPath, Dialogs& dialogs) {
    if (runner.isEmpty()) {
        dialogs.tell(QStringLiteral("Unable to export the web page: the runner moxy is not installed."));
        return;
    }
    QString page = moxyPath;
    if (page.endsWith(kMoxyExtension))
        page.chop(kMoxyExtension.size());
    page += QStringLiteral(".html");
    QProcess process;
    process.start(runner, {QStringLiteral("--export-html"), moxyPath, QStringLiteral("-o"), page});
    const bool finished = process.waitForFinished(60000);
    const QString account = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        dialogs.tell(QStringLiteral("Unable to export the web page %1:\n%2")
                         .arg(QDir::toNativeSeparators(page), account.isEmpty() ? process.errorString() : account));
        return;
    }
    dialogs.tell(QStringLiteral("Wrote the web page %1.\n%2").arg(QDir::toNativeSeparators(page), account));
}

void addExportWebPage(QMenu* menu, const QString& folder, Dialogs& dialogs) {
    QAction* action = menu->addAction(QStringLiteral("Export as web page"));
    action->setObjectName(QStringLiteral("exportWebPage"));
    QObject::connect(action, &QAction::triggered, menu, [folder, &dialogs] {
        const std::optional<QString> answer = dialogs.askText(kPrompt);
        if (!answer || answer->isEmpty())
            return;
        exportWebPage(runnerExecutable(), pathBelow(folder, *answer, kMoxyExtension), dialogs);
    });
}

}  // namespace editor
