// The VORNA scan: one pass over the source in which every position is tested against
// the mnemonics in table order; a match appends its code and moves the scan past the
// mnemonic, and the step to the next position then passes over one more character.
// DIM and USE read their bracketed name with the shared ExtractBetween (its search that
// remembers what it has searched) but do not move past the brackets, so the name's own
// characters are scanned too.
#include "vorna/compiler.h"

#include "moxy/format.h"
#include "scan/delimiter_search.h"
#include "scan/line_counter.h"
#include "scan/progress_meter.h"
#include "scan/warning_budget.h"
#include "vorna/mnemonics.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

namespace vorna {

namespace {

// For every first character, the mnemonics that begin with it, in table order: a position
// is compared only with the few mnemonics that can stand there.
struct Dispatch {
    static constexpr int kMaxPerCharacter = 8;
    std::array<std::array<std::uint8_t, kMaxPerCharacter>, 256> mnemonics{};
    std::array<std::uint8_t, 256> counts{};
};

constexpr Dispatch buildDispatch() {
    Dispatch dispatch{};
    for (std::size_t i = 0; i < std::size(kMnemonics); ++i) {
        const auto first = static_cast<unsigned char>(kMnemonics[i].text.front());
        dispatch.mnemonics[first][dispatch.counts[first]++] = static_cast<std::uint8_t>(i);
    }
    return dispatch;
}

constexpr Dispatch kDispatch = buildDispatch();

// Names are views into the source, and DIM and USE do not move past their brackets, so
// one source can ask about millions of names that overlap: DIM[DIM[DIM[...] asks about
// every suffix of one long stretch, and a DIM after the last "[" asks about the stretch
// from the first character each time. Hashing every name afresh would take time that grows
// with the square of the source. But a name always runs from its start to the next "]",
// and the scan asks for names with ascending starts: names that end at the same "]" come
// one after the other, each a suffix of the one before, and names that end at different
// ones do not overlap. A hash of the form sum of c[k] x B^k, taken modulo the prime
// 2^61 - 1, is carried from one suffix to the next by dropping the leading characters, so
// all names together cost time in proportion to the source.
class NameHasher {
public:
    struct Hash {
        std::uint64_t first = 0;
        std::uint64_t second = 0;
        bool operator==(const Hash&) const = default;
    };

    NameHasher() {
        // Random bases: what collides cannot be chosen in advance. The code does not
        // depend on them; only how long a compile takes could.
        std::random_device random;
        for (Base& base : m_bases) {
            const std::uint64_t drawn = (std::uint64_t{random()} << 32) ^ random();
            base.value = (drawn % (kPrime - (1u << 20))) + (1u << 20);
            base.inverse = power(base.value, kPrime - 2);
        }
    }

    Hash operator()(std::string_view name) {
        if (name.empty())
            return {};
        if (name.data() == m_last.data() && name.size() == m_last.size())
            return m_lastHash;
        const char* end = name.data() + name.size();
        if (m_last.empty() || end != m_last.data() + m_last.size() || name.data() < m_last.data()) {
            // A name with another end: hashed from its last character back.
            Hash hash;
            for (std::size_t k = name.size(); k-- > 0;) {
                const std::uint64_t c = static_cast<unsigned char>(name[k]) + 1u;
                hash.first = add(multiply(hash.first, m_bases[0].value), c);
                hash.second = add(multiply(hash.second, m_bases[1].value), c);
            }
            m_last = name;
            m_lastHash = hash;
            return hash;
        }
        // A suffix of the last name: drop its leading characters.
        Hash hash = m_lastHash;
        for (const char* at = m_last.data(); at < name.data(); ++at) {
            const std::uint64_t c = static_cast<unsigned char>(*at) + 1u;
            hash.first = multiply(add(hash.first, kPrime - c), m_bases[0].inverse);
            hash.second = multiply(add(hash.second, kPrime - c), m_bases[1].inverse);
        }
        m_last = name;
        m_lastHash = hash;
        return hash;
    }

private:
    static constexpr std::uint64_t kPrime = (std::uint64_t{1} << 61) - 1;
    struct Base {
        std::uint64_t value = 0;
        std::uint64_t inverse = 0;
    };

