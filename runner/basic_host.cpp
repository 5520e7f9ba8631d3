#include "runner/basic_host.h"

#include "platform/files.h"
#include "platform/sound.h"
#include "runner/run_error.h"

#include <algorithm>
#include <cmath>

namespace runner {

using Kind = RunError::Kind;

BasicHost::BasicHost(HostOptions options)
    : m_options(std::move(options)), m_pictures(m_options.pictures) {}

namespace {
constexpr const char* kNoFolder = "the program has no folder of its own (it is no regular file)";

// "the file "x": the reason"
std::string named(std::string_view what, const std::string& local, const std::string& reason) {
    return std::string(what) + " \"" + local + "\": " + reason;
}

// Under --safe: a name that leads out of the program's folder, a symbolic link written
// to, a device or FIFO.
[[noreturn]] void refuse(std::string_view what, const std::string& local, const std::string& reason) {
    throw RunError(Kind::Refused, std::string(what) + " \"" + local + "\" is refused: " + reason);
}
}  // namespace

void BasicHost::loadPicture(int holder, std::string_view path) {
    if (path.empty()) {
        m_pictures.clear(holder);
        return;
    }
    const std::string bytes = readChecked(path, "the picture file", kLargestPictureFile, Kind::PictureTooLarge);
    m_pictures.load(holder, bytes, platform::localPath(path));
}

void BasicHost::paintPicture(int holder, float x, float y, double width, double height) {
    canvas().paint(m_pictures.picture(holder), x, y, width, height);
}

std::string BasicHost::readChecked(std::string_view path, std::string_view what, std::size_t maxBytes,
                                   RunError::Kind tooLarge) {
    const std::string local = platform::localPath(path);
    if (m_options.safe && !m_options.safeFolder)
        refuse(what, local, kNoFolder);
    platform::Access access;
    access.kinds = platform::FileKinds::RegularOnly;
    access.beneath = m_options.safe ? &*m_options.safeFolder : nullptr;
    platform::FileError error{};
    if (auto content = platform::readWholeFile(local, &error, maxBytes, access))
        return std::move(*content);
    switch (error.failure) {
    case platform::FileFailure::NotFound:
        throw RunError(Kind::FileNotFound, named(what, local, error.reason));
    case platform::FileFailure::Refused:
        refuse(what, local, error.reason);
    case platform::FileFailure::NotRegular:
        throw RunError(Kind::NotRegularFile, named(what, local, error.reason));
    case platform::FileFailure::TooLarge:
        throw RunError(tooLarge, named(what, local, error.reason));
    case platform::FileFailure::Unreadable:
    case platform::FileFailure::Unwritable:
        break;
    }
    throw RunError(Kind::FileError, named(what, local, error.reason));
}

std::string BasicHost::readFile(std::string_view path) {
    // A program's text file must fit into a cell.
    return readChecked(path, "the file", kLargestTextFile, Kind::TextTooLong);
}

void BasicHost::writeFile(std::string_view path, std::string_view content) {
    const std::string local = platform::localPath(path);
    if (m_options.safe && !m_options.safeFolder)
        refuse("the file", local, kNoFolder);
    platform::FileError error{};
    if (platform::writeFileAtomically(local, content, &error, m_options.safe ? &*m_options.safeFolder : nullptr))
        return;
    if (error.failure == platform::FileFailure::Refused)
        refuse("the file", local, error.reason);
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

bool writePicture(const Canvas& canvas, const std::string& path, std::string* reason) {
    const std::optional<std::string> png = encodePng(canvas);
    if (!png) {
        if (reason)
            *reason = "the picture cannot be encoded";
        return false;
    }
    platform::FileError error{};
    if (platform::writeFileAtomically(path, *png, &error))
        return true;
    if (reason)
        *reason = error.reason;
    return false;
}

}  // namespace runner
