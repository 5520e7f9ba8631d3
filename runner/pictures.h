// The picture holders' pictures, by holder number. Which holders exist is the
// interpreter's business; this only keeps and decodes their pictures (into the drawing
// surface's Picture), within a bound on the pixels of one picture and of all holders
// together, so that a small file that unpacks to a huge picture cannot exhaust the
// memory. The decoding itself is Qt Gui's (picture_codec.cpp); moxy reaches it through
// its window and picture library, loaded on first use (gui_library.h).
#pragma once

#include "runner/canvas.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace runner {

// One picture may have up to 8192 x 8192 pixels, all holders together four such
// pictures: at four bytes a pixel, 1 GiB.
inline constexpr std::int64_t kLargestPicturePixels = std::int64_t{8192} * 8192;
inline constexpr std::int64_t kAllPicturesPixels = std::int64_t{256} << 20;

struct PictureLimits {
    std::int64_t onePicture = kLargestPicturePixels;
    std::int64_t allPictures = kAllPicturesPixels;
};

// A bound on the size of a picture being decoded.
struct PictureSizeCheck {
    // Qt's own bound on one decoded picture is set from it.
    std::int64_t largestPixels = kLargestPicturePixels;
    // Sees the size the file's header gives, before any pixel is decoded, and the
    // decoded picture's size; throws to refuse it.
    std::function<void(int width, int height)> check;
};

// A picture file's bytes decoded (PNG, BMP, GIF, JPEG and what else Qt reads), or nullopt
// with [reason] set; with [bound], only a picture whose sizes it accepts.
std::optional<Picture> decodePicture(std::string_view bytes, std::string* reason = nullptr,
                                     const PictureSizeCheck* bound = nullptr);

// The picture as a PNG file's bytes, or nullopt when it cannot be encoded. The file's
// resolution is the screen's, so the QGuiApplication must be there.
std::optional<std::string> encodePng(const Canvas& canvas);

class Pictures {
public:
    explicit Pictures(PictureLimits limits = {}) : m_limits(limits) {}

    // Decodes the picture file's [bytes] (read from the file called [name]) into
    // [holder], replacing its picture. Throws RunError: picture-too-large, checked from
    // the file's header before the pixels are decoded; not-a-picture.
    void load(int holder, const std::string& bytes, const std::string& name);
    // Empties [holder].
    void clear(int holder);
    // The holder's picture; throws RunError (empty-holder) when it holds none.
    const Picture& picture(int holder) const;
    // The pixels that all holders hold together.
    std::int64_t pixels() const;

private:
    PictureLimits m_limits;
    std::map<int, Picture> m_pictures;
};

}  // namespace runner
