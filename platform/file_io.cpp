#include "platform/file_io.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::atomic<BeneathResolution> g_resolution{BeneathResolution::Kernel};

// One open file descriptor, closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_descriptor = std::exchange(other.m_descriptor, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return m_descriptor; }
    bool valid() const { return m_descriptor >= 0; }
    // Closes now; the system's error number when closing failed (a write-back that
    // failed shows here), else 0.
    int close() {
        const int descriptor = std::exchange(m_descriptor, -1);
        return ::close(descriptor) == 0 ? 0 : errno;
    }

private:
    void reset() {
        if (m_descriptor >= 0) {
            const int saved = errno;
            ::close(m_descriptor);
            errno = saved;
        }
        m_descriptor = -1;
    }
    int m_descriptor = -1;
};

// strerror_r comes in two shapes; either gives the system's words.
[[maybe_unused]] const char* words(int result, const char* buffer) { return result == 0 ? buffer : "Unknown error"; }
[[maybe_unused]] const char* words(const char* result, const char*) { return result; }
std::string systemWords(int error) {
    char buffer[256] = "";
    return words(strerror_r(error, buffer, sizeof buffer), buffer);
}

void fail(FileError* error, FileFailure failure, std::string reason) {
    if (error)
        *error = FileError{failure, std::move(reason)};
}

