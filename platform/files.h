// The programs' access to files, processes and the clock, on top of Qt Core. Calls
// return std::optional or bool with a reason; callers decide what failure means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A path as a program wrote it, for this system: backslash separators become slashes,
// so that programs written elsewhere still find their files.
std::string localPath(std::string_view programPath);

enum class FileFailure : std::uint8_t { NotFound, Unreadable, Unwritable, TooLarge };

struct FileError {
    FileFailure failure;
    std::string reason;  // the system's words, e.g. "Permission denied"
};

// Files larger than this are not read whole: no text file or program of ours comes near it.
inline constexpr std::size_t kLargestFile = std::size_t{256} << 20;

// The whole file, byte for byte; a file (or device) longer than [maxBytes] fails with
// FileFailure::TooLarge before more than that is read.
std::optional<std::string> readWholeFile(const std::string& path, FileError* error = nullptr,
                                         std::size_t maxBytes = kLargestFile);

// Replaces the file with [content] atomically: a temporary file in the same folder is
// renamed over it only when everything was written, so a failure never destroys the
// previous file.
bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error = nullptr);

// The words of [commandLine] as a shell splits them: blanks separate, single quotes
// keep everything, double quotes keep all but \" \\ \$, a backslash escapes the next
// character. Nothing is expanded.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Starts [commandLine] as a detached process, split into program and arguments as a
// shell would (quotes group words) without running a shell.
bool startDetached(std::string_view commandLine, std::string* reason = nullptr);

// Milliseconds since the system started, as a signed 32-bit counter that wraps.
std::int32_t tickCount();

// The folder of the running executable, without a trailing separator (except "/").
std::string executableFolder();

// The canonical folder that holds [path] (for --safe), or "" when it cannot be resolved.
std::string canonicalFolderOf(const std::string& path);

// True when [path] names something inside [folder] (a canonical folder), after
// resolving "..", symbolic links and a file that does not exist yet.
bool isInside(const std::string& path, const std::string& folder);

}  // namespace platform
