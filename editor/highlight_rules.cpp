#include "editor/highlight_rules.h"

#include "quillon/keywords.h"
#include "vorna/mnemonics.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace editor {

namespace {

// One mark per character of the line; a later mark replaces an earlier one, as a later
// step of the scan reads the character again.
class Marks {
public:
    explicit Marks(std::size_t size) : m_marks(size, kPlain) {}

    void set(std::size_t start, std::size_t length, Highlight highlight) {
        const std::size_t end = std::min(start + length, m_marks.size());
        for (std::size_t i = start; i < end; ++i)
            m_marks[i] = static_cast<std::uint8_t>(highlight);
    }

    std::vector<Span> spans() const {
        std::vector<Span> spans;
        for (std::size_t i = 0; i < m_marks.size();) {
            std::size_t end = i + 1;
            while (end < m_marks.size() && m_marks[end] == m_marks[i])
                ++end;
            if (m_marks[i] != kPlain)
                spans.push_back(
                    {static_cast<int>(i), static_cast<int>(end - i), static_cast<Highlight>(m_marks[i])});
            i = end;
        }
        return spans;
    }

private:
    static constexpr std::uint8_t kPlain = 0xFF;
    std::vector<std::uint8_t> m_marks;
};

// 0-based offsets of a delimiter pair in one line.
struct Pair {
    std::size_t open;
    std::size_t close;
    std::size_t inside() const { return close - open - 1; }
};

// ExtractBetween within one line: the first [open] at or after [from] and the next [close]
// after it. Deliberate: a delimiter that is not on the line counts as missing. The
// compiler searches on into the following lines and, without an opening delimiter, from
// the start of the text; a line of the text box cannot know those.
std::optional<Pair> between(std::string_view line, char open, char close, std::size_t from) {
    const std::size_t opened = line.find(open, from);
    if (opened == std::string_view::npos)
        return std::nullopt;
    const std::size_t closed = line.find(close, opened + 1);
    if (closed == std::string_view::npos)
        return std::nullopt;
    return Pair{opened, closed};
}

char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first keyword of the chain that matches at [at], compared in lower case.
const quillon::KeywordInfo* keywordAt(std::string_view line, std::size_t at) {
    for (const quillon::KeywordInfo& keyword : quillon::kKeywords) {
        if (line.size() - at < keyword.word.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < keyword.word.size() && same; ++i)
            same = lowerCase(line[at + i]) == keyword.word[i];
        if (same)
            return &keyword;
    }
    return nullptr;
}

// Marks the comment whose closing pair is searched from [searchFrom] and that is coloured
// from [start]; the offset where the scan goes on.
std::size_t readComment(std::string_view line, std::size_t start, std::size_t searchFrom, Marks& marks,
                        LineState& state) {
    const std::size_t close = line.find("//", searchFrom);
    if (close == std::string_view::npos) {
        marks.set(start, line.size() - start, Highlight::Comment);
        state = LineState::Comment;
        return line.size();
    }
    marks.set(start, close + 2 - start, Highlight::Comment);
    state = LineState::Code;
    // Deliberate: the compiler goes on at the closing pair's second "/", so "// a ///"
    // opens a new comment there.
    return close + 1;
}

enum class StarTest : std::uint8_t { No, Yes };

// One bracket argument of [keyword] read from the scan offset [position], with the star
// test before it; false when it is not on the line.
bool readArgument(std::string_view line, const quillon::KeywordInfo& keyword, int argument, StarTest starTest,
                  std::size_t& position, Marks& marks) {
    if (starTest == StarTest::Yes) {
        // The text between the keyword's last character as the chain spells it (exact,
        // so a capital there looks further on) or the previous "]", and the next "[".
        const char opener = argument == 1 ? keyword.starOpener() : ']';
        const auto gap = between(line, opener, '[', position - 1);
        if (gap && gap->inside() > 0 && line[gap->open + 1] == '*')
            marks.set(gap->open + 1, 1, Highlight::Star);
    }
    const auto name = between(line, '[', ']', position);
    if (!name)
        return false;
    marks.set(name->open, name->inside() + 2, Highlight::Name);
    position += name->inside() + 2;
    return true;
}

bool readLiteral(std::string_view line, std::size_t& position, Marks& marks) {
    const auto literal = between(line, '{', '}', position);
    if (!literal)
        return false;
    marks.set(literal->open, literal->inside() + 2, Highlight::Literal);
    position += literal->inside() + 2;
    return true;
}

// Reads the arguments of [keyword], which matched at [start], as its statement does; the
// offset where the scan goes on. Deliberate: as in the compiler, the character right behind
// a whole statement is never examined ("exitexit" shows one keyword), and the advances
// count only what stands between the delimiters, so after gaps the scan goes on inside the
// statement and colours the keywords it finds there, as the compiler translates them.
// A statement whose arguments are not all on the line goes on behind what was read: where
// the compiler goes on then depends on text the line cannot see.
std::size_t readStatement(std::string_view line, const quillon::KeywordInfo& keyword, std::size_t start,
                          Marks& marks) {
    using quillon::Form;
    std::size_t position = start + keyword.word.size();
    bool whole = true;
    switch (keyword.form) {
    case Form::Bare:
    case Form::Comment:
        break;
    case Form::Brackets:
        for (int argument = 1; argument <= keyword.arguments && whole; ++argument)
            whole = readArgument(line, keyword, argument, StarTest::Yes, position, marks);
        break;
    case Form::Set:
    case Form::GetKey:
        whole = readArgument(line, keyword, 1, StarTest::Yes, position, marks) && readLiteral(line, position, marks);
        break;
    case Form::Label:
    case Form::FreeSpace:
        whole = readLiteral(line, position, marks);
        break;
    case Form::Declare:
        whole = readArgument(line, keyword, 1, StarTest::No, position, marks);
        break;
    }
    return whole ? position + 1 : position;
}

const vorna::Mnemonic* mnemonicAt(std::string_view line, std::size_t at) {
    const std::string_view rest = line.substr(at);
    for (const vorna::Mnemonic& mnemonic : vorna::kMnemonics)
        if (rest.front() == mnemonic.text.front() && rest.starts_with(mnemonic.text))
            return &mnemonic;
    return nullptr;
}

}  // namespace

