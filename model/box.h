// The box the flock flies in: its extents in lattice units and what its
// faces do.
//
// The window's box is walled, 350 x 350 x 250. Research setups may give any
// extents and make the box periodic: an individual leaving through a face
// comes back through the opposite one, and distances are measured to the
// nearest periodic image (the minimum image).
#pragma once

#include <algorithm>
#include <array>

namespace nyajkor {

enum class Boundary { walls, periodic };

struct Box {
    std::array<int, 3> extent{350, 350, 250};  // x, y, z
    Boundary boundary = Boundary::walls;

    bool periodic() const { return boundary == Boundary::periodic; }
    int smallestExtent() const { return std::min({extent[0], extent[1], extent[2]}); }
    double volume() const { return (static_cast<double>(extent[0]) * extent[1]) * extent[2]; }
    // the window's own box
    bool isStandard() const { return *this == Box{}; }
    bool operator==(const Box&) const = default;
};

// The difference p_k - p_i on an axis of extent e, taken to the nearest
// periodic image: beyond half the extent it is brought back by one extent;
// exactly half the extent is left as it is.
inline double minimumImage(double delta, int e) {
    const double half = 0.5 * e;
    if (delta > half) delta -= e;
    if (delta < -half) delta += e;
    return delta;
}

}  // namespace nyajkor