// The components of [path] without empty and "." ones; ".." stays for the kernel.
std::vector<std::string> components(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

std::optional<std::string> workingFolder() {
    std::string buffer(PATH_MAX, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string readLink(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    while (true) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The canonical path of what [descriptor] is open on, or "" when the system cannot tell.
std::string pathOf(int descriptor) {
    std::string path = readLink("/proc/self/fd/" + std::to_string(descriptor));
    return !path.empty() && path.front() == '/' ? path : std::string();
}

std::string canonical(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// [path] split into its folder and its last component: "a/b" -> ("a", "b"),
// "b" -> (".", "b"), "/b" -> ("/", "b").
std::pair<std::string, std::string> splitLast(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    return "a special file";
}

// --- beneath a folder ------------------------------------------------------------------

// [path]'s name relative to [folder] ("." for the folder itself), or nullopt when it
// does not start with the folder's path. ".." is left for the kernel to resolve.
std::optional<std::string> nameBeneath(const std::string& path, const Folder& folder) {
    std::string absolute = path;
    if (path.empty() || path.front() != '/') {
        const std::optional<std::string> working = workingFolder();
        if (!working)
            return std::nullopt;
        absolute = *working + "/" + path;
    }
    const std::vector<std::string> parts = components(absolute);
    const std::vector<std::string> base = components(folder.path());
    if (parts.size() < base.size() || !std::equal(base.begin(), base.end(), parts.begin()))
        return std::nullopt;
    std::string name;
    for (std::size_t i = base.size(); i < parts.size(); ++i) {
        if (!name.empty())
            name += '/';
        name += parts[i];
    }
    return name.empty() ? std::string(".") : name;
}

int openBeneathKernel(int folder, const std::string& name, int flags) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    // EAGAIN: a rename elsewhere raced with a ".."; the kernel asks for another try.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const long descriptor = ::syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
        if (descriptor >= 0)
            return static_cast<int>(descriptor);
        if (errno != EAGAIN && errno != EINTR)
            return -1;
    }
    return -1;
}

bool isSymbolicLink(int folder, const std::string& name) {
    struct stat status {};
    return ::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

// The walk for kernels without openat2: one component at a time, following no symbolic
// link at all (ELOOP), and ".." only back to a folder this walk came through (EXDEV
// above the start), so the kernel never resolves ".." by itself.
int openBeneathWalk(int folder, const std::string& name, int flags) {
    std::vector<std::string> parts = components(name);
    if (parts.empty())
        parts.emplace_back(".");
    std::vector<Descriptor> below;
    const auto current = [&] { return below.empty() ? folder : below.back().get(); };
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "..") {
            if (below.empty()) {
                errno = EXDEV;
                return -1;
            }
            below.pop_back();
            continue;
        }
        Descriptor next(::openat(current(), parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            if (errno == ENOTDIR && isSymbolicLink(current(), parts[i]))
                errno = ELOOP;
            return -1;
        }
        below.push_back(std::move(next));
    }
    std::string last = parts.back();
    if (last == "..") {
        if (below.empty()) {
            errno = EXDEV;
            return -1;
        }
        below.pop_back();
        last = ".";
    }
    const int descriptor = ::openat(current(), last.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0 && errno == ENOTDIR && isSymbolicLink(current(), last))
        errno = ELOOP;
    return descriptor;
}

// Opens [name] beneath [folder]; -1 and errno when it fails, EXDEV or ELOOP when the
// name leaves the folder.
int openBeneath(int folder, const std::string& name, int flags) {
    if (g_resolution.load() == BeneathResolution::Kernel) {
        const int descriptor = openBeneathKernel(folder, name, flags);
        if (descriptor >= 0 || errno != ENOSYS)
            return descriptor;
        g_resolution.store(BeneathResolution::ComponentWalk);  // this kernel has no openat2
    }
    return openBeneathWalk(folder, name, flags);
}

FileFailure beneathFailure(int error, FileFailure otherwise) {
    switch (error) {
    case EXDEV:
    case ELOOP:
        return FileFailure::Refused;
    case ENOENT:
        return FileFailure::NotFound;
    default:
        return otherwise;
    }
}

std::string beneathReason(int error, const Folder& folder) {
    if (error == EXDEV || error == ELOOP)
        return "it leads out of the folder " + folder.path();
    return systemWords(error);
}

// --- reading and writing ---------------------------------------------------------------

std::optional<std::string> readAll(int descriptor, const struct stat& status, std::size_t maxBytes, FileError* error) {
    std::string content;
    if (S_ISREG(status.st_mode) && status.st_size > 0)
        content.reserve(std::min(static_cast<std::size_t>(status.st_size), maxBytes));
    // Read in pieces, so that a device without end (or a huge file) stops at the limit. The
    // buffer is not cleared first: the system maps its pages only when a read fills them.
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    const std::unique_ptr<char[]> piece = std::make_unique_for_overwrite<char[]>(kPiece);
    while (true) {
        const ssize_t read = ::read(descriptor, piece.get(), kPiece);
        if (read < 0) {
            if (errno == EINTR)
                continue;
            fail(error, FileFailure::Unreadable, systemWords(errno));
            return std::nullopt;
        }
        if (read == 0)
            return content;
        if (content.size() + static_cast<std::size_t>(read) > maxBytes) {
            fail(error, FileFailure::TooLarge, "larger than " + std::to_string(maxBytes >> 20) + " MiB");
            return std::nullopt;
        }
        content.append(piece.get(), static_cast<std::size_t>(read));
    }
}

// Writes all of [content]; false with errno set when the system refuses a part.
bool writeAll(int descriptor, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(descriptor, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes into the existing [name] in [folder] as it is: a device, a FIFO, a pipe.
bool writeInPlace(int folder, const std::string& name, std::string_view content, FileError* error) {
    // Without O_NONBLOCK a FIFO nobody reads would block the open for ever; with it the
    // open fails (ENXIO) instead.
    Descriptor file(::openat(folder, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        fail(error, FileFailure::Unwritable, systemWords(errno));
        return false;
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(file.get(), 0) != 0) {
        fail(error, FileFailure::Unwritable, systemWords(errno));
        return false;
    }
    if (!writeAll(file.get(), content)) {
        fail(error, FileFailure::Unwritable, systemWords(errno));
        return false;
    }
    if (const int closed = file.close()) {
        fail(error, FileFailure::Unwritable, systemWords(closed));
        return false;
    }
    return true;
}

std::string temporaryName() {
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        static std::atomic<std::uint64_t> counter{0};
        random = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9e3779b97f4a7c15ull);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string name = ".moxy-save-";
    for (int i = 0; i < 16; ++i, random >>= 4)
        name += kHex[random & 15];
    return name;
}

enum class Beneath : std::uint8_t { No, Yes };

// Replaces [leaf] in [folder] through a temporary file in the same folder that is
// renamed over it once it is wholly on the disk. Beneath a --safe folder a symbolic link
// or a target that is no regular file is refused; elsewhere such a target is written
// into as it is (a link that could not be resolved is replaced).
bool replaceIn(int folder, const std::string& leaf, std::string_view content, Beneath beneath, FileError* error) {
    if (leaf.empty() || leaf == "." || leaf == "..") {
        fail(error, FileFailure::Unwritable, "Is a directory");
        return false;
    }
    struct stat old {};
    bool keepMode = false;
    if (::fstatat(folder, leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(old.st_mode)) {
            fail(error, FileFailure::Unwritable, "Is a directory");
            return false;
        }
        if (!S_ISREG(old.st_mode) && beneath == Beneath::Yes) {
            fail(error, FileFailure::Refused, kindOf(old.st_mode) + " is not written to");
            return false;
        }
        if (!S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
            return writeInPlace(folder, leaf, content, error);
        keepMode = S_ISREG(old.st_mode);
    } else if (errno != ENOENT) {
        fail(error, FileFailure::Unwritable, systemWords(errno));
        return false;
    }

    std::string temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = temporaryName();
        file = Descriptor(::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   keepMode ? (old.st_mode & 07777) : 0666));
        if (!file.valid() && errno != EEXIST) {
            fail(error, FileFailure::Unwritable, systemWords(errno));
            return false;
        }
    }
    if (!file.valid()) {
        fail(error, FileFailure::Unwritable, systemWords(EEXIST));
        return false;
    }
    if (keepMode) {
        // The new file keeps the old one's owner (when allowed) and permissions.
        if (::fchown(file.get(), old.st_uid, old.st_gid) != 0) {
        }
        if (::fchmod(file.get(), old.st_mode & 07777) != 0) {
        }
    }
    int failed = 0;
    if (!writeAll(file.get(), content))
        failed = errno;
    // A file system that allocates late reports a full disk only here or at the close.
    else if (::fsync(file.get()) != 0 && errno != EINVAL)
        failed = errno;
    if (const int closed = file.close(); closed && !failed)
        failed = closed;
    if (!failed && ::renameat(folder, temporary.c_str(), folder, leaf.c_str()) != 0)
        failed = errno;
    if (failed) {
        ::unlinkat(folder, temporary.c_str(), 0);
        fail(error, FileFailure::Unwritable, systemWords(failed));
        return false;
    }
    return true;
}

// Where a write to [path] lands: the canonical path of an existing file, of the file
// that a chain of dangling symbolic links names, or [path] itself.
std::string realLocation(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        if (std::string resolved = canonical(path); !resolved.empty())
            return resolved;
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        const std::string target = readLink(path);
        if (target.empty())
            return path;
        path = target.front() == '/' ? target : splitLast(path).first + "/" + target;
    }
    return path;
}

bool writeBeneath(const std::string& path, std::string_view content, const Folder& beneath, FileError* error) {
    const std::optional<std::string> name = nameBeneath(path, beneath);
    if (!name) {
        fail(error, FileFailure::Refused, "outside the folder " + beneath.path());
        return false;
    }
    const auto [parent, leaf] = splitLast(*name);
    Descriptor folder(openBeneath(beneath.descriptor(), parent, O_PATH | O_DIRECTORY));
    if (!folder.valid()) {
        const int failed = errno;
        const FileFailure failure = beneathFailure(failed, FileFailure::Unwritable);
        fail(error, failure == FileFailure::NotFound ? FileFailure::Unwritable : failure, beneathReason(failed, beneath));
        return false;
    }
    return replaceIn(folder.get(), leaf, content, Beneath::Yes, error);
}

}  // namespace

// --- public -----------------------------------------------------------------------------

std::string localPath(std::string_view programPath) {
    std::string path(programPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

struct Folder::Handle {
    explicit Handle(int descriptor) : descriptor(descriptor) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { ::close(descriptor); }
    int descriptor;
};

std::optional<Folder> Folder::open(const std::string& path, FileError* error) {
    const int descriptor = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        fail(error, errno == ENOENT ? FileFailure::NotFound : FileFailure::Unreadable, systemWords(errno));
        return std::nullopt;
    }
    Folder folder;
    folder.m_handle = std::make_shared<const Handle>(descriptor);
    folder.m_path = pathOf(descriptor);
    if (folder.m_path.empty())
        folder.m_path = canonical(path);
    if (folder.m_path.empty()) {
        fail(error, FileFailure::Unreadable, "its place cannot be found");
        return std::nullopt;
    }
    return folder;
}

int Folder::descriptor() const { return m_handle ? m_handle->descriptor : -1; }

std::optional<std::string> readWholeFile(const std::string& path, FileError* error, std::size_t maxBytes,
                                         Access access) {
    if (path.empty()) {
        fail(error, FileFailure::NotFound, systemWords(ENOENT));
        return std::nullopt;
    }
    int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC;
    // Opening a FIFO waits for a writer unless it is opened without blocking.
    if (access.kinds == FileKinds::RegularOnly)
        flags |= O_NONBLOCK;
    Descriptor file;
    if (access.beneath) {
        const std::optional<std::string> name = nameBeneath(path, *access.beneath);
        if (!name) {
            fail(error, FileFailure::Refused, "outside the folder " + access.beneath->path());
            return std::nullopt;
        }
        file = Descriptor(openBeneath(access.beneath->descriptor(), *name, flags));
        if (!file.valid()) {
            const int failed = errno;
            fail(error, beneathFailure(failed == ENOTDIR ? ENOENT : failed, FileFailure::Unreadable),
                 beneathReason(failed, *access.beneath));
            return std::nullopt;
        }
    } else {
        file = Descriptor(::open(path.c_str(), flags));
        if (!file.valid()) {
            const int failed = errno;
            fail(error, failed == ENOENT || failed == ENOTDIR ? FileFailure::NotFound : FileFailure::Unreadable,
                 systemWords(failed));
            return std::nullopt;
        }
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        fail(error, FileFailure::Unreadable, systemWords(errno));
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        fail(error, FileFailure::Unreadable, systemWords(EISDIR));
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) && access.kinds == FileKinds::RegularOnly) {
        fail(error, FileFailure::NotRegular, "not a regular file but " + kindOf(status.st_mode));
        return std::nullopt;
    }
    return readAll(file.get(), status, maxBytes, error);
}

bool writeFileAtomically(const std::string& path, std::string_view content, FileError* error, const Folder* beneath) {
    if (path.empty()) {
        fail(error, FileFailure::Unwritable, "empty path");
        return false;
    }
    if (beneath)
        return writeBeneath(path, content, *beneath, error);
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            fail(error, FileFailure::Unwritable, systemWords(EISDIR));
            return false;
        }
        if (!S_ISREG(status.st_mode))
            return writeInPlace(AT_FDCWD, path, content, error);
    }
    const auto [parent, leaf] = splitLast(realLocation(path));
    Descriptor folder(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        fail(error, FileFailure::Unwritable, systemWords(errno));
        return false;
    }
    return replaceIn(folder.get(), leaf, content, Beneath::No, error);
}

