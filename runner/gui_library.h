// moxy's window, picture and sound library. A run without a window needs nothing of Qt
// Gui, Qt Widgets or ALSA, and loading them would take about half of its start: moxy links
// only Qt Core, and everything that needs the others (the runner window, the debugger's
// window, picture decoding, screenshots, the beep) lives in libmoxy_gui.so, which moxy
// loads when it first needs one of them. The library lies in lib/moxy/ beside the
// executable's folder (PREFIX/lib/moxy beside PREFIX/bin once installed; build/lib/moxy
// beside build/apps), and is built with the executable, so both sides agree on every type
// passed between them.
#pragma once

#include "runner/basic_host.h"
#include "runner/debug_target.h"
#include "runner/session.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QCoreApplication;

namespace runner {

// The library's file, relative to the folder above the moxy executable's.
inline constexpr const char* kGuiLibraryPath = "lib/moxy/libmoxy_gui.so";
// Changes whenever GuiLibrary changes, so that moxy refuses a library of another build.
inline constexpr int kGuiLibraryVersion = 1;

// The runner window as moxy's start-up uses it.
class ShownWindow {
public:
    virtual ~ShownWindow() = default;
    virtual Host& host() = 0;
    virtual const Canvas& canvas() const = 0;
    // As RunnerWindow's run(), waitUntilClosed() and showErrorReport().
    virtual RunResult run(Session& session) = 0;
    virtual void waitUntilClosed() = 0;
    virtual void showErrorReport(const std::string& text) = 0;
};

// What the library offers, as one table.
struct GuiLibrary {
    int version = kGuiLibraryVersion;
    // A QApplication ([widgets]) or a QGuiApplication, in place of no application or of
    // the QCoreApplication just deleted.
    QCoreApplication* (*makeApplication)(int& argc, char** argv, bool widgets) = nullptr;
    // As runner::decodePicture(), runner::encodePng() and platform::playTone().
    std::optional<Picture> (*decodePicture)(std::string_view bytes, std::string* reason,
                                            const PictureSizeCheck* bound) = nullptr;
    std::optional<std::string> (*encodePng)(const Canvas& canvas) = nullptr;
    void (*playTone)(std::int32_t hertz, std::int32_t milliseconds) = nullptr;
    // Shows a runner window (a QApplication must be there).
    std::unique_ptr<ShownWindow> (*showWindow)(HostOptions options) = nullptr;
    // The debugger's runner window, shown; [closed] runs when the user closes it. A closed
    // window then no longer ends the event loop.
    DebugTarget::Surroundings (*showDebugWindow)(HostOptions options, std::function<void()> closed) = nullptr;
};

}  // namespace runner

// The library's one exported symbol.
extern "C" const runner::GuiLibrary* moxy_gui_library();

namespace runner {

// moxy's side: the library, loaded on the first call. When it cannot be loaded, says so
// on standard error and ends the process with exit status 1.
const GuiLibrary& guiLibrary();

}  // namespace runner
