// The picture holders' pictures, by holder number. Which holders exist is the
// interpreter's business; this only keeps and loads their pictures, decoded with Qt into
// the drawing surface's Picture.
#pragma once

#include "runner/canvas.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace runner {

// A picture file's bytes decoded (PNG, BMP, GIF, JPEG and what else Qt reads), or nullopt
// with [error] set.
std::optional<Picture> decodePicture(std::string_view bytes, std::string* error = nullptr);

class Pictures {
public:
    // Loads the picture file at [localPath] into [holder]; an empty path empties it.
    // Throws RunError (file-not-found, not-a-picture).
    void load(int holder, const std::string& localPath);
    // Keeps an already decoded picture in [holder].
    void keep(int holder, Picture picture) { m_pictures[holder] = std::move(picture); }
    // The holder's picture; throws RunError (empty-holder) when it holds none.
    const Picture& picture(int holder) const;

private:
    std::map<int, Picture> m_pictures;
};

}  // namespace runner
