#include "runner/interpreter.h"

#include "moxy/format.h"
#include "moxy/lines.h"
#include "moxy/listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace runner {

namespace {

using moxy::Op;
using moxy::SubCode;
using Kind = RunError::Kind;

constexpr int kInitialTopCell = 255;

std::string shortened(std::string_view text) {
    moxy::Escaping escaping = moxy::kQuoted;
    escaping.limit = 40;
    return moxy::escaped(text, escaping);
}

// Colours of opcode 12 by digit 1 to 9, packed as red + 256 green + 65536 blue.
constexpr std::uint32_t kDigitColours[] = {
    0x000000,  // 1 black
    0x0000FF,  // 2 red
    0x00FF00,  // 3 green
    0xFF0000,  // 4 blue
    0x00FFFF,  // 5 yellow
    0xFFFF00,  // 6 cyan
    0xFF00FF,  // 7 magenta
    0xC0C0C0,  // 8 silver
    0xFFFFFF,  // 9 white
};
constexpr std::int32_t kHighestColour = 0xFFFFFF;

// The characters an opcode occupies: itself and its operand (from the operand column).
constexpr auto kStepLength = [] {
    std::array<std::uint8_t, 256> table{};
    for (const moxy::OpInfo& info : moxy::kOpInfo)
        table[static_cast<std::uint8_t>(info.op)] =
            info.operand == moxy::Operand::KeySelector || info.operand == moxy::Operand::SubCode ? 2 : 1;
    return table;
}();

}  // namespace

Interpreter::Interpreter(std::string program, Host& host, InterpreterOptions options)
    : m_program(std::move(program)), m_host(host), m_options(options), m_cells(kInitialCells) {
    static_assert(kInitialCells == kInitialTopCell + 1);
    const std::uint64_t seed =
        options.seed ? *options.seed
                     : static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    m_random.seed(seed);
}

std::size_t Interpreter::labelPosition(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) >= m_labels.size())
        return 0;
    return m_labels[static_cast<std::size_t>(number)];
}

void Interpreter::buildLabels() {
    // One pass: every maximal run of n markers (1 <= n <= 999) is label n; the first run
    // of a length wins.
    m_labels.assign(moxy::kHighestLabel + 1, 0);
    const std::size_t length = m_program.size();
    for (std::size_t i = 0; i < length;) {
        if (static_cast<std::uint8_t>(m_program[i]) != moxy::kLabelMarker) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < length && static_cast<std::uint8_t>(m_program[end]) == moxy::kLabelMarker)
            ++end;
        const std::size_t run = end - i;
        if (run <= static_cast<std::size_t>(moxy::kHighestLabel) && m_labels[run] == 0)
            m_labels[run] = static_cast<std::uint32_t>(i + 1);
        i = end;
    }
}

void Interpreter::prepareDecoding() {
    // The table depends on the program text only: it is laid out once and kept for every
    // RUN call. For every page, the first code 18 from its start, so that a page decoded
    // on its own knows where a failed condition near its end goes.
    if (m_pages.size() * kPagePositions >= m_program.size())
        return;
    const std::size_t pages = (m_program.size() + kPagePositions - 1) >> kPageShift;
    m_pages.assign(pages, nullptr);
    m_firstEndFrom.assign(pages + 1, 0);
    for (std::size_t page = pages; page-- > 0;) {
        const std::size_t first = page << kPageShift;
        const std::size_t size = std::min(kPagePositions, m_program.size() - first);
        const void* found = std::memchr(m_program.data() + first, moxy::kEndOfCondition, size);
        m_firstEndFrom[page] = found ? static_cast<std::uint32_t>(static_cast<const char*>(found) - m_program.data() + 1)
                                     : m_firstEndFrom[page + 1];
    }
}

