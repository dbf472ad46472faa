// The view of a flock as a picture, drawn without a window.
#pragma once

#include <memory>
#include <ostream>

#include "model/flock.h"
#include "render/view.h"

class QImage;

namespace nyajkor {
class PixelCanvas;
}

namespace nyajkor::batch {

// Draws frames of a flock exactly as the window's view of the given size
// would show them, with the angles and check marks of the inputs and the
// colours and zoom of the view's record.
class FrameRenderer {
public:
    FrameRenderer(int width, int height);
    ~FrameRenderer();
    const PixelCanvas& draw(const Flock& f, const Inputs& in, View& v);

private:
    class Host;
    std::unique_ptr<Host> host_;
};

// Draws one frame of `f` and writes it to `out` as PNG. Throws
// std::runtime_error when encoding fails.
void writeFramePicture(const Flock& f, const Inputs& in, View& v, int width, int height, std::ostream& out);

// Writes the canvas to `out` as PNG; throws std::runtime_error naming
// `flag` when encoding fails.
void writePng(const PixelCanvas& canvas, const char* flag, std::ostream& out);

// Writes `image` to `out` as PNG; throws std::runtime_error naming `flag`
// when encoding fails.
void writePng(const QImage& image, const char* flag, std::ostream& out);

}  // namespace nyajkor::batch