    static std::uint64_t add(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t sum = a + b;
        return sum >= kPrime ? sum - kPrime : sum;
    }
    static std::uint64_t multiply(std::uint64_t a, std::uint64_t b) {
        __extension__ using Wide = unsigned __int128;
        const Wide product = static_cast<Wide>(a) * b;
        const std::uint64_t sum = (static_cast<std::uint64_t>(product) & kPrime) + static_cast<std::uint64_t>(product >> 61);
        return sum >= kPrime ? sum - kPrime : sum;
    }
    static std::uint64_t power(std::uint64_t base, std::uint64_t exponent) {
        std::uint64_t result = 1;
        for (; exponent > 0; exponent >>= 1) {
            if (exponent & 1)
                result = multiply(result, base);
            base = multiply(base, base);
        }
        return result;
    }

    std::array<Base, 2> m_bases{};
    std::string_view m_last;
    Hash m_lastHash;
};

// The declared names, in declaration order. Index count always exists and holds the empty
// name; only the first index of each name matters to USE, so that is all that is kept.
// Each distinct name is kept once, with its second hash and first index; an open-addressed
// table of 16-byte slots (the first hash and where the name is kept) finds it. Sources of
// nested brackets declare millions of distinct names, so the table is small per slot and
// asks for large pages, which spares most of its cache and TLB misses. Names up to
// kCompared characters are also compared character by character; longer ones are told
// apart by their two 61-bit hashes and their length alone, since comparing them could
// again take time that grows with the square of the source.
class NameList {
public:
    NameList() { allocate(1024); }
    ~NameList() { release(); }
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;

    void add(std::string_view name) {
        if (!name.empty()) {
            const NameHasher::Hash hash = m_hasher(name);
            Slot& slot = slotOf(name, hash);
            if (slot.entry == 0) {
                m_entries.push_back({name, hash.second, m_count});
                slot = {hash.first, m_entries.size()};
                if (m_entries.size() * 4 > m_capacity * 3)
                    grow();
            }
        } else if (!m_emptyIndex) {
            m_emptyIndex = m_count;
        }
        ++m_count;
    }

    // The first index whose entry equals [name], the empty entry at index count included.
    std::optional<std::size_t> find(std::string_view name) {
        if (name.empty())
            return m_emptyIndex ? *m_emptyIndex : m_count;
        const Slot& slot = slotOf(name, m_hasher(name));
        if (slot.entry != 0)
            return m_entries[slot.entry - 1].index;
        return std::nullopt;
    }

private:
    static constexpr std::size_t kCompared = 64;
    static constexpr std::size_t kLargePage = std::size_t{2} << 20;

    struct Slot {
        std::uint64_t hash = 0;   // the first hash of the name
        std::uint64_t entry = 0;  // 1 + where the name is kept; 0: free
    };
    struct Entry {
        std::string_view name;
        std::uint64_t secondHash = 0;
        std::size_t index = 0;  // the first index the name was declared at
    };

    // The slot that holds [name], or the free slot where it would go.
    Slot& slotOf(std::string_view name, const NameHasher::Hash& hash) {
        const std::size_t mask = m_capacity - 1;
        for (std::size_t at = (hash.first ^ (hash.second >> 7)) & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.entry == 0)
                return slot;
            if (slot.hash != hash.first)
                continue;
            const Entry& entry = m_entries[slot.entry - 1];
            if (entry.secondHash == hash.second && entry.name.size() == name.size() &&
                (name.size() > kCompared || entry.name == name))
                return slot;
        }
    }

    void allocate(std::size_t capacity) {
        const std::size_t bytes = capacity * sizeof(Slot);
        const std::size_t alignment = bytes >= kLargePage ? kLargePage : alignof(Slot);
        void* memory = ::operator new(bytes, std::align_val_t{alignment});
#ifdef MADV_HUGEPAGE
        if (bytes >= kLargePage)
            ::madvise(memory, bytes, MADV_HUGEPAGE);
#endif
        std::memset(memory, 0, bytes);
        m_slots = static_cast<Slot*>(memory);
        m_capacity = capacity;
        m_alignment = alignment;
    }