const Interpreter::Decoded* Interpreter::decodedPage(std::size_t page) {
    // What the loop does with a character, apart from the reference's digits.
    static constexpr auto kHandlerOf = [] {
        std::array<Handler, 256> table{};
        for (int code = 0; code < 256; ++code) {
            const auto byte = static_cast<std::uint8_t>(code);
            table[byte] = moxy::isLiteral(byte) ? Handler::Literal
                          : moxy::opInfo(byte)  ? Handler::Operation
                                                : Handler::Nothing;
        }
        const auto set = [&table](Op op, Handler handler) { table[static_cast<std::uint8_t>(op)] = handler; };
        set(Op::SelectCell, Handler::Cell);
        set(Op::SetPar1, Handler::SetPar1);
        set(Op::SetPar2, Handler::SetPar2);
        set(Op::SetRes, Handler::SetRes);
        set(Op::IfEqual, Handler::IfEqual);
        set(Op::IfGreater, Handler::IfGreater);
        set(Op::IfLess, Handler::IfLess);
        set(Op::Increment, Handler::Increment);
        set(Op::Decrement, Handler::Decrement);
        set(Op::Jump, Handler::Jump);
        // No effect: the end of a condition and the label marker.
        set(Op::EndIf, Handler::Nothing);
        table[moxy::kLabelMarker] = Handler::Nothing;
        return table;
    }();
    if (const Decoded* decoded = m_pages[page])
        return decoded;
    if (m_pagesUsed == kDecodedPages) {
        std::fill(m_pages.begin(), m_pages.end(), nullptr);
        m_pagesUsed = 0;
    }
    if (m_pagesUsed == m_pagePool.size())
        m_pagePool.push_back(std::unique_ptr<Decoded[]>(new Decoded[kPagePositions + kPageTail]));
    Decoded* entries = m_pagePool[m_pagesUsed++].get();

    const auto* text = reinterpret_cast<const std::uint8_t*>(m_program.data());
    const std::size_t length = m_program.size();
    const std::size_t first = page << kPageShift;  // 0-based
    const std::size_t end = std::min(length, first + kPagePositions);
    // Past the program's end and past the page: Leave.
    std::fill(entries + (end - first), entries + kPagePositions + kPageTail, Decoded{});
    // Backwards, so that each condition knows the next code 18 after it.
    std::uint32_t nextEnd = m_firstEndFrom[page + 1];
    for (std::size_t index = end; index-- > first;) {
        const std::uint8_t code = text[index];
        Decoded entry;
        entry.code = code;
        entry.handler = kHandlerOf[code];
        if (entry.handler == Handler::Cell) {
            // Both digits present and valid: the cell does not depend on the reference
            // before it. Otherwise the loop keeps the previous digit, as it must.
            if (index + 2 < length && moxy::isCellDigit(text[index + 1]) && moxy::isCellDigit(text[index + 2])) {
                entry.digits = static_cast<std::uint16_t>(text[index + 1] | text[index + 2] << 8);
                entry.value = static_cast<std::uint32_t>(moxy::cellNumber(text[index + 1], text[index + 2]));
                // Only within the page: the loop goes on from the reference's entry.
                if (index + 3 < end) {
                    switch (kHandlerOf[text[index + 3]]) {
                    case Handler::SetPar1:
                        entry.handler = Handler::CellThenSetPar1;
                        break;
                    case Handler::SetPar2:
                        entry.handler = Handler::CellThenSetPar2;
                        break;
                    case Handler::SetRes:
                        entry.handler = Handler::CellThenSetRes;
                        break;
                    case Handler::Operation:
                        entry.handler = Handler::CellThenOperation;
                        break;
                    case Handler::Increment:
                        entry.handler = Handler::CellThenIncrement;
                        break;
                    case Handler::Decrement:
                        entry.handler = Handler::CellThenDecrement;
                        break;
                    case Handler::Jump:
                        entry.handler = Handler::CellThenJump;
                        break;
                    default:
                        break;
                    }
                }
            } else {
                entry.handler = Handler::CellGeneral;
            }
        } else if (entry.handler == Handler::IfEqual || entry.handler == Handler::IfGreater ||
                   entry.handler == Handler::IfLess) {
            entry.value = nextEnd;
        } else if (code == moxy::kEndOfCondition) {
            nextEnd = static_cast<std::uint32_t>(index + 1);
        }
        entries[index - first] = entry;
    }
    m_pages[page] = entries;
    return entries;
}

void Interpreter::growTo(int cellNumber) {
    if (cellNumber >= static_cast<int>(m_cells.size())) {
        m_cells.resize(static_cast<std::size_t>(cellNumber) + 1);
        m_cellCount = m_cells.size();
    }
}

Interpreter::Cell& Interpreter::written(int cellNumber) const {
    Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
    if (cell.textPending) [[unlikely]] {
        if (cell.cache == Cell::Cache::Undecided) {
            settleNow();
            if (!cell.textPending)
                return cell;
        }
        const double value = cell.number;
        if (isSmallWhole(value)) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(value)).ptr;
            cell.text.assign(digits, static_cast<std::size_t>(end - digits));
        } else {
            cell.text = formatNumber(value, m_options.numberFormat);
        }
        m_totalText += cell.text.size();
        cell.textPending = false;
    }
    return cell;
}

void Interpreter::settleNow() const {
    Cell& cell = m_cells[static_cast<std::size_t>(m_undecided)];
    m_undecided = -1;
    const double value = cell.number;
    double kept = value;
    if (textValue(value, kept)) {
        cell.number = kept == 0 ? 0.0 : kept;
        cell.cache = Cell::Cache::Number;
        cell.keptWhole = isSmallWhole(kept);
        return;
    }
    // Only the text can tell: it is written now, as if when the result was stored (there
    // was room for it then).
    cell.text = formatNumber(value, m_options.numberFormat);
    m_totalText += cell.text.size();
    cell.textPending = false;
    if (formatsExactly(value)) {
        cell.number = value;
        cell.cache = Cell::Cache::Number;
    } else {
        cell.cache = Cell::Cache::Unknown;
    }
}

void Interpreter::setFraction(int cellNumber, double value) {
    // At most one cell is undecided: another one is settled first.
    if (m_undecided >= 0 && m_undecided != cellNumber)
        settleNow();
    // Room for the text, the undecided cell's own text (at most as long) counted as written;
    // near the limits the undecided cell is settled and the room checked exactly.
    const bool room = (m_totalText + 2 * kLongestNumberText <= m_options.maxTotalText &&
                       kLongestNumberText <= m_options.maxCellText) ||
                      roomForNumberText();
    if (!room) {
        setFormattedNumber(cellNumber, value);
        return;
    }
    Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
    if (!cell.textPending) {
        m_totalText -= cell.text.size();
        if (cell.text.capacity() > kKeptCapacity)
            std::string().swap(cell.text);
        else
            cell.text.clear();
    }
    cell.number = value;
    cell.cache = Cell::Cache::Undecided;
    cell.textPending = true;
    m_undecided = cellNumber;
}

