// What the editor's debugger tests share: dialogs that answer from a script, and a window
// whose files lie in a fresh temporary folder, shown under the offscreen platform, with
// helpers to click, wait and read the debug panel.
#pragma once

#include "editor/code_edit.h"
#include "editor/debug_panel.h"
#include "editor/dialogs.h"
#include "editor/editor_window.h"
#include "support/editor_bench.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// GoogleTest shows a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace testing_support {

// Long enough for a loaded machine; the waits end as soon as the condition holds.
inline constexpr int kWaitMs = 60000;

struct DebugBench {
    DebugBench(editor::Program program, const QString& adapter)
        : window(std::move(program), folder.path(), std::unique_ptr<editor::Dialogs>(dialogs)) {
        window.setRunner(adapter, nullptr);
        window.show();
        panel()->setLaunchArguments({{"headless", true}});
    }
    ~DebugBench() {
        // Ends a session a failed test left behind, before the window goes.
        if (panel()->state() != editor::DebugPanel::State::Idle) {
            panel()->stop();
            EXPECT_TRUE(QTest::qWaitFor([this] { return panel()->state() == editor::DebugPanel::State::Idle; }, kWaitMs));
        }
    }

    editor::CodeEdit* text() { return window.findChild<editor::CodeEdit*>(QStringLiteral("t1")); }
    editor::DebugPanel* panel() { return window.findChild<editor::DebugPanel*>(); }
    QTreeWidget* variables() { return window.findChild<QTreeWidget*>(QStringLiteral("variables")); }
    QAction* action(const char* name) { return window.findChild<QAction*>(QLatin1String(name)); }
    void choose(const char* name) {
        QAction* item = action(name);
        ASSERT_NE(item, nullptr) << name;
        ASSERT_TRUE(item->isEnabled()) << name;
        item->trigger();
    }
    // Clicks the line number of [line] in the margin.
    void clickMargin(int line) {
        const QTextBlock block = text()->document()->findBlockByNumber(line - 1);
        const int y = text()->cursorRect(QTextCursor(block)).center().y();
        QTest::mouseClick(text()->margin(), Qt::LeftButton, {}, QPoint(4, y));
    }
    // Starts debugging, the MOXY file named [name]; waits until the program stopped or ended.
    void start(const QString& name = QStringLiteral("prog")) {
        dialogs->answers.push_back(name);
        choose("startDebugging");
        waitForRest();
    }
    // Waits until the program stands still (stopped, with its variables shown) or the
    // session is over.
    bool waitForRest() {
        return QTest::qWaitFor(
            [this] {
                using State = editor::DebugPanel::State;
                const State state = panel()->state();
                return state == State::Idle || (state == State::Stopped && shownVariables() > 0);
            },
            kWaitMs);
    }
    void waitForEnd() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return panel()->state() == editor::DebugPanel::State::Idle; }, kWaitMs));
    }
    // The variables shown, over all scopes.
    int shownVariables() {
        int count = 0;
        for (int i = 0; i < variables()->topLevelItemCount(); ++i)
            count += variables()->topLevelItem(i)->childCount();
        return count;
    }
    // The row of the variable [name] in the scope [scope], or null.
    QTreeWidgetItem* variable(const QString& scope, const QString& name) {
        for (int i = 0; i < variables()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* top = variables()->topLevelItem(i);
            if (top->text(0) != scope)
                continue;
            for (int j = 0; j < top->childCount(); ++j)
                if (top->child(j)->text(0) == name)
                    return top->child(j);
        }
        return nullptr;
    }
    QString value(const QString& scope, const QString& name) {
        QTreeWidgetItem* item = variable(scope, name);
        return item ? item->text(1) : QStringLiteral("<none>");
    }

    QTemporaryDir folder;
    ScriptedDialogs* dialogs = new ScriptedDialogs;  // the window's
    editor::EditorWindow window;
};

}  // namespace testing_support