    void release() { ::operator delete(m_slots, std::align_val_t{m_alignment}); }

    void grow() {
        Slot* const old = m_slots;
        const std::size_t oldCapacity = m_capacity;
        const std::size_t oldAlignment = m_alignment;
        allocate(oldCapacity * 2);
        for (std::size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].entry == 0)
                continue;
            const Entry& entry = m_entries[old[i].entry - 1];
            slotOf(entry.name, {old[i].hash, entry.secondHash}) = old[i];
        }
        ::operator delete(old, std::align_val_t{oldAlignment});
    }

    NameHasher m_hasher;
    Slot* m_slots = nullptr;  // m_capacity slots, a power of two, at most three quarters used
    std::size_t m_capacity = 0;
    std::size_t m_alignment = 0;
    std::vector<Entry> m_entries;             // each distinct name once
    std::optional<std::size_t> m_emptyIndex;  // the first DIM of the empty name
    std::size_t m_count = 0;
};

// Most map entries reserved before the scan: 512 MiB of address space.
constexpr std::size_t kReservedMapEntries = std::size_t{1} << 25;

class Compiler {
public:
    Compiler(std::string_view source, const moxy::DiagnosticFunction& report, const std::function<void(int)>& progress)
        : m_report(report),
          m_source(source),
          m_limit(static_cast<long long>(source.size())),
          m_progress(progress, m_limit),
          m_lines(source),
          m_search(source),
          m_warnings(static_cast<bool>(report)) {
        // A mnemonic and the character after it take at least two positions, so the map
        // has at most one entry per two source characters. Reserving that room up front
        // (address space, touched only as it fills) spares the copies of a growing map,
        // which on backtick-dense sources cost more than the scan; very large sources
        // reserve a part and grow from there.
        m_map.reserve(std::min<std::size_t>(source.size() / 2 + 1, kReservedMapEntries));
        if (m_report) {
            m_marks.assign(source.size(), 0);
        }
    }

    moxy::CompileResult run() {
        for (m_position = 1; m_position <= m_limit; ++m_position) {
            if (const Mnemonic* mnemonic = matchAt(m_position))
                compile(*mnemonic);
            m_progress.at(m_position);
        }
        if (m_report) {
            warnAboutWords();
            if (m_warnings.unreported() > 0) {
                const auto [line, column] = m_lines.locate(m_source.size());
                m_report(moxy::Diagnostic{line, column, moxy::Severity::Warning, m_warnings.summary()});
            }
        }
        moxy::CompileResult result;
        result.code = m_writer.take();
        result.map = std::move(m_map);
        // No names: a USE does not reach the cell its name stands for, so no declared
        // name has a cell of its own.
        return result;
    }

private:
    const Mnemonic* matchAt(long long position) const {
        const auto offset = static_cast<std::size_t>(position - 1);
        const auto first = static_cast<unsigned char>(m_source[offset]);
        const std::size_t left = m_source.size() - offset;
        for (int i = 0; i < kDispatch.counts[first]; ++i) {
            const Mnemonic& mnemonic = kMnemonics[kDispatch.mnemonics[first][i]];
            if (mnemonic.text.size() <= left && m_source.compare(offset, mnemonic.text.size(), mnemonic.text) == 0)
                return &mnemonic;
        }
        return nullptr;
    }