const std::string& Interpreter::cell(int number) const {
    static const std::string kNoCell;
    if (number < 0 || number > varTop())
        return kNoCell;  // cells above the top do not exist: they read as empty
    return written(number).text;
}

bool Interpreter::setCell(int number, std::string text) {
    if (number < 0 || number > varTop())
        return false;
    setText(number, std::move(text));
    return true;
}

double Interpreter::parsedNumber(int cellNumber) {
    Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
    if (cell.cache == Cell::Cache::Undecided)
        settleNow();
    if (cell.cache == Cell::Cache::Number)
        return cell.number;
    if (cell.cache == Cell::Cache::NotNumber)
        throw RunError(Kind::TypeMismatch, "the text " + shortened(cell.text) + " is not a number");
    double value = 0;
    switch (parseNumber(cell.text, m_options.numberFormat, value)) {
    case ParseStatus::Ok:
        cell.number = value;
        cell.cache = Cell::Cache::Number;
        return value;
    case ParseStatus::NotANumber:
        cell.cache = Cell::Cache::NotNumber;
        throw RunError(Kind::TypeMismatch, "the text " + shortened(cell.text) + " is not a number");
    case ParseStatus::Overflow:
        break;
    }
    throw RunError(Kind::Overflow, "the number " + shortened(cell.text) + " is too large");
}

float Interpreter::singleSlow(int cellNumber) {
    if (m_cells[static_cast<std::size_t>(cellNumber)].cache == Cell::Cache::Undecided) {
        settleNow();
        const Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        float value = 0;
        if (cell.cache == Cell::Cache::Number && singleOfNumber(cell.number, value))
            return value;
    }
    const double value = number(cellNumber);
    // An exact whole number rounds to single precision in one step; any other text is
    // read again, so that no double rounding creeps in.
    if (std::isnan(value) || std::isinf(value) ||
        (std::fabs(value) <= 9007199254740992.0 && value == std::trunc(value))) {
        if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()) && !std::isinf(value))
            throw RunError(Kind::Overflow, "the number " + shortened(cell(cellNumber)) + " is too large");
        return static_cast<float>(value);
    }
    float result = 0;
    if (parseSingle(cell(cellNumber), m_options.numberFormat, result) != ParseStatus::Ok)
        throw RunError(Kind::Overflow, "the number " + shortened(cell(cellNumber)) + " is too large");
    return result;
}

std::int32_t Interpreter::toWhole(double value) {
    // Whole values in range need no rounding.
    if (value >= -2147483648.0 && value <= 2147483647.0) {
        const auto truncated = static_cast<std::int32_t>(value);
        if (static_cast<double>(truncated) == value)
            return truncated;
    }
    std::int32_t result = 0;
    if (!roundToWhole(value, result))
        throw RunError(Kind::Overflow,
                       "the number " + formatNumber(value, m_options.numberFormat) + " is outside the whole-number range");
    return result;
}

std::int32_t Interpreter::whole(int cellNumber) { return toWhole(number(cellNumber)); }

void Interpreter::checkGrowth(const Cell& cell, std::size_t added) const {
    settle();
    if (cell.text.size() + added > m_options.maxCellText)
        throw RunError(Kind::TextTooLong, "a cell's text would grow past " +
                                              std::to_string(m_options.maxCellText >> 20) + " MiB");
    if (m_totalText + added > m_options.maxTotalText)
        throw RunError(Kind::TextTooLong, "the texts of all cells would grow past " +
                                              std::to_string(m_options.maxTotalText >> 20) + " MiB");
}

void Interpreter::setText(int cellNumber, std::string text) {
    settle();
    Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
    cell.textPending = false;  // the old text is replaced, never read
    if (text.size() > cell.text.size())
        checkGrowth(cell, text.size() - cell.text.size());
    m_totalText = m_totalText - cell.text.size() + text.size();
    // Swapping, not assigning: the old text's memory goes with it, so that the limits on
    // texts also bound what the cells hold.
    std::string(std::move(text)).swap(cell.text);
    cell.cache = Cell::Cache::Unknown;
}

void Interpreter::copyCell(int cellNumber, int from) {
    const Cell& source = m_cells[static_cast<std::size_t>(from)];
    if (source.cache == Cell::Cache::Undecided)
        settleNow();
    if (source.textPending) {
        // A kept number is copied as it is; its text is written when somebody reads it.
        if (roomForNumberText() || isSmallWhole(source.number))
            keepNumber(cellNumber, source.number, source.keptWhole);
        else
            setFormattedNumber(cellNumber, source.number);
        return;
    }
    setText(cellNumber, source.text);
    if (source.cache == Cell::Cache::Number) {
        Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        cell.number = source.number;
        cell.cache = Cell::Cache::Number;
    }
}

void Interpreter::setFormattedNumber(int cellNumber, double value) {
    setText(cellNumber, formatNumber(value, m_options.numberFormat));
    if (formatsExactly(value)) {
        Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        cell.number = value;
        cell.cache = Cell::Cache::Number;
    }
}

void Interpreter::append(int cellNumber, std::string_view text) {
    Cell& cell = written(cellNumber);
    checkGrowth(cell, text.size());
    cell.text.append(text);
    m_totalText += text.size();
    cell.cache = Cell::Cache::Unknown;
}