std::vector<Span> highlightQuillon(std::string_view line, LineState& state) {
    Marks marks(line.size());
    std::size_t at = 0;
    if (state == LineState::Comment)
        at = readComment(line, 0, 0, marks, state);
    while (at < line.size()) {
        const quillon::KeywordInfo* keyword = keywordAt(line, at);
        if (!keyword) {
            ++at;
        } else if (keyword->form == quillon::Form::Comment) {
            // The first pair tested starts at the opening pair's second "/": "///" is whole.
            at = readComment(line, at, at + 1, marks, state);
        } else {
            marks.set(at, keyword->word.size(), Highlight::Keyword);
            at = readStatement(line, *keyword, at, marks);
        }
    }
    return marks.spans();
}

std::vector<Span> highlightVorna(std::string_view line, LineState& state) {
    state = LineState::Code;
    Marks marks(line.size());
    for (std::size_t at = 0; at < line.size(); ++at) {
        const vorna::Mnemonic* mnemonic = mnemonicAt(line, at);
        if (!mnemonic)
            continue;
        const std::size_t length = mnemonic->text.size();
        switch (mnemonic->action) {
        case vorna::Action::Emit:
            marks.set(at, length, Highlight::Keyword);
            break;
        case vorna::Action::Declare:
        case vorna::Action::Use:
            marks.set(at, length, Highlight::Keyword);
            // The scan goes on inside the brackets: a mnemonic there is marked over the name.
            if (const auto name = between(line, '[', ']', at + length))
                marks.set(name->open, name->inside() + 2, Highlight::Name);
            break;
        case vorna::Action::Label:
            marks.set(at, length, Highlight::Label);
            break;
        case vorna::Action::Escape:
            marks.set(at, length + 1, Highlight::Escape);
            break;
        }
        // Deliberate: with the loop's step, the character right behind a mnemonic is never
        // tested (INCVUP shows INC only); behind a backtick, that is the character it takes.
        at += length;
    }
    return marks.spans();
}

}  // namespace editor