    void compile(const Mnemonic& mnemonic) {
        const auto sourceOffset = static_cast<std::size_t>(m_position - 1);
        m_statementOffset = sourceOffset;
        const std::size_t codeStart = m_writer.code().size();
        if (m_report)
            m_marks[sourceOffset] |= kMnemonicAt;
        m_position += static_cast<long long>(mnemonic.text.size());
        switch (mnemonic.action) {
        case Action::Emit:
            m_writer.byte(mnemonic.code);
            break;
        case Action::Declare:
            declare();
            break;
        case Action::Use:
            use();
            break;
        case Action::Label:
            label();
            break;
        case Action::Escape:
            if (m_report && m_position <= m_limit)
                m_marks[static_cast<std::size_t>(m_position - 1)] |= kNotWord;
            if (m_position <= m_limit)
                m_writer.byte(static_cast<std::uint8_t>(m_source[static_cast<std::size_t>(m_position - 1)]));
            break;
        }
        if (m_writer.code().size() > codeStart) {
            const auto [line, column] = m_lines.locate(sourceOffset);
            m_map.push_back({codeStart + 1, line, column});
        }
    }

    // The bracketed name from the scan position on; nullopt when no "]" follows.
    // A name's characters are no words of their own: DIM[COUNT] names COUNT.
    std::optional<std::string_view> bracketedName() {
        const auto name = m_search.extract('[', ']', m_position);
        if (m_report && name) {
            const auto start = static_cast<std::size_t>(name->data() - m_source.data());
            const std::size_t end = start + name->size();
            // Names of nested brackets overlap: each character is marked once.
            for (std::size_t at = std::max(start, m_namesMarkedUntil); at < end; ++at)
                m_marks[at] |= kNotWord;
            m_namesMarkedUntil = std::max(m_namesMarkedUntil, end);
        }
        return name;
    }

    void declare() {
        // A failed extraction leaves the name of the previous DIM, which is stored again.
        warnAboutBrackets("DIM");
        if (const auto name = bracketedName())
            m_declaredName = *name;
        m_names.add(m_declaredName);
    }

    void use() {
        // A failed extraction leaves the name of the previous USE, which is looked up again.
        warnAboutBrackets("USE");
        if (const auto name = bracketedName())
            m_usedName = *name;
        // An undeclared name moves to the index that the last found name had.
        if (const auto index = m_names.find(m_usedName))
            m_lastFound = *index;
        else if (wantWarning())
            warn("USE of " + shown(m_usedName) +
                 ", which no DIM before it declares: the pointer moves to the name the last USE found");
        movePointerTo(m_lastFound);
    }

    // A DIM or USE whose "[" or "]" is missing takes a name it was not written with: the
    // text from the program's start up to its first "]", or the name of the previous DIM
    // or USE.
    void warnAboutBrackets(const char* mnemonic) {
        if (!m_report)
            return;
        const auto from = static_cast<std::size_t>(m_position - 1);
        const std::size_t open = m_search.find('[', from);
        if (open >= m_source.size() && wantWarning())
            warn(std::string(mnemonic) + " without a [name] after it: it takes the text up to the first ] of the program as its name");
        else if (open < m_source.size() && m_search.find(']', open + 1) >= m_source.size() && wantWarning())
            warn(std::string(mnemonic) + " with a [ but no ] after it: it takes the name of the previous " + mnemonic + " once more");
    }

    // [text] in a message: quoted, and cut short when long.
    static std::string shown(std::string_view text) {
        constexpr std::size_t kLongest = 40;
        if (text.size() <= kLongest)
            return "\"" + std::string(text) + "\"";
        return "\"" + std::string(text.substr(0, kLongest)) + "...\"";
    }

    // Whether one more warning is reported (scan::WarningBudget); callers ask before they
    // build a warning's text.
    bool wantWarning() { return m_warnings.take(); }

    // At the statement that begins at the scan position's mnemonic.
    void warn(std::string text) { warnAt(m_statementOffset, std::move(text)); }

    void warnAt(std::size_t offset, std::string text) {
        const auto [line, column] = m_lines.locate(offset);
        m_report(moxy::Diagnostic{line, column, moxy::Severity::Warning, std::move(text)});
    }

