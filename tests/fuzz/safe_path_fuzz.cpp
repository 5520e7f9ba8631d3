// The --safe file access: names built from "..", "/", links that lead out of the program
// folder and the tree's absolute paths are read and written through the folder's handle;
// nothing outside it may be created, changed or read.
#include "fuzz/safe_path_tree.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static safe_path::Tree tree;
    const std::string problem = tree.tryInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "escape: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
