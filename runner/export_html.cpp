#include "runner/export_html.h"

#include "platform/files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>

// The page template with the runner and the page's script inlined, built from web/ and
// linked into the executable (web/page_embed.cpp); empty when the build had no Emscripten.
extern "C" const char moxy_web_page[];
extern "C" const char moxy_web_page_end[];

namespace runner {

namespace {

constexpr std::string_view kDataMark = "/*MOXY-DATA*/";

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[v >> 12 & 63], kDigits[v >> 6 & 63], kDigits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {kDigits[v >> 18], kDigits[v >> 12 & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {kDigits[v >> 18], kDigits[v >> 12 & 63], kDigits[v >> 6 & 63], '='};
    }
    return out;
}

// A JSON string of a name's bytes taken as Latin-1 (as the runner takes a program's
// texts); "/" escaped so that no "</script" can appear.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte >= 127 || c == '"' || c == '\\' || c == '/' || c == '<') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::optional<std::string> readFile(const std::string& path, std::string& error) {
    platform::FileError failure{};
    auto content = platform::readWholeFile(path, &failure);
    if (!content)
        error = "cannot read " + path + ": " + failure.reason;
    return content;
}

struct PageFile {
    std::string name;
    std::string bytes;
};

// The folder's regular files the program may read, in name order, up to the share; the
// program, source maps, other MOXY files, web pages and hidden files stay out.
std::vector<PageFile> folderFiles(const ExportRequest& request, ExportNotes& notes) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path program = fs::absolute(request.program, code);
    const fs::path page = fs::absolute(request.page, code);
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(program.parent_path(), code))
        if (entry.is_regular_file(code))
            paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    std::vector<PageFile> files;
    std::size_t total = 0;
    for (const fs::path& path : paths) {
        const std::string name = path.filename().string();
        if (fs::equivalent(path, program, code) || fs::equivalent(path, page, code) || name.front() == '.' ||
            endsWith(name, ".moxy") || endsWith(name, ".map") || endsWith(name, ".html") || endsWith(name, ".htm"))
            continue;
        const auto size = fs::file_size(path, code);
        if (code || total + size > kLargestFolderShare) {
            notes.warnings.push_back("left out " + name + " (" + std::to_string(size) +
                                     " bytes): the folder's files may take " +
                                     std::to_string(kLargestFolderShare >> 20) +
                                     " MiB of the page; name the files the program needs with --include");
            code.clear();
            continue;
        }
        std::string error;
        auto bytes = readFile(path.string(), error);
        if (!bytes) {
            notes.warnings.push_back("left out " + name + ": " + error);
            continue;
        }
        total += bytes->size();
        files.push_back({name, std::move(*bytes)});
    }
    return files;
}

int usage(const std::string& message) {
    std::fprintf(stderr, "moxy: %s\nUsage: moxy --export-html PROGRAM.moxy -o PAGE.html [--include FILE]...\n",
                 message.c_str());
    return 1;
}

}  // namespace

std::optional<std::string> exportPage(const ExportRequest& request, ExportNotes& notes, std::string& error) {
    const std::string_view page(moxy_web_page, static_cast<std::size_t>(moxy_web_page_end - moxy_web_page));
    const std::size_t mark = page.find(kDataMark);
    if (mark == std::string_view::npos) {
        error = "this moxy was built without the web runner (Emscripten was missing)";
        return std::nullopt;
    }
    const auto program = readFile(request.program, error);
    if (!program)
        return std::nullopt;
    std::vector<PageFile> files;
    if (request.includes.empty()) {
        files = folderFiles(request, notes);
    } else {
        std::set<std::string> names;
        for (const std::string& path : request.includes) {
            const std::string name = fileName(path);
            if (!names.insert(name).second) {
                error = "--include names two files called " + name + "; the page keeps one folder";
                return std::nullopt;
            }
            auto bytes = readFile(path, error);
            if (!bytes)
                return std::nullopt;
            files.push_back({name, std::move(*bytes)});
        }
    }
    std::string map;
    platform::FileError mapFailure{};
    if (auto text = platform::readWholeFile(request.program + ".map", &mapFailure)) {
        map = std::move(*text);
        notes.included.push_back("the source map " + fileName(request.program) + ".map");
    }

    std::string data = "{\"name\":" + jsonString(fileName(request.program)) + ",\"program\":\"" + base64(*program) +
                       "\",\"map\":\"" + base64(map) + "\",\"files\":[";
    for (std::size_t i = 0; i < files.size(); ++i) {
        data += (i ? ",{\"name\":" : "{\"name\":") + jsonString(files[i].name) + ",\"data\":\"" +
                base64(files[i].bytes) + "\"}";
        notes.included.push_back(files[i].name + " (" + std::to_string(files[i].bytes.size()) + " bytes)");
    }
    data += "]}";
    std::string out;
    out.reserve(page.size() + data.size());
    out.append(page.substr(0, mark)).append(data).append(page.substr(mark + kDataMark.size()));
    return out;
}

bool exportWanted(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--export-html") == 0 || std::strncmp(argv[i], "--export-html=", 14) == 0)
            return true;
    return false;
}

int exportMain(int argc, char** argv) {
    ExportRequest request;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        // "--name VALUE" or "--name=VALUE"
        const auto value = [&](const std::string& name, std::string& into) {
            if (argument == name) {
                if (i + 1 >= argc)
                    return false;
                into = argv[++i];
                return true;
            }
            if (argument.rfind(name + "=", 0) == 0) {
                into = argument.substr(name.size() + 1);
                return true;
            }
            return false;
        };
        std::string included;
        if (value("--export-html", request.program) || value("-o", request.page) || value("--output", request.page))
            continue;
        if (value("--include", included)) {
            request.includes.push_back(included);
            continue;
        }
        return usage("--export-html: unexpected argument " + argument);
    }
    if (request.program.empty())
        return usage("--export-html takes the MOXY file to export");
    if (request.page.empty())
        return usage("--export-html needs -o PAGE.html");
    ExportNotes notes;
    std::string error;
    const std::optional<std::string> page = exportPage(request, notes, error);
    for (const std::string& warning : notes.warnings)
        std::fprintf(stderr, "moxy: warning: %s\n", warning.c_str());
    if (!page) {
        std::fprintf(stderr, "moxy: %s\n", error.c_str());
        return 1;
    }
    platform::FileError failure{};
    if (!platform::writeFileAtomically(request.page, *page, &failure)) {
        std::fprintf(stderr, "moxy: cannot write %s: %s\n", request.page.c_str(), failure.reason.c_str());
        return 1;
    }
    for (const std::string& line : notes.included)
        std::printf("moxy: included %s\n", line.c_str());
    std::printf("moxy: wrote %s (%zu bytes)\n", request.page.c_str(), page->size());
    return 0;
}

}  // namespace runner
