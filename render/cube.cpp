#include "render/cube.h"

#include <array>
#include <initializer_list>
#include <optional>

namespace nyajkor {

namespace {

// Corners 1..8 (index 0 unused) as they are joined: 1-4 the face at
// z = -zkozep, 5-8 the face at z = +zkozep, and k above k + 4.
using Corners = std::array<std::optional<Pixel>, 9>;

// Signs of the corners' x and y relative to the box centre, for 1..4 and
// again for 5..8.
constexpr std::array<int, 4> kSignX = {+1, +1, -1, -1};
constexpr std::array<int, 4> kSignY = {+1, -1, -1, +1};

Corners projectCorners(const Flock& f, const Inputs& in, View& v) {
    const Rotation r = rotationOf(in);
    Corners corners;
    for (int k = 1; k <= 8; ++k) {
        v.pontx = kSignX[(k - 1) % 4] * f.xkozep;
        v.ponty = kSignY[(k - 1) % 4] * f.xkozep;
        v.pontz = k <= 4 ? -f.zkozep : f.zkozep;
        forgatas(v, r);
        corners[k] = place(v, v.pontx, v.ponty, v.pontz);
    }
    return corners;
}

// Draws the path through the given corners. Where an edge has an end that
// could not be projected it is left out, and the path resumes with a move.
void drawPath(Canvas& c, const Corners& corners, std::initializer_list<int> path) {
    const std::optional<Pixel>* from = nullptr;
    bool penAtFrom = false;
    for (int k : path) {
        const std::optional<Pixel>& to = corners[k];
        if (from && *from && to) {
            if (!penAtFrom) c.MoveTo((*from)->x, (*from)->y);
            c.LineTo(to->x, to->y);
            penAtFrom = true;
        } else {
            penAtFrom = false;
        }
        from = &to;
    }
}

}  // namespace

void kockarajzolo(const Flock& f, const Inputs& in, View& v, Canvas& c) {
    c.Pen.style = PenStyle::psSolid;
    const Corners corners = projectCorners(f, in, v);
    drawPath(c, corners, {1, 2, 3, 4, 1});
    drawPath(c, corners, {5, 6, 7, 8, 5});
    c.Pen.width = 1;
    for (int k = 1; k <= 4; ++k) drawPath(c, corners, {k, k + 4});
}

}  // namespace nyajkor
