#include "model/flock.h"

#include "model/velocity_update.h"

namespace nyajkor {

Flock::Flock()
    : x(kMaxEgyed + 1), y(kMaxEgyed + 1), z(kMaxEgyed + 1),
      vx(kMaxEgyed + 1), vy(kMaxEgyed + 1), vz(kMaxEgyed + 1),
      ujvx(kMaxEgyed + 1), ujvy(kMaxEgyed + 1), ujvz(kMaxEgyed + 1),
      racs(kMaxEgyed),
      ragx(kMaxRagadozo + 1), ragy(kMaxRagadozo + 1), ragz(kMaxRagadozo + 1),
      scratch(std::make_unique<UpdateScratch>()) {}

Flock::~Flock() = default;

}  // namespace nyajkor
