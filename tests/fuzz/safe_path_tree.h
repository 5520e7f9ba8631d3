// A temporary tree for trying names on the --safe file access: a program folder with
// files, folders and symbolic links of every kind that could lead out of it (dangling, to
// a folder outside, to its parent, absolute, looping), a FIFO, and beside it a folder
// with secrets. tryInput() reads and writes the names an input describes through the
// program folder's handle and reports anything that reached outside: a file created,
// changed or removed there, a secret read, or a temporary file left behind. Shared by the
// fuzzer and the test that replays its corpus; needs no Qt.
#pragma once

#include "platform/file_io.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace safe_path {

inline const char kSecret[] = "SECRET";

class Tree {
public:
    Tree() {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/moxy-safe-path-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_root = pattern;
        m_program = m_root + "/program";
        m_outside = m_root + "/outside";
        build();
        m_folder = *platform::Folder::open(m_program);
        m_before = snapshot(m_root, "program");
        m_inside = snapshot(m_program, "");
    }
    ~Tree() { removeAll(m_root); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    const std::string& program() const { return m_program; }

    // Runs the reads and writes that [data] describes: the first byte picks the kernel's
    // resolution or the component walk, then each name is built from tokens (path pieces,
    // link names, absolute paths of the tree, raw bytes) and ends with an operation byte.
    // Returns "" when nothing outside the program folder was touched, else what was.
    std::string tryInput(const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            return {};
        platform::setBeneathResolution((data[0] & 1) ? platform::BeneathResolution::ComponentWalk
                                                     : platform::BeneathResolution::Kernel);
        std::string name;
        std::string problem;
        for (std::size_t i = 1; i < size && problem.empty(); ++i) {
            const std::uint8_t byte = data[i];
            if (byte >= 0xf0) {
                problem = tryName(name, byte & 3);
                name.clear();
            } else if (byte == 0xef && i + 1 < size) {
                const char raw = static_cast<char>(data[++i]);
                if (raw != '\0')
                    name += raw;
            } else {
                name += token(byte);
            }
        }
        if (problem.empty() && !name.empty())
            problem = tryName(name, 0);
        restore();
        return problem;
    }

private:
    using Snapshot = std::map<std::string, std::string>;

    std::string token(std::uint8_t byte) const {
        static const char* const kTokens[] = {"/",         "..",      ".",         "a.txt",       "sub",    "b.txt",
                                              "up",        "upup",    "dangling",  "danglingabs", "outdir", "absdir",
                                              "parent",    "self",    "inner",     "loop",        "pipe",   "secret.txt",
                                              "new.txt",   "outside", "program",   "\\",          "//",     "deep"};
        constexpr std::size_t kCount = sizeof kTokens / sizeof kTokens[0];
        const std::size_t index = byte % (kCount + 3);
        if (index == kCount)
            return m_root;
        if (index == kCount + 1)
            return m_program;
        if (index == kCount + 2)
            return m_outside;
        return kTokens[index];
    }

    // One read (even [operation]) or write (odd) of [name].
    std::string tryName(const std::string& programName, int operation) {
        // A relative name starts in the program's folder, as it does for the runner under
        // --safe (which works there); the fuzzer itself keeps its working folder.
        std::string name = platform::localPath(programName);
        if (name.empty() || name.front() != '/')
            name = m_program + "/" + name;
        platform::FileError error{};
        if (operation % 2 == 0) {
            // As loadfile and pictures read: regular files only, so the FIFO cannot block.
            platform::Access access;
            access.beneath = &m_folder;
            access.kinds = platform::FileKinds::RegularOnly;
            const auto content = platform::readWholeFile(name, &error, 1 << 20, access);
            if (content && content->find(kSecret) != std::string::npos)
                return "read a secret through \"" + name + "\"";
        } else {
            platform::writeFileAtomically(name, operation == 1 ? "written" : "", &error, &m_folder);
        }
        const Snapshot after = snapshot(m_root, "program");
        if (after != m_before)
            return "\"" + name + "\" changed the tree outside the program folder:\n" + difference(m_before, after);
        for (const auto& [path, what] : snapshot(m_program, ""))
            if (path.find(".moxy-save-") != std::string::npos)
                return "\"" + name + "\" left the temporary file " + path;
        return {};
    }

    void build() {
        makeFolder(m_program);
        makeFolder(m_outside);
        makeFolder(m_outside + "/deep");
        makeFolder(m_program + "/sub");
        writeText(m_root + "/secret.txt", std::string(kSecret) + " beside the program folder");
        writeText(m_outside + "/secret.txt", std::string(kSecret) + " in the outside folder");
        writeText(m_outside + "/deep/secret.txt", std::string(kSecret) + " deep outside");
        writeText(m_program + "/a.txt", "inside a");
        writeText(m_program + "/sub/b.txt", "inside b");
        link("..", m_program + "/sub/up");
        link("../..", m_program + "/sub/upup");
        link("../outside/new.txt", m_program + "/dangling");
        link(m_outside + "/new.txt", m_program + "/danglingabs");
        link("../outside", m_program + "/outdir");
        link(m_outside, m_program + "/absdir");
        link("..", m_program + "/parent");
        link(".", m_program + "/self");
        link("sub/b.txt", m_program + "/inner");
        link("loop", m_program + "/loop");
        link("../program/a.txt", m_outside + "/back");
        if (::mkfifo((m_program + "/pipe").c_str(), 0600) != 0)
            throw std::runtime_error("cannot make a FIFO");
    }

    // Puts the program folder back as it was: files the input wrote go, files it
    // replaced get their text back.
    void restore() {
        const Snapshot now = snapshot(m_program, "");
        for (const auto& [path, what] : now)
            if (!m_inside.count(path) && what.rfind("file ", 0) == 0)
                ::unlink((m_program + "/" + path).c_str());
        for (const auto& [path, what] : m_inside)
            if (what.rfind("file ", 0) == 0 && now.count(path) && now.at(path) != what)
                writeText(m_program + "/" + path, what.substr(5));
    }

    // Everything below [folder] (links not followed, [skip] left out): path -> kind and
    // content.
    static Snapshot snapshot(const std::string& folder, const std::string& skip) {
        Snapshot entries;
        walk(folder, "", skip, entries);
        return entries;
    }

    static void walk(const std::string& folder, const std::string& prefix, const std::string& skip, Snapshot& entries) {
        DIR* directory = ::opendir(folder.c_str());
        if (!directory)
            return;
        while (const dirent* entry = ::readdir(directory)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || (prefix.empty() && name == skip))
                continue;
            const std::string path = folder + "/" + name;
            const std::string relative = prefix + name;
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                continue;
            if (S_ISDIR(status.st_mode)) {
                entries[relative] = "folder";
                walk(path, relative + "/", skip, entries);
            } else if (S_ISLNK(status.st_mode)) {
                std::string target(4096, '\0');
                const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
                target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
                entries[relative] = "link " + target;
            } else if (S_ISREG(status.st_mode)) {
                std::ifstream file(path, std::ios::binary);
                std::ostringstream content;
                content << file.rdbuf();
                entries[relative] = "file " + content.str();
            } else {
                entries[relative] = "special " + std::to_string(status.st_mode & S_IFMT);
            }
        }
        ::closedir(directory);
    }

