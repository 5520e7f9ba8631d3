// The host of `moxy --headless`: the drawing surface in memory with the window's size, a
// virtual screen and window, message boxes on standard output, input boxes on standard
// error and input, and key events from a script keyed to the yield count.
#pragma once

#include "runner/basic_host.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace runner {

// One scripted key event: during the [yield]-th execution of opcode 252 (from 1), the
// key goes down or up.
struct KeyEvent {
    long long yield = 0;
    moxy::Key key = moxy::Key::A;
    bool down = true;
};

// Parses a --keys script: space-separated `N:KEY+` and `N:KEY-`. nullopt, with what is
// wrong in [reason], when it does not parse.
std::optional<std::vector<KeyEvent>> parseKeyScript(std::string_view script, std::string* reason = nullptr);

class HeadlessHost : public BasicHost {
public:
    struct Settings {
        HostOptions basic;
        ScreenSize screen{1024, 768};
        std::vector<KeyEvent> keys;
        std::FILE* input = stdin;
        std::FILE* output = stdout;
        std::FILE* prompts = stderr;
    };
    explicit HeadlessHost(Settings settings);

    const std::string& caption() const { return m_caption; }
    // The virtual window's outer geometry; the drawing surface has its size.
    int windowLeft() const { return m_left; }
    int windowTop() const { return m_top; }

    void pumpEvents() override;
    bool keyIsDown(moxy::Key key) override { return m_keysDown[static_cast<int>(key)]; }
    std::string inputBox(std::string_view prompt) override;
    void messageBox(std::string_view text) override;

    ScreenSize screenSize() override { return m_settings.screen; }
    void setWindowWidth(double pixels) override;
    void setWindowHeight(double pixels) override;
    void setWindowTop(double pixels) override;
    void setWindowLeft(double pixels) override;
    void setCaption(std::string_view caption) override { m_caption = caption; }

private:
    Settings m_settings;
    std::string m_caption;
    int m_left = 0;
    int m_top = 0;
    long long m_yields = 0;
    std::size_t m_nextKey = 0;
    bool m_keysDown[moxy::kKeyCount] = {};
};

}  // namespace runner
