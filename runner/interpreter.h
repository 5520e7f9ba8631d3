// The MOXY machine: the program text, the variable store of text cells, the registers
// Pointer, Par1, Par2 and Res, the label table, and the execution loop that walks the
// text one character at a time. It runs in slices: a driver (the window's event loop,
// --headless's plain loop, a test) resumes it for a number of steps and is told why the
// slice ended: a yield, a dialog to answer, the end, or the spent budget. Drawing,
// files, keys and the clock go through Host. No Qt.
#pragma once

#include "runner/conversions.h"
#include "runner/host.h"
#include "runner/run_error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace runner {

// Why a slice ended. The first four leave the run resumable; the rest end it.
enum class SliceEnd : std::uint8_t {
    Yielded,     // opcode 252 ran: the driver lets window events through, then resumes
    InputBox,    // opcode 23 waits: the driver shows request() and calls answer()
    MessageBox,  // sub-code 243 waits: the driver shows request(), then resumes
    Budget,      // the slice's steps are spent (or a first error restarted the program)
    RanPastEnd,  // execution ran past the last character
    Ended,       // opcode 24, or the driver stopped the run (the window was closed)
    StepLimit,   // InterpreterOptions::maxSteps steps have run
    Failed,      // a run-time error that ends the run (Session only; Interpreter throws)
};

inline constexpr std::uint64_t kWholeRun = UINT64_MAX;  // a slice budget without bound

constexpr bool isFinal(SliceEnd end) { return end >= SliceEnd::RanPastEnd; }

struct InterpreterOptions {
    NumberFormat numberFormat;
    std::optional<std::uint64_t> seed;          // random numbers; from the clock when absent
    std::uint64_t maxSteps = 0;                 // 0: no limit
    std::size_t maxCellText = 64u << 20;        // one cell's text
    std::size_t maxTotalText = 1024u << 20;     // all cells' texts together
};

// One executed step, for --trace. [cell] is the cell the step left current.
struct TraceStep {
    std::size_t position = 0;    // 1-based
    std::uint8_t code = 0;       // the character executed
    std::uint8_t operand = 0;    // key selector or sub-code, when the opcode takes one
    int cell = 0;                // Pointer after the step
    std::size_t skippedTo = 0;   // a failed condition: position it continues at; a jump: target
};

class Interpreter {
public:
    Interpreter(std::string program, Host& host, InterpreterOptions options = {});

    // Starts a RUN call: builds the label table and goes to the first character. Cells
    // and registers keep what earlier calls left.
    void begin();
    // Executes at most [steps] steps of the current RUN call (begin() first) and says
    // why it stopped. An opcode is never cut: a dialog stops the slice before the
    // opcode's effect, which answer() or the next resume() completes. A run-time error
    // is thrown with its location and ends the RUN call.
    SliceEnd resume(std::uint64_t steps = kWholeRun);
    // The prompt of the input box or the text of the message box the slice ended at.
    const std::string& request() const { return m_request; }
    // The input box's answer ("" for Cancel), written into the current cell as the
    // opcode's effect; then the run resumes behind the opcode. Throws RunError.
    void answer(std::string text);
    // Whether a RUN call is under way (begun, not ended, not failed).
    bool running() const { return m_running; }
    // The 1-based position of the next character to execute.
    std::size_t position() const { return m_position; }
    Host& host() const { return m_host; }

    void setTrace(std::function<void(const TraceStep&)> trace) { m_trace = std::move(trace); }

    const std::string& program() const { return m_program; }
    int pointer() const { return m_pointer; }
    int par1() const { return m_par1; }
    int par2() const { return m_par2; }
    int res() const { return m_res; }
    int varTop() const { return static_cast<int>(m_cells.size()) - 1; }
    std::int32_t picSelect() const { return m_picSelect; }
    // The cell's text ("" for a cell that does not exist). A cell whose last value was a
    // computed number keeps the number and writes its text only when somebody reads it.
    const std::string& cell(int number) const;
    std::uint64_t steps() const { return m_steps; }
    // Sets cell [number]'s text from outside the program (a debugger); false when the
    // cell does not exist. Throws RunError when the text goes beyond the limits on texts.
    bool setCell(int number, std::string text);

    // The position of label [number] (1-based), or 0 when the program holds none.
    std::size_t labelPosition(int number) const;

private:
    static constexpr std::size_t kKeptCapacity = 64;
    static constexpr std::size_t kInitialCells = 256;  // cells 0 to 255 exist from the start

