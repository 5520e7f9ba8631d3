// The runner in the browser: the interpreter, the session and the drawing surface of the
// desktop, compiled to WebAssembly, behind a Host whose outside world is the page
// (web/page.js). The page drives the run in slices from its animation frames through the
// functions below; everything the program draws lands in the same Canvas as on the
// desktop, so the pixels agree.
#include "moxy/opcodes.h"
#include "runner/canvas.h"
#include "runner/host.h"
#include "runner/run_error.h"
#include "runner/session.h"
#include "runner/source_map.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The page's side of the host (web/page.js keeps Module.host).
EM_JS(double, moxy_page_ticks, (), { return Module.host.ticks(); });
EM_JS(void, moxy_page_beep, (int hertz, int milliseconds), { Module.host.beep(hertz, milliseconds); });
EM_JS(void, moxy_page_write, (const char* name, int nameSize, const char* data, int size), {
    Module.host.writeFile(Module.host.text(name, nameSize), Module.host.text(data, size));
});
EM_JS(void, moxy_page_caption, (const char* text, int size), { Module.host.caption(Module.host.text(text, size)); });
EM_JS(int, moxy_page_screen, (int height), { return Module.host.screen(height); });

namespace {

using runner::RunError;
using Kind = RunError::Kind;

// The surface's size at start: the runner window's client area, as on the desktop.
constexpr int kClientWidth = 323;
constexpr int kClientHeight = 243;
constexpr double kLargestWindow = 8192;
constexpr std::size_t kLargestTextFile = std::size_t{64} << 20;

// The page's files form one flat folder: a program's path names a file by its last part.
std::string fileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

class WebHost : public runner::Host {
public:
    runner::Canvas canvas{kClientWidth, kClientHeight};
    std::map<std::string, std::string> files;
    std::map<std::string, std::optional<runner::Picture>> decoded;  // nullopt: not a picture
    bool pendingKeys[moxy::kKeyCount] = {};

    void setColour(std::uint32_t colour) override { canvas.setColour(colour); }
    void drawPoint(float x, float y) override { canvas.point(x, y); }
    void drawLine(float x1, float y1, float x2, float y2) override { canvas.line(x1, y1, x2, y2); }
    void drawCircle(float x, float y, float radius) override { canvas.circle(x, y, radius); }
    void drawBox(float x, float y, double width, double height, runner::Fill fill) override {
        canvas.box(x, y, width, height, fill);
    }
    void drawText(float x, float y, std::string_view text) override { canvas.text(x, y, text); }
    void clearSurface() override { canvas.clear(); }

    void loadPicture(int holder, std::string_view path) override {
        if (path.empty()) {
            m_pictures.erase(holder);
            return;
        }
        const std::string name = fileName(path);
        const auto found = decoded.find(name);
        if (found == decoded.end())
            throw RunError(Kind::FileNotFound, "picture file \"" + std::string(path) + "\" does not exist");
        if (!found->second)
            throw RunError(Kind::NotAPicture, "\"" + std::string(path) + "\" cannot be read as a picture");
        m_pictures[holder] = &*found->second;
    }
    void paintPicture(int holder, float x, float y, double width, double height) override {
        const auto found = m_pictures.find(holder);
        if (found == m_pictures.end())
            throw RunError(Kind::EmptyHolder, "picture holder " + std::to_string(holder) + " holds no picture");
        canvas.paint(*found->second, x, y, width, height);
    }

    // Keys pressed since the last yield reach the program at the next one.
    void pumpEvents() override { std::copy(std::begin(pendingKeys), std::end(pendingKeys), m_keys); }
    bool keyIsDown(moxy::Key key) override { return m_keys[static_cast<int>(key)]; }

    // The page answers dialogs between slices; these are never reached.
    std::string inputBox(std::string_view) override { return std::string(); }
    void messageBox(std::string_view) override {}

    std::int32_t tickCount() override {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(moxy_page_ticks()) & 0x7FFFFFFF);
    }
    void beep(std::int32_t hertz, std::int32_t milliseconds) override { moxy_page_beep(hertz, milliseconds); }

    std::string readFile(std::string_view path) override {
        const auto found = files.find(fileName(path));
        if (found == files.end())
            throw RunError(Kind::FileNotFound, "\"" + std::string(path) + "\": no such file in this page");
        if (found->second.size() > kLargestTextFile)
            throw RunError(Kind::TextTooLong, "\"" + std::string(path) + "\": larger than a cell may hold");
        return found->second;
    }
    void writeFile(std::string_view path, std::string_view content) override {
        const std::string name = fileName(path);
        if (name.empty())
            throw RunError(Kind::FileError, "\"" + std::string(path) + "\" cannot be written: no file name");
        files[name] = std::string(content);
        moxy_page_write(name.data(), static_cast<int>(name.size()), content.data(), static_cast<int>(content.size()));
    }
    // As in safe mode: a page starts no programs.
    void startProgram(std::string_view commandLine) override {
        throw RunError(Kind::Refused, "starting programs is refused in safe mode: \"" + std::string(commandLine) + "\"");
    }
    std::string programFolder() override { return "."; }

    runner::ScreenSize screenSize() override { return {moxy_page_screen(0), moxy_page_screen(1)}; }
    void setWindowWidth(double pixels) override { canvas.resize(windowPixels(pixels), canvas.height()); }
    void setWindowHeight(double pixels) override { canvas.resize(canvas.width(), windowPixels(pixels)); }
    void setWindowTop(double pixels) override { checkPosition(pixels); }
    void setWindowLeft(double pixels) override { checkPosition(pixels); }
    void setCaption(std::string_view caption) override {
        moxy_page_caption(caption.data(), static_cast<int>(caption.size()));
    }

private:
    static int windowPixels(double pixels) {
        if (std::isnan(pixels) || pixels < 0)
            throw RunError(Kind::InvalidArgument, "a window size of " + std::to_string(pixels) + " pixels");
        return static_cast<int>(std::lround(std::min(pixels, kLargestWindow)));
    }
    static void checkPosition(double pixels) {
        if (std::isnan(pixels))
            throw RunError(Kind::InvalidArgument, "a window position that is not a number");
    }

