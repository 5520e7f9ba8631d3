// The host services that the window and --headless mode share: the drawing surface and
// picture holders, text files, program start, the tick counter, the program folder,
// sound and the --safe rule. Dialogs, keys, the event pump and the window geometry are
// left to the subclasses.
#pragma once

#include "platform/file_io.h"
#include "runner/canvas.h"
#include "runner/host.h"
#include "runner/pictures.h"
#include "runner/run_error.h"

#include <functional>
#include <optional>
#include <string>

namespace runner {

// The client area of the runner window at start, and so the drawing surface's size.
inline constexpr int kClientWidth = 323;
inline constexpr int kClientHeight = 243;
// loadfile reads no file larger than one cell may hold.
inline constexpr std::size_t kLargestTextFile = std::size_t{64} << 20;

// A picture file may be as large as the largest picture unpacked, and a little more.
inline constexpr std::size_t kLargestPictureFile = (std::size_t{kLargestPicturePixels} * 4) + (std::size_t{1} << 20);

struct HostOptions {
    // With [safe] (--safe), program starts are refused and every file (text files and
    // pictures) is opened through [safeFolder], the MOXY file's folder, so that no name
    // or symbolic link leads out of it; without a folder (a program that is no regular
    // file, e.g. piped in) every file is refused.
    std::optional<platform::Folder> safeFolder;
    bool safe = false;
    PictureLimits pictures;
};

class BasicHost : public Host {
public:
    explicit BasicHost(HostOptions options = {});

    // The drawing surface, made white on first use: a run that never draws nor shows its
    // surface spares filling (and the system mapping) its pixels.
    Canvas& canvas() { return m_canvas ? *m_canvas : m_canvas.emplace(kClientWidth, kClientHeight); }
    const Canvas& canvas() const { return m_canvas ? *m_canvas : m_canvas.emplace(kClientWidth, kClientHeight); }

    void setColour(std::uint32_t colour) override { canvas().setColour(colour); }
    void drawPoint(float x, float y) override { canvas().point(x, y); }
    void drawLine(float x1, float y1, float x2, float y2) override { canvas().line(x1, y1, x2, y2); }
    void drawCircle(float x, float y, float radius) override { canvas().circle(x, y, radius); }
    void drawBox(float x, float y, double width, double height, Fill fill) override {
        canvas().box(x, y, width, height, fill);
    }
    void drawText(float x, float y, std::string_view text) override { canvas().text(x, y, text); }
    void clearSurface() override { canvas().clear(); }
    void loadPicture(int holder, std::string_view path) override;
    void paintPicture(int holder, float x, float y, double width, double height) override;

    std::string readFile(std::string_view path) override;
    void writeFile(std::string_view path, std::string_view content) override;
    void startProgram(std::string_view commandLine) override;
    std::string programFolder() override;
    std::int32_t tickCount() override;
    void beep(std::int32_t hertz, std::int32_t milliseconds) override;

protected:
    // Reads the file at the program's [path] whole, only a regular file, beneath the
    // program's folder under --safe. Throws RunError naming [what]; [tooLarge] when the
    // file has more than [maxBytes].
    std::string readChecked(std::string_view path, std::string_view what, std::size_t maxBytes, RunError::Kind tooLarge);
    const HostOptions& options() const { return m_options; }
    // A window size from a program, in whole pixels (bounded); negative sizes are an
    // invalid-argument error.
    static int windowPixels(double pixels);
    // A window position from a program, in whole pixels (bounded).
    static int screenPixels(double pixels);

private:
    HostOptions m_options;
    mutable std::optional<Canvas> m_canvas;
    Pictures m_pictures;
};

// Writes [canvas] as a PNG file to [path] through the same careful writer as every other
// file (a failure leaves the old file whole); false and [reason] when it fails.
bool writePicture(const Canvas& canvas, const std::string& path, std::string* reason);

}  // namespace runner
