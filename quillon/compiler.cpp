// The Quillon translation pass. At every position of the source the keyword chain is
// tried; a keyword that matches reads its arguments by delimiter searches from the scan
// position, advances the position by what it measured and appends its code. Nothing here
// knows about windows or files.
#include "quillon/compiler.h"

#include "moxy/format.h"
#include "moxy/opcodes.h"
#include "quillon/keywords.h"
#include "quillon/name_table.h"
#include "quillon/number_text.h"
#include "scan/delimiter_search.h"
#include "scan/line_counter.h"
#include "scan/progress_meter.h"
#include "scan/warning_budget.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace quillon {

namespace {

constexpr std::array<char, 256> buildLowerCase() {
    std::array<char, 256> lower{};
    for (int c = 0; c < 256; ++c)
        lower[c] = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

constexpr std::array<char, 256> kLowerCase = buildLowerCase();

constexpr char lowerCase(char c) { return kLowerCase[static_cast<unsigned char>(c)]; }

// Labels make code much longer than their source (label{999} is 10 characters, its code
// 999), so a compile stops once its code has passed the largest program the runner reads:
// what it would add could never run, and the time and memory of one compile stay bounded.
// The caller sees code longer than the runner reads.
constexpr std::size_t kLongestCode = moxy::kLargestProgram;

// For every lower-case first character, the keywords that begin with it, in chain order.
struct Dispatch {
    static constexpr int kMaxPerCharacter = 12;
    std::array<std::array<std::uint8_t, kMaxPerCharacter>, 256> keywords{};
    std::array<std::uint8_t, 256> counts{};
};

constexpr Dispatch buildDispatch() {
    Dispatch dispatch{};
    for (int i = 0; i < kKeywordCount; ++i) {
        const auto first = static_cast<unsigned char>(kKeywords[i].word.front());
        dispatch.keywords[first][dispatch.counts[first]++] = static_cast<std::uint8_t>(i);
    }
    return dispatch;
}

constexpr Dispatch kDispatch = buildDispatch();

constexpr bool keywordsAreLowerCase() {
    for (const KeywordInfo& keyword : kKeywords) {
        for (char c : keyword.word) {
            if (lowerCase(c) != c)
                return false;
        }
    }
    return true;
}
static_assert(keywordsAreLowerCase(), "keywords are matched against lower-cased text");

// The variable references of all slots in slot order, written once.
const std::string& allReferences() {
    static const std::string references = [] {
        moxy::Writer writer;
        for (int slot = 0; slot < NameTable::kSlotCount; ++slot)
            writer.cell(NameTable::firstIndex(slot), NameTable::secondIndex(slot));
        return writer.take();
    }();
    return references;
}

std::string_view referenceOf(int slot) {
    const std::string& references = allReferences();
    const std::size_t length = references.size() / NameTable::kSlotCount;
    return std::string_view(references).substr(static_cast<std::size_t>(slot) * length, length);
}

class Compiler {
public:
    Compiler(std::string_view source, const moxy::DiagnosticFunction& report,
             const std::function<void(int)>& progress)
        : m_text(source),
          m_limit(static_cast<long long>(source.size())),
          m_search(source),
          m_lines(source),
          m_progress(progress, static_cast<long long>(source.size())),
          m_report(report),
          m_warnings(static_cast<bool>(report)) {}

    moxy::CompileResult run();

private:
    bool matches(const KeywordInfo& keyword) const;
    // Runs the statement of [keyword] at the scan position; false when it abandoned the
    // compile.
    bool translate(const KeywordInfo& keyword);
    void skipComment();
    void readArgument(int argument, const KeywordInfo& keyword);
    void readBraces(std::string_view& holder);
    bool declare();
    std::string_view lookUp(std::string_view name);
    void appendCode(const KeywordInfo& keyword);
    void say(std::string text);
    // Whether one more warning is reported (scan::WarningBudget); callers ask before they
    // build a warning's text.
    bool wantWarning() { return m_warnings.take(); }
    void warn(std::string text);
    void checkLiteral(std::string_view literal);

    std::string_view m_text;
    long long m_limit;
    long long m_position = 1;         // 1-based scan position
    long long m_keywordPosition = 1;  // where the statement being translated begins
    moxy::Writer m_writer;
    NameTable m_names;
    scan::DelimiterSearch m_search;
    scan::LineCounter m_lines;
    scan::ProgressMeter m_progress;
    const moxy::DiagnosticFunction& m_report;
    std::vector<moxy::SourceMapEntry> m_map;
    std::optional<long long> m_caret;  // set when a declaration abandoned the compile

    // Holders of one compile. A step whose extraction fails is skipped and leaves its
    // holder as it was, so a later statement may use what an earlier one put there.
    std::array<std::string_view, kMaxArguments> m_references{};  // the first also holds label text
    std::string_view m_measuredName;  // the bracket text last measured, for the advance
    std::string_view m_literal;       // set
    std::string_view m_keyText;       // getkey
    std::string_view m_countText;     // freespace
    std::array<bool, kMaxArguments> m_starred{};
    bool m_braceWarned = false;  // this statement's braces were already warned about
    scan::WarningBudget m_warnings;
};

moxy::CompileResult Compiler::run() {
    m_writer.raw(moxy::kQuillonHeader);
    while (m_position <= m_limit) {
        const auto first = static_cast<unsigned char>(lowerCase(m_text[static_cast<std::size_t>(m_position - 1)]));
        for (int i = 0; i < kDispatch.counts[first]; ++i) {
            const KeywordInfo& keyword = kKeywords[kDispatch.keywords[first][i]];
            if (!matches(keyword))
                continue;
            if (!translate(keyword)) {
                moxy::CompileResult result;
                result.abandoned = true;
                result.caret = *m_caret;
                return result;
            }
            if (m_writer.code().size() > kLongestCode)
                m_position = m_limit;
            break;
        }
        m_progress.at(m_position);
        ++m_position;
    }
    if (m_warnings.unreported() > 0) {
        const auto [line, column] = m_lines.locate(m_text.size());
        m_report(moxy::Diagnostic{line, column, moxy::Severity::Warning, m_warnings.summary()});
    }
    moxy::CompileResult result;
    result.code = m_writer.take();
    result.map = std::move(m_map);
    // A name's cell is its slot's: the two indices are the reference's two digits.
    for (const auto& [name, slot] : m_names.declared())
        result.names.push_back(
            {std::string(name), moxy::cellNumber(NameTable::firstIndex(slot), NameTable::secondIndex(slot))});
    return result;
}

// The first character already chose [keyword] from the dispatch table.
bool Compiler::matches(const KeywordInfo& keyword) const {
    const auto length = static_cast<long long>(keyword.word.size());
    if (m_limit - m_position + 1 < length)
        return false;
    const char* at = m_text.data() + (m_position - 1);
    for (std::size_t i = 1; i < keyword.word.size(); ++i) {
        if (lowerCase(at[i]) != keyword.word[i])
            return false;
    }
    return true;
}

bool Compiler::translate(const KeywordInfo& keyword) {
    m_keywordPosition = m_position;
    m_starred = {};
    m_braceWarned = false;
    if (keyword.form == Form::Comment) {
        skipComment();
        return true;
    }
    m_position += static_cast<long long>(keyword.word.size());
    const std::size_t before = m_writer.code().size();

    switch (keyword.form) {
    case Form::Comment:
        break;
    case Form::Declare:
        return declare();
    case Form::FreeSpace:
        readBraces(m_countText);
        m_names.reserve(readNumber(m_countText));
        return true;
    case Form::Bare:
        appendCode(keyword);
        break;
    case Form::Brackets:
        for (int argument = 1; argument <= keyword.arguments; ++argument)
            readArgument(argument, keyword);
        appendCode(keyword);
        break;
    case Form::Set:
        readArgument(1, keyword);
        readBraces(m_literal);
        appendCode(keyword);
        m_writer.text(m_literal);
        if (!m_braceWarned)  // one warning a statement
            checkLiteral(m_literal);
        break;
    case Form::GetKey:
        readArgument(1, keyword);
        readBraces(m_keyText);
        appendCode(keyword);
        // Any code 0..255 is written as the selector, whether it names a key or not; a
        // key text outside that range skips the step.
        if (const auto selector = readWholeNumber(m_keyText, 0, 255)) {
            m_writer.byte(static_cast<std::uint8_t>(moxy::Op::KeyState));
            m_writer.byte(static_cast<std::uint8_t>(*selector));
        }
        break;
    case Form::Label:
        readBraces(m_references[0]);
        // Only numbers the runner can jump to are written; anything else appends nothing.
        if (const auto number = readWholeNumber(m_references[0], 1, moxy::kHighestLabel))
            m_writer.label(static_cast<int>(*number));
        break;
    }

    if (m_writer.code().size() > before) {
        const auto [line, column] = m_lines.locate(static_cast<std::size_t>(m_keywordPosition - 1));
        m_map.push_back({before + 1, line, column});
    }
    return true;
}

void Compiler::skipComment() {
    // The first pair tested starts at the opening pair's second "/", so "///" is a whole
    // comment. The position stops on the closing pair's first "/" (the loop's +1 then
    // moves to its second), or past the end when there is none.
    const std::size_t close = m_text.find("//", static_cast<std::size_t>(m_position));
    m_position = close == std::string_view::npos ? m_limit + 1 : static_cast<long long>(close) + 1;
}

void Compiler::readArgument(int argument, const KeywordInfo& keyword) {
    // Star test: the text between the keyword's last character (or the previous
    // argument's "]") and the next "[" begins with "*".
    const char opener = argument == 1 ? keyword.starOpener() : ']';
    const auto between = m_search.extract(opener, '[', m_position - 1);
    m_starred[argument - 1] = between && !between->empty() && between->front() == '*';

    if (const auto name = m_search.extract('[', ']', m_position)) {
        m_references[argument - 1] = lookUp(*name);
        m_measuredName = *name;
    }
    m_position += static_cast<long long>(m_measuredName.size()) + 2;
}

void Compiler::readBraces(std::string_view& holder) {
    const auto text = m_search.extract('{', '}', m_position);
    const auto size = static_cast<std::size_t>(m_limit);
    const std::size_t open = m_report ? m_search.find('{', static_cast<std::size_t>(m_position - 1)) : size;
    if (text && open < size && text->data() == m_text.data() + open + 1) {
        // A literal runs to the next "}", over line ends too: one that leaves its line
        // takes the following lines into the text.
        const std::size_t close = open + 1 + text->size();
        if (m_search.find('\r', open) < close || m_search.find('\n', open) < close) {
            if (wantWarning())
                warn("a { without its } on the same line: the text runs on over the line end to the next }");
            m_braceWarned = true;
        }
    } else if (!text && open < size) {
        if (wantWarning())
            warn("a { without its }: the statement keeps the text of an earlier one");
        m_braceWarned = true;
    }
    if (text)
        holder = *text;
    m_position += static_cast<long long>(holder.size()) + 2;
}

bool Compiler::declare() {
    if (const auto name = m_search.extract('[', ']', m_position))
        m_measuredName = *name;
    switch (m_names.declare(m_measuredName)) {
    case NameTable::Declaration::Stored:
    case NameTable::Declaration::TableFull:
        break;
    case NameTable::Declaration::Reserved:
        say(std::string(kReservedNameMessage));
        m_caret = m_position;
        return false;
    case NameTable::Declaration::AlreadyDeclared:
        say(std::string(kAlreadyDeclaredMessage));
        m_caret = m_position;
        return false;
    }
    m_position += static_cast<long long>(m_measuredName.size()) + 2;
    return true;
}

std::string_view Compiler::lookUp(std::string_view name) {
    if (const auto slot = m_names.find(name))
        return referenceOf(*slot);
    std::string text(kUndeclaredMessage);
    text += name;
    say(std::move(text));
    return {};
}

void Compiler::appendCode(const KeywordInfo& keyword) {
    for (const Piece& piece : keyword.code) {
        switch (piece.kind) {
        case Piece::Kind::None:
            return;
        case Piece::Kind::Reference:
            m_writer.raw(m_references[piece.value - 1]);
            if (m_starred[piece.value - 1])
                m_writer.op(moxy::Op::MovePointer);
            break;
        case Piece::Kind::Opcode:
            m_writer.op(static_cast<moxy::Op>(piece.value));
            break;
        case Piece::Kind::System:
            m_writer.system(static_cast<moxy::SubCode>(piece.value));
            break;
        }
    }
}

// Characters of a set text that the runner does not append to the variable: all but the
// literal characters 32..126.
void Compiler::checkLiteral(std::string_view literal) {
    for (std::size_t i = 0; i < literal.size(); ++i) {
        const auto code = static_cast<std::uint8_t>(literal[i]);
        if (moxy::isLiteral(code))
            continue;
        // A UTF-8 source's character of two to four bytes: lead byte, continuation bytes.
        const std::size_t length = code >= 0xC2 && code <= 0xDF   ? 2
                                   : code >= 0xE0 && code <= 0xEF ? 3
                                   : code >= 0xF0 && code <= 0xF4 ? 4
                                                                  : 1;
        bool utf8 = length > 1 && i + length <= literal.size();
        for (std::size_t k = 1; utf8 && k < length; ++k)
            utf8 = (static_cast<std::uint8_t>(literal[i + k]) & 0xC0) == 0x80;
        if (!wantWarning())
            return;
        std::string text;
        if (utf8) {
            text = "the text holds the UTF-8 character \"" + std::string(literal.substr(i, length)) +
                   "\", which cannot be stored: a MOXY character is one byte, and the runner reads its " +
                   std::to_string(length) + " bytes as codes";
        } else if (moxy::opInfo(code) != nullptr) {
            text = "character code " + std::to_string(code) + " in the text is MOXY opcode " + std::to_string(code) +
                   ": the runner executes it instead of storing it";
        } else if (code == moxy::kLabelMarker) {
            text = "character code 255 in the text is a label marker: the runner does not store it";
        } else {
            text = "character code " + std::to_string(code) +
                   " in the text is no literal character: the runner passes over it";
        }
        warn(std::move(text));
        return;  // one warning a statement
    }
}

void Compiler::warn(std::string text) {
    const auto [line, column] = m_lines.locate(static_cast<std::size_t>(m_keywordPosition - 1));
    m_report(moxy::Diagnostic{line, column, moxy::Severity::Warning, std::move(text)});
}

void Compiler::say(std::string text) {
    if (!m_report)
        return;
    const auto [line, column] = m_lines.locate(static_cast<std::size_t>(m_keywordPosition - 1));
    m_report(moxy::Diagnostic{line, column, moxy::Severity::Error, std::move(text)});
}

}  // namespace

moxy::CompileResult compile(std::string_view source, const moxy::DiagnosticFunction& report,
                            const moxy::ProgressFunction& progress) {
    return Compiler(source, report, progress).run();
}

}  // namespace quillon