    // Upper-case words of two or more letters (not touching lower-case letters, not a
    // name in brackets, not behind a backtick) in which no mnemonic was compiled: the
    // scan passed over them, most likely a misspelt mnemonic.
    void warnAboutWords() {
        const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
        const auto letter = [&](char c) { return upper(c) || (c >= 'a' && c <= 'z'); };
        const std::size_t size = m_source.size();
        const auto notWord = [&](std::size_t at) { return (m_marks[at] & kNotWord) != 0; };
        for (std::size_t at = 0; at < size;) {
            if (!upper(m_source[at]) || notWord(at)) {
                ++at;
                continue;
            }
            const std::size_t start = at;
            std::uint8_t marks = 0;
            while (at < size && upper(m_source[at]) && !notWord(at))
                marks |= m_marks[at++];
            const bool touchesLetters = (start > 0 && letter(m_source[start - 1]) && !notWord(start - 1)) ||
                                        (at < size && letter(m_source[at]) && !notWord(at));
            if (at - start < 2 || (marks & kMnemonicAt) != 0 || touchesLetters || !wantWarning())
                continue;
            const std::string word = shown(m_source.substr(start, at - start));
            // A mnemonic right behind another one (SETPAR1PRINT) stands where the scan
            // steps over the character behind a mnemonic.
            if (matchAt(static_cast<long long>(start) + 1) != nullptr && start > 0 && !letter(m_source[start - 1]))
                warnAt(start, word + " is not compiled: it stands right behind a mnemonic, where the compiler "
                                     "passes over one character");
            else
                warnAt(start, word + " is not a VORNA mnemonic: the compiler passes over it");
        }
    }

    // One code per step from the tracked name to [target]: code 2 up, code 1 down.
    void movePointerTo(std::size_t target) {
        const bool up = target > m_tracked;
        const std::size_t steps = up ? target - m_tracked : m_tracked - target;
        // Deliberate: moves between far-apart names, repeated, would grow the code with
        // the square of the source length. Past the budget a USE appends nothing and the
        // tracked name stays where the code written so far leaves the pointer.
        if (steps > kMaxPointerSteps - m_pointerSteps)
            return;
        for (std::size_t i = 0; i < steps; ++i)
            m_writer.byte(up ? kPointerUpCode : kPointerDownCode);
        m_pointerSteps += steps;
        m_tracked = target;
    }

    void label() {
        // Deliberate: the runner never finds a label longer than 999 markers, so later
        // LABELs append nothing; they still take their number.
        if (m_labelCounter <= moxy::kHighestLabel)
            m_writer.label(static_cast<int>(m_labelCounter));
        ++m_labelCounter;
    }

    const moxy::DiagnosticFunction& m_report;
    std::string_view m_source;
    long long m_limit;
    scan::ProgressMeter m_progress;
    scan::LineCounter m_lines;
    scan::DelimiterSearch m_search;

    long long m_position = 1;  // 1-based scan position
    moxy::Writer m_writer;
    std::vector<moxy::SourceMapEntry> m_map;
    NameList m_names;
    std::string_view m_declaredName;  // the name of the last DIM whose extraction worked
    std::string_view m_usedName;      // the same for USE
    std::size_t m_lastFound = 0;      // the index that USE found last
    std::size_t m_tracked = 0;        // where the compiler assumes the run-time pointer stands
    std::size_t m_pointerSteps = 0;   // codes the pointer moves have appended so far
    long long m_labelCounter = 1;     // the number the next LABEL takes

    // For warnings only (left empty without a report function).
    std::size_t m_statementOffset = 0;   // 0-based offset of the mnemonic being compiled
    static constexpr std::uint8_t kMnemonicAt = 1;  // a mnemonic was compiled from this offset
    static constexpr std::uint8_t kNotWord = 2;     // part of a name in brackets, or escaped
    std::vector<std::uint8_t> m_marks;  // one a source character
    scan::WarningBudget m_warnings;
    std::size_t m_namesMarkedUntil = 0;
};

}  // namespace

moxy::CompileResult compile(std::string_view source, const moxy::ProgressFunction& progress) {
    return Compiler(source, {}, progress).run();
}

moxy::CompileResult compile(std::string_view source, const moxy::DiagnosticFunction& report,
                            const moxy::ProgressFunction& progress) {
    return Compiler(source, report, progress).run();
}

}  // namespace vorna
