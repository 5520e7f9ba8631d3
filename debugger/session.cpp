#include "debugger/session.h"

#include "moxy/escape.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QString>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace debugger {

namespace {

constexpr int kThreadId = 1;
constexpr int kNamesReference = 1;
constexpr int kRegistersReference = 2;
constexpr int kCellsReference = 3;
// The variables view shows at most this much of a cell's text and this many cells.
constexpr std::size_t kShownText = 4096;
constexpr int kShownCells = 10000;
constexpr std::size_t kShownTotal = 4u << 20;  // characters of values in one variables reply

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string s(const QJsonValue& value) {
    return value.toString().toStdString();
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

// The cell number in "V(n)" (any case, blanks allowed inside), or -1.
int cellReference(std::string_view text) {
    const std::string name = trimmed(text);
    if (name.size() < 4 || (name[0] != 'V' && name[0] != 'v') || name.back() != ')')
        return -1;
    std::string_view rest = std::string_view(name).substr(1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '(')
        return -1;
    const std::string inner = trimmed(rest.substr(1, rest.size() - 2));
    int cell = -1;
    const auto result = std::from_chars(inner.data(), inner.data() + inner.size(), cell);
    if (inner.empty() || result.ec != std::errc() || result.ptr != inner.data() + inner.size() || cell < 0)
        return -1;
    return cell;
}

// The text a client typed for a cell: in double quotes with the dump's escapes, or as it is.
std::string typedText(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return unescapeText(std::string_view(value).substr(1, value.size() - 2));
    return value;
}

}  // namespace

Session::Session(DebuggeeFactory factory, Send send) : m_factory(std::move(factory)), m_send(std::move(send)) {
    m_handlers = {
        {"initialize", &Session::initialize},
        {"launch", &Session::launch},
        {"setBreakpoints", &Session::setBreakpoints},
        {"setExceptionBreakpoints", &Session::setExceptionBreakpoints},
        {"configurationDone", &Session::configurationDone},
        {"threads", &Session::threads},
        {"stackTrace", &Session::stackTrace},
        {"scopes", &Session::scopes},
        {"variables", &Session::variables},
        {"setVariable", &Session::setVariable},
        {"evaluate", &Session::evaluate},
        {"continue", &Session::continueRequest},
        {"next", &Session::next},
        {"stepIn", &Session::stepIn},
        {"stepOut", &Session::stepFrame},
        {"stepFrame", &Session::stepFrame},
        {"pause", &Session::pause},
        {"terminate", &Session::terminate},
        {"disconnect", &Session::disconnect},
    };
}

Session::~Session() = default;

// ---- Messages ---------------------------------------------------------------------------

void Session::send(const QJsonObject& message) {
    QJsonObject numbered = message;
    numbered.insert("seq", m_seq++);
    m_send(QJsonDocument(numbered).toJson(QJsonDocument::Compact).toStdString());
}

void Session::respond(const QJsonObject& request, const QJsonObject& body) {
    QJsonObject response{{"type", "response"},
                         {"request_seq", request.value("seq").toInteger()},
                         {"success", true},
                         {"command", request.value("command").toString()}};
    if (!body.isEmpty())
        response.insert("body", body);
    send(response);
}

void Session::fail(const QJsonObject& request, const std::string& message) {
    const QJsonObject error{{"id", 1}, {"format", q(message)}, {"showUser", false}};
    send(QJsonObject{{"type", "response"},
                     {"request_seq", request.value("seq").toInteger()},
                     {"success", false},
                     {"command", request.value("command").isString() ? request.value("command").toString() : ""},
                     {"message", q(message)},
                     {"body", QJsonObject{{"error", error}}}});
}

void Session::event(const char* name, const QJsonObject& body) {
    QJsonObject message{{"type", "event"}, {"event", name}};
    if (!body.isEmpty())
        message.insert("body", body);
    send(message);
}

void Session::sendOutput(std::string_view text, std::string_view category) {
    event("output", {{"category", q(category)}, {"output", q(text)}});
}

void Session::feed(std::string_view bytes) {
    m_reader.feed(bytes);
    MessageReader::Item item;
    while (m_reader.next(item)) {
        if (item.kind == MessageReader::Item::Kind::Message)
            handleMessage(item.text);
        else
            fail({}, "bad message frame: " + item.text);
    }
}

void Session::handleMessage(std::string_view json) {
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &parseError);
    if (document.isNull()) {
        fail({}, "malformed JSON: " + parseError.errorString().toStdString());
        return;
    }
    if (!document.isObject()) {
        fail({}, "a message must be a JSON object");
        return;
    }
    const QJsonObject message = document.object();
    if (message.value("type").toString() != "request" || !message.value("command").isString()) {
        fail(message, "not a request: a request has \"type\": \"request\" and a \"command\"");
        return;
    }
    const QJsonValue arguments = message.value("arguments");
    if (!arguments.isUndefined() && !arguments.isObject()) {
        fail(message, "the arguments must be a JSON object");
        return;
    }
    const std::string command = s(message.value("command"));
    const auto handler = m_handlers.find(command);
    if (handler == m_handlers.end()) {
        fail(message, "unknown request: " + command);
        return;
    }
    if (m_finished) {
        fail(message, "the session has ended");
        return;
    }
    if (m_phase == Phase::New && command != "initialize" && command != "disconnect") {
        fail(message, "the first request must be initialize");
        return;
    }
    (this->*handler->second)(message, arguments.toObject());
}

