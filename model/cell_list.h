// Finding the neighbours of a flock of any size in a box of any extents,
// walled or periodic.
//
// The result is the cube walk's (searchPlainCube), defined on the occupancy
// lattice: each lattice cell holds the highest-indexed individual whose
// rounded position is that cell; the search visits the cube of cells within
// the perception radius r of the individual's own cell, a outer, b middle,
// c inner, each ascending, in a periodic box each cell index taken modulo
// the extent; it sums the velocities of the perceived individuals (closer
// than r, not coincident) in that order and keeps the nearest one, the first
// visited winning a tie.
//
// The lattice of a large box is not stored: its occupied cells are sorted
// into coarse cells of `side` lattice cells a side, chosen no smaller than
// the radius (so a cube meets at most four coarse cells along an axis) and
// large enough that there are about as many coarse cells as individuals (so
// memory grows with the flock, not with the box). The search of an
// individual reads the registered individuals of the coarse cells around its
// own, keeps those inside its cube, and orders the perceived ones by their
// place in the cube's visiting order before summing them: the same sum, bit
// for bit, as the cube walk's.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/flock.h"
#include "model/neighbour_search.h"
#include "model/workers.h"

namespace nyajkor {

class CellList {
public:
    // Sorts the live individuals into coarse cells and registers the
    // highest index of each occupied lattice cell. Call after the move;
    // the flock's positions and velocities must stay as they are while
    // searching.
    void rebuild(const Flock& f);
    // What individual i perceives, for the flock last rebuilt from.
    Neighbours search(const Flock& f, int i) const;
    // Calls visit(i, found) once for every live individual, coarse cell by
    // coarse cell, on the workers; visits on different threads run at once.
    void searchAll(const Flock& f, Workers& workers, const std::function<void(int, const Neighbours&)>& visit) const;

private:
    // a perceived individual: its place in the visiting order and its entry
    struct Perceived {
        std::int32_t key, entry;
    };
    // the entries a coarse cell's members may meet: stretches [from, to)
    struct Stretch {
        std::int32_t from, to;
    };
    // per thread: the entries around the coarse cell in hand, copied side
    // by side, and per member their measures
    struct ThreadScratch {
        std::vector<Stretch> stretches;
        std::vector<int> around[3];
        std::vector<double> x, y, z;
        std::vector<std::int32_t> a, b, c, id, entry;
        std::vector<double> squares;
        std::vector<std::int32_t> keys, kept;
        std::vector<Perceived> perceived;
    };

    int coarseOf(int cell) const { return cell / side_; }
    int coarseIndex(int ca, int cb, int cc) const { return (ca * coarse_[1] + cb) * coarse_[2] + cc; }
    int coarseCellOf(const std::array<int, 3>& cell) const;
    std::array<std::int32_t, 3> latticeCell(const Flock& f, int i) const;
    void coarseAround(int from, int to, int axis, std::vector<int>& out) const;
    void stretchesAround(int cell, ThreadScratch& t) const;
    Neighbours searchAmong(const Flock& f, int i, ThreadScratch& t) const;
    void gather(int cell, ThreadScratch& t) const;
    std::size_t measure(const Flock& f, int i, ThreadScratch& t) const;
    void registerCell(const Flock& f, int cell, std::vector<std::uint64_t>& keyed);

    Box box_;
    int r_ = 0;
    double perceivedSquare_ = 0;              // d2 below it: closer than r
    int side_ = 1;
    std::array<int, 3> coarse_{1, 1, 1};      // coarse cells along each axis
    std::vector<std::int32_t> memberStart_;   // per coarse cell, its members' start; one more at the end
    std::vector<std::int32_t> members_;       // the live individuals, by coarse cell, ascending within
    std::vector<std::array<std::int32_t, 3>> cellOf_;  // each individual's lattice cell, 1..N
    std::vector<std::int32_t> coarseOfMember_;  // scratch of the sort: each individual's coarse cell
    std::vector<std::int32_t> entryStart_;    // per coarse cell, its registered entries' start
    // the registered individuals, by coarse cell: position, velocity, lattice cell, index
    std::vector<double> ex_, ey_, ez_, evx_, evy_, evz_;
    std::vector<std::int32_t> ea_, eb_, ec_, eid_;
    mutable std::vector<ThreadScratch> scratch_;
};

}  // namespace nyajkor
