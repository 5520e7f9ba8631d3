// The host services that the window and --headless mode share: the drawing surface and
// picture holders, text files, program start, the tick counter, the program folder,
// sound and the --safe rule. Dialogs, keys, the event pump and the window geometry are
// left to the subclasses.
#pragma once

#include "runner/canvas.h"
#include "runner/host.h"
#include "runner/pictures.h"

#include <functional>
#include <string>

namespace runner {

// The client area of the runner window at start, and so the drawing surface's size.
inline constexpr int kClientWidth = 323;
inline constexpr int kClientHeight = 243;
// loadfile reads no file larger than one cell may hold.
inline constexpr std::size_t kLargestTextFile = std::size_t{64} << 20;

struct HostOptions {
    // With [safe] (--safe), program starts, and files outside [safeFolder], are refused.
    std::string safeFolder;
    bool safe = false;
};

class BasicHost : public Host {
public:
    explicit BasicHost(HostOptions options = {});

    Canvas& canvas() { return m_canvas; }
    const Canvas& canvas() const { return m_canvas; }

    void setColour(std::uint32_t colour) override { m_canvas.setColour(colour); }
    void drawPoint(float x, float y) override { m_canvas.point(x, y); }
    void drawLine(float x1, float y1, float x2, float y2) override { m_canvas.line(x1, y1, x2, y2); }
    void drawCircle(float x, float y, float radius) override { m_canvas.circle(x, y, radius); }
    void drawBox(float x, float y, double width, double height, Fill fill) override {
        m_canvas.box(x, y, width, height, fill);
    }
    void drawText(float x, float y, std::string_view text) override { m_canvas.text(x, y, text); }
    void clearSurface() override { m_canvas.clear(); }
    void loadPicture(int holder, std::string_view path) override;
    void paintPicture(int holder, float x, float y, double width, double height) override;

    std::string readFile(std::string_view path) override;
    void writeFile(std::string_view path, std::string_view content) override;
    void startProgram(std::string_view commandLine) override;
    std::string programFolder() override;
    std::int32_t tickCount() override;
    void beep(std::int32_t hertz, std::int32_t milliseconds) override;

protected:
    // The local path for a program's [path], or a `refused` run-time error under --safe
    // when it lies outside the MOXY file's folder.
    std::string checkedPath(std::string_view path, std::string_view what);
    const HostOptions& options() const { return m_options; }
    // A window size from a program, in whole pixels (bounded); negative sizes are an
    // invalid-argument error.
    static int windowPixels(double pixels);
    // A window position from a program, in whole pixels (bounded).
    static int screenPixels(double pixels);

private:
    HostOptions m_options;
    Canvas m_canvas;
    Pictures m_pictures;
};

}  // namespace runner