int Interpreter::pictureHolder() const {
    // PicSelect addresses a holder as a 16-bit signed number.
    if (m_picSelect < std::numeric_limits<std::int16_t>::min() || m_picSelect > std::numeric_limits<std::int16_t>::max())
        throw RunError(Kind::Overflow, "picture holder number " + std::to_string(m_picSelect) + " is out of range");
    if (m_picSelect < 0 || m_picSelect > m_highestHolder)
        throw RunError(Kind::NoSuchHolder, "picture holder " + std::to_string(m_picSelect) + " does not exist");
    return m_picSelect;
}

void Interpreter::traceStep(std::size_t stepStart, std::uint8_t code, std::size_t next) const {
    const bool takesOperand = kStepLength[code] == 2;
    TraceStep step;
    step.position = stepStart;
    step.code = code;
    step.operand = takesOperand && stepStart < m_program.size() ? static_cast<std::uint8_t>(m_program[stepStart]) : 0;
    step.cell = m_pointer;
    // A skip or a jump shows as a next position other than the following one.
    const std::size_t following = stepStart + (takesOperand ? 2 : 1);
    step.skippedTo = moxy::opInfo(code) && next != following ? next : 0;
    m_trace(step);
}

void Interpreter::begin() {
    m_picCount = 0;
    m_digits = 0;
    m_jumpNumber = 0;
    m_jumpTarget = 0;
    buildLabels();
    prepareDecoding();
    m_position = 1;
    m_waiting = Waiting::Nothing;
    m_request.clear();
    m_running = true;
}

void Interpreter::answer(std::string text) {
    if (m_waiting != Waiting::Input)
        throw std::logic_error("answer() without an input box waiting");
    m_waiting = Waiting::Nothing;
    try {
        setText(m_pointer, std::move(text));
    } catch (RunError& error) {
        m_running = false;
        error.setLocation(m_requestStart, m_requestCode);
        throw;
    }
    if (m_trace)
        traceStep(m_requestStart, m_requestCode, m_position);
}

void Interpreter::finishRequest() {
    if (m_waiting == Waiting::Input)
        throw std::logic_error("resume() while an input box waits for answer()");
    m_waiting = Waiting::Nothing;
    if (m_trace)
        traceStep(m_requestStart, m_requestCode, m_position);
}

SliceEnd Interpreter::resume(std::uint64_t budget) {
    if (!m_running)
        throw std::logic_error("resume() outside a RUN call");
    if (m_waiting != Waiting::Nothing)
        finishRequest();
    const std::uint64_t maxSteps = m_options.maxSteps ? m_options.maxSteps : std::numeric_limits<std::uint64_t>::max();
    // The loop tests one bound: the slice's end or the step limit, whichever comes first.
    const std::uint64_t sliceEnd = budget >= maxSteps - std::min(maxSteps, m_steps) ? maxSteps : m_steps + budget;
    // Tracing has a loop of its own, so that the plain loop does not ask at every step.
    return m_trace ? runTraced(sliceEnd, maxSteps) : runPlain(sliceEnd, maxSteps);
}

bool Interpreter::holds(std::uint8_t condition) {
    if (condition == static_cast<std::uint8_t>(Op::IfEqual))
        return cell(m_par1) == cell(m_par2);
    if (condition == static_cast<std::uint8_t>(Op::IfGreater))
        return single(m_par1) > single(m_par2);
    return single(m_par1) < single(m_par2);
}

[[gnu::always_inline]] inline void Interpreter::enterCell(const Decoded& entry) {
    const std::uint32_t cellNumber = entry.value;
    m_digits = entry.digits;
    m_pointer = static_cast<int>(cellNumber);
    if (cellNumber >= m_cellCount) [[unlikely]]
        growTo(static_cast<int>(cellNumber));
}

void Interpreter::enterGeneralCell(std::size_t position) {
    // Each digit is decoded on its own; a missing digit, or code 0 or 255, keeps the
    // value of the previous reference.
    const std::size_t length = m_program.size();
    const auto* text = reinterpret_cast<const std::uint8_t*>(m_program.data());
    int hi = m_digits & 0xFF;
    int lo = m_digits >> 8;
    if (position + 1 <= length && moxy::isCellDigit(text[position]))
        hi = text[position];
    if (position + 2 <= length && moxy::isCellDigit(text[position + 1]))
        lo = text[position + 1];
    m_digits = static_cast<std::uint16_t>(hi | lo << 8);
    m_pointer = moxy::cellNumber(hi, lo);
    growTo(m_pointer);
}

void Interpreter::appendLiteral(std::uint8_t code) {
    Cell& cell = written(m_pointer);
    if (cell.text.size() >= m_options.maxCellText || m_totalText + kLongestNumberText >= m_options.maxTotalText)
        checkGrowth(cell, 1);  // exact, the undecided cell counted
    cell.text += static_cast<char>(code);
    ++m_totalText;
    cell.cache = Cell::Cache::Unknown;
}

