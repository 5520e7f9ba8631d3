// Warnings in the editor window, under the offscreen platform: they go to the message list,
// marked, and never to a message box; characters the text box holds but a program cannot
// store are warned about too. And the dialogs are wide enough for their caption.
#include "editor/dialogs.h"
#include "editor/editor_window.h"
#include "editor/program_text.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Answers the file name with "w" and keeps every message box's text.
class ScriptedDialogs : public editor::Dialogs {
public:
    std::optional<QString> askText(const QString&) override { return QStringLiteral("w"); }
    void tell(const QString& text) override { messages.push_back(text); }
    editor::SaveChoice askSave(const QString&) override { return editor::SaveChoice::Discard; }
    std::vector<QString> messages;
};

struct Window {
    explicit Window(editor::Program program)
        : window(std::move(program), folder.path(), std::unique_ptr<editor::Dialogs>(script)) {}
    QStringList compile(const QString& text) {
        window.findChild<QPlainTextEdit*>(QStringLiteral("t1"))->setPlainText(text);
        window.findChild<QAction*>(QStringLiteral("compile"))->trigger();
        QStringList items;
        const auto* list = window.findChild<QListWidget*>(QStringLiteral("messages"));
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
    QTemporaryDir folder;
    ScriptedDialogs* script = new ScriptedDialogs;  // the window's
    editor::EditorWindow window;
};

TEST(WarningsWindow, ListedMarkedAndWithoutMessageBoxes) {
    Window quillon(editor::quillonProgram());
    const QStringList items = quillon.compile(QStringLiteral("dim[x]\nset[x]{caf\u00e9}\nset[y]{\u20ac}\n"));
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[0].startsWith("Line 2, column 1: warning: character code 233")) << items[0].toStdString();
    EXPECT_TRUE(items[1].startsWith("Line 3, column 1: Error: Variable doesnt exist. y")) << items[1].toStdString();
    EXPECT_TRUE(items[2].startsWith("Line 3, column 8: warning: the character U+20AC cannot be stored"))
        << items[2].toStdString();
    // The error alone in a box.
    ASSERT_EQ(quillon.script->messages.size(), 1u);
    EXPECT_TRUE(quillon.script->messages[0].startsWith("Error: Variable doesnt exist. y"));

    Window vorna(editor::vornaProgram());
    EXPECT_EQ(vorna.compile(QStringLiteral("SETPAR1\nPRNT")),
              QStringList({"Line 2, column 1: warning: \"PRNT\" is not a VORNA mnemonic: the compiler passes over it"}));
    EXPECT_TRUE(vorna.script->messages.empty());
}

TEST(WarningsWindow, UnstorableCharactersOncePerLine) {
    const std::vector<moxy::Diagnostic> warnings =
        editor::unstorableCharacters(QStringLiteral("ab\u20ac\u20ac\ncaf\u00e9\n\u2603"));
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(std::pair(warnings[0].line, warnings[0].column), std::pair(1, 3));
    EXPECT_EQ(std::pair(warnings[1].line, warnings[1].column), std::pair(3, 1));
    EXPECT_EQ(warnings[1].severity, moxy::Severity::Warning);
    EXPECT_NE(warnings[1].text.find("U+2603"), std::string::npos);
}

// Each dialog, once shown, is measured and closed by a timer: no test waits for a person.
TEST(DialogWidth, EveryDialogShowsItsCaptionWhole) {
    for (const QString& caption : {QStringLiteral("Quillon Compiler"), QStringLiteral("VORNA Compiler")}) {
        SCOPED_TRACE(caption.toStdString());
        QWidget parent;
        editor::QtDialogs dialogs(&parent, caption);
        std::vector<int> widths;
        QStringList kinds;
        int captionWidth = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            QFont bold = dialog->font();
            bold.setBold(true);
            captionWidth = QFontMetrics(bold).horizontalAdvance(dialog->windowTitle());
            EXPECT_EQ(dialog->windowTitle(), caption);
            widths.push_back(dialog->width());
            kinds << QString::fromLatin1(dialog->metaObject()->className());
            dialog->close();
        });
        timer.start(10);
        dialogs.tell(QStringLiteral("OK"));
        dialogs.askText(QStringLiteral("Input A File Name"));
        dialogs.askSave(editor::kSaveChanges);
        ASSERT_EQ(widths.size(), 3u);
        for (std::size_t i = 0; i < widths.size(); ++i)
            EXPECT_GE(widths[i], captionWidth + 100) << kinds[static_cast<qsizetype>(i)].toStdString();
    }
}

}  // namespace