bool Session::needStopped(const QJsonObject& request) {
    if (m_phase == Phase::Exited) {
        fail(request, "the program has ended");
        return false;
    }
    if (m_phase != Phase::Launched && m_phase != Phase::Configured) {
        fail(request, "no program is launched");
        return false;
    }
    if (m_running) {
        fail(request, "the program is running");
        return false;
    }
    return true;
}

// ---- Start-up -----------------------------------------------------------------------------

void Session::initialize(const QJsonObject& request, const QJsonObject& arguments) {
    if (m_phase != Phase::New) {
        fail(request, "initialize was already sent");
        return;
    }
    m_lineBase = arguments.value("linesStartAt1").toBool(true) ? 1 : 0;
    m_columnBase = arguments.value("columnsStartAt1").toBool(true) ? 1 : 0;
    m_phase = Phase::Initialized;
    const QJsonArray filters{QJsonObject{{"filter", "runtime-error"}, {"label", "Run-time errors"}, {"default", false}}};
    respond(request, {{"supportsConfigurationDoneRequest", true},
                      {"supportsSetVariable", true},
                      {"supportsEvaluateForHovers", true},
                      {"exceptionBreakpointFilters", filters},
                      {"supportsTerminateRequest", true},
                      {"supportsSteppingGranularity", true}});
}

