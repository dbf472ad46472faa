// The canvas's pixels as a Qt image, for painting and for writing pictures.
#pragma once

#include <QImage>

#include "surface/pixel_canvas.h"

namespace nyajkor {

// An image over the canvas's own memory, without a copy: the canvas stores
// Qt's 32-bit RGB layout. It is valid while the canvas is neither resized nor
// destroyed; copy it to keep it longer.
inline QImage imageOf(const PixelCanvas& canvas) {
    return QImage(reinterpret_cast<const uchar*>(canvas.bits()), canvas.width(), canvas.height(),
                  canvas.bytesPerLine(), QImage::Format_RGB32);
}

}  // namespace nyajkor
