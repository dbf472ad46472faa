// The view's colours as Qt colours and back.
//
// The view keeps colours as 0x00BBGGRR (red in the low byte); the colour
// dialog speaks QColor.
#pragma once

#include <QColor>

#include "render/colour.h"

namespace nyajkor::app {

inline QColor toQColor(Color c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline Color fromQColor(const QColor& q) {
    const QColor rgb = q.toRgb();
    return Color(rgb.red()) | Color(rgb.green()) << 8 | Color(rgb.blue()) << 16;
}

}  // namespace nyajkor::app