std::optional<ProgramFile> readProgramFile(const std::string& path, FileError* error, std::size_t maxBytes) {
    if (path.empty()) {
        fail(error, FileFailure::NotFound, systemWords(ENOENT));
        return std::nullopt;
    }
    // A pipe is a program too (moxy /dev/stdin), so this open may wait for its writer.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        const int failed = errno;
        fail(error, failed == ENOENT || failed == ENOTDIR ? FileFailure::NotFound : FileFailure::Unreadable,
             systemWords(failed));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) {
        fail(error, FileFailure::Unreadable, systemWords(S_ISDIR(status.st_mode) ? EISDIR : errno));
        return std::nullopt;
    }
    std::optional<std::string> content = readAll(file.get(), status, maxBytes, error);
    if (!content)
        return std::nullopt;
    ProgramFile program{std::move(*content), std::nullopt};
    if (!S_ISREG(status.st_mode))
        return program;
    // The folder of the file that was read: its canonical place, whatever links or ".."
    // the path went through, and only if that place still holds this very file.
    std::string real = pathOf(file.get());
    if (real.empty())
        real = canonical(path);
    if (real.empty())
        return program;
    const auto [parent, leaf] = splitLast(real);
    std::optional<Folder> folder = Folder::open(parent);
    struct stat there {};
    if (folder && ::fstatat(folder->descriptor(), leaf.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        there.st_dev == status.st_dev && there.st_ino == status.st_ino)
        program.folder = std::move(folder);
    return program;
}

bool enterFolder(const Folder& folder) { return ::fchdir(folder.descriptor()) == 0; }

std::string absolutePath(const std::string& path) {
    if (path.empty() || path == "-" || path.front() == '/')
        return path;
    const std::optional<std::string> working = workingFolder();
    return working ? *working + "/" + path : path;
}

void setBeneathResolution(BeneathResolution resolution) { g_resolution.store(resolution); }

}  // namespace platform
