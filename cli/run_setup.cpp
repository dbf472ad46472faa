#include "cli/run_setup.h"

#include "model/simulation.h"

namespace nyajkor::batch {

void prepareRun(Flock& f, const Options& o, const Inputs& in, std::uint32_t seed) {
    setBoxConstants(f);
    start(f, in, seed);
    const bool custom = o.distanceMode == DistanceMode::customRepulsive ||
                        o.distanceMode == DistanceMode::customAttractive;
    if (custom) f.tavtartaserosseg = in.egyensulyerosseg;
    if (o.centre == CentreMode::placed) {
        f.vonzox = in.xvonzokord;
        f.vonzoy = in.yvonzokord;
        f.vonzoz = in.zvonzokord;
    }
    for (int p = 0; p < o.predators; ++p) ujragadozo(f);
    // the zoom scroll bar moved after Start, as the user would move it
    f.nagyitasszorzo = in.nagyitas / 10.0;
}

}  // namespace nyajkor::batch
