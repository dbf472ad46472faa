// The velocity update: every individual's new heading from the old headings
// of the neighbours it perceives, with noise, walls and the optional rules.
//
// The update is synchronous: individuals read their neighbours' velocities
// only from vx, vy, vz, which change after everybody is done. The attracting
// centre and the predators move first, so individuals react to their new
// positions. Each individual's work is one call of updateIndividual(); it
// draws exactly three reals (the noise), so its draws sit at a known place of
// the generator's sequence.
#pragma once

#include "model/flock.h"

namespace nyajkor {

// What the neighbour search found for one individual.
struct Neighbours {
    int szomszeddb = 0;                       // perceived neighbours
    double sumvx = 0, sumvy = 0, sumvz = 0;   // their velocities, summed in visiting order
    double mintav = 0;                        // distance to the nearest one found (2r if none)
    double kozelx = 0, kozely = 0, kozelz = 0;  // its position (origin if none)
};

// The neighbour search of individual i: visits the cube of lattice cells
// within latotav of i's cell, a outer, b middle, c inner, each ascending.
Neighbours keresSzomszedok(const Flock& f, int i);

// The whole step, for i = 1..egyeddb, with the statistics.
void ujsebessegek(Flock& f, const Inputs& in);

// Per-call values that every individual's update reads.
struct UpdateContext {
    double tkpx = 0, tkpy = 0, tkpz = 0;  // centre of mass at the start of the call
    int eszlelodb = 0;                    // individuals 1..eszlelodb perceive the centre
};

// Steps of the update, exposed for tests and for a parallel driver.
UpdateContext beginUpdate(Flock& f, const Inputs& in);   // steps 1-4
void moveCentre(Flock& f, const UpdateContext& ctx);
void movePredators(Flock& f, const UpdateContext& ctx);
struct IndividualResult {
    int szomszeddb;
    double mintav;
};
// Step 5 for individual i: writes ujvx[i], ujvy[i], ujvz[i]; draws three reals from rng.
IndividualResult updateIndividual(Flock& f, const Inputs& in, const UpdateContext& ctx, int i,
                                  Random& rng);
void commitVelocities(Flock& f);                         // steps 8-9

}  // namespace nyajkor
