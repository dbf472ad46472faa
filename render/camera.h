// The camera of the view: rotation of the box about its centre and
// perspective projection onto the screen.
//
// A position in the box reaches the screen in two stages. The rotation pass
// turns every object once per frame by the two view angles and keeps the
// rotated, not yet zoomed coordinates (the individuals' in Flock::px/py/pz,
// the centre's and the predators' in View). Placing a rotated point then
// zooms all three coordinates, the depth included, and projects from an eye
// 650 units in front of the box centre; so zooming in both enlarges the
// picture and strengthens the perspective. Both stages work on one work
// point in View, as every drawing routine follows the same pattern: load the
// work point, rotate or project it, read the result.
#pragma once

#include <algorithm>
#include <array>
#include <optional>

#include "model/flock.h"

namespace nyajkor {

// The view's working state, kept from call to call within a frame.
struct View {
    // the work point: input and output of forgatas, input of vetites
    double pontx = 0, ponty = 0, pontz = 0;
    // output of vetites: pixel offset of the work point from the screen centre
    int kepx = 0, kepy = 0;
    // the eye's sideways offset, pixels: 0 in the normal view, -szemtav for
    // the left and +szemtav for the right eye of the anaglyph view
    int szemx = 0;
    // the attracting centre and the predators (1..kMaxRagadozo), rotated and
    // not zoomed; the y coordinate is the depth, larger being nearer
    double pvonzox = 0, pvonzoy = 0, pvonzoz = 0;
    std::array<double, kMaxRagadozo + 1> pragx{}, pragy{}, pragz{};
};

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
std::optional<Pixel> place(View& v, const Flock& f, double rx, double ry, double rz);

// Rotates, for one frame, the attracting centre while one is active, every
// live predator and every live individual.
void rotationPass(Flock& f, const Inputs& in, View& v);

// The live counts, kept within the arrays: state set up by other means than
// the controls must not make the view read or write past them.
inline int liveIndividuals(const Flock& f) { return std::clamp(f.egyeddb, 0, kMaxEgyed); }
inline int livePredators(const Flock& f) { return std::clamp(f.ragadozodb, 0, kMaxRagadozo); }

}  // namespace nyajkor
