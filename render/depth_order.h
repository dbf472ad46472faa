// The drawing order of one frame.
//
// The view has no depth buffer: it paints back to front, and whatever comes
// later covers what came before. rendezes orders the individuals by their
// rotated depth with a counting sort over one-unit buckets (linear, no
// allocation, fine enough for marks a few pixels wide), and gives the
// attracting centre and each predator a rank: the drawing position after
// which it is drawn.
#pragma once

#include "model/flock.h"
#include "render/camera.h"

namespace nyajkor {

// Writes sorrend[1..N], farthest bucket first and, within one bucket, in
// descending index; vonzosorszam while an attracting centre is active, and
// ragadozosorszam[1..ragadozodb], all in the view. Reads the depths of the
// rotation pass.
void rendezes(const Flock& f, const Inputs& in, View& v);

}  // namespace nyajkor
