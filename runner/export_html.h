// `moxy --export-html PROGRAM.moxy -o PAGE.html`: one self-contained web page holding the
// runner compiled to WebAssembly, the program, its source map when one lies beside it,
// and the files the program may read: the regular files of the program's folder up to
// kLargestFolderShare bytes together, or only those named with --include. No Qt.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace runner {

inline constexpr std::size_t kLargestFolderShare = std::size_t{8} << 20;

struct ExportRequest {
    std::string program;                // the MOXY file
    std::string page;                   // the HTML file to write
    std::vector<std::string> includes;  // when not empty: these files instead of the folder's
};

// The exporter's account: one line per file included or left out.
struct ExportNotes {
    std::vector<std::string> included;
    std::vector<std::string> warnings;
};

// Builds the page's text, or nullopt with [error] set (the program or an included file
// cannot be read, a name is given twice, this moxy holds no web runner).
std::optional<std::string> exportPage(const ExportRequest& request, ExportNotes& notes, std::string& error);

// Whether the command line asks for an export (--export-html is among the arguments).
bool exportWanted(int argc, char** argv);
// The whole `moxy --export-html` command: parses the arguments, writes the page, says on
// standard output what it included and on standard error what it left out. The exit
// status: 0 written, 1 usage error or a file that cannot be read or written.
int exportMain(int argc, char** argv);

}  // namespace runner
