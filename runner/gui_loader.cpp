// moxy's side of its window, picture and sound library (gui_library.h): finds and loads
// it, and stands in for the picture codec and the sound that moxy does not link.
#include "runner/gui_library.h"

#include "platform/sound.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace runner {

namespace {

// The folder above the running executable's (the prefix, once installed), with a
// trailing slash; found before anything else is there.
std::string prefixFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return "../";
    path.resize(static_cast<std::size_t>(length));
    for (int up = 0; up < 2; ++up) {
        const std::size_t slash = path.rfind('/');
        path.resize(slash == std::string::npos ? 0 : slash);
    }
    return path + "/";
}

[[noreturn]] void cannotLoad(const std::string& path, const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "moxy: cannot load the window, picture and sound library %s: %s\n", path.c_str(), reason.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

const GuiLibrary& load() {
    const std::string path = prefixFolder() + kGuiLibraryPath;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // The loader's reason starts with the path, which the message names already.
        std::string reason = ::dlerror();
        if (reason.rfind(path + ": ", 0) == 0)
            reason.erase(0, path.size() + 2);
        cannotLoad(path, reason);
    }
    const auto entry = reinterpret_cast<const GuiLibrary* (*)()>(::dlsym(handle, "moxy_gui_library"));
    // Another library in its place, or one of another build of moxy.
    const GuiLibrary* library = entry ? entry() : nullptr;
    if (!library || library->version != kGuiLibraryVersion)
        cannotLoad(path, "it is not the library of this moxy");
    return *library;
}

}  // namespace

const GuiLibrary& guiLibrary() {
    static const GuiLibrary& library = load();
    return library;
}

std::optional<Picture> decodePicture(std::string_view bytes, std::string* reason, const PictureSizeCheck* bound) {
    return guiLibrary().decodePicture(bytes, reason, bound);
}

std::optional<std::string> encodePng(const Canvas& canvas) { return guiLibrary().encodePng(canvas); }

}  // namespace runner

namespace platform {

void playTone(std::int32_t hertz, std::int32_t milliseconds) {
    if (milliseconds > 0)  // a beep of no duration needs no sound
        runner::guiLibrary().playTone(hertz, milliseconds);
}

}  // namespace platform
