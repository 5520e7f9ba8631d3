// The drawing surface seen as a QImage, for the window's painting and for screenshots.
#pragma once

#include "runner/canvas.h"

#include <QImage>

namespace runner {

// Shares the canvas's pixels (no copy): valid while the canvas is neither drawn on nor
// resized; copy() it to keep it longer.
inline QImage imageOf(const Canvas& canvas) {
    return QImage(reinterpret_cast<const uchar*>(canvas.bits()), canvas.width(), canvas.height(),
                  static_cast<qsizetype>(canvas.width()) * 4, QImage::Format_RGB32);
}

}  // namespace runner