    struct Cell {
        std::string text;
        double number = 0;
        // Undecided: [number] is a computed result whose text's value is yet to be worked
        // out (see settle()); its text is pending.
        enum class Cache : std::uint8_t { Unknown, Number, NotNumber, Undecided } cache = Cache::Unknown;
        bool textPending = false;  // [number] holds the value; [text] is yet to be written
        // With a pending text of a kept number: the number is whole and lies between -1e15
        // and 1e15, so that a step of 1 changes only the number.
        bool keptWhole = false;
    };
    // Works out the undecided cell's value: the number its text reads back as, or, when only
    // the text can tell (an exact decimal tie), the text itself, counted as if written when
    // the result was stored. Every path that reads the cell, and every check of the limits
    // on texts that an undecided cell could tip, settles it first.
    void settle() const {
        if (m_undecided >= 0) [[unlikely]]
            settleNow();
    }
    void settleNow() const;
    // Writes a pending text; every path that reads or changes [text] goes through it.
    Cell& written(int cellNumber) const;

    // The program decoded once: for every position, what the loop does there, so that a
    // jump or a skip may land anywhere. The positions are decoded a page at a time when
    // execution first reaches the page; at most kDecodedPages pages are kept, and a program
    // that needs more starts its table afresh (its memory stays bounded).
    enum class Handler : std::uint8_t {
        Nothing,      // no effect
        Cell,         // a variable reference with both digits: the cell is known
        CellGeneral,  // a reference with a missing digit: it keeps the previous one
        Literal,      // appended to the current cell
        SetPar1,
        SetPar2,
        SetRes,
        // The conditions: [value] is the next code 18 after it, or 0.
        IfEqual,
        IfGreater,
        IfLess,
        Operation,    // every other opcode: execute()
        // Opcodes 25 and 26, with a kept whole number changed in place.
        Increment,
        Decrement,
        Jump,         // opcode 254, with a kept label number taken as it is
        Leave,        // past the page or past the program's end: the loop looks up where it is
        // A reference with both digits followed by an opcode: two steps in one dispatch
        // (not when tracing, nor when only one step is left).
        CellThenSetPar1,
        CellThenSetPar2,
        CellThenSetRes,
        CellThenOperation,
        CellThenIncrement,
        CellThenDecrement,
        CellThenJump,
    };
    struct Decoded {
        std::uint32_t value = 0;    // Cell: the cell number; a condition: where a failed one goes
        Handler handler = Handler::Leave;
        std::uint8_t code = 0;      // the character
        std::uint16_t digits = 0;   // Cell: its digits, hi | lo << 8
    };
    static_assert(sizeof(Decoded) == 8);
    static constexpr unsigned kPageShift = 12;
    static constexpr std::size_t kPagePositions = std::size_t{1} << kPageShift;
    // Every page ends in entries of Leave that a step from its last positions may reach (a
    // reference moves on by 3), so that the plain loop needs no check of where it is.
    static constexpr std::size_t kPageTail = 3;
    static constexpr std::size_t kDecodedPages = 2048;  // 64 MiB of decoded entries

    void buildLabels();
    void prepareDecoding();
    const Decoded* decodedPage(std::size_t page);
    SliceEnd runTraced(std::uint64_t sliceEnd, std::uint64_t maxSteps);
    SliceEnd runPlain(std::uint64_t sliceEnd, std::uint64_t maxSteps);
    // The steps the loops share: a reference with both digits, one with a missing digit (at
    // [position]), a literal character.
    void enterCell(const Decoded& entry);
    void enterGeneralCell(std::size_t position);
    void appendLiteral(std::uint8_t code);
    bool holds(std::uint8_t condition);
    // holds() for opcode 16 or 17, with two kept numbers that are normal singles themselves
    // (counters, coordinates) compared without a call: then the doubles compare as the
    // singles do.
    template <moxy::Op Condition>
    bool holdsFast() {
        const Cell& a = m_cells[static_cast<std::size_t>(m_par1)];
        const Cell& b = m_cells[static_cast<std::size_t>(m_par2)];
        if (a.cache == Cell::Cache::Number && b.cache == Cell::Cache::Number &&
            areExactSingles(a.number, b.number)) [[likely]]
            return Condition == moxy::Op::IfLess ? a.number < b.number : a.number > b.number;
        return holds(static_cast<std::uint8_t>(Condition));
    }
    // Whether both are normal single-precision numbers: the 29 bits that single precision
    // drops are zero, and the exponent lies from -126 to 126.
    static bool areExactSingles(double a, double b) {
        const auto bitsA = __builtin_bit_cast(std::uint64_t, a);
        const auto bitsB = __builtin_bit_cast(std::uint64_t, b);
        constexpr std::uint64_t kDropped = 0x1FFFFFFF;
        constexpr unsigned kLowest = 1023 - 126;  // biased exponents
        constexpr unsigned kCount = 253;
        return ((bitsA | bitsB) & kDropped) == 0 && (static_cast<unsigned>(bitsA >> 52 & 0x7FF) - kLowest) < kCount &&
               (static_cast<unsigned>(bitsB >> 52 & 0x7FF) - kLowest) < kCount;
    }
    void growTo(int cellNumber);
    // True after the opcodes a slice may stop at: 24, 252 and the two dialogs.
    bool execute(std::uint8_t code, std::size_t& position);
    void systemCall(std::uint8_t subCode);
    void finishRequest();
    void traceStep(std::size_t stepStart, std::uint8_t code, std::size_t next) const;

