// The neighbour search for several individuals at once, one per SIMD lane.
//
// The individuals of a group sit in the same or nearby cells, so their
// search cubes nearly coincide. The group walks the lattice's entries of the
// cubes' union in the visiting order (a outer, b middle, c inner, each
// ascending); each lane keeps its own three sums, and an entry a lane does
// not perceive is blended out of that lane's sums, never added as zero
// (adding +0.0 would turn a sum of -0.0 into +0.0). An entry is perceived
// only if it is closer than r, and everything closer than r lies in the
// cube, so the union's extra entries are never perceived. Candidates for the
// nearest neighbour, which may lie anywhere in the cube up to 2r, are kept
// a chunk at a time and settled lane by lane, exactly, in visiting order.
// Every lane therefore ends with the plain cube scan's result, bit for bit,
// whatever the lane width.
//
// The same kernel is built for plain x86-64 (or any processor), for AVX2 and
// for AVX-512; the widest the processor has is used unless a test asks for
// another.
#pragma once

#include <cstdint>

#include "model/neighbour_search.h"

namespace nyajkor {

enum class LanePath { portable, avx2, avx512 };

bool lanePathAvailable(LanePath path);
LanePath fastestLanePath();
// individuals searched at once
int laneCount(LanePath path);

// What the kernel reads: the lattice's entries with their positions and
// velocities in entry order, and the positions of the individuals.
struct LaneSource {
    const double *ex, *ey, *ez, *evx, *evy, *evz;  // per entry
    const double *eb, *ec;                         // per entry: its cell's b and c
    const double* norms;                           // per entry: ex^2 + ey^2 + ez^2
    const std::int32_t* heights;                   // per entry: its cell's c
    const std::int32_t* occupants;                 // per entry: the individual
    const std::int32_t* columnStarts;              // entries of column a*350+b: [starts[col], starts[col+1])
    const std::int32_t* slotOf;                    // per individual: its entry, or -1 if not registered
    // per individual: the nearest neighbour its last search found, a guess
    // that the next search checks before it uses it; written by the search
    std::int32_t* nearestGuesses;
    const double *x, *y, *z;                       // per individual
    int r = 0;                                     // perception radius
    double perceived = 0;                          // d*d below it exactly when sqrt(d*d) < r
    // by g = 0..r: how far in b from an individual's own column a
    // perceived entry can lie, in a row at least g + 1 away from its own
    const int* rowHalfWidths = nullptr;
    int xmeret = 0;                                // box extent along x and y
};

// Searches for members[0..count-1], 1 <= count <= laneCount(path), at once
// and writes each one's result to out[member].
void searchLanes(LanePath path, const LaneSource& s, const std::int32_t* members, int count, Neighbours* out);

}  // namespace nyajkor