void Session::launch(const QJsonObject& request, const QJsonObject& arguments) {
    if (m_phase != Phase::Initialized) {
        fail(request, m_phase == Phase::Exited ? "the program has ended" : "a program is already launched");
        return;
    }
    const bool hasProgram = arguments.value("program").isString() && !arguments.value("program").toString().isEmpty();
    if (!hasProgram && m_defaultProgram.empty()) {
        fail(request, "missing argument: program (the MOXY file's path)");
        return;
    }
    LaunchOptions options;
    options.program = hasProgram ? s(arguments.value("program")) : m_defaultProgram;
    // The program's path stays valid when the run changes the working folder (--safe).
    std::error_code absoluteError;
    if (const std::filesystem::path absolute = std::filesystem::absolute(options.program, absoluteError);
        !absoluteError)
        options.program = absolute.lexically_normal().string();
    options.headless = arguments.value("headless").toBool(false);
    options.safe = arguments.value("safe").toBool(false);
    const QJsonValue seed = arguments.value("seed");
    if (seed.isDouble() && seed.toDouble() >= 0)
        options.seed = static_cast<std::uint64_t>(seed.toDouble());
    else if (seed.isString())
        options.seed = seed.toString().toULongLong();
    options.keys = s(arguments.value("keys"));
    options.screen = s(arguments.value("screen"));
    for (const QJsonValue& input : arguments.value("inputs").toArray())
        options.inputs.push_back(input.toVariant().toString().toStdString());  // 12 as "12"
    const QJsonValue maxSteps = arguments.value("maxSteps");
    m_maxSteps = maxSteps.isDouble() && maxSteps.toDouble() > 0 ? static_cast<std::uint64_t>(maxSteps.toDouble()) : 0;
    m_sourceArgument = s(arguments.value("source"));
    m_stopOnEntry = arguments.value("stopOnEntry").toBool(false);
    // A run without debugging: no stops at all.
    m_noDebug = arguments.value("noDebug").toBool(false);
    if (m_noDebug)
        m_stopOnEntry = false;

    std::string error;
    std::unique_ptr<Debuggee> debuggee = m_factory ? m_factory(options, error) : nullptr;
    if (!debuggee) {
        fail(request, error.empty() ? "cannot start " + options.program : error);
        return;
    }
    m_options = options;
    m_debuggee = std::move(debuggee);
    m_map = ProgramMap::besideProgram(options.program);
    m_phase = Phase::Launched;
    respond(request);
    resolveBreakpoints();
    event("initialized");
}

void Session::configurationDone(const QJsonObject& request, const QJsonObject&) {
    if (m_phase != Phase::Launched) {
        fail(request, m_phase == Phase::Configured ? "configurationDone was already sent"
                                                   : "configurationDone comes after launch");
        return;
    }
    m_phase = Phase::Configured;
    respond(request);
    if (m_stopOnEntry) {
        stop("entry");
    } else {
        m_mode = StepMode::Continue;
        m_fresh = false;  // a breakpoint on the first position is hit
        m_running = true;
    }
}

// ---- Breakpoints ---------------------------------------------------------------------------

void Session::setBreakpoints(const QJsonObject& request, const QJsonObject& arguments) {
    const QJsonObject source = arguments.value("source").toObject();
    if (!arguments.value("source").isObject() || (!source.value("path").isString() && !source.value("name").isString())) {
        fail(request, "missing argument: source");
        return;
    }
    const std::string path = s(source.value("path").isString() ? source.value("path") : source.value("name"));
    std::vector<Breakpoint>& list = m_breakpoints[path];
    list.clear();
    std::vector<int> lines;
    if (arguments.value("breakpoints").isArray()) {
        for (const QJsonValue& item : arguments.value("breakpoints").toArray())
            lines.push_back(item.toObject().value("line").toInt(-1));
    } else {
        for (const QJsonValue& item : arguments.value("lines").toArray())
            lines.push_back(item.toInt(-1));
    }
    for (int line : lines)
        list.push_back({m_nextBreakpointId++, line + (1 - m_lineBase)});
    QJsonArray replies;
    for (const Breakpoint& breakpoint : list)
        replies.append(breakpointBody(breakpoint, path));
    if (list.empty())
        m_breakpoints.erase(path);
    rebuildBreakPositions();
    respond(request, {{"breakpoints", replies}});
}

void Session::rebuildBreakPositions() {
    m_breakPositions.clear();
    if (m_noDebug)
        return;
    for (const auto& [path, list] : m_breakpoints)
        for (const Breakpoint& breakpoint : list)
            if (const std::size_t position = breakPosition(breakpoint.line))
                m_breakPositions.insert(position);
}

std::size_t Session::breakPosition(int line) const {
    if (!m_debuggee || line < 1)
        return 0;
    if (m_map.hasStatements()) {
        const moxy::SourceMapEntry* entry = m_map.statementOnOrAfter(line);
        return entry ? entry->position : 0;
    }
    return static_cast<std::size_t>(line) <= m_debuggee->programSize() ? static_cast<std::size_t>(line) : 0;
}

