#include "runner/pictures.h"

#include "runner/run_error.h"

#include <algorithm>

namespace runner {

using Kind = RunError::Kind;

namespace {
std::int64_t pixelsOf(int width, int height) {
    return static_cast<std::int64_t>(std::max(width, 0)) * std::max(height, 0);
}
}  // namespace

void Pictures::load(int holder, const std::string& bytes, const std::string& name) {
    const auto held = m_pictures.find(holder);
    const std::int64_t others = pixels() - (held != m_pictures.end() ? pixelsOf(held->second.width, held->second.height) : 0);
    PictureSizeCheck bound;
    bound.largestPixels = m_limits.onePicture;
    bound.check = [&](int width, int height) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        if (pixelsOf(width, height) > m_limits.onePicture)
            throw RunError(Kind::PictureTooLarge, "\"" + name + "\" has " + size + " pixels; one picture may have at most " +
                                                      std::to_string(m_limits.onePicture));
        if (others + pixelsOf(width, height) > m_limits.allPictures)
            throw RunError(Kind::PictureTooLarge, "\"" + name + "\" has " + size +
                                                      " pixels; all picture holders together may hold at most " +
                                                      std::to_string(m_limits.allPictures));
    };
    std::string reason;
    std::optional<Picture> picture = decodePicture(bytes, &reason, &bound);
    if (!picture)
        throw RunError(Kind::NotAPicture, "\"" + name + "\" cannot be read as a picture: " + reason);
    // Transparent parts of a picture let the drawing beneath show through.
    m_pictures[holder] = std::move(*picture);
}

void Pictures::clear(int holder) { m_pictures.erase(holder); }

const Picture& Pictures::picture(int holder) const {
    const auto found = m_pictures.find(holder);
    if (found == m_pictures.end())
        throw RunError(Kind::EmptyHolder, "picture holder " + std::to_string(holder) + " holds no picture");
    return found->second;
}

std::int64_t Pictures::pixels() const {
    std::int64_t total = 0;
    for (const auto& [holder, picture] : m_pictures)
        total += static_cast<std::int64_t>(picture.width) * picture.height;
    return total;
}

}  // namespace runner