    double number(int cellNumber) {
        const Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        return cell.cache == Cell::Cache::Number ? cell.number : parsedNumber(cellNumber);
    }
    float single(int cellNumber) {
        // The kept number rounded to single precision is what the text reads as, unless
        // it lies exactly between two single-precision neighbours.
        const Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        float value = 0;
        if (cell.cache == Cell::Cache::Number && singleOfNumber(cell.number, value))
            return value;
        return singleSlow(cellNumber);
    }
    double parsedNumber(int cellNumber);
    float singleSlow(int cellNumber);
    std::int32_t whole(int cellNumber);
    std::int32_t toWhole(double value);

    void setText(int cellNumber, std::string text);
    // text(value) into the cell. The cell keeps the number its text reads back as and
    // writes the text (at most kLongestNumberText characters) when somebody reads it.
    void setNumber(int cellNumber, double value) {
        // A whole number is its own text's value; any other waits, undecided, until the
        // cell is read (most results are overwritten unread).
        if (isSmallWhole(value)) {
            keepNumber(cellNumber, value, true);
            return;
        }
        setFraction(cellNumber, value);
    }
    void setFraction(int cellNumber, double value);
    static bool isSmallWhole(double value) {
        return value > -1e15 && value < 1e15 && static_cast<double>(static_cast<std::int64_t>(value)) == value;
    }
    bool roomForNumberText() const {
        settle();
        return m_totalText + kLongestNumberText <= m_options.maxTotalText && kLongestNumberText <= m_options.maxCellText;
    }
    // [kept] into the cell, its text pending; [kept] is its own text's value, and [whole]
    // says whether it is a whole number between -1e15 and 1e15.
    void keepNumber(int cellNumber, double kept, bool whole) {
        Cell& cell = m_cells[static_cast<std::size_t>(cellNumber)];
        if (cell.cache == Cell::Cache::Undecided) [[unlikely]]
            m_undecided = -1;  // overwritten unread: its text would have gone now
        if (!cell.textPending) {
            m_totalText -= cell.text.size();
            if (cell.text.capacity() > kKeptCapacity)
                std::string().swap(cell.text);  // a long text's memory goes with it
            else
                cell.text.clear();
        }
        cell.number = kept == 0 ? 0.0 : kept;
        cell.cache = Cell::Cache::Number;
        cell.textPending = true;
        cell.keptWhole = whole;
    }
    void setFormattedNumber(int cellNumber, double value);
    // V(cellNumber) := V(from), number and all.
    void copyCell(int cellNumber, int from);
    void append(int cellNumber, std::string_view text);
    void checkGrowth(const Cell& cell, std::size_t added) const;
    int pictureHolder() const;

    std::string m_program;
    Host& m_host;
    InterpreterOptions m_options;
    std::function<void(const TraceStep&)> m_trace;
    std::mt19937_64 m_random;

    // Runner-wide state: lives across run() calls.
    mutable std::vector<Cell> m_cells;
    std::size_t m_cellCount = kInitialCells;  // m_cells.size(), at hand for the loop
    int m_pointer = 255;
    int m_par1 = 0;
    int m_par2 = 0;
    int m_res = 0;
    std::int32_t m_picSelect = 0;
    int m_highestHolder = 0;
    mutable std::size_t m_totalText = 0;
    mutable int m_undecided = -1;  // the one cell whose kept number is undecided, or -1
    std::uint64_t m_steps = 0;

    // The decoded program (it depends on the program text only).
    std::vector<const Decoded*> m_pages;                  // index: page; null until decoded
    std::vector<std::unique_ptr<Decoded[]>> m_pagePool;   // the pages' memory
    std::size_t m_pagesUsed = 0;
    std::vector<std::uint32_t> m_firstEndFrom;            // index: page; first code 18 from its start, or 0

    // State of one run() call.
    std::vector<std::uint32_t> m_labels;          // index: label number; 0: none
    std::uint16_t m_digits = 0;  // the reference's digit memories, hi | lo << 8
    // The last jump's kept label number and where it went (0 and 0 stand for label 0).
    double m_jumpNumber = 0;
    std::uint32_t m_jumpTarget = 0;
    int m_picCount = 0;
    std::size_t m_position = 1;
    bool m_running = false;

    // A dialog the slice stopped at: its text, and the step that asked for it.
    enum class Waiting : std::uint8_t { Nothing, Input, Message };
    Waiting m_waiting = Waiting::Nothing;
    std::string m_request;
    std::size_t m_requestStart = 0;
    std::uint8_t m_requestCode = 0;
};

}  // namespace runner