    std::map<int, const runner::Picture*> m_pictures;
    bool m_keys[moxy::kKeyCount] = {};
};

struct Run {
    WebHost host;
    runner::SourceMap map;
    std::unique_ptr<runner::Interpreter> interpreter;
    std::unique_ptr<runner::Session> session;
    std::vector<std::uint8_t> rgba;
    std::string text;  // the last text handed to the page
};

Run& run() {
    static Run state;
    return state;
}

const char* handOver(std::string text) {
    run().text = std::move(text);
    return run().text.c_str();
}

}  // namespace

extern "C" {

// A file the program may read, or a picture the page decoded ([width] 0: the file is no
// picture). Called before moxy_start.
EMSCRIPTEN_KEEPALIVE void moxy_add_file(const char* name, const char* data, int size) {
    run().host.files[name] = std::string(data, static_cast<std::size_t>(size));
}
EMSCRIPTEN_KEEPALIVE void moxy_add_picture(const char* name, int width, int height, const std::uint8_t* rgba) {
    if (width <= 0 || height <= 0) {
        run().host.decoded[name] = std::nullopt;
        return;
    }
    runner::Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const std::uint8_t* p = rgba + 4 * i;
        picture.pixels[i] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                            static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    }
    run().host.decoded[name] = std::move(picture);
}

EMSCRIPTEN_KEEPALIVE void moxy_start(const char* program, int size, const char* map, int mapSize) {
    Run& state = run();
    state.map = runner::SourceMap::parse(std::string_view(map, static_cast<std::size_t>(mapSize)));
    state.interpreter = std::make_unique<runner::Interpreter>(std::string(program, static_cast<std::size_t>(size)), state.host);
    state.session = std::make_unique<runner::Session>(*state.interpreter);
}

// Runs at most [steps] steps and says why the slice ended (runner::SliceEnd). A yield
// takes the keys pressed so far.
EMSCRIPTEN_KEEPALIVE int moxy_resume(double steps) {
    Run& state = run();
    const runner::SliceEnd end = state.session->resume(static_cast<std::uint64_t>(steps));
    if (end == runner::SliceEnd::Yielded)
        state.host.pumpEvents();
    return static_cast<int>(end);
}

EMSCRIPTEN_KEEPALIVE const char* moxy_request() { return run().session->request().c_str(); }
EMSCRIPTEN_KEEPALIVE int moxy_request_size() { return static_cast<int>(run().session->request().size()); }
EMSCRIPTEN_KEEPALIVE void moxy_answer(const char* text, int size) {
    run().session->answer(std::string(text, static_cast<std::size_t>(size)));
}

// The key with the key code [keyCode] (the key table's codes) goes down or up.
EMSCRIPTEN_KEEPALIVE void moxy_key(int keyCode, int down) {
    for (const moxy::KeyInfo& info : moxy::kKeyInfo)
        if (info.keyCode == keyCode)
            run().host.pendingKeys[static_cast<int>(info.key)] = down != 0;
}

// The key codes of the keys the program asks for, comma-separated.
EMSCRIPTEN_KEEPALIVE const char* moxy_keys_read() {
    const std::string& program = run().interpreter->program();
    std::string codes;
    for (const moxy::KeyInfo& info : moxy::kKeyInfo) {
        const char selector[2] = {static_cast<char>(moxy::Op::KeyState), static_cast<char>(info.selector)};
        if (program.find(std::string_view(selector, 2)) != std::string::npos)
            codes += (codes.empty() ? "" : ",") + std::to_string(info.keyCode);
    }
    return handOver(std::move(codes));
}

// The surface as RGBA bytes for the page's canvas.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* moxy_frame() {
    Run& state = run();
    const runner::Canvas& canvas = state.host.canvas;
    const std::size_t count = static_cast<std::size_t>(canvas.width()) * static_cast<std::size_t>(canvas.height());
    state.rgba.resize(4 * count);
    const std::uint32_t* bits = canvas.bits();
    std::uint8_t* out = state.rgba.data();
    for (std::size_t i = 0; i < count; ++i, out += 4) {
        out[0] = static_cast<std::uint8_t>(bits[i] >> 16);
        out[1] = static_cast<std::uint8_t>(bits[i] >> 8);
        out[2] = static_cast<std::uint8_t>(bits[i]);
        out[3] = 255;
    }
    return state.rgba.data();
}
// The size of the text the last call above handed over.
EMSCRIPTEN_KEEPALIVE int moxy_text_size() { return static_cast<int>(run().text.size()); }
EMSCRIPTEN_KEEPALIVE int moxy_width() { return run().host.canvas.width(); }
EMSCRIPTEN_KEEPALIVE int moxy_height() { return run().host.canvas.height(); }

// The report of the run-time error that ended the run, as the desktop gives it:
// "moxy: KIND: DETAIL [position P, opcode N NAME] (line L, column C)".
EMSCRIPTEN_KEEPALIVE const char* moxy_report() {
    Run& state = run();
    const auto& error = state.session->result().error;
    if (!error)
        return handOver("");
    std::string text = "moxy: " + runner::report(*error);
    const std::string where = state.map.describe(error->position());
    if (!where.empty())
        text += " (" + where + ")";
    return handOver(std::move(text));
}

}  // extern "C"
