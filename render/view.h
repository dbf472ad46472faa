// The view's own record: what the drawing keeps and works on, apart from
// the flock it shows.
//
// The flock is only read while drawing. Everything a frame computes (the
// rotated coordinates, the draw order and ranks) and every setting of the
// view itself (colours, zoom, eye offset, screen centre) lives here, under
// the view's historical names, so that drawing a frame changes nothing of
// the run and a run can be drawn any number of times.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/checkpoint.h"
#include "model/flock.h"
#include "render/colour.h"

namespace nyajkor {

struct View {
    // individuals, 1..kMaxEgyed: rotated, not zoomed coordinates of the
    // rotation pass, py being the depth, larger nearer
    std::vector<double> px = std::vector<double>(kMaxEgyed + 1);
    std::vector<double> py = std::vector<double>(kMaxEgyed + 1);
    std::vector<double> pz = std::vector<double>(kMaxEgyed + 1);
    // draw order: the k-th entry is the index drawn k-th
    std::vector<std::int32_t> sorrend = std::vector<std::int32_t>(kMaxEgyed + 1);
    // the drawing position after which the attracting centre, and each
    // predator (1..kMaxRagadozo), is drawn
    int vonzosorszam = 0;
    std::array<std::int32_t, kMaxRagadozo + 1> ragadozosorszam{};
    // the attracting centre and the predators, rotated and not zoomed
    double pvonzox = 0, pvonzoy = 0, pvonzoz = 0;
    std::array<double, kMaxRagadozo + 1> pragx{}, pragy{}, pragz{};

    // colours; black until Start sets them
    Color szinegyed = 0, szinhatter = 0, szinkocka = 0, szinvonzo = 0;
    Color szinragadozo = 0, szinbalszem = 0, szinjobbszem = 0;
    double nagyitasszorzo = 0;             // zoom factor, 1.0..2.5; 0 until Start
    int szemtav = 0;                       // anaglyph eye offset, pixels
    int kepkozepx = 0, kepkozepy = 0;      // screen centre, pixels

    // the work point: input and output of forgatas, input of vetites
    double pontx = 0, ponty = 0, pontz = 0;
    // output of vetites: pixel offset of the work point from the screen centre
    int kepx = 0, kepy = 0;
    // the eye's sideways offset, pixels: 0 in the normal view, -szemtav for
    // the left and +szemtav for the right eye of the anaglyph view
    int szemx = 0;
};

// Start's settings of the view: the colours, zoom 1.5, eye offset 20 and no
// ranks. The zoom scroll bar's own position takes effect only when it moves.
void setViewDefaults(View& v);

// The screen centre of a view of the given size.
void setScreenCentre(View& v, int viewWidth, int viewHeight);

// The view's part of a checkpoint, and the view set from it.
ViewSettings viewSettingsOf(const View& v);
void applyViewSettings(View& v, const ViewSettings& s);

}  // namespace nyajkor