    static std::string difference(const Snapshot& before, const Snapshot& after) {
        std::string text;
        for (const auto& [path, what] : after)
            if (!before.count(path) || before.at(path) != what)
                text += "  now " + path + ": " + what + "\n";
        for (const auto& [path, what] : before)
            if (!after.count(path))
                text += "  gone " + path + "\n";
        return text;
    }

    static void makeFolder(const std::string& path) {
        if (::mkdir(path.c_str(), 0700) != 0)
            throw std::runtime_error("cannot make " + path);
    }
    static void link(const std::string& target, const std::string& path) {
        if (::symlink(target.c_str(), path.c_str()) != 0)
            throw std::runtime_error("cannot link " + path);
    }
    static void writeText(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    static void removeAll(const std::string& path) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            return;
        if (S_ISDIR(status.st_mode)) {
            if (DIR* directory = ::opendir(path.c_str())) {
                std::vector<std::string> names;
                while (const dirent* entry = ::readdir(directory))
                    if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                        names.emplace_back(entry->d_name);
                ::closedir(directory);
                for (const std::string& name : names)
                    removeAll(path + "/" + name);
            }
            ::rmdir(path.c_str());
        } else {
            ::unlink(path.c_str());
        }
    }

    std::string m_root;
    std::string m_program;
    std::string m_outside;
    platform::Folder m_folder;
    Snapshot m_before;
    Snapshot m_inside;
};

}  // namespace safe_path
