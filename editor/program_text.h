// The program text between the text box, the source files and the compilers: line ends,
// one byte per character, file names below the program's folder. Qt Core only, so that
// the window stays a thin shell and these rules get tests of their own.
#pragma once

#include "moxy/compile.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace editor {

// The program text of the text box's raw text (QTextDocument::toRawText): every paragraph
// or line separator becomes CR LF, every other character one byte. Characters 128..255
// become their Latin-1 bytes; characters above 255 cannot be written in one byte and
// become '?'. So the compilers see one byte per character of the text box, as the files
// hold it.
std::string programText(const QString& rawText);

// Warnings for the characters of [rawText] that programText() cannot store and turns into
// '?': the first one of each line, at its line and column in the program text (a line
// ends at a paragraph or line separator or LF, as programText() ends it).
std::vector<moxy::Diagnostic> unstorableCharacters(const QString& rawText);

// The text box's text for the bytes [program], read as Latin-1: every byte one character.
QString boxText(std::string_view program);

// The text box position of the 0-based [offset] into [program] (a text from
// programText()): a CR LF is one character in the text box. An offset between CR and LF
// stands behind the line break; one past the end stands at the end.
int boxPosition(std::string_view program, long long offset);

// What Open puts into the text box: every line of [file] (lines end at CR LF, LF or CR,
// the last one also at the end of the file) followed by CR LF.
std::string openedText(std::string_view file);

// What Save writes for [text]: the text and a CR LF, unless it is empty or already ends
// with one. Opening what was saved gives the same text again, so save-and-open cycles
// do not grow the text.
std::string savedText(std::string text);

// The path of the file that the typed [answer] and [extension] name below [folder]. A
// backslash in the answer separates folders as a slash does.
QString pathBelow(const QString& folder, const QString& answer, const QString& extension);

// [path] without its extension (the last "." of the file's name and what follows it; a
// name that starts with its only "." has none), followed by [extension].
QString replaceExtension(const QString& path, const QString& extension);

}  // namespace editor
