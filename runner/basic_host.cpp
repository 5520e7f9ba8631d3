#include "runner/basic_host.h"

#include "platform/files.h"
#include "platform/sound.h"
#include "runner/run_error.h"

#include <algorithm>
#include <cmath>

namespace runner {

using Kind = RunError::Kind;

BasicHost::BasicHost(HostOptions options) : m_options(std::move(options)), m_canvas(kClientWidth, kClientHeight) {}

void BasicHost::loadPicture(int holder, std::string_view path) {
    m_pictures.load(holder, path.empty() ? std::string() : checkedPath(path, "the picture file"));
}

void BasicHost::paintPicture(int holder, float x, float y, double width, double height) {
    m_canvas.paint(m_pictures.picture(holder), x, y, width, height);
}

std::string BasicHost::checkedPath(std::string_view path, std::string_view what) {
    std::string local = platform::localPath(path);
    if (m_options.safe && !platform::isInside(local, m_options.safeFolder))
        throw RunError(Kind::Refused, std::string(what) + " \"" + local + "\" lies outside the program's folder");
    return local;
}

std::string BasicHost::readFile(std::string_view path) {
    const std::string local = checkedPath(path, "the file");
    platform::FileError error{};
    // A program's text file must fit into a cell.
    if (auto content = platform::readWholeFile(local, &error, kLargestTextFile))
        return std::move(*content);
    if (error.failure == platform::FileFailure::TooLarge)
        throw RunError(Kind::TextTooLong, "\"" + local + "\": " + error.reason);
    throw RunError(error.failure == platform::FileFailure::NotFound ? Kind::FileNotFound : Kind::FileError,
                   "\"" + local + "\": " + error.reason);
}

void BasicHost::writeFile(std::string_view path, std::string_view content) {
    const std::string local = checkedPath(path, "the file");
    platform::FileError error{};
    if (!platform::writeFileAtomically(local, content, &error))
        throw RunError(Kind::FileError, "\"" + local + "\" cannot be written: " + error.reason);
}

void BasicHost::startProgram(std::string_view commandLine) {
    if (m_options.safe)
        throw RunError(Kind::Refused, "starting programs is refused in safe mode: \"" + std::string(commandLine) + "\"");
    std::string reason;
    if (!platform::startDetached(commandLine, &reason))
        throw RunError(Kind::ProgramNotStarted, "\"" + std::string(commandLine) + "\": " + reason);
}

int BasicHost::windowPixels(double pixels) {
    constexpr double kLargestWindow = 8192;  // a surface of at most 256 MiB
    if (std::isnan(pixels) || pixels < 0)
        throw RunError(Kind::InvalidArgument, "a window size of " + std::to_string(pixels) + " pixels");
    return static_cast<int>(std::lround(std::min(pixels, kLargestWindow)));
}

int BasicHost::screenPixels(double pixels) {
    constexpr double kLimit = 1e6;
    if (std::isnan(pixels))
        throw RunError(Kind::InvalidArgument, "a window position that is not a number");
    return static_cast<int>(std::lround(std::clamp(pixels, -kLimit, kLimit)));
}

std::string BasicHost::programFolder() { return platform::executableFolder(); }

std::int32_t BasicHost::tickCount() { return platform::tickCount(); }

void BasicHost::beep(std::int32_t hertz, std::int32_t milliseconds) { platform::playTone(hertz, milliseconds); }

}  // namespace runner
