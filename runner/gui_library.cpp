// libmoxy_gui.so: moxy's window, picture and sound library (gui_library.h).
#include "runner/gui_library.h"

#include "platform/sound.h"
#include "runner/window.h"

#include <QApplication>
#include <QGuiApplication>

namespace runner {

namespace {

QCoreApplication* makeApplication(int& argc, char** argv, bool widgets) {
    if (widgets)
        return new QApplication(argc, argv);
    return new QGuiApplication(argc, argv);
}

class Shown final : public ShownWindow {
public:
    explicit Shown(HostOptions options) : m_window(std::move(options)) { m_window.show(); }
    Host& host() override { return m_window; }
    const Canvas& canvas() const override { return m_window.canvas(); }
    RunResult run(Session& session) override { return m_window.run(session); }
    void waitUntilClosed() override { m_window.waitUntilClosed(); }
    void showErrorReport(const std::string& text) override { m_window.showErrorReport(QString::fromStdString(text)); }

private:
    RunnerWindow m_window;
};

std::unique_ptr<ShownWindow> showWindow(HostOptions options) { return std::make_unique<Shown>(std::move(options)); }

DebugTarget::Surroundings showDebugWindow(HostOptions options, std::function<void()> closed) {
    QGuiApplication::setQuitOnLastWindowClosed(false);
    auto window = std::make_unique<RunnerWindow>(std::move(options));
    RunnerWindow* shown = window.get();
    QObject::connect(shown, &RunnerWindow::closed, shown, std::move(closed));
    shown->show();
    DebugTarget::Surroundings surroundings;
    surroundings.yield = [shown] { shown->takeKeys(); };
    surroundings.closed = [shown] { return shown->isClosed(); };
    surroundings.show = [shown] { shown->update(); };
    surroundings.dialogs = windowDialogs(*shown);
    surroundings.host = std::move(window);
    return surroundings;
}

GuiLibrary table() {
    GuiLibrary library;
    library.makeApplication = makeApplication;
    library.decodePicture = decodePicture;
    library.encodePng = encodePng;
    library.playTone = platform::playTone;
    library.showWindow = showWindow;
    library.showDebugWindow = showDebugWindow;
    return library;
}

}  // namespace

}  // namespace runner

extern "C" __attribute__((visibility("default"))) const runner::GuiLibrary* moxy_gui_library() {
    static const runner::GuiLibrary library = runner::table();
    return &library;
}
