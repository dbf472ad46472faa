// Ready-made flocks for tests, benchmarks and the runner: one place that
// builds them, so every check measures the same scenes.
#pragma once

#include <cstdint>

#include "model/flock.h"

namespace nyajkor {

// The controls at launch with N individuals and perception radius r.
Inputs plainInputs(int n, int radius);

// Every mode at once: attractive-repulsive distance keeping with the tuned
// strength, attraction to the centre of mass, the wandering centre.
Inputs everyModeInputs(int n, int radius);

// plainInputs with attraction to the centre of mass at strength `cohesion`
// and the noise at `noise` x100, as the runner's --cohesion and --noise set them.
Inputs cohesionInputs(int n, int radius, int cohesion, int noise = 10);

// Box constants set, then Start with `seed` in place of the clock, then
// `predators` predators added as the menu adds them.
void startScene(Flock& f, const Inputs& in, std::uint32_t seed, int predators = 0);

// Moves every individual to a point drawn from a Gaussian of spread `sigma`
// around the box centre (kept 10 units inside the walls), from a generator of
// its own seeded with `seed`: a tightly clumped flock in which many
// individuals share lattice cells.
void clumpFlock(Flock& f, double sigma, std::uint32_t seed);

// Moves every individual towards the flock's centre of mass, keeping its
// direction from it, so that the farthest one ends `reach` away: with
// reach < r/2 everyone is within r of everyone. Cells shared before stay
// shared, and more come.
void collapseFlock(Flock& f, double reach);

}  // namespace nyajkor
