// A temporary tree for trying names on the --safe file access: a program folder with
// files, folders and symbolic links of every kind that could lead out of it (dangling, to
// a folder outside, to its parent, absolute, looping), a FIFO, and beside it a folder
// with secrets. tryInput() reads and writes the names an input describes through the
// program folder's handle and reports anything that reached outside: a file created,
// changed or removed there, a secret read, or a temporary file left behind. Shared by the
// fuzzer and the test that replays its corpus; needs no Qt.
#pragma once

#include "platform/file_io.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace safe_path {

inline const char kSecret[] = "SECRET";

class Tree {
public:
    Tree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "moxy-safe-path-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_root = pattern;
        m_program = m_root + "/program";
        m_outside = m_root + "/outside";
        for (const std::string& folder : {m_program, m_outside, m_outside + "/deep", m_program + "/sub"})
            std::filesystem::create_directory(folder);
        for (const std::string& secret : {m_root + "/secret.txt", m_outside + "/secret.txt", m_outside + "/deep/secret.txt"})
            writeText(secret, std::string(kSecret) + " outside the program folder");
        writeText(m_program + "/a.txt", "inside a");
        writeText(m_program + "/sub/b.txt", "inside b");
        const std::pair<std::string, std::string> links[] = {
            {"..", "sub/up"}, {"../..", "sub/upup"}, {"../outside/new.txt", "dangling"},
            {m_outside + "/new.txt", "danglingabs"}, {"../outside", "outdir"}, {m_outside, "absdir"},
            {"..", "parent"}, {".", "self"}, {"sub/b.txt", "inner"}, {"loop", "loop"}, {"../program/a.txt", "../outside/back"}};
        for (const auto& [target, name] : links)
            std::filesystem::create_symlink(target, m_program + "/" + name);
        if (::mkfifo((m_program + "/pipe").c_str(), 0600) != 0)
            throw std::runtime_error("cannot make a FIFO");
        m_folder = *platform::Folder::open(m_program);
        m_before = snapshot(m_root, true);
        m_inside = snapshot(m_program, false);
    }
    ~Tree() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
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
            if (data[i] >= 0xf0) {
                problem = tryName(name, data[i] & 3);
                name.clear();
            } else if (data[i] == 0xef && i + 1 < size) {
                if (data[++i] != 0)
                    name += static_cast<char>(data[i]);
            } else {
                name += token(data[i]);
            }
        }
        if (problem.empty() && !name.empty())
            problem = tryName(name, 0);
        // Puts the program folder back: files the input wrote go, replaced ones get their text back.
        const Snapshot now = snapshot(m_program, false);
        for (const auto& [path, what] : now)
            if (!m_inside.count(path) && what.rfind("file ", 0) == 0)
                ::unlink((m_program + "/" + path).c_str());
        for (const auto& [path, what] : m_inside)
            if (what.rfind("file ", 0) == 0 && now.count(path) && now.at(path) != what)
                writeText(m_program + "/" + path, what.substr(5));
        return problem;
    }

private:
    using Snapshot = std::map<std::string, std::string>;

    std::string token(std::uint8_t byte) const {
        static const char* const kTokens[] = {"/",         "..",      ".",         "a.txt",       "sub",    "b.txt",
                                              "up",        "upup",    "dangling",  "danglingabs", "outdir", "absdir",
                                              "parent",    "self",    "inner",     "loop",        "pipe",   "secret.txt",
                                              "new.txt",   "outside", "program",   "\\",          "//",     "deep"};
        constexpr std::size_t kCount = std::size(kTokens);
        const std::size_t index = byte % (kCount + 3);
        return index < kCount ? kTokens[index] : index == kCount ? m_root : index == kCount + 1 ? m_program : m_outside;
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
        const Snapshot after = snapshot(m_root, true);
        std::string changes;
        for (const auto& [path, what] : after)
            if (!m_before.count(path) || m_before.at(path) != what)
                changes += "  now " + path + ": " + what + "\n";
        for (const auto& [path, what] : m_before)
            if (!after.count(path))
                changes += "  gone " + path + "\n";
        if (!changes.empty())
            return "\"" + name + "\" changed the tree outside the program folder:\n" + changes;
        for (const auto& [path, what] : snapshot(m_program, false))
            if (path.find(".moxy-save-") != std::string::npos)
                return "\"" + name + "\" left the temporary file " + path;
        return {};
    }

    // Everything below [folder], links not followed (and the program folder left out when
    // [skipProgram]): relative path -> kind and content.
    Snapshot snapshot(const std::string& folder, bool skipProgram) const {
        Snapshot entries;
        std::error_code error;
        for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
             entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
            const std::string relative = entry->path().lexically_relative(folder).string();
            const auto kind = entry->symlink_status(error).type();
            if (skipProgram && entry->path() == m_program) {
                entry.disable_recursion_pending();
            } else if (kind == std::filesystem::file_type::directory) {
                entries[relative] = "folder";
            } else if (kind == std::filesystem::file_type::symlink) {
                entries[relative] = "link " + std::filesystem::read_symlink(entry->path(), error).string();
            } else if (kind == std::filesystem::file_type::regular) {
                std::ostringstream content;
                content << std::ifstream(entry->path(), std::ios::binary).rdbuf();
                entries[relative] = "file " + content.str();
            } else {
                entries[relative] = "special " + std::to_string(static_cast<int>(kind));
            }
        }
        return entries;
    }

    static void writeText(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    std::string m_root;
    std::string m_program;
    std::string m_outside;
    platform::Folder m_folder;
    Snapshot m_before;
    Snapshot m_inside;
};

}  // namespace safe_path
