// The view of a flock as a PNG picture, drawn without a window.
#pragma once

#include <ostream>

#include "model/flock.h"

class QImage;

namespace nyajkor::batch {

// Draws one frame of `f` exactly as the window's view of the given size
// would show it, with the angles, zoom and check marks of `in`, and writes
// it to `out` as PNG. Throws std::runtime_error when encoding fails.
void writeFramePicture(Flock& f, const Inputs& in, int width, int height, std::ostream& out);

// Writes `image` to `out` as PNG; throws std::runtime_error naming `flag`
// when encoding fails.
void writePng(const QImage& image, const char* flag, std::ostream& out);

}  // namespace nyajkor::batch
