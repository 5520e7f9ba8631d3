// One editor window in a fresh temporary program folder, with dialogs that answer from a script.
#pragma once

#include "editor/editor_window.h"
#include "editor/program_main.h"
#include "support/qt_files.h"

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

using Answer = std::optional<QString>;

class ScriptedDialogs : public editor::Dialogs {
public:
    Answer askText(const QString& prompt) override {
        if (window)
            captionsAtQuestions.push_back(window->windowTitle());
        return next(prompt, answers, Answer());
    }
    void tell(const QString& text) override { messages.push_back(text); }
    editor::SaveChoice askSave(const QString& question) override { return next(question, choices, editor::SaveChoice::Cancel); }

    std::deque<Answer> answers;
    std::deque<editor::SaveChoice> choices;
    std::vector<QString> questions, messages, captionsAtQuestions;
    QWidget* window = nullptr;

private:
    template <typename T>
    T next(const QString& question, std::deque<T>& script, T none) {
        questions.push_back(question);
        if (script.empty()) {
            ADD_FAILURE() << "unexpected question: " << question.toStdString();
            return none;
        }
        const T answer = script.front();
        script.pop_front();
        return answer;
    }
};

struct EditorBench {
    explicit EditorBench(editor::Program program = editor::quillonProgram())
        : window(std::move(program), folder.path(), std::unique_ptr<editor::Dialogs>(script)) {
        script->window = &window;
    }

    // Chooses the menu item [item]; the questions it asks take [answers], all of them.
    void choose(const char* item, std::initializer_list<Answer> answers = {}) {
        script->answers.insert(script->answers.end(), answers.begin(), answers.end());
        QAction* action = window.findChild<QAction*>(QLatin1String(item));
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
        EXPECT_THAT(script->answers, testing::IsEmpty()) << "unasked answers after " << item;
    }
    QPlainTextEdit* box() { return window.findChild<QPlainTextEdit*>(QStringLiteral("t1")); }
    // Types [text] as the user would: the text counts as changed.
    void type(const QString& text) {
        box()->selectAll();
        box()->insertPlainText(text);
    }
    // Puts [text] in the box as a file would: unchanged.
    void show(const QString& text) { box()->setPlainText(text); }
    int caret() { return box()->textCursor().position(); }
    QString file(const QString& name) const { return folder.filePath(name); }
    void makeFolder(const QString& name) { ASSERT_TRUE(QDir(folder.path()).mkdir(name)); }
    QStringList folderEntries() const {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    ScriptedDialogs* script = new ScriptedDialogs;  // the window's
    editor::EditorWindow window;
};

}  // namespace testing_support
