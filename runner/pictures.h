// The picture holders' pictures, by holder number. Which holders exist is the
// interpreter's business; this only keeps and loads their pictures.
#pragma once

#include <QImage>

#include <map>
#include <string>

namespace runner {

class Pictures {
public:
    // Loads the picture file at [localPath] into [holder]; an empty path empties it.
    // Throws RunError (file-not-found, not-a-picture).
    void load(int holder, const std::string& localPath);
    // The holder's picture; throws RunError (empty-holder) when it holds none.
    const QImage& picture(int holder) const;

private:
    std::map<int, QImage> m_pictures;
};

}  // namespace runner
