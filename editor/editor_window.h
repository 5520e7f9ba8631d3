// The window `Form1` of both compiler programs: the text box `t1` that holds the program
// and the menu "File" with New, Open, Save, the compile command and Exit. A thin Qt shell:
// the text rules live in program_text.h, the colours in highlight_rules.h, the compilers
// behind Program::compile. Keys: Ctrl+N, Ctrl+O, Ctrl+S, F5 (compile), Ctrl+Q; undo and
// redo are the text box's own (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
#pragma once

#include "editor/dialogs.h"
#include "editor/program.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace editor {

// The client area at start, in pixels.
inline constexpr int kClientWidth = 376;
inline constexpr int kClientHeight = 384;

inline const QString kFileNamePrompt = QStringLiteral("Input A File Name");
inline const QString kMoxyNamePrompt = QStringLiteral("Input A Name For The MOXY File");
inline const QString kUnableToOpen = QStringLiteral("Unable to open file.");
inline const QString kUnableToSave = QStringLiteral("Unable to save file.");

class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window of [program]; source and MOXY files lie in [folder] (the program's own
    // folder). Without [dialogs], Qt's dialogs ask and tell.
    EditorWindow(Program program, QString folder, std::unique_ptr<Dialogs> dialogs = nullptr);
    ~EditorWindow() override;

    // The text box's text as the compilers and files see it: CR LF line ends, one byte
    // per character.
    std::string programText() const;
    // Replaces the text box's text with [program], read one byte per character, and
    // starts its undo history afresh (the start-up file).
    void setProgramText(std::string_view program);

private slots:
    void newClick();
    void openClick();
    void saveClick();
    void compileClick();
    void exitClick();

private:
    void createActions();
    // Replaces the text box's text with [text] as one step that Undo takes back (New, Open).
    void replaceText(const QString& text);
    // Asks [prompt]; the path of the answer with [extension] below the folder, or an empty
    // string when the user cancelled or answered nothing.
    QString askPath(const QString& prompt, const QString& extension);
    void writeMoxyFile(const std::string& code);
    void showProgress(int percent);

    Program m_program;
    QString m_folder;
    std::unique_ptr<Dialogs> m_dialogs;
    QPlainTextEdit* m_text;
};

}  // namespace editor
