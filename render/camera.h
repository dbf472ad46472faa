// The camera of the view: rotation of the box about its centre and
// perspective projection onto the screen.
//
// A position in the box reaches the screen in two stages. The rotation pass
// turns every object once per frame by the two view angles and keeps the
// rotated, not yet zoomed coordinates in the view's record. Placing a
// rotated point then zooms all three coordinates, the depth included, and
// projects from an eye 650 units in front of the box centre; so zooming in
// both enlarges the picture and strengthens the perspective. Both stages
// work on one work point in View, as every drawing routine follows the same
// pattern: load the work point, rotate or project it, read the result.
#pragma once

#include <algorithm>
#include <optional>

#include "model/flock.h"
#include "render/view.h"

namespace nyajkor {

// The sines and cosines of the two view angles: Xalfa (0..90 degrees) turns
// the box about its x axis, Zbeta (0..360) about its z axis.
struct Rotation {
    double sinAlfa, cosAlfa, sinBeta, cosBeta;
};
Rotation rotationOf(const Inputs& in);

// Rotates the work point in place: about x first, then about z.
void forgatas(View& v, const Rotation& r);

// Projects the zoomed work point into kepx, kepy for the eye at szemx.
// Returns false, leaving kepx and kepy as they were, for a point at or behind
// the eye plane or one thrown too far off the screen to be a pixel.
bool vetites(View& v);

struct Pixel {
    int x, y;
};

// Places a rotated point on the screen: zooms it into the work point,
// projects it and adds the screen centre. Empty where vetites refuses.
std::optional<Pixel> place(View& v, double rx, double ry, double rz);

// Rotates, for one frame, the attracting centre while one is active, every
// live predator and every live individual.
void rotationPass(const Flock& f, const Inputs& in, View& v);

// The live counts, kept within the arrays: state set up by other means than
// the controls must not make the view read or write past them.
inline int liveIndividuals(const Flock& f) { return std::clamp(f.egyeddb, 0, kMaxEgyed); }
inline int livePredators(const Flock& f) { return std::clamp(f.ragadozodb, 0, kMaxRagadozo); }

}  // namespace nyajkor
