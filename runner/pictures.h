// The picture holders' pictures, by holder number. Which holders exist is the
// interpreter's business; this only keeps and decodes their pictures (with Qt, into the
// drawing surface's Picture), within a bound on the pixels of one picture and of all
// holders together, so that a small file that unpacks to a huge picture cannot exhaust
// the memory.
#pragma once

#include "runner/canvas.h"

#include <cstdint>
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

// A picture file's bytes decoded (PNG, BMP, GIF, JPEG and what else Qt reads), or nullopt
// with [reason] set.
std::optional<Picture> decodePicture(std::string_view bytes, std::string* reason = nullptr);

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
