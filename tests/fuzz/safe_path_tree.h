// A temporary tree for the --safe file access, shared by the fuzzer and its corpus replay (no
// Qt): a program folder with files, a FIFO and links of every kind that could lead out of it,
// beside a folder with secrets. tryInput() reads and writes the names an input describes
// through the program folder's handle and reports what reached outside.
#pragma once

#include "platform/file_io.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

namespace safe_path {

class Tree {
public:
    Tree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "moxy-safe-path-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_root = pattern;
        m_program = m_root + "/program";
        m_outside = m_root + "/outside";
        std::filesystem::create_directories(m_outside + "/deep"), std::filesystem::create_directories(m_program + "/sub");
        for (const std::string& folder : {m_root, m_outside, m_outside + "/deep"})
            std::ofstream(folder + "/secret.txt") << "SECRET outside the program folder";
        std::ofstream(m_program + "/a.txt") << "inside a";
        std::ofstream(m_program + "/sub/b.txt") << "inside b";
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
    ~Tree() { std::filesystem::remove_all(m_root); }

    // The first byte picks the kernel's resolution or the component walk; then each name is
    // built from tokens (0xef and a raw byte) and ends with an operation byte (0xf0 and above).
    // Returns what was touched outside the program folder, or "".
    std::string tryInput(const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            return {};
        platform::setBeneathResolution((data[0] & 1) ? platform::BeneathResolution::ComponentWalk : platform::BeneathResolution::Kernel);
        std::string name, problem;
        for (std::size_t i = 1; i < size && problem.empty(); ++i) {
            if (data[i] >= 0xf0) {
                problem = tryName(name, data[i] & 3);
                name.clear();
            } else if (data[i] == 0xef && i + 1 < size) {
                name += data[++i] != 0 ? std::string(1, static_cast<char>(data[i])) : "";
            } else {
                name += token(data[i]);
            }
        }
        if (problem.empty() && !name.empty())
            problem = tryName(name, 0);
        // The program folder back as it was: new files go, changed ones get their text back.
        const Snapshot now = snapshot(m_program, false);
        for (const auto& [path, what] : now)
            if (!m_inside.count(path) && what.rfind("file ", 0) == 0)
                ::unlink((m_program + "/" + path).c_str());
        for (const auto& [path, what] : m_inside)
            if (what.rfind("file ", 0) == 0 && now.count(path) && now.at(path) != what)
                std::ofstream(m_program + "/" + path, std::ios::binary | std::ios::trunc) << what.substr(5);
        return problem;
    }

private:
    using Snapshot = std::map<std::string, std::string>;

    std::string token(std::uint8_t byte) const {
        static const char* const kTokens[] = {"/", "..", ".", "a.txt", "sub", "b.txt", "up", "upup", "dangling",
            "danglingabs", "outdir", "absdir", "parent", "self", "inner", "loop", "pipe", "secret.txt", "new.txt",
            "outside", "program", "\\", "//", "deep"};
        constexpr std::size_t kCount = std::size(kTokens);
        const std::size_t index = byte % (kCount + 3);
        return index < kCount ? kTokens[index] : index == kCount ? m_root : index == kCount + 1 ? m_program : m_outside;
    }

    // One read (even [operation]) or write (odd) of [name], relative to the program's folder.
    std::string tryName(const std::string& programName, int operation) {
        std::string name = platform::localPath(programName);
        if (name.empty() || name.front() != '/')
            name = m_program + "/" + name;
        platform::FileError error{};
        if (operation % 2 == 0) {
            platform::Access access;  // as loadfile and pictures read: regular files only
            access.beneath = &m_folder;
            access.kinds = platform::FileKinds::RegularOnly;
            const auto content = platform::readWholeFile(name, &error, 1 << 20, access);
            if (content && content->find("SECRET") != std::string::npos)
                return "read a secret through \"" + name + "\"";
        } else {
            platform::writeFileAtomically(name, operation == 1 ? "written" : "", &error, &m_folder);
        }
        if (snapshot(m_root, true) != m_before)
            return "\"" + name + "\" changed the tree outside the program folder";
        for (const auto& [path, what] : snapshot(m_program, false))
            if (path.find(".moxy-save-") != std::string::npos)
                return "\"" + name + "\" left the temporary file " + path;
        return {};
    }

    // Everything below [folder] (but the program folder's content when [skipProgram]): relative path -> kind and content.
    Snapshot snapshot(const std::string& folder, bool skipProgram) const {
        Snapshot entries;
        std::error_code error;
        for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
             entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
            if (skipProgram && entry->path() == m_program)
                entry.disable_recursion_pending();
            const auto kind = entry->symlink_status(error).type();
            std::string& what = entries[entry->path().lexically_relative(folder).string()];
            std::ifstream file(kind == std::filesystem::file_type::regular ? entry->path() : "", std::ios::binary);
            what = kind == std::filesystem::file_type::symlink ? "link " + std::filesystem::read_symlink(entry->path(), error).string()
                 : kind == std::filesystem::file_type::regular ? "file " + std::string(std::istreambuf_iterator<char>(file), {})
                 : "kind " + std::to_string(static_cast<int>(kind));
        }
        return entries;
    }

    std::string m_root, m_program, m_outside;
    platform::Folder m_folder;
    Snapshot m_before, m_inside;
};

}  // namespace safe_path