QJsonObject Session::breakpointBody(const Breakpoint& breakpoint, const std::string& sourcePath) const {
    QJsonObject body{{"id", breakpoint.id},
                     {"source", QJsonObject{{"path", q(sourcePath)}}},
                     {"line", breakpoint.line - 1 + m_lineBase}};
    auto refuse = [&](const std::string& message) {
        body.insert("verified", false);
        body.insert("message", q(message));
        return body;
    };
    if (!m_debuggee)
        return refuse("the program is not loaded yet");
    if (breakpoint.line < 1)
        return refuse("no line given");
    if (m_map.hasStatements()) {
        const moxy::SourceMapEntry* entry = m_map.statementOnOrAfter(breakpoint.line);
        if (!entry)
            return refuse("no code on line " + std::to_string(breakpoint.line) + " or after it");
        body.insert("verified", true);
        body.insert("line", entry->line - 1 + m_lineBase);
        body.insert("column", entry->column - 1 + m_columnBase);
        if (entry->line != breakpoint.line)
            body.insert("message", q("line " + std::to_string(breakpoint.line) + " has no code; moved to line " +
                                     std::to_string(entry->line)));
        return body;
    }
    // Without a map a line is a position in the MOXY file.
    if (breakpoint.line < 1 || static_cast<std::size_t>(breakpoint.line) > m_debuggee->programSize())
        return refuse("the program has no position " + std::to_string(breakpoint.line));
    body.insert("verified", true);
    return body;
}

void Session::resolveBreakpoints() {
    rebuildBreakPositions();
    for (const auto& [path, list] : m_breakpoints)
        for (const Breakpoint& breakpoint : list)
            event("breakpoint", {{"reason", "changed"}, {"breakpoint", breakpointBody(breakpoint, path)}});
}

void Session::setExceptionBreakpoints(const QJsonObject& request, const QJsonObject& arguments) {
    if (!arguments.value("filters").isArray()) {
        fail(request, "missing argument: filters");
        return;
    }
    m_stopOnErrors = false;
    QJsonArray replies;
    for (const QJsonValue& filter : arguments.value("filters").toArray()) {
        const bool known = filter.toString() == "runtime-error";
        m_stopOnErrors = m_stopOnErrors || known;
        replies.append(QJsonObject{{"verified", known}});
    }
    respond(request, {{"breakpoints", replies}});
}

// ---- Where the program is -------------------------------------------------------------------

void Session::threads(const QJsonObject& request, const QJsonObject&) {
    respond(request, {{"threads", QJsonArray{QJsonObject{{"id", kThreadId}, {"name", "main"}}}}});
}

std::string Session::sourcePath() const {
    if (!m_sourceArgument.empty())
        return m_sourceArgument;
    for (const auto& [path, list] : m_breakpoints)
        return path;
    // The compilers' source files lie beside the MOXY file under the same name.
    for (const char* extension : {".qlnp", ".vornaproj"}) {
        const std::filesystem::path guess = std::filesystem::path(m_options.program).replace_extension(extension);
        std::error_code error;
        if (std::filesystem::exists(guess, error))
            return guess.string();
    }
    return {};
}

QJsonObject Session::sourceObject() const {
    const std::string path = sourcePath();
    if (path.empty())
        return {};
    return {{"name", q(std::filesystem::path(path).filename().string())}, {"path", q(path)}};
}

std::string Session::location(std::size_t position) const {
    const moxy::SourceMapEntry* entry = m_map.statementAt(position);
    std::string text = "position " + std::to_string(position);
    if (entry)
        text += " (line " + std::to_string(entry->line) + ", column " + std::to_string(entry->column) + ")";
    return text;
}

