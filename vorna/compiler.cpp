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
#include "vorna/mnemonics.h"

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace vorna {

namespace {

// The declared names, in declaration order, as views into the source. Index count always
// exists and holds the empty name; only the first index of each name matters to USE, so
// that is all that is kept.
class NameList {
public:
    void add(std::string_view name) {
        m_firstIndex.try_emplace(name, m_count);
        ++m_count;
    }

    // The first index whose entry equals [name], the empty entry at index count included.
    std::optional<std::size_t> find(std::string_view name) const {
        if (const auto found = m_firstIndex.find(name); found != m_firstIndex.end())
            return found->second;
        if (name.empty())
            return m_count;
        return std::nullopt;
    }

private:
    std::unordered_map<std::string_view, std::size_t> m_firstIndex;
    std::size_t m_count = 0;
};

class Compiler {
public:
    Compiler(std::string_view source, const std::function<void(int)>& progress)
        : m_source(source),
          m_limit(static_cast<long long>(source.size())),
          m_progress(progress, m_limit),
          m_lines(source),
          m_search(source) {}

    moxy::CompileResult run() {
        for (m_position = 1; m_position <= m_limit; ++m_position) {
            if (const Mnemonic* mnemonic = matchAt(m_position))
                compile(*mnemonic);
            m_progress.at(m_position);
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
        const std::string_view rest = m_source.substr(static_cast<std::size_t>(position - 1));
        for (const Mnemonic& mnemonic : kMnemonics)
            if (rest.substr(0, mnemonic.text.size()) == mnemonic.text)
                return &mnemonic;
        return nullptr;
    }

    void compile(const Mnemonic& mnemonic) {
        const auto sourceOffset = static_cast<std::size_t>(m_position - 1);
        const std::size_t codeStart = m_writer.code().size();
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
    std::optional<std::string_view> bracketedName() { return m_search.extract('[', ']', m_position); }

    void declare() {
        // A failed extraction leaves the name of the previous DIM, which is stored again.
        if (const auto name = bracketedName())
            m_declaredName = *name;
        m_names.add(m_declaredName);
    }

    void use() {
        // A failed extraction leaves the name of the previous USE, which is looked up again.
        if (const auto name = bracketedName())
            m_usedName = *name;
        // An undeclared name moves to the index that the last found name had.
        if (const auto index = m_names.find(m_usedName))
            m_lastFound = *index;
        movePointerTo(m_lastFound);
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
};

}  // namespace

moxy::CompileResult compile(std::string_view source, const moxy::ProgressFunction& progress) {
    return Compiler(source, progress).run();
}

}  // namespace vorna
