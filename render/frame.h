// The frames of the view.
//
// rajzolasvezerlo is the single entry point of the drawing: the tick calls it
// after every step, and the view-angle and zoom handlers call it, so the view
// follows them also while the run is stopped. It clears the surface and
// draws either the normal view (rajzolas) or the anaglyph view for red-green
// glasses (rajzolasszemuveghez), then presents the frame. Both paint back to
// front in the depth order, with the attracting centre and the predators
// inserted at their ranks and the box outline over everything.
#pragma once

#include "model/flock.h"
#include "render/camera.h"
#include "render/canvas.h"
#include "render/view_host.h"

namespace nyajkor {

// Draws and presents one frame: holds the window, recomputes the screen
// centre, clears to the background (black in the anaglyph view), draws the
// view the check marks ask for, releases the canvas and flips.
void rajzolasvezerlo(const Flock& f, const Inputs& in, View& v, ViewHost& host);

// Clears the view to the background colour, also in the anaglyph mode, and
// presents it.
void torles(const View& v, ViewHost& host);

// The normal view into the canvas: dotted rings for the individuals, a disc
// for the attracting centre and for each predator, the cube over all.
void rajzolas(const Flock& f, const Inputs& in, View& v, Canvas& c);

// The anaglyph view into the canvas: every object twice, from the left eye in
// its colour and then from the right eye in its colour, one object after the
// other; the cube once per eye over all.
void rajzolasszemuveghez(const Flock& f, const Inputs& in, View& v, Canvas& c);

}  // namespace nyajkor
