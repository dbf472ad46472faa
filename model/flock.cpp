#include "model/flock.h"

#include <algorithm>

#include "model/velocity_update.h"

namespace nyajkor {

Flock::Flock() : Flock(kMaxEgyed) {}

// The occupancy lattice and its column search serve flocks of the window's
// size in the window's box; a larger flock is searched through a cell list,
// so the lattice keeps the window's size whatever the capacity.
Flock::Flock(int capacity)
    : x(capacity + 1), y(capacity + 1), z(capacity + 1),
      vx(capacity + 1), vy(capacity + 1), vz(capacity + 1),
      ujvx(capacity + 1), ujvy(capacity + 1), ujvz(capacity + 1),
      racs(std::min(capacity, kMaxEgyed)),
      ragx(kMaxRagadozo + 1), ragy(kMaxRagadozo + 1), ragz(kMaxRagadozo + 1),
      scratch(std::make_unique<UpdateScratch>(capacity)) {}

Flock::~Flock() = default;

}  // namespace nyajkor
