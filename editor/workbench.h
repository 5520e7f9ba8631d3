// What the editor window needs from around it to be a workbench, in Qt Core only so that
// each rule gets tests of its own: where the user's files are kept, where the runner and
// the language reference are found, and where a message's line and column lie in the text.
#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

namespace editor {

// The largest file the editor opens. The text box keeps every line as a paragraph of its
// own and lays out each line in view whole, so its time and memory grow with the number
// of lines and the length of the longest one: within these bounds a file opens in a
// second or two and takes a few hundred MB at most. Larger files are refused with
// kTooLarge (they can still be compiled with --compile).
inline constexpr std::size_t kLargestSource = std::size_t{4} << 20;
inline constexpr std::size_t kMostSourceLines = 100'000;
inline constexpr std::size_t kLongestSourceLine = 65'536;
inline const QString kTooLarge =
    QStringLiteral("The file is too large for the editor, which opens files of up to 4 MiB, 100,000 lines and "
                   "65,536 characters a line.");

// True when the editor opens [file]: it lies within the bounds above.
bool fitsTheEditor(std::string_view file);

// True when a file can be created in [folder] (tried with a temporary file, which is
// removed again): the file system's answer, also for root on a read-only mount.
bool canWriteIn(const QString& folder);

// The folder where the editor keeps its source and MOXY files: [programFolder] (the
// folder of the executable) when files can be created there; otherwise [userFolder], made
// on first use. When neither can be used, [programFolder], where saving then says that it
// failed.
QString filesFolder(const QString& programFolder, const QString& userFolder);

// The per-user folder of the program named [programName]: the XDG data folder
// ($XDG_DATA_HOME, by default ~/.local/share) and the name.
QString userFilesFolder(const QString& programName);

// The runner executable: `moxy` beside the editor in [programFolder], else the one on the
// PATH; empty when there is none.
QString findRunner(const QString& programFolder);

// The language reference [fileName] (e.g. "quillon.md") shipped with the program: in
// docs/ beside the executable in [programFolder] (the build tree), or under
// share/doc/moxy-toolchain of the installation that holds it; empty when none is found.
QString findReference(const QString& programFolder, const QString& fileName);

// The 0-based offset into [text] (lines end at CR LF, LF or CR) of the 1-based [line] and
// [column]; a column past the line's end gives the line's end, a line past the text's end
// the text's end.
long long offsetOf(std::string_view text, int line, int column);

}  // namespace editor