// One step at a time, each followed by its trace line.
SliceEnd Interpreter::runTraced(std::uint64_t sliceEnd, std::uint64_t maxSteps) {
    const std::size_t length = m_program.size();
    std::size_t position = m_position;
    std::size_t stepStart = position;
    std::uint8_t code = 0;
    std::uint64_t& steps = m_steps;
    const Decoded* page = nullptr;
    std::size_t pageNumber = std::numeric_limits<std::size_t>::max();
    try {
        while (position <= length) {
            if (steps >= sliceEnd) {
                m_position = position;
                if (steps < maxSteps)
                    return SliceEnd::Budget;
                m_running = false;
                return SliceEnd::StepLimit;
            }
            ++steps;
            stepStart = position;
            const std::size_t index = position - 1;
            if (index >> kPageShift != pageNumber) {
                pageNumber = index >> kPageShift;
                page = decodedPage(pageNumber);
            }
            const Decoded& entry = page[index & (kPagePositions - 1)];
            code = entry.code;
            switch (entry.handler) {
            case Handler::Cell:
            case Handler::CellThenSetPar1:
            case Handler::CellThenSetPar2:
            case Handler::CellThenSetRes:
            case Handler::CellThenOperation:
            case Handler::CellThenIncrement:
            case Handler::CellThenDecrement:
            case Handler::CellThenJump:
                enterCell(entry);
                position += 3;
                break;
            case Handler::CellGeneral:
                enterGeneralCell(position);
                position += 3;
                break;
            case Handler::Literal:
                appendLiteral(code);
                ++position;
                break;
            case Handler::SetPar1:
                m_par1 = m_pointer;
                ++position;
                break;
            case Handler::SetPar2:
                m_par2 = m_pointer;
                ++position;
                break;
            case Handler::SetRes:
                m_res = m_pointer;
                ++position;
                break;
            case Handler::IfEqual:
            case Handler::IfGreater:
            case Handler::IfLess: {
                const bool held = entry.handler == Handler::IfEqual     ? holds(code)
                                  : entry.handler == Handler::IfGreater ? holdsFast<Op::IfGreater>()
                                                                        : holdsFast<Op::IfLess>();
                if (!held && entry.value != 0)
                    position = entry.value;
                ++position;
                break;
            }
            case Handler::Operation:
            case Handler::Increment:
            case Handler::Decrement:
            case Handler::Jump: {
                const bool mayStop = execute(code, position);
                ++position;
                if (mayStop) {
                    m_position = position;
                    if (m_waiting != Waiting::Nothing) {
                        // The dialog's answer completes the step (and its trace line).
                        m_requestStart = stepStart;
                        m_requestCode = code;
                        return m_waiting == Waiting::Input ? SliceEnd::InputBox : SliceEnd::MessageBox;
                    }
                    traceStep(stepStart, code, position);
                    if (code == static_cast<std::uint8_t>(Op::End)) {
                        m_running = false;
                        return SliceEnd::Ended;
                    }
                    if (code == static_cast<std::uint8_t>(Op::Yield))
                        return SliceEnd::Yielded;
                    continue;
                }
                break;
            }
            case Handler::Nothing:
            case Handler::Leave:
                ++position;
                break;
            }
            traceStep(stepStart, code, position);
        }
    } catch (RunError& error) {
        m_running = false;
        error.setLocation(stepStart, code);
        throw;
    }
    m_running = false;
    return SliceEnd::RanPastEnd;
}

// The plain loop threads its handlers with labels as values (a GNU extension that GCC and
// Clang share).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#ifdef __clang__
#pragma GCC diagnostic ignored "-Wgnu-label-as-value"
#endif

