// The Quillon name table: 125 x 125 slots, each empty, reserved ("0", by freespace) or
// holding a declared name, walked in slot order: first index 130..254 in the outer loop,
// second index 130..254 in the inner one. Every filling takes the first empty slot, so the
// filled slots always form a prefix of that order; the table keeps that prefix's length
// and an index from names to slots instead of walking 15,625 slots per question. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

class NameTable {
public:
    static constexpr int kFirstIndex = 130;
    static constexpr int kLastIndex = 254;
    static constexpr int kSide = kLastIndex - kFirstIndex + 1;  // 125
    static constexpr int kSlotCount = kSide * kSide;            // 15,625
    static constexpr std::string_view kReservedText = "0";

    // A slot's place in slot order, 0 .. kSlotCount - 1, and its two indices.
    static constexpr int firstIndex(int slot) { return kFirstIndex + slot / kSide; }
    static constexpr int secondIndex(int slot) { return kFirstIndex + slot % kSide; }

    enum class Declaration { Stored, Reserved, AlreadyDeclared, TableFull };

    // The first slot in slot order whose text equals [name]: an empty name finds the
    // first empty slot, "0" the first reserved one. nullopt when no slot matches.
    std::optional<int> find(std::string_view name) const;

    // Declares [name] as the dim statement does: "0" is refused (Reserved); a name that
    // equals a slot before the first empty one, or the empty name while a slot is empty,
    // is AlreadyDeclared; otherwise the name takes the first empty slot, or nothing
    // happens when none is left (TableFull).
    Declaration declare(std::string_view name);

    // The freespace statement: puts "0" into empty slots in slot order, counting from 1
    // and stopping when [count] equals the count after a reservation, or when no empty
    // slot is left. A count that is no number (nullopt) stops after the first. Returns
    // the number of slots reserved.
    int reserve(std::optional<double> count);

    // The declared names with their slots, in slot order (the order of declaration).
    std::vector<std::pair<std::string_view, int>> declared() const;

private:
    struct Entry {
        std::string_view name;
        int slot = -1;  // -1: unused
    };

    std::size_t bucketOf(std::string_view name) const;
    void grow();

    int m_filled = 0;
    std::optional<int> m_firstReserved;
    std::vector<Entry> m_index;  // open addressing, power-of-two size
    int m_names = 0;
};

}  // namespace quillon
