// Whole-file reads and writes on the kernel's own calls, and the folder handle that keeps
// a --safe program inside its folder. No Qt, so that the path fuzzer builds this file alone.
//
// Under --safe every name is opened through a handle on the program's folder, and the
// kernel refuses each name whose resolution leaves it: a ".." above the folder, an
// absolute symbolic link, a link that points out of it (openat2 with RESOLVE_BENEATH;
// where the kernel lacks openat2, a walk of one component at a time that follows no
// symbolic link). What is read or written is read from or written to the handle that
// was opened, never to a name looked up a second time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A path as a program wrote it, for this system: backslash separators become slashes,
// so that programs written elsewhere still find their files.
std::string localPath(std::string_view programPath);

enum class FileFailure : std::uint8_t {
    NotFound,
    Unreadable,
    Unwritable,
    TooLarge,
    NotRegular,  // a read that takes only regular files met a FIFO, device or socket
    Refused,     // the name leaves the folder it must stay beneath
};

struct FileError {
    FileFailure failure;
    std::string reason;  // the system's words, e.g. "No space left on device"
};

// Files larger than this are not read whole: no text file or program of ours comes near it.
inline constexpr std::size_t kLargestFile = std::size_t{256} << 20;

// A folder held open by a handle. Copies share the handle, which closes with the last.
class Folder {
public:
    // Opens the folder at [path]; nullopt (and [error]) when it is no folder.
    static std::optional<Folder> open(const std::string& path, FileError* error = nullptr);

    // The folder's canonical path when it was opened.
    const std::string& path() const { return m_path; }
    int descriptor() const;

private:
    struct Handle;
    std::shared_ptr<const Handle> m_handle;
    std::string m_path;
};

// Which files a read takes.
enum class FileKinds : std::uint8_t { Any, RegularOnly };

struct Access {
    // When set, a name is reached only beneath this folder: a relative name is first
    // made absolute with the working folder, must then start with the folder's path, and
    // the rest is resolved by the kernel beneath the folder's handle. Anything else is
    // FileFailure::Refused.
    const Folder* beneath = nullptr;
    // RegularOnly refuses (FileFailure::NotRegular) a FIFO, device or socket without
    // waiting on it.
    FileKinds kinds = FileKinds::Any;
};

// The whole file, byte for byte; a file (or device) longer than [maxBytes] fails with
// FileFailure::TooLarge before more than that is read.
std::optional<std::string> readWholeFile(const std::string& path, FileError* error = nullptr,
                                         std::size_t maxBytes = kLargestFile, Access access = {});

// Replaces the file at [path] with [content]: a temporary file in the same folder is
// written, flushed to the disk and renamed over the old one only when all of that
// succeeded, so a failure (a full disk) never destroys the previous file and is reported
// in the system's words. A target that exists and is no regular file (a device, a FIFO
// with a reader, standard output) is written into as it is: nothing is renamed over it.
// With [beneath], the name is reached as Access::beneath describes, and a symbolic
// link or a target that is no regular file is refused.
bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error = nullptr,
                         const Folder* beneath = nullptr);

// A program file, read through one handle, and the folder where that very file lies.
struct ProgramFile {
    std::string content;
    // Empty when the file is no regular file (a pipe such as /dev/stdin) or its folder
    // cannot be found: it then has no folder of its own.
    std::optional<Folder> folder;
};

// Reads the program file at [path] whole (at most [maxBytes]) and finds its folder from
// the opened file itself, not from the path's text.
std::optional<ProgramFile> readProgramFile(const std::string& path, FileError* error = nullptr,
                                           std::size_t maxBytes = kLargestFile);

// Makes [folder] the working folder; false when the system refuses.
bool enterFolder(const Folder& folder);

// [path] made absolute with the working folder ("-" and absolute paths stay as they are).
std::string absolutePath(const std::string& path);

// How names beneath a folder are resolved. Tests and the fuzzer use the walk to try the
// path taken on kernels without openat2.
enum class BeneathResolution : std::uint8_t { Kernel, ComponentWalk };
void setBeneathResolution(BeneathResolution resolution);

}  // namespace platform
