#include "moxy/listing.h"

#include "moxy/escape.h"
#include "moxy/format.h"

#include <cstdio>

namespace moxy {

namespace {

std::uint8_t at(std::string_view code, std::size_t offset) { return static_cast<std::uint8_t>(code[offset]); }

// Length of the run of characters from [offset] on that satisfy [belongs].
template <typename Predicate>
std::size_t runLength(std::string_view code, std::size_t offset, Predicate belongs) {
    std::size_t end = offset;
    while (end < code.size() && belongs(at(code, end)))
        ++end;
    return end - offset;
}

bool isIgnored(std::uint8_t byte) {
    return !opInfo(byte) && !isLiteral(byte) && byte != kLabelMarker;
}

std::string cellDigitsText(std::string_view code, std::size_t offset) {
    // A digit that is missing at the end of the file, or has code 0 or 255, keeps the
    // value of the previous reference executed: a listing cannot know it.
    auto digit = [&](std::size_t index) -> int {
        if (index >= code.size() || !isCellDigit(at(code, index)))
            return -1;
        return at(code, index);
    };
    const int hi = digit(offset + 1);
    const int lo = digit(offset + 2);
    if (hi >= 0 && lo >= 0)
        return std::to_string(cellNumber(hi, lo));
    auto part = [](int value) { return value < 0 ? std::string("kept") : std::to_string(value); };
    return "hi " + part(hi) + ", lo " + part(lo) + " (a kept digit comes from the previous reference)";
}

}  // namespace

std::string_view keyName(std::uint8_t selector) {
    const KeyInfo* key = keyInfo(selector);
    return key ? key->name : std::string_view();
}

Instruction decodeAt(std::string_view code, std::size_t offset) {
    Instruction instruction;
    instruction.offset = offset;
    const std::uint8_t byte = at(code, offset);

    if (isLiteral(byte)) {
        instruction.length = runLength(code, offset, isLiteral);
        instruction.text = "Text " + quoted(code.substr(offset, instruction.length));
        return instruction;
    }
    if (byte == kLabelMarker) {
        instruction.length = runLength(code, offset, [](std::uint8_t b) { return b == kLabelMarker; });
        instruction.text = "label " + std::to_string(instruction.length);
        if (instruction.length > static_cast<std::size_t>(kHighestLabel))
            instruction.text += " (longer than 999 markers: never a jump target)";
        return instruction;
    }
    const OpInfo* op = opInfo(byte);
    if (!op) {
        instruction.length = runLength(code, offset, isIgnored);
        instruction.text = "Ignored";
        for (std::size_t i = 0; i < instruction.length; ++i)
            instruction.text += " " + std::to_string(at(code, offset + i));
        return instruction;
    }

    instruction.text = std::string(op->name);
    switch (op->operand) {
    case Operand::None:
        instruction.length = 1;
        break;
    case Operand::CellDigits:
        instruction.length = 3;
        instruction.text += " " + cellDigitsText(code, offset);
        break;
    case Operand::KeySelector:
    case Operand::SubCode: {
        instruction.length = 2;
        if (offset + 1 >= code.size()) {
            instruction.text += " (cut off at the end: does nothing)";
            break;
        }
        const std::uint8_t operand = at(code, offset + 1);
        std::string_view name;
        if (op->operand == Operand::KeySelector) {
            name = keyName(operand);
        } else if (const SubCodeInfo* sub = subCodeInfo(operand)) {
            name = sub->name;
        }
        instruction.text += " ";
        instruction.text += name.empty() ? std::to_string(operand) + " (does nothing)" : std::string(name);
        break;
    }
    }
    // An operand cut off by the end of the file shortens the instruction.
    if (offset + instruction.length > code.size())
        instruction.length = code.size() - offset;
    return instruction;
}

std::string listing(std::string_view code, const ListingOptions& options) {
    std::string out;
    for (std::size_t offset = 0; offset < code.size();) {
        const Instruction instruction = decodeAt(code, offset);
        if (options.positions) {
            char buffer[24];
            std::snprintf(buffer, sizeof buffer, "%7zu  ", offset + 1);
            out += buffer;
        }
        out += instruction.text;
        if (options.note) {
            const std::string note = options.note(offset + 1);
            if (!note.empty())
                out += "    ; " + note;
        }
        out += '\n';
        offset += instruction.length;
    }
    return out;
}

}  // namespace moxy
