// Finding the neighbours an individual perceives.
//
// The lattice defines who can be found: each cell holds the index of the one
// individual registered there this tick (the highest index where several
// round to the same cell). The search visits the cube of cells within the
// perception radius r of the individual's own cell, a outer, b middle,
// c inner, each ascending; it sums the velocities of the individuals closer
// than r (and not coincident) in that order, and keeps the nearest one found,
// the first visited winning a tie.
//
// searchPlainCube walks the cube cell by cell: (2r+1)^3 cells, 68,921 at
// r = 20. ColumnIndex gives the same answer bit for bit from the lattice's
// per-column entries: the columns (a, b-r..b+r) of one row of the cube are
// one contiguous stretch whose entries come in exactly the cube's visiting
// order; empty cells cost nothing. The update searches several individuals
// at once this way, with the lanes of lane_search.h; ColumnIndex::search
// does it for one, in two passes over a stretch: the
// squared distances of all its entries at once (a loop the compiler turns
// into vector code), then one pass that keeps the entries inside the cube,
// checks the rare nearer candidates exactly and notes the perceived ones
// without a branch; their velocities are summed afterwards in the order met.
// Perception and nearness are decided on squares against exact thresholds,
// so no result differs from the cube walk's.
#pragma once

#include <cstdint>
#include <vector>

#include "model/flock.h"

namespace nyajkor {

struct LaneSource;

// The largest perception radius, which the search's tables are made for.
constexpr int kLargestRadius = 20;

// What the neighbour search found for one individual.
struct Neighbours {
    int szomszeddb = 0;                          // perceived neighbours
    double sumvx = 0, sumvy = 0, sumvz = 0;      // their velocities, summed in visiting order
    double mintav = 0;                           // distance to the nearest one found (2r if none)
    double kozelx = 0, kozely = 0, kozelz = 0;   // its position (origin if none)
};

// The smallest square whose rounded root reaches r: a squared distance d2
// is below it exactly when sqrt(d2) < r, so perception is decided without
// the root.
double perceptionSquareThreshold(int r);

// The reference search: every cell of the cube, one by one.
Neighbours searchPlainCube(const Flock& f, int i);

class ColumnIndex {
public:
    ColumnIndex();

    // Takes the positions and velocities of the individuals registered in
    // f.racs, entry by entry. Call after the lattice is filled and before
    // searching; the lattice must stay as it is while searching.
    void rebuild(const Flock& f);

    // The same result as searchPlainCube(f, i) for the flock last rebuilt from.
    Neighbours search(const Flock& f, int i) const;

    // What the lane search reads, for the flock last rebuilt from.
    LaneSource laneSource(const Flock& f) const;

    // The individuals in the lattice, in the order the lane search takes
    // them in groups: by tiles of kTile x kTile columns, tile rows in a
    // order, and within a tile in the lattice's cell order. A group's
    // search walks the union of its members' cubes, so its members should
    // sit close together in a and b: consecutive individuals in cell order
    // do where the flock is dense, but where it is sparse they lie along
    // one row of columns, hundreds of columns apart; in a tile they lie
    // within a few tiles of one another.
    const std::int32_t* laneOrder() const { return laneOrder_.data(); }
    int laneOrderCount() const { return laneOrderCount_; }
    static constexpr int kTile = 8;

private:
    const OccupancyLattice* racs = nullptr;
    // position and velocity of each of the lattice's entries
    std::vector<double> ex, ey, ez;
    std::vector<double> evx, evy, evz;
    std::vector<double> eb, ec;  // its cell's b and c, for the lanes' cube tests
    std::vector<double> norms;   // its squared distance from the origin, for the lanes' quick test
    std::vector<std::int32_t> slotOf;  // each individual's entry, or -1 where a higher index holds its cell
    // each individual's nearest neighbour as the lane search last found it:
    // guesses that only spare it work, so writing them while searching
    // changes no result
    mutable std::vector<std::int32_t> nearestGuesses;
    // d*d below squareThresholds[r] exactly when sqrt(d*d) < r, for r = 0..20
    std::vector<double> squareThresholds;
    // rowHalfWidths[r * 21 + g]: LaneSource::rowHalfWidths for radius r = 0..20
    std::vector<int> rowHalfWidths;
    void orderForLanes(const Flock& f);
    std::vector<std::int32_t> laneOrder_, tileOf_, tileStarts_;
    int laneOrderCount_ = 0;
};

}  // namespace nyajkor
