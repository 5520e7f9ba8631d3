// A host without Qt for interpreter tests: logs calls, answers dialogs from a list, real files.
#pragma once

#include "runner/host.h"
#include "runner/run_error.h"
#include "runner/session.h"

#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

class FakeHost : public runner::Host {
public:
    std::vector<std::string> calls;      // every drawing, window, dialog and sound call, as text
    std::deque<std::string> answers;     // input box answers; empty: cancel
    bool keys[moxy::kKeyCount] = {};
    int yields = 0;
    int closeAtYield = 0;                // the window closes during this yield (0: never)
    std::int32_t ticks = 1000;
    runner::ScreenSize screen{1280, 1024};
    std::string folder = "/opt/moxy";
    bool realFiles = true;               // false: every file access fails (for the fuzzer)

    void setColour(std::uint32_t colour) override { log("colour", colour); }
    void drawPoint(float x, float y) override { log("point", x, y); }
    void drawLine(float x1, float y1, float x2, float y2) override { log("line", x1, y1, x2, y2); }
    void drawCircle(float x, float y, float radius) override { log("circle", x, y, radius); }
    void drawBox(float x, float y, double width, double height, runner::Fill fill) override {
        log(fill == runner::Fill::Yes ? "filledbox" : "box", x, y, width, height);
    }
    void drawText(float x, float y, std::string_view text) override { log("text", x, y, text); }
    void clearSurface() override { log("cls"); }
    void loadPicture(int holder, std::string_view path) override { log("load", holder, path); }
    void paintPicture(int holder, float x, float y, double width, double height) override {
        log("paint", holder, x, y, width, height);
    }
    void pumpEvents() override {
        if (++yields == closeAtYield)
            throw runner::WindowClosed{};
    }
    bool keyIsDown(moxy::Key key) override { return keys[static_cast<int>(key)]; }
    std::string inputBox(std::string_view prompt) override {
        log("input", prompt);
        if (answers.empty())
            return {};
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void messageBox(std::string_view text) override { log("message", text); }
    std::int32_t tickCount() override { return ticks; }
    void beep(std::int32_t hertz, std::int32_t milliseconds) override { log("beep", hertz, milliseconds); }
    std::string readFile(std::string_view path) override {
        std::ifstream file{std::string(path), std::ios::binary};
        if (!realFiles || !file)
            throw runner::RunError(runner::RunError::Kind::FileNotFound, std::string(path));
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    void writeFile(std::string_view path, std::string_view content) override {
        if (!realFiles)
            throw runner::RunError(runner::RunError::Kind::FileError, std::string(path));
        std::ofstream file{std::string(path), std::ios::binary};
        if (!file)
            throw runner::RunError(runner::RunError::Kind::FileError, std::string(path));
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    void startProgram(std::string_view commandLine) override { log("exec", commandLine); }
    std::string programFolder() override { return folder; }
    runner::ScreenSize screenSize() override { return screen; }
    void setWindowWidth(double pixels) override { log("width", pixels); }
    void setWindowHeight(double pixels) override { log("height", pixels); }
    void setWindowTop(double pixels) override { log("top", pixels); }
    void setWindowLeft(double pixels) override { log("left", pixels); }
    void setCaption(std::string_view caption) override { log("caption", caption); }

private:
    // One call as text: its name and its arguments, separated by spaces.
    template <typename... Args>
    void log(std::string_view name, const Args&... args) {
        std::ostringstream out;
        out << name;
        ((out << ' ' << args), ...);
        calls.push_back(out.str());
    }
};

// [code] run at once (seed 7 by default) after [setup] adjusted the host; at(k): slot k.
struct FakeRun {
    FakeHost host;
    std::unique_ptr<runner::Interpreter> interpreter;
    runner::RunResult result;

    explicit FakeRun(std::string code, runner::InterpreterOptions options = {},
                     const std::function<void(FakeHost&)>& setup = {}) {
        if (!options.seed)
            options.seed = 7;
        if (setup)
            setup(host);
        interpreter = std::make_unique<runner::Interpreter>(std::move(code), host, options);
        result = runner::runWithRestart(*interpreter);
    }
    const std::string& at(int k) const { return interpreter->cell(33150 + k); }
    std::string status() const { return runner::statusText(result); }
};

}  // namespace testing_support
