// The velocity update: every individual's new heading from the old headings
// of the neighbours it perceives, with noise, walls and the optional rules.
//
// The update is synchronous: individuals read their neighbours' velocities
// only from vx, vy, vz, which change after everybody is done. The attracting
// centre and the predators move first, so individuals react to their new
// positions. Each individual's work is one call of updateIndividual(); it
// draws a fixed number of reals (the noise: three of the cube noise, two of
// the vectorial), so its draws sit at a known place of
// the generator's sequence, and the flock can be split into parts that run at
// once, each part's generator jumped ahead to where a single thread would be.
#pragma once

#include <vector>

#include <algorithm>

#include "model/cell_list.h"
#include "model/flock.h"
#include "model/lane_search.h"
#include "model/neighbour_search.h"
#include "model/workers.h"

namespace nyajkor {

// How the step runs: which neighbour search, on how many threads, with
// which lane width. Every choice gives the same flock, bit for bit; the
// plain cube scan is the reference the fast one is checked against.
// The cell list, which any flock may use, is the one a flock beyond the
// window's lattice always uses.
enum class NeighbourSearch { columns, plainCube, cells };
struct Execution {
    NeighbourSearch search = NeighbourSearch::columns;
    Workers* workers = nullptr;  // nullptr: the shared pool, one part per core
    LanePath lanes = fastestLanePath();  // of the column search
};

// Scratch of the step, kept from call to call so that no call allocates.
struct UpdateScratch {
    ColumnIndex columns;            // the lattice's registered individuals by column
    CellList cells;                 // the search of a flock beyond the window's lattice
    std::vector<int> szomszeddb;    // per individual: perceived neighbours
    std::vector<double> mintav;     // per individual: nearest distance found
    std::vector<Neighbours> found;  // per individual: what the column search found
    explicit UpdateScratch(int capacity)
        : szomszeddb(capacity + 1), mintav(capacity + 1), found(std::min(capacity, kMaxEgyed) + 1) {}
};

// Whether the flock is searched through the cell list rather than the
// window's occupancy lattice: a box other than the window's, or more
// individuals than the lattice is made for.
inline bool searchesThroughCells(const Flock& f) { return !f.box.isStandard() || f.egyeddb > kMaxEgyed; }

// The reals an individual's update draws: three of the cube noise, two of
// the vectorial.
inline int drawsPerIndividual(const Flock& f) { return f.noiseModel == NoiseModel::vectorial ? 2 : 3; }

// The whole step, for i = 1..egyeddb, with the statistics.
void ujsebessegek(Flock& f, const Inputs& in, const Execution& how = {});

// Per-call values that every individual's update reads.
struct UpdateContext {
    double tkpx = 0, tkpy = 0, tkpz = 0;  // centre of mass at the start of the call
    int eszlelodb = 0;                    // individuals 1..eszlelodb perceive the centre
};

// Steps of the update, exposed for tests and for a parallel driver.
// Clears ujv, finds the centre of mass and how many perceive the centre,
// moves the centre and the predators.
UpdateContext beginUpdate(Flock& f, const Inputs& in);
void moveCentre(Flock& f, const UpdateContext& ctx);
void movePredators(Flock& f, const UpdateContext& ctx);
struct IndividualResult {
    int szomszeddb;
    double mintav;
};
// Individual i's new heading from what the search found for it, rule by
// rule: writes ujvx[i], ujvy[i], ujvz[i]; draws drawsPerIndividual(f) reals
// from rng.
IndividualResult updateIndividual(Flock& f, const Inputs& in, const UpdateContext& ctx, int i,
                                  const Neighbours& n, Random& rng);
// The new velocities become the velocities, turned back from the walls.
void commitVelocities(Flock& f);

}  // namespace nyajkor