void Session::stackTrace(const QJsonObject& request, const QJsonObject&) {
    if (!needStopped(request))
        return;
    const std::size_t position = m_debuggee->position();
    QJsonObject frame{{"id", 1},
                      {"name", q("position " + std::to_string(position))},
                      {"instructionPointerReference", q(std::to_string(position))}};
    const moxy::SourceMapEntry* entry = m_map.statementAt(position);
    if (entry) {
        frame.insert("line", entry->line - 1 + m_lineBase);
        frame.insert("column", entry->column - 1 + m_columnBase);
        const QJsonObject source = sourceObject();
        if (!source.isEmpty())
            frame.insert("source", source);
    } else {
        // No map, or before the first statement: the line is the MOXY position.
        frame.insert("line", static_cast<qint64>(position) - 1 + m_lineBase);
        frame.insert("column", m_columnBase);
    }
    respond(request, {{"stackFrames", QJsonArray{frame}}, {"totalFrames", 1}});
}

void Session::scopes(const QJsonObject& request, const QJsonObject&) {
    if (!needStopped(request))
        return;
    QJsonArray list;
    const bool named = !m_map.names().empty();
    if (named)
        list.append(QJsonObject{{"name", "Names"}, {"variablesReference", kNamesReference}, {"expensive", false}});
    list.append(QJsonObject{{"name", "Registers"}, {"variablesReference", kRegistersReference}, {"expensive", false}});
    list.append(QJsonObject{{"name", "Cells"}, {"variablesReference", kCellsReference}, {"expensive", named}});
    respond(request, {{"scopes", list}});
}

std::string Session::shownText(int cell) const {
    const std::string& text = m_debuggee->cellText(cell);
    // The dump's escapes inside double quotes; a long text is cut and says how long it is.
    return "\"" + moxy::escaped(std::string_view(text).substr(0, std::min(text.size(), kShownText)), moxy::kDumpText) +
           "\"" + (text.size() > kShownText ? "... (" + std::to_string(text.size()) + " characters)" : std::string());
}

void Session::variables(const QJsonObject& request, const QJsonObject& arguments) {
    if (!needStopped(request))
        return;
    QJsonArray list;
    std::size_t total = 0;
    auto add = [&](const std::string& name, const std::string& value, const std::string& type) {
        total += value.size();
        list.append(QJsonObject{{"name", q(name)},
                                {"value", q(value)},
                                {"type", q(type)},
                                {"evaluateName", q(name)},
                                {"variablesReference", 0}});
    };
    switch (arguments.value("variablesReference").toInt()) {
    case kNamesReference:
        for (const NamedCell& named : m_map.names())
            add(named.name, shownText(named.cell), "V(" + std::to_string(named.cell) + ")");
        break;
    case kRegistersReference: {
        const Registers registers = m_debuggee->registers();
        add("Pointer", std::to_string(registers.pointer), "register");
        add("Par1", std::to_string(registers.par1), "register");
        add("Par2", std::to_string(registers.par2), "register");
        add("Res", std::to_string(registers.res), "register");
        add("VarTop", std::to_string(registers.varTop), "register");
        add("PicSelect", std::to_string(registers.picSelect), "register");
        break;
    }
    case kCellsReference: {
        const int top = m_debuggee->registers().varTop;
        int shown = 0;
        for (int cell = 0; cell <= top; ++cell) {
            if (m_debuggee->cellText(cell).empty())
                continue;
            if (shown++ == kShownCells || total > kShownTotal) {
                add("...", "more non-empty cells are not shown", "");
                break;
            }
            add("V(" + std::to_string(cell) + ")", shownText(cell), "cell");
        }
        break;
    }
    default:
        fail(request, "unknown variablesReference");
        return;
    }
    respond(request, {{"variables", list}});
}

int Session::cellNamed(const std::string& expression) const {
    const std::string name = trimmed(expression);
    if (const std::optional<int> cell = m_map.cellOf(name))
        return *cell;
    return cellReference(name);
}

