// The window `Form1` of both compiler programs: the text box `t1` that holds the program
// and the menu "File" with New, Open, Save, the compile command and Exit. A thin Qt shell:
// the text rules live in program_text.h, the colours in highlight_rules.h, the compilers
// behind Program::compile. Keys: Ctrl+N, Ctrl+O, Ctrl+S, F5 (compile), Ctrl+Q; undo and
// redo are the text box's own (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
//
// Around that design the window is a workbench: a changed text is never replaced or closed
// without asking "Save changes?"; Run (F9, Ctrl+R) compiles and starts the runner on the
// result; a compile also writes the source map beside the MOXY file and lists its messages
// below the text, where a click moves the caret to the statement; line numbers, Find
// (Ctrl+F, F3), Go to line (Ctrl+G), the language reference (F1) and a status line. The
// menu "Debug" and its panel (debug_panel.h) step through the program in the runner.
#pragma once

#include "editor/dialogs.h"
#include "editor/program.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QDockWidget;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace editor {

class CodeEdit;
class DebugPanel;
class Highlighter;

// The client area at start, in pixels.
inline constexpr int kClientWidth = 376;
inline constexpr int kClientHeight = 384;

inline const QString kFileNamePrompt = QStringLiteral("Input A File Name");
inline const QString kMoxyNamePrompt = QStringLiteral("Input A Name For The MOXY File");
inline const QString kUnableToOpen = QStringLiteral("Unable to open file.");
inline const QString kUnableToSave = QStringLiteral("Unable to save file.");
inline const QString kFindPrompt = QStringLiteral("Find");
inline const QString kNoRunner = QStringLiteral("The MOXY runner (moxy) is neither beside this program nor on the PATH.");

// Starts [program] with [arguments] in the working folder [folder] as a process of its own,
// which outlives the window; false when it could not be started.
using RunnerStarter =
    std::function<bool(const QString& program, const QStringList& arguments, const QString& folder)>;

class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window of [program]; source and MOXY files lie in [folder] (the program's own
    // folder, or the per-user one when that cannot be written). Without [dialogs], Qt's
    // dialogs ask and tell.
    EditorWindow(Program program, QString folder, std::unique_ptr<Dialogs> dialogs = nullptr);
    ~EditorWindow() override;

    // The text box's text as the compilers and files see it: CR LF line ends, one byte
    // per character.
    std::string programText() const;
    // Replaces the text box's text with [program], read one byte per character, and
    // starts its undo history afresh (the start-up file). The text counts as unchanged.
    void setProgramText(std::string_view program);

    // Run starts [runner] (empty: moxy beside the executable or on the PATH) through
    // [starter] (empty: QProcess::startDetached).
    void setRunner(QString runner, RunnerStarter starter);

    // The status line's text.
    QString status() const;
    void setStatus(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void newClick();
    void openClick();
    void saveClick();
    void compileClick();
    void exitClick();
    void runClick();
    void findClick();
    void findNextClick();
    void goToLineClick();
    void referenceClick();
    void keysClick();
    void messageClick(QListWidgetItem* item);

private:
    void createActions();
    // Replaces the text box's text with [text] as one step that Undo takes back (New, Open).
    void replaceText(const QString& text);
    // Colours only texts small enough to colour at once; a larger text is shown plain.
    void colourIfSmall(qsizetype size);
    // Asks [prompt]; the path of the answer with [extension] below the folder, or an empty
    // string when the user cancelled or answered nothing.
    QString askPath(const QString& prompt, const QString& extension);
    // True when the text may be replaced or closed: it is unchanged, or the user saved it
    // or chose to discard it.
    bool textMayGo();
    // Save: true when the text was written.
    bool saveText();
    // The compile command: the path of the MOXY file written, or empty.
    QString compileToFile();
    QString writeMoxyFile(const moxy::CompileResult& compiled);
    void listMessages(const std::vector<moxy::Diagnostic>& messages);
    // Places the caret at the 1-based [line] and [column] of the program text.
    void moveCaretTo(int line, int column);
    void showProgress(int percent);
    // The runner Run and the debugger start; empty, after telling the user, when there is none.
    QString runnerPath();

    Program m_program;
    QString m_folder;
    std::unique_ptr<Dialogs> m_dialogs;
    CodeEdit* m_text;
    Highlighter* m_highlighter = nullptr;
    QListWidget* m_messages;
    QDockWidget* m_messageDock;
    QLabel* m_status;
    DebugPanel* m_debugPanel;
    QString m_findText;
    QString m_runner;
    RunnerStarter m_starter;
};

}  // namespace editor