// The plain loop: threaded, each handler going straight on to the next position's handler.
// The slice's steps left are counted down in a register; a reference fused with the
// opcode behind it takes both steps at once and goes on straight into that opcode's work.
// Where the loop is, is the decoded entry [at]; its position is worked out only where a
// step needs it. A step off the page, or past the program's end, lands on an entry of
// Leave, which looks up the position's page. Aligned, so that the hot loop's place in the
// code, and with it its speed, does not shift with whatever the linker puts before it.
[[gnu::aligned(64)]] SliceEnd Interpreter::runPlain(std::uint64_t sliceEnd, std::uint64_t maxSteps) {
    // In the order of Handler.
    static const void* const kHandlers[] = {
        &&nothing,         &&cell,            &&cellGeneral,    &&literal,           &&setPar1,
        &&setPar2,         &&setRes,          &&ifEqual,        &&ifGreater,         &&ifLess,
        &&operation,       &&increment,       &&decrement,      &&jump,              &&leave,
        &&cellThenSetPar1, &&cellThenSetPar2, &&cellThenSetRes, &&cellThenOperation, &&cellThenIncrement,
        &&cellThenDecrement, &&cellThenJump,
    };
    static_assert(static_cast<int>(Handler::CellThenJump) == 21);
    const std::size_t length = m_program.size();
    std::uint64_t left = sliceEnd - m_steps;
    struct WriteBack {
        const std::uint64_t& sliceEnd;
        const std::uint64_t& left;
        std::uint64_t& to;
        ~WriteBack() { to = sliceEnd - left; }
    } writeBack{sliceEnd, left, m_steps};
    const Decoded* page = nullptr;
    std::size_t pageFirst = 0;  // the 0-based index of the page's first position
    const Decoded* at = nullptr;
    std::size_t position = m_position;
    const auto positionOf = [&](const Decoded* entry) __attribute__((always_inline)) {
        return pageFirst + static_cast<std::size_t>(entry - page) + 1;
    };

#define MOXY_NEXT goto* kHandlers[static_cast<std::uint8_t>(at->handler)]
#define MOXY_STEP                   \
    if (left == 0) [[unlikely]]     \
        goto spent;                 \
    --left
#define MOXY_TWO_STEPS(alone)       \
    if (left < 2) [[unlikely]]      \
        goto alone;                 \
    left -= 2
// A reference fused with the opcode behind it: the reference's work, then the opcode's.
#define MOXY_CELL_THEN(work)        \
    MOXY_TWO_STEPS(cell);           \
    enterCell(*at);                 \
    at += 3;                        \
    goto work

    try {
        goto elsewhere;

    nothing:
        MOXY_STEP;
        ++at;
        MOXY_NEXT;
    cell:
        MOXY_STEP;
        enterCell(*at);
        at += 3;
        MOXY_NEXT;
    cellGeneral:
        MOXY_STEP;
        enterGeneralCell(positionOf(at));
        at += 3;
        MOXY_NEXT;
    literal:
        MOXY_STEP;
        appendLiteral(at->code);
        ++at;
        MOXY_NEXT;
    setPar1:
        MOXY_STEP;
    setPar1Work:
        m_par1 = m_pointer;
        ++at;
        MOXY_NEXT;
    setPar2:
        MOXY_STEP;
    setPar2Work:
        m_par2 = m_pointer;
        ++at;
        MOXY_NEXT;
    setRes:
        MOXY_STEP;
    setResWork:
        m_res = m_pointer;
        ++at;
        MOXY_NEXT;
    // A failed condition continues behind the next code 18; without one it goes on as if
    // the condition held.
    ifEqual:
        MOXY_STEP;
        if (holds(static_cast<std::uint8_t>(Op::IfEqual)))
            goto conditionHeld;
        goto conditionFailed;
    ifGreater:
        MOXY_STEP;
        if (holdsFast<Op::IfGreater>())
            goto conditionHeld;
        goto conditionFailed;
    ifLess:
        MOXY_STEP;
        if (holdsFast<Op::IfLess>())
            goto conditionHeld;
    conditionFailed:
        if (at->value != 0) {
            position = at->value + 1;
            goto moveTo;
        }
    conditionHeld:
        ++at;
        MOXY_NEXT;
    // A kept whole number stays kept and whole: only the number changes (and it is never
    // -0: a sum that is exactly 0 is +0).
    increment:
        MOXY_STEP;
    incrementWork: {
        Cell& cell = m_cells[static_cast<std::size_t>(m_pointer)];
        if (cell.cache == Cell::Cache::Number && cell.textPending && cell.keptWhole && cell.number < 1e15 - 1) {
            cell.number += 1;
            ++at;
            MOXY_NEXT;
        }
        goto operationWork;
    }
    decrement:
        MOXY_STEP;
    decrementWork: {
        Cell& cell = m_cells[static_cast<std::size_t>(m_pointer)];
        if (cell.cache == Cell::Cache::Number && cell.textPending && cell.keptWhole && cell.number > -1e15 + 1) {
            cell.number -= 1;
            ++at;
            MOXY_NEXT;
        }
        goto operationWork;
    }
    jump:
        MOXY_STEP;
    jumpWork: {
        // A kept label number needs no conversion; the last one's target is at hand.
        const Cell& cell = m_cells[static_cast<std::size_t>(m_pointer)];
        if (cell.cache == Cell::Cache::Number) {
            if (cell.number == m_jumpNumber) {
                position = m_jumpTarget + 1;
                goto moveTo;
            }
            if (cell.number >= 1 && cell.number <= moxy::kHighestLabel) {
                const auto label = static_cast<std::int32_t>(cell.number);
                const std::uint32_t target = m_labels[static_cast<std::size_t>(label)];
                if (static_cast<double>(label) == cell.number && target != 0) {
                    m_jumpNumber = cell.number;
                    m_jumpTarget = target;
                    position = target + 1;
                    goto moveTo;
                }
            }
        }
        goto operationWork;
    }
    operation:
        MOXY_STEP;
    operationWork: {
        const std::uint8_t code = at->code;
        const std::size_t stepStart = positionOf(at);
        position = stepStart;
        const bool mayStop = execute(code, position);
        ++position;
        if (mayStop) [[unlikely]] {
            m_position = position;
            if (m_waiting != Waiting::Nothing) {
                // The dialog's answer completes the step.
                m_requestStart = stepStart;
                m_requestCode = code;
                return m_waiting == Waiting::Input ? SliceEnd::InputBox : SliceEnd::MessageBox;
            }
            if (code == static_cast<std::uint8_t>(Op::End)) {
                m_running = false;
                return SliceEnd::Ended;
            }
            if (code == static_cast<std::uint8_t>(Op::Yield))
                return SliceEnd::Yielded;
        }
        goto moveTo;
    }

    // The opcode behind a reference is the next step, unless the slice has only one left.
    cellThenSetPar1:
        MOXY_CELL_THEN(setPar1Work);
    cellThenSetPar2:
        MOXY_CELL_THEN(setPar2Work);
    cellThenSetRes:
        MOXY_CELL_THEN(setResWork);
    cellThenOperation:
        MOXY_CELL_THEN(operationWork);
    cellThenIncrement:
        MOXY_CELL_THEN(incrementWork);
    cellThenDecrement:
        MOXY_CELL_THEN(decrementWork);
    cellThenJump:
        MOXY_CELL_THEN(jumpWork);

    moveTo: {
        // [position]: where execution goes on; on this page, or elsewhere.
        const std::size_t offset = position - 1 - pageFirst;
        if (offset < kPagePositions) [[likely]] {
            at = page + offset;
            MOXY_NEXT;
        }
        goto elsewhere;
    }
    leave:
        position = positionOf(at);
    elsewhere: {
        if (position > length) {
            m_running = false;
            return SliceEnd::RanPastEnd;
        }
        const std::size_t index = position - 1;
        page = decodedPage(index >> kPageShift);
        pageFirst = index & ~(kPagePositions - 1);
        at = page + (index - pageFirst);
        MOXY_NEXT;
    }
    spent:
        m_position = positionOf(at);
        if (sliceEnd - left < maxSteps)
            return SliceEnd::Budget;
        m_running = false;
        return SliceEnd::StepLimit;
    } catch (RunError& error) {
        m_running = false;
        error.setLocation(positionOf(at), at->code);
        throw;
    }
#undef MOXY_NEXT
#undef MOXY_STEP
#undef MOXY_TWO_STEPS
#undef MOXY_CELL_THEN
}