void Session::setVariable(const QJsonObject& request, const QJsonObject& arguments) {
    if (!needStopped(request))
        return;
    if (!arguments.value("name").isString() || !arguments.value("value").isString()) {
        fail(request, "missing argument: name and value");
        return;
    }
    if (arguments.value("variablesReference").toInt() == kRegistersReference) {
        fail(request, "registers cannot be changed");
        return;
    }
    const std::string name = s(arguments.value("name"));
    const int cell = cellNamed(name);
    if (cell < 0) {
        fail(request, "unknown name: " + name);
        return;
    }
    if (!m_debuggee->setCellText(cell, typedText(s(arguments.value("value"))))) {
        fail(request, "cell " + std::to_string(cell) + " does not exist (VarTop is " +
                          std::to_string(m_debuggee->registers().varTop) + ")");
        return;
    }
    respond(request, {{"value", q(shownText(cell))}, {"variablesReference", 0}});
}

void Session::evaluate(const QJsonObject& request, const QJsonObject& arguments) {
    if (!needStopped(request))
        return;
    if (!arguments.value("expression").isString()) {
        fail(request, "missing argument: expression");
        return;
    }
    const std::string expression = trimmed(s(arguments.value("expression")));
    const Registers registers = m_debuggee->registers();
    const std::pair<const char*, std::int64_t> registerValues[] = {
        {"pointer", registers.pointer}, {"par1", registers.par1},     {"par2", registers.par2},
        {"res", registers.res},         {"vartop", registers.varTop}, {"picselect", registers.picSelect}};
    if (!m_map.cellOf(expression)) {
        for (const auto& [name, value] : registerValues) {
            if (lowered(expression) == name) {
                respond(request, {{"result", q(std::to_string(value))}, {"variablesReference", 0}});
                return;
            }
        }
    }
    const int cell = cellNamed(expression);
    if (cell < 0) {
        fail(request, "unknown name: " + expression);
        return;
    }
    // A declared name's cell may not exist yet (the program has not reached it): it reads
    // as empty, as the program would read it.
    if (cell > registers.varTop && !m_map.cellOf(expression)) {
        fail(request, "cell " + std::to_string(cell) + " does not exist (VarTop is " +
                          std::to_string(registers.varTop) + ")");
        return;
    }
    respond(request, {{"result", q(shownText(cell))}, {"type", q("V(" + std::to_string(cell) + ")")},
                      {"variablesReference", 0}});
}

// ---- Running ----------------------------------------------------------------------------------

void Session::continueRequest(const QJsonObject& request, const QJsonObject&) {
    resume(request, StepMode::Continue);
}

void Session::next(const QJsonObject& request, const QJsonObject& arguments) {
    const bool instruction = arguments.value("granularity").toString() == "instruction";
    resume(request, instruction ? StepMode::Instruction : StepMode::Statement);
}

void Session::stepIn(const QJsonObject& request, const QJsonObject&) {
    resume(request, StepMode::Instruction);
}

void Session::stepFrame(const QJsonObject& request, const QJsonObject&) {
    resume(request, StepMode::Frame);
}

void Session::resume(const QJsonObject& request, StepMode mode) {
    if (!needStopped(request))
        return;
    if (m_phase != Phase::Configured) {
        fail(request, "configurationDone has not been sent");
        return;
    }
    if (mode == StepMode::Statement && !m_map.hasStatements())
        mode = StepMode::Instruction;
    respond(request, mode == StepMode::Continue ? QJsonObject{{"allThreadsContinued", true}} : QJsonObject{});
    m_mode = mode;
    m_fresh = true;
    m_stepFrom = m_map.statementAt(m_debuggee->position());
    if (m_stoppedOnError) {
        m_stoppedOnError = false;
        if (!applyRestartRule())
            return;
        m_fresh = false;
        if (mode == StepMode::Statement || mode == StepMode::Instruction) {
            // The step took the program back to its start: that is where it stops.
            stop("step");
            return;
        }
    }
    m_running = true;
}

void Session::pause(const QJsonObject& request, const QJsonObject&) {
    if (m_phase == Phase::Exited) {
        fail(request, "the program has ended");
        return;
    }
    respond(request);
    if (m_running)
        m_pauseRequested = true;
}

