// Writes one large compiler source for bench/run: a short piece of text repeated up to a
// size, chosen to find what is slow in a compiler's scan (many messages, many statements,
// delimiters that never close, nothing to compile at all).
//   make_sources KIND BYTES FILE
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace {

struct Kind {
    std::string_view name;
    std::string_view piece;  // repeated, the last copy cut at the size
    std::string_view what;
    std::string_view start = {};  // written once before the pieces
    std::string_view end = {};    // written once after them, within the size
};

constexpr Kind kKinds[] = {
    {"quillon-undeclared", "print[x][y][t]\r\n", "statements whose names were never declared"},
    {"quillon-statements", "set[a]{5}\r\ninc[a]\r\nprint[a][a][a]\r\n", "statements on one declared name",
     "dim[a]\r\n"},
    {"newlines", "\n", "nothing but line breaks"},
    {"braces", "{", "opening braces"},
    {"brackets", "[", "opening brackets"},
    {"quillon-open", "print*[", "statements whose brackets never close"},
    {"long-line", "a", "one line without a statement"},
    {"vorna-mnemonics", "SETPAR1 PRINT ", "mnemonics"},
    {"vorna-dim-use", "DIM[a] USE[b] ", "declarations and uses"},
    {"vorna-dim", "DIM[", "DIM[ that never closes"},
    {"vorna-backticks", "`", "backtick escapes"},
    {"vorna-nested-names", "DIM[", "DIM[ nested, closed once at the end: every name a suffix of the last", {}, "]"},
};

}  // namespace

int main(int argc, char** argv) {
    const auto usage = [] {
        std::cerr << "usage: make_sources KIND BYTES FILE\nkinds:\n";
        for (const Kind& kind : kKinds)
            std::cerr << "  " << kind.name << ": " << kind.what << "\n";
        return 1;
    };
    if (argc != 4)
        return usage();
    const Kind* chosen = nullptr;
    for (const Kind& kind : kKinds) {
        if (kind.name == argv[1])
            chosen = &kind;
    }
    const long long size = std::atoll(argv[2]);
    if (!chosen || size < 0)
        return usage();

    // One block of many copies, written again and again, keeps the writing fast.
    std::string block;
    while (block.size() < (std::size_t{1} << 20))
        block += chosen->piece;
    std::ofstream file(argv[3], std::ios::binary);
    file.write(chosen->start.data(), static_cast<std::streamsize>(chosen->start.size()));
    for (long long left = size - static_cast<long long>(chosen->start.size() + chosen->end.size()); left > 0;) {
        const long long count = left < static_cast<long long>(block.size()) ? left : static_cast<long long>(block.size());
        file.write(block.data(), count);
        left -= count;
    }
    file.write(chosen->end.data(), static_cast<std::streamsize>(chosen->end.size()));
    return file ? 0 : 1;
}
