// The outline of the simulation box, drawn over a finished frame.
//
// kockarajzolo draws the twelve edges of the 350 x 350 x 250 box with the
// same rotation, zoom and perspective as the flock, all solid and alike (no
// hidden edges), so that the viewer can tell the box's orientation. The
// caller chooses the colour and the eye: the cube colour with szemx 0 in the
// normal view, each eye's colour and offset in the anaglyph view.
#pragma once

#include "model/flock.h"
#include "render/camera.h"
#include "render/canvas.h"

namespace nyajkor {

// Draws the box outline with the canvas's pen colour from the eye at
// v.szemx; leaves the work point and kepx, kepy changed. An edge with an end
// at or behind the eye plane is left out.
void kockarajzolo(const Flock& f, const Inputs& in, View& v, Canvas& c);

}  // namespace nyajkor