bool Session::statementBoundary(std::size_t position) const {
    return m_map.startsStatement(position) || m_map.statementAt(position) != m_stepFrom;
}

std::uint64_t Session::runFor(std::uint64_t budget) {
    std::uint64_t executed = 0;
    while (m_running && executed < budget) {
        if (m_pauseRequested) {
            stop("pause");
            break;
        }
        const std::size_t position = m_debuggee->position();
        if (!m_fresh) {
            if (m_breakPositions.count(position)) {
                stop("breakpoint");
                break;
            }
            if (m_mode == StepMode::Statement && statementBoundary(position)) {
                stop("step");
                break;
            }
        }
        if (m_maxSteps != 0 && m_steps >= m_maxSteps) {
            sendOutput("step limit of " + std::to_string(m_maxSteps) + " reached\n", "console");
            exit(3);
            break;
        }
        const StepResult result = m_debuggee->step();
        if (result.kind == StepResult::Kind::Waiting)
            break;
        ++executed;
        ++m_steps;
        m_fresh = false;
        switch (result.kind) {
        case StepResult::Kind::Continued:
        case StepResult::Kind::Waiting:
            if (m_mode == StepMode::Instruction)
                stop("step");
            break;
        case StepResult::Kind::Yielded:
            if (m_mode == StepMode::Instruction || m_mode == StepMode::Frame)
                stop("step");
            break;
        case StepResult::Kind::RanPastEnd:
        case StepResult::Kind::Ended:
            exit(0);
            break;
        case StepResult::Kind::Error:
            runtimeError(result);
            break;
        }
    }
    if (m_debuggee)
        m_debuggee->show();
    return executed;
}

void Session::runtimeError(const StepResult& result) {
    m_errorText = "run-time error: " + result.errorText;
    const std::string where = location(m_debuggee->position());
    if (m_stopOnErrors && !m_noDebug) {
        sendOutput(m_errorText + " at " + where + "\n", "stderr");
        m_stoppedOnError = true;
        stop("exception", m_errorText);
        return;
    }
    sendOutput(m_errorText + " at " + where + "\n", "stderr");
    if (!applyRestartRule())
        return;
    m_fresh = false;
    // A step that ran into the error ends at the start it took the program back to.
    if (m_mode == StepMode::Statement || m_mode == StepMode::Instruction)
        stop("step");
}

bool Session::applyRestartRule() {
    if (m_hadError) {
        exit(2);
        return false;
    }
    m_hadError = true;
    sendOutput("running the program again from its start\n", "console");
    m_debuggee->restart();
    m_stepFrom = nullptr;
    return true;
}

void Session::stop(const char* reason, const std::string& text) {
    m_running = false;
    m_pauseRequested = false;
    if (m_debuggee)
        m_debuggee->show();
    QJsonObject body{{"reason", reason}, {"threadId", kThreadId}, {"allThreadsStopped", true}};
    if (!text.empty()) {
        body.insert("text", q(text));
        body.insert("description", q(text));
    }
    event("stopped", body);
}

void Session::exit(int code) {
    m_running = false;
    m_pauseRequested = false;
    m_phase = Phase::Exited;
    event("exited", {{"exitCode", code}});
    event("terminated");
}

void Session::debuggeeEnded() {
    if (m_phase == Phase::Launched || m_phase == Phase::Configured)
        exit(0);
}

void Session::terminate(const QJsonObject& request, const QJsonObject&) {
    respond(request);
    if (m_phase == Phase::Launched || m_phase == Phase::Configured) {
        m_running = false;
        m_phase = Phase::Exited;
        m_debuggee.reset();
        event("terminated");
    }
}

void Session::disconnect(const QJsonObject& request, const QJsonObject&) {
    m_running = false;
    m_debuggee.reset();
    m_finished = true;
    respond(request);
}

}  // namespace debugger