#pragma GCC diagnostic pop

[[gnu::always_inline]] inline bool Interpreter::execute(std::uint8_t code, std::size_t& position) {
    const int p = m_pointer;
    switch (static_cast<Op>(code)) {
    case Op::SelectCell:  // handled by the loop
    case Op::EndIf:
        return false;
    case Op::SetPar1:
        m_par1 = p;
        return false;
    case Op::SetPar2:
        m_par2 = p;
        return false;
    case Op::SetRes:
        m_res = p;
        return false;
    case Op::Add:
        setNumber(p, number(m_par1) + number(m_par2));
        return false;
    case Op::Subtract:
        setNumber(p, number(m_par1) - number(m_par2));
        return false;
    case Op::Multiply:
        setNumber(p, number(m_par1) * number(m_par2));
        return false;
    case Op::Divide:
        // Deliberate: no error for a zero divisor; the text becomes Infinity or NaN.
        setNumber(p, number(m_par1) / number(m_par2));
        return false;
    case Op::Power: {
        const double base = number(m_par1);
        setNumber(p, std::pow(base, number(m_par2)));
        return false;
    }
    case Op::SquareRoot:
        // Deliberate: the root goes into V(Res), not into the current cell.
        setNumber(m_res, std::sqrt(number(p)));
        return false;
    case Op::Increment:
    case Op::Decrement: {
        const double step = code == static_cast<std::uint8_t>(Op::Increment) ? 1.0 : -1.0;
        Cell& cell = m_cells[static_cast<std::size_t>(p)];
        if (cell.cache == Cell::Cache::Number && cell.textPending) {
            // A kept number stays kept: when the sum is whole too, only the number changes.
            const double sum = cell.number + step;
            if (isSmallWhole(sum)) [[likely]] {
                cell.number = sum == 0 ? 0.0 : sum;
                return false;
            }
        }
        setNumber(p, number(p) + step);
        return false;
    }
    case Op::Negate:
        setNumber(p, -number(p));
        return false;
    case Op::Clear:
        setText(p, std::string());
        return false;
    case Op::Copy:
        if (m_par1 != p)
            copyCell(p, m_par1);
        return false;
    case Op::GetPointer:
        setText(p, formatWhole(m_par1));
        return false;
    case Op::MovePointer: {
        const std::int32_t target = toWhole(std::fabs(number(p)));
        if (target > moxy::kHighestCell)
            throw RunError(Kind::CellOutOfRange,
                           "cell " + std::to_string(target) + " is above the highest cell " +
                               std::to_string(moxy::kHighestCell));
        growTo(target);
        m_pointer = target;
        return false;
    }
    case Op::Append: {
        if (m_par1 == p) {
            const std::string copy = cell(p);
            append(p, copy);
        } else {
            append(p, cell(m_par1));
        }
        return false;
    }
    case Op::AppendChar: {
        const std::int32_t characterCode = whole(m_par1);
        if (characterCode < 0 || characterCode > 255)
            throw RunError(Kind::InvalidArgument,
                           "character code " + std::to_string(characterCode) + " is outside 0 to 255");
        const char character = static_cast<char>(characterCode);
        append(p, std::string_view(&character, 1));
        return false;
    }
    case Op::AppendFolder:
        append(p, m_host.programFolder());
        return false;
    case Op::Length:
        setText(p, formatWhole(static_cast<std::int64_t>(cell(m_par1).size())));
        return false;
    case Op::Middle: {
        const std::string& source = cell(m_res);
        const std::int32_t start = whole(m_par1);
        const std::int32_t count = whole(m_par2);
        if (start < 1)
            throw RunError(Kind::InvalidArgument, "start " + std::to_string(start) + " is below 1");
        if (count < 0)
            throw RunError(Kind::InvalidArgument, "count " + std::to_string(count) + " is negative");
        const auto offset = static_cast<std::size_t>(start - 1);
        setText(p, offset >= source.size() ? std::string() : source.substr(offset, static_cast<std::size_t>(count)));
        return false;
    }
    case Op::Random: {
        const double low = number(m_par1);
        const double high = number(m_par2);
        // r is drawn in single precision, uniformly from 0 up to but not including 1.
        const float r = static_cast<float>(m_random() >> 40) * (1.0f / 16777216.0f);
        setNumber(p, std::floor((high - low + 1) * static_cast<double>(r)) + low);
        return false;
    }

    case Op::IfEqual:  // handled by the loop
    case Op::IfGreater:
    case Op::IfLess:
        return false;
    case Op::Jump: {
        // A kept label number needs no conversion.
        const Cell& cell = m_cells[static_cast<std::size_t>(p)];
        std::int32_t label = 0;
        if (cell.cache == Cell::Cache::Number && cell.number >= 1 && cell.number <= moxy::kHighestLabel &&
            static_cast<double>(static_cast<std::int32_t>(cell.number)) == cell.number)
            label = static_cast<std::int32_t>(cell.number);
        else
            label = whole(p);
        if (label == 0) {
            position = 0;  // the loop's step makes it the first character
        } else {
            const std::size_t target = labelPosition(label);
            if (target == 0)
                throw RunError(Kind::LabelNotFound, "the program holds no label " + std::to_string(label));
            position = target;
        }
        return false;
    }
    case Op::End:
        return true;
    case Op::Yield:  // the slice ends here: the driver lets events through
        return true;

    case Op::KeyState: {
        ++position;
        if (position > m_program.size())
            return false;
        if (const moxy::KeyInfo* key = moxy::keyInfo(static_cast<std::uint8_t>(m_program[position - 1])))
            setText(p, m_host.keyIsDown(key->key) ? "1" : "0");
        return false;
    }
    case Op::System:
        ++position;
        if (position <= m_program.size())
            systemCall(static_cast<std::uint8_t>(m_program[position - 1]));
        return m_waiting != Waiting::Nothing;
    case Op::TickCount:
        setText(p, formatWhole(m_host.tickCount()));
        return false;
    case Op::InputBox:  // the slice ends here; answer() writes V(P)
        m_request = cell(m_par1);
        m_waiting = Waiting::Input;
        return true;

    case Op::ColourByDigit: {
        const std::string& digit = cell(p);
        if (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9')
            m_host.setColour(kDigitColours[digit[0] - '1']);
        return false;
    }
    case Op::ColourByValue: {
        const std::int32_t colour = whole(p);
        if (colour < 0 || colour > kHighestColour)
            throw RunError(Kind::InvalidArgument, "colour " + std::to_string(colour) + " is outside 0 to 16777215");
        m_host.setColour(static_cast<std::uint32_t>(colour));
        return false;
    }
    case Op::Point: {
        const float x = single(m_par1);
        m_host.drawPoint(x, single(m_par2));
        return false;
    }
    case Op::Line: {
        const float x1 = single(m_par1);
        const float y1 = single(m_par2);
        const float x2 = single(m_res);
        m_host.drawLine(x1, y1, x2, single(p));
        return false;
    }
    case Op::Circle: {
        const float x = single(m_par1);
        const float y = single(m_par2);
        m_host.drawCircle(x, y, single(p));
        return false;
    }
    case Op::Box:
    case Op::FilledBox: {
        const float x = single(m_par1);
        const float y = single(m_par2);
        const double width = number(m_res);
        const double height = number(p);
        m_host.drawBox(x, y, width, height, code == static_cast<std::uint8_t>(Op::FilledBox) ? Fill::Yes : Fill::No);
        return false;
    }
    case Op::Print: {
        const float x = single(m_par1);
        const float y = single(m_par2);
        m_host.drawText(x, y, cell(p));
        return false;
    }
    case Op::ClearScreen:
        m_host.clearSurface();
        return false;
    case Op::NewPictureHolder:
        ++m_picCount;
        if (m_picCount <= m_highestHolder)
            throw RunError(Kind::HolderExists, "picture holder " + std::to_string(m_picCount) + " already exists");
        m_highestHolder = m_picCount;
        return false;
    case Op::SelectPictureHolder:
        m_picSelect = whole(p);
        return false;
    case Op::LoadPicture:
        m_host.loadPicture(pictureHolder(), cell(p));
        return false;
    case Op::PaintPicture: {
        const int holder = pictureHolder();
        const float x = single(m_par1);
        const float y = single(m_par2);
        const double width = number(m_res);
        const double height = number(p);
        m_host.paintPicture(holder, x, y, width, height);
        return false;
    }
    }
    return false;  // the loop calls it only for listed opcodes
}

void Interpreter::systemCall(std::uint8_t subCode) {
    const int p = m_pointer;
    if (!moxy::subCodeInfo(subCode))
        return;
    switch (static_cast<SubCode>(subCode)) {
    case SubCode::Beep: {
        const std::int32_t hertz = whole(m_par1);
        m_host.beep(hertz, whole(m_par2));
        return;
    }
    case SubCode::LoadFile:
        setText(p, moxy::linesEndingInCrLf(m_host.readFile(cell(m_par1))));
        return;
    case SubCode::WriteFile: {
        const std::string& text = cell(p);
        std::string content;
        content.reserve(text.size() + 2);
        content += text;
        content += "\r\n";
        m_host.writeFile(cell(m_par1), content);
        return;
    }
    case SubCode::ScreenWidth:
        setNumber(p, static_cast<float>(m_host.screenSize().width));
        return;
    case SubCode::ScreenHeight:
        setNumber(p, static_cast<float>(m_host.screenSize().height));
        return;
    case SubCode::SetWindowWidth:
        m_host.setWindowWidth(number(p));
        return;
    case SubCode::SetWindowHeight:
        m_host.setWindowHeight(number(p));
        return;
    case SubCode::SetWindowTop:
        // Deliberate: sub-code 246 (Quillon's setwindowx) moves the top edge.
        m_host.setWindowTop(number(p));
        return;
    case SubCode::SetWindowLeft:
        m_host.setWindowLeft(number(p));
        return;
    case SubCode::Caption:
        m_host.setCaption(cell(p));
        return;
    case SubCode::MessageBox:  // the slice ends here; the driver shows the box
        m_request = cell(p);
        m_waiting = Waiting::Message;
        return;
    case SubCode::Exec:
        m_host.startProgram(cell(p));
        return;
    }
}

}  // namespace runner
