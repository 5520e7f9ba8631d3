#include "quillon/name_table.h"

#include <algorithm>
#include <functional>

namespace quillon {

std::size_t NameTable::bucketOf(std::string_view name) const {
    const std::size_t mask = m_index.size() - 1;
    std::size_t bucket = std::hash<std::string_view>{}(name) & mask;
    while (m_index[bucket].slot >= 0 && m_index[bucket].name != name)
        bucket = (bucket + 1) & mask;
    return bucket;
}

void NameTable::grow() {
    std::vector<Entry> old = std::move(m_index);
    m_index.assign(old.empty() ? 64 : old.size() * 2, Entry{});
    for (const Entry& entry : old) {
        if (entry.slot >= 0)
            m_index[bucketOf(entry.name)] = entry;
    }
}

std::optional<int> NameTable::find(std::string_view name) const {
    if (name.empty()) {
        if (m_filled < kSlotCount)
            return m_filled;
        return std::nullopt;
    }
    if (name == kReservedText)
        return m_firstReserved;
    if (m_index.empty())
        return std::nullopt;
    const Entry& entry = m_index[bucketOf(name)];
    if (entry.slot < 0)
        return std::nullopt;
    return entry.slot;
}

NameTable::Declaration NameTable::declare(std::string_view name) {
    if (name == kReservedText)
        return Declaration::Reserved;
    // The walk in slot order meets every filled slot before the first empty one; the
    // empty name equals that empty slot.
    if (find(name))
        return Declaration::AlreadyDeclared;
    if (m_filled == kSlotCount)
        return Declaration::TableFull;
    if (static_cast<std::size_t>(m_names + 1) * 2 > m_index.size())
        grow();
    m_index[bucketOf(name)] = Entry{name, m_filled};
    ++m_names;
    ++m_filled;
    return Declaration::Stored;
}

std::vector<std::pair<std::string_view, int>> NameTable::declared() const {
    std::vector<std::pair<std::string_view, int>> names;
    names.reserve(static_cast<std::size_t>(m_names));
    for (const Entry& entry : m_index)
        if (entry.slot >= 0)
            names.emplace_back(entry.name, entry.slot);
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return names;
}

int NameTable::reserve(std::optional<double> count) {
    int reserved = 0;
    int counter = 1;
    while (m_filled < kSlotCount) {
        if (!m_firstReserved)
            m_firstReserved = m_filled;
        ++m_filled;
        ++reserved;
        ++counter;
        // Deliberate: a count that is no number fails the comparison, and the failed
        // comparison ends the statement after one reservation.
        if (!count || *count == counter)
            break;
    }
    return reserved;
}

}  // namespace quillon
