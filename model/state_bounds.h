// The bounds a run's state keeps, which readers of files from outside
// (checkpoints, trajectories) check before they take any of it.
#pragma once

#include "model/controls.h"

namespace nyajkor {

// Velocities are brought back to the common speed at every tick, so no
// component is longer than the highest speed; a hair more for rounding.
inline constexpr double kLargestVelocityComponent = controlOf(&Inputs::vkozos).max / 10.0 * (1 + 1e-9);

// The order parameter: rounding may lift a perfectly ordered flock's a hair above 1.
inline constexpr double kLargestOrder = 1 + 1e-9;

// Predators and the attracting centre are not held by the walls, but they
// follow the flock: they stay within the box widened by its own extent on
// every side of an axis.
inline constexpr double lowestReach(int extent) { return -extent; }
inline constexpr double highestReach(int extent) { return 2.0 * extent; }

}  // namespace nyajkor
