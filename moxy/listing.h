// A readable listing of MOXY code: one line per instruction, literal runs as quoted
// text, label runs as `label N`, cell numbers in decimal. Used by `moxy --disasm`, by the
// runner's trace and by tests that check what a compiler wrote.
#pragma once

#include "moxy/escape.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace moxy {

// One instruction as the listing shows it.
struct Instruction {
    std::size_t offset = 0;  // 0-based offset of its first character
    std::size_t length = 0;  // characters it covers
    std::string text;        // e.g. `SelectCell 33150`, `Text "Hi"`, `label 3`
};

// Decodes the instruction that starts at [offset] of [code]. Runs of literal
// characters, of label markers and of ignored codes come as one instruction each.
Instruction decodeAt(std::string_view code, std::size_t offset);

struct ListingOptions {
    bool positions = false;  // start each line with the 1-based position
    // Optional note for the line of an instruction at a 1-based position (a source
    // location, say); an empty result adds nothing.
    std::function<std::string(std::size_t position)> note;
};

// The whole listing of [code], one line per instruction, each ending in "\n".
std::string listing(std::string_view code, const ListingOptions& options = {});

// "A", "Up", "Digit1" ... for a key selector, or "" when it names no key.
std::string_view keyName(std::uint8_t selector);

}  // namespace moxy
