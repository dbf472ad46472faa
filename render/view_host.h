// What the view needs from the window it is shown in.
//
// The drawing controller pins the main window, sizes its frame by the
// drawing surface, draws through the surface's canvas and presents the
// result. Those four things live with the window (or with a headless
// runner, or a test), behind this small interface, so the view itself needs
// no toolkit and runs without any window at all.
#pragma once

#include "render/canvas.h"

namespace nyajkor {

class ViewHost {
public:
    virtual ~ViewHost() = default;

    // Holds the main window at its fixed size and place; nothing to do
    // without a window.
    virtual void holdWindow() {}
    // The drawing surface's size in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // The canvas over the back surface; nullptr while there is no surface
    // (before it is set up, or after setting it up failed): frames are
    // then skipped.
    virtual Canvas* canvas() = 0;
    // Presents the back surface.
    virtual void flip() = 0;
};

}  // namespace nyajkor
