// The lane kernel of lane_search.h, included by one source file per
// instruction set. Everything here has internal linkage, so each file keeps
// its own build of it; the file sets the instruction set before including it.
//
// Requires before inclusion: LaneSource and Neighbours, roundHalfEven,
// LaneTypes (model/lane_types.h) in the enclosing namespace, and for the
// file's lane width the functions unsigned lanesAtMost(Real a, Real b) with
// bit l set where a[l] <= b[l], unsigned laneBits(Mask m) with bit l set
// where m[l] is true, and Real mulAdd(Real a, Real b, Real c), a * b + c,
// fused where the instruction set can.

namespace {

// Own small helpers rather than the standard library's templates, whose
// instances would be shared with the rest of the program.
inline int lowest(int a, int b) { return a < b ? a : b; }
inline int highest(int a, int b) { return a > b ? a : b; }

// What a lane knows of its individual: its cell, its index, and the
// nearest neighbour found so far (its index, 0 while none).
struct NearState {
    int ci, cj, ck, self, nearest;
    double mintav, kozelx, kozely, kozelz;
};

// The nearest-neighbour rule for entry j of the lane's own cube, which is at
// squared distance d2 and might be nearer than the lane's best: not the
// individual itself, strictly nearer.
inline bool settleNear(NearState& n, const nyajkor::LaneSource& s, int j, double d2) {
    if (s.occupants[j] == n.self) return false;
    const double d = __builtin_sqrt(d2);
    if (!(d < n.mintav)) return false;
    n.mintav = d;
    n.nearest = s.occupants[j];
    n.kozelx = s.ex[j];
    n.kozely = s.ey[j];
    n.kozelz = s.ez[j];
    return true;
}

// A group of L individuals being searched: each lane's position, cube and
// nearest neighbour so far, the union of their cubes, and the sums.
template <int L>
struct LaneGroup {
    using Real = typename LaneTypes<L>::Real;
    NearState near[L];
    Real xi, yi, zi;
    // A candidate can be nearer than the lane's best only if its square is
    // at most a hair above the best's square; settleNear compares the roots.
    Real nearSquare;
    // each lane's own entry, or -1 where a higher index holds its cell
    typename LaneTypes<L>::Mask selfSlot;
    // each lane's cube, as doubles to compare with the entries' cells
    Real aLow, aHigh, bLow, bHigh, cLow, cHigh;
    int aFrom = 1 << 30, aTo = -(1 << 30), bFrom = 1 << 30, bTo = -(1 << 30);
    // the lanes' own rows and columns
    int ciMin = 1 << 30, ciMax = -(1 << 30), cjMin = 1 << 30, cjMax = -(1 << 30);
    // the rows and columns where some lane may meet a candidate for its
    // nearest neighbour
    int nearRowFrom = 1 << 30, nearRowTo = -(1 << 30), nearColumnFrom = 1 << 30, nearColumnTo = -(1 << 30);
    // the quick test of far rows: -2 times the position, and the bounds
    // below which the entry surely is, or may be, perceived
    Real xi2, yi2, zi2, surelyBelow, maybeBelow;
    Real sumvx = {}, sumvy = {}, sumvz = {};
    Real szomszeddb = {};  // counted in doubles: one masked addition, exact far beyond 5000
};

// Each lane's sums, in the order the walk meets the entries, and the count
// of entries that the quick test of walkFar could not rule out.
template <int L>
struct LaneSums {
    typename LaneTypes<L>::Real vx = {}, vy = {}, vz = {}, count = {}, maybe = {};
};

#define NYAJKOR_ALWAYS_INLINE inline __attribute__((always_inline))

// Adds entry j to the sums of the lanes in `seen`; the others keep theirs.
template <int L>
NYAJKOR_ALWAYS_INLINE void addSeen(const nyajkor::LaneSource& s, int j, typename LaneTypes<L>::Mask seen,
                                   LaneSums<L>& sums) {
    sums.vx = seen ? sums.vx + s.evx[j] : sums.vx;
    sums.vy = seen ? sums.vy + s.evy[j] : sums.vy;
    sums.vz = seen ? sums.vz + s.evz[j] : sums.vz;
    sums.count = seen ? sums.count + 1.0 : sums.count;
}

// v in every lane (subtracting +0 changes no double, -0 included)
template <int L>
NYAJKOR_ALWAYS_INLINE typename LaneTypes<L>::Real splat(double v) {
    return v - typename LaneTypes<L>::Real{};
}

// Each lane's square of its distance to entry j. Scalars in the vector
// expressions stand for all lanes at once. The offsets are taken from the
// individual to the entry: the squares are the same as the other way
// round, bit for bit.
template <int L>
NYAJKOR_ALWAYS_INLINE typename LaneTypes<L>::Real squaresTo(const nyajkor::LaneSource& s, const LaneGroup<L>& g,
                                                           int j) {
    using Real = typename LaneTypes<L>::Real;
    const Real dx = g.xi - s.ex[j];
    const Real dy = g.yi - s.ey[j];
    const Real dz = g.zi - s.ez[j];
    return dx * dx + dy * dy + dz * dz;
}

// The lanes whose cube holds entry j of a row where rowInCube holds.
template <int L>
NYAJKOR_ALWAYS_INLINE typename LaneTypes<L>::Mask inCubes(const nyajkor::LaneSource& s, const LaneGroup<L>& g,
                                                         typename LaneTypes<L>::Mask rowInCube, int j) {
    const double eb = s.eb[j], ec = s.ec[j];
    return typename LaneTypes<L>::Mask(rowInCube & (g.bLow <= eb) & (g.bHigh >= eb) & (g.cLow <= ec) &
                                       (g.cHigh >= ec));
}

// The square a lane's nearest distance starts at, (2r)^2: its root is
// exactly 2r, the nearest distance while none is found.
inline double noNearestSquare(const nyajkor::LaneSource& s) { return 2.0 * s.r * (2.0 * s.r); }

// Bounds on each lane's nearest squared distance: the least of `bound` and
// the squares of the individuals of its cube in the columns up to `span`
// rows and columns from the lanes' own. Squares of 0 are left to
// the walk; leaving any out only loosens a bound. The nearest one found in
// the end is at most this far, so the walk need settle only candidates up
// to it, however far the first ones met are. The columns of a row are one
// stretch of entries, and every lane tests each entry at once.
template <int L>
typename LaneTypes<L>::Real nearBounds(const nyajkor::LaneSource& s, const LaneGroup<L>& g, int span,
                                       typename LaneTypes<L>::Real bound) {
    using Real = typename LaneTypes<L>::Real;
    using Mask = typename LaneTypes<L>::Mask;
    const int bFirst = highest(g.cjMin - span, 0), bLast = lowest(g.cjMax + span, s.xmeret - 1);
    for (int a = highest(g.ciMin - span, 0); a <= lowest(g.ciMax + span, s.xmeret - 1); ++a) {
        const Mask rowInCube = (g.aLow <= a) & (g.aHigh >= a);
        const int end = s.columnStarts[nyajkor::OccupancyLattice::column(a, bLast) + 1];
        for (int j = s.columnStarts[nyajkor::OccupancyLattice::column(a, bFirst)]; j < end; ++j) {
            const Real d2 = squaresTo(s, g, j);
            const Mask nearer = inCubes(s, g, rowInCube, j) & Mask((d2 > 0.0) & (d2 < bound));
            bound = nearer ? d2 : bound;
        }
    }
    return bound;
}

// A bound on lane l's nearest squared distance from a guess k at its nearest
// neighbour (the one its individual's last search found): k's square if k
// is registered, in the lane's cube and not its own individual, for then
// the walk meets k as a candidate; (2r)^2 otherwise. Any k is safe: a good
// guess only spares work.
template <int L>
double guessedBound(const nyajkor::LaneSource& s, const LaneGroup<L>& g, int l, std::int32_t k) {
    const double none = noNearestSquare(s);
    const NearState& n = g.near[l];
    if (k < 1 || k > nyajkor::kMaxEgyed || k == n.self) return none;
    const int j = s.slotOf[k];
    if (j < 0) return none;
    const auto within = [r = s.r](int p, int q) { return p - q <= r && q - p <= r; };
    if (!within(nyajkor::roundHalfEven(s.ex[j]), n.ci) || !within(static_cast<int>(s.eb[j]), n.cj) ||
        !within(static_cast<int>(s.ec[j]), n.ck))
        return none;
    // the lane's square of entry j, the same bits as in the walk's vectors
    const double dx = g.xi[l] - s.ex[j], dy = g.yi[l] - s.ey[j], dz = g.zi[l] - s.ez[j];
    const double d2 = dx * dx + dy * dy + dz * dz;
    return d2 < none ? d2 : none;
}

// Candidates for the lanes' nearest neighbours. Settling each as it comes
// would chain every entry to the one before through the lane's best so far,
// and cost a branch that is hard to foresee: where a lane knows no near
// neighbour yet, nearly every entry of its cube is a candidate. They are
// kept instead, a chunk at a time: each one's squares, +inf in the lanes it
// is no candidate of, and each lane's least square.
template <int L>
struct NearChunk {
    using Real = typename LaneTypes<L>::Real;
    static constexpr int kSize = 64;
    static constexpr double kNone = __builtin_inf();
    Real squares[kSize];
    int entries[kSize];
    int count;
    Real least;
    // no initialisers: the implicit constructor would be built without
    // the file's instruction set
    void empty() {
        count = 0;
        least = splat<L>(kNone);
    }
};

// Settles a chunk's candidates in the order met. Scanning them one by one
// with "strictly nearer" keeps the first whose root is the least root, so
// only candidates whose square is within a hair of the least square (whose
// roots may be equal) need the exact rule.
template <int L>
void settleChunk(const nyajkor::LaneSource& s, LaneGroup<L>& g, NearChunk<L>& chunk) {
    using Real = typename LaneTypes<L>::Real;
    const Real tie = chunk.least * (1 + 1e-12);
    const unsigned some = lanesAtMost(chunk.least, g.nearSquare);  // the lanes with a candidate
    for (int k = 0; k < chunk.count; ++k) {
        for (unsigned lanes = lanesAtMost(chunk.squares[k], tie) & some; lanes != 0; lanes &= lanes - 1) {
            const int l = __builtin_ctz(lanes);
            const double d2 = chunk.squares[k][l];
            if (settleNear(g.near[l], s, chunk.entries[k], d2)) g.nearSquare[l] = d2 * (1 + 1e-12);
        }
    }
    chunk.empty();
}

// The union's columns (a, bFirst..bLast), one stretch in visiting order,
// where some lane may meet a nearer candidate: every entry's squares are
// kept for the lanes it may be nearest to (in the lane's cube, not the
// lane's individual, within its nearest square so far), and settled a chunk
// at a time. The individual itself, or one on the same spot, is at square 0
// and never perceived.
//
// Once every lane knows a neighbour closer than r (its nearest square below
// `perceived`), the cube test can go (cubeTest false): an entry outside a
// lane's cube is at least r away along one axis, so its square is at least
// r^2, and no candidate's is.
template <int L, bool cubeTest>
NYAJKOR_ALWAYS_INLINE void walkNear(const nyajkor::LaneSource& s, LaneGroup<L>& g, int a, int bFirst, int bLast,
                                    LaneSums<L>& sums, NearChunk<L>& chunk) {
    using Real = typename LaneTypes<L>::Real;
    using Mask = typename LaneTypes<L>::Mask;
    const int begin = s.columnStarts[nyajkor::OccupancyLattice::column(a, bFirst)];
    const int end = s.columnStarts[nyajkor::OccupancyLattice::column(a, bLast) + 1];
    const Mask rowInCube = (g.aLow <= a) & (g.aHigh >= a);
    // the chunk's count and least squares in registers: kept in the chunk,
    // every entry would wait for the one before to be stored and read back
    int count = chunk.count;
    Real least = chunk.least;
    for (int j = begin; j < end; ++j) {
        const Real d2 = squaresTo(s, g, j);
        Mask candidate = Mask(g.selfSlot != static_cast<long long>(j)) & Mask(d2 <= g.nearSquare);
        if (cubeTest) candidate &= inCubes(s, g, rowInCube, j);
        const Real square = candidate ? d2 : NearChunk<L>::kNone;
        chunk.squares[count] = square;
        chunk.entries[count] = j;
        least = square < least ? square : least;
        count += laneBits(candidate) != 0;
        if (count == NearChunk<L>::kSize) {
            chunk.count = count;
            chunk.least = least;
            settleChunk(s, g, chunk);
            count = 0;
            least = chunk.least;
        }
        const Mask seen = Mask(d2 < s.perceived) & Mask(d2 > 0.0);
        sums.maybe = seen ? sums.maybe + 1.0 : sums.maybe;
        addSeen<L>(s, j, seen, sums);
    }
    chunk.count = count;
    chunk.least = least;
}

// The columns (a, bFirst..bLast) where no lane can meet a nearer candidate
// (nor itself, whose square 0 is nearer than any): only perceived entries
// count there.
//
// The quick test: for a lane at p and an entry at e, |e|^2 - 2 p.e is their
// squared distance less |p|^2. For any two points of the box each of its
// few roundings is at most 2^-53 of a magnitude below 10^6, so it differs
// from the exact formula's square less |p|^2 by under 2e-9: below
// surelyBelow (perceived - |p|^2 - 1e-6) the entry is perceived, at or
// above maybeBelow (the same + 1e-6) it is not. Entries in between, which
// hardly ever occur, are counted in `maybe`; if there were any, the group's
// walk is done again with the exact test (quick false).
template <int L, bool quick>
NYAJKOR_ALWAYS_INLINE void walkFar(const nyajkor::LaneSource& s, const LaneGroup<L>& g, int a, int bFirst, int bLast,
                                   LaneSums<L>& sums) {
    using Real = typename LaneTypes<L>::Real;
    using Mask = typename LaneTypes<L>::Mask;
    if (bFirst > bLast) return;
    const int begin = s.columnStarts[nyajkor::OccupancyLattice::column(a, bFirst)];
    const int end = s.columnStarts[nyajkor::OccupancyLattice::column(a, bLast) + 1];
    for (int j = begin; j < end; ++j) {
        if (quick) {
            const Real q = mulAdd(g.zi2, splat<L>(s.ez[j]),
                                  mulAdd(g.yi2, splat<L>(s.ey[j]), mulAdd(g.xi2, splat<L>(s.ex[j]), splat<L>(s.norms[j]))));
            const Mask maybe = q < g.maybeBelow;
            sums.maybe = maybe ? sums.maybe + 1.0 : sums.maybe;
            addSeen<L>(s, j, q < g.surelyBelow, sums);
        } else {
            const Mask seen = squaresTo(s, g, j) < s.perceived;
            sums.maybe = seen ? sums.maybe + 1.0 : sums.maybe;
            addSeen<L>(s, j, seen, sums);
        }
    }
}

// The walk over the union's rows in visiting order. In each row the
// perceived entries lie within rowHalfWidths of some lane's column, and
// candidates for a lane's nearest neighbour only in the rows and columns
// within its reach; the columns of a row are walked in order, those within
// reach with the nearest-neighbour test, the others without. Returns
// whether walkFar's test (quick or exact) was sure of every entry.
template <int L, bool quick>
bool walkUnion(const nyajkor::LaneSource& s, LaneGroup<L>& g) {
    LaneSums<L> sums;
    NearChunk<L> chunk;
    chunk.empty();
    for (int a = g.aFrom; a <= g.aTo && g.bFrom <= g.bTo; ++a) {
        const int half = s.rowHalfWidths[highest(0, highest(g.ciMin - a, a - g.ciMax) - 1)];
        const int discFrom = highest(g.bFrom, g.cjMin - half), discTo = lowest(g.bTo, g.cjMax + half);
        if (a < g.nearRowFrom || a > g.nearRowTo) {
            walkFar<L, quick>(s, g, a, discFrom, discTo, sums);
            continue;
        }
        const int nearFrom = highest(g.bFrom, g.nearColumnFrom), nearTo = lowest(g.bTo, g.nearColumnTo);
        walkFar<L, quick>(s, g, a, discFrom, lowest(discTo, nearFrom - 1), sums);
        if (laneBits(g.nearSquare < s.perceived) == (1u << L) - 1)
            walkNear<L, false>(s, g, a, nearFrom, nearTo, sums, chunk);
        else
            walkNear<L, true>(s, g, a, nearFrom, nearTo, sums, chunk);
        walkFar<L, quick>(s, g, a, highest(discFrom, nearTo + 1), discTo, sums);
    }
    settleChunk(s, g, chunk);
    g.sumvx = sums.vx;
    g.sumvy = sums.vy;
    g.sumvz = sums.vz;
    g.szomszeddb = sums.count;
    return laneBits(sums.maybe == sums.count) == (1u << L) - 1;
}

// The quick walk, and where its test was unsure of some entry, the exact
// one from the same start.
template <int L>
void walk(const nyajkor::LaneSource& s, LaneGroup<L>& g) {
    const LaneGroup<L> start = g;
    if (walkUnion<L, true>(s, g)) return;
    g = start;
    walkUnion<L, false>(s, g);
}

#undef NYAJKOR_ALWAYS_INLINE

template <int L>
void searchLaneGroup(const nyajkor::LaneSource& s, const std::int32_t* members, int count,
                     nyajkor::Neighbours* out) {
    const int r = s.r;
    LaneGroup<L> g;
    for (int l = 0; l < L; ++l) {
        // spare lanes repeat the last member; their results are dropped
        const int i = members[l < count ? l : count - 1];
        g.xi[l] = s.x[i];
        g.yi[l] = s.y[i];
        g.zi[l] = s.z[i];
        g.selfSlot[l] = s.slotOf[i];
        NearState& n = g.near[l];
        n = {nyajkor::roundHalfEven(s.x[i]), nyajkor::roundHalfEven(s.y[i]), nyajkor::roundHalfEven(s.z[i]),
             i, 0, 2.0 * r, 0, 0, 0};
        g.aLow[l] = n.ci - r;
        g.aHigh[l] = n.ci + r;
        g.bLow[l] = n.cj - r;
        g.bHigh[l] = n.cj + r;
        g.cLow[l] = n.ck - r;
        g.cHigh[l] = n.ck + r;
        g.aFrom = lowest(g.aFrom, n.ci - r);
        g.aTo = highest(g.aTo, n.ci + r);
        g.bFrom = lowest(g.bFrom, n.cj - r);
        g.bTo = highest(g.bTo, n.cj + r);
        g.ciMin = lowest(g.ciMin, n.ci);
        g.ciMax = highest(g.ciMax, n.ci);
        g.cjMin = lowest(g.cjMin, n.cj);
        g.cjMax = highest(g.cjMax, n.cj);
    }
    g.aFrom = highest(g.aFrom, 0);
    g.aTo = lowest(g.aTo, s.xmeret - 1);
    g.bFrom = highest(g.bFrom, 0);
    g.bTo = lowest(g.bTo, s.xmeret - 1);
    // Each lane's bound from the guess at its nearest neighbour, and where
    // some lane has none, from the columns next to its own. Where some lane
    // finds one there (a dense part of the flock), the others look further
    // too: the tighter the bounds, the fewer rows need the nearest-neighbour
    // test. In a sparse part the wider search would rarely pay.
    const double none = noNearestSquare(s);
    typename LaneTypes<L>::Real bounds;
    for (int l = 0; l < L; ++l) bounds[l] = guessedBound(s, g, l, s.nearestGuesses[g.near[l].self]);
    if (laneBits(bounds == none) != 0) {
        bounds = nearBounds(s, g, 1, bounds);
        const unsigned everyLane = (1u << L) - 1;
        const unsigned withNone = laneBits(bounds == none);
        for (int span = 2; withNone != everyLane && span <= lowest(r, 3) && laneBits(bounds == none) != 0; ++span)
            bounds = nearBounds(s, g, span, bounds);
    }
    for (int l = 0; l < L; ++l) {
        g.nearSquare[l] = bounds[l] * (1 + 1e-12);
        // A candidate's square is at most nearSquare, so its x and y are
        // within the root of it of the lane's, and its row and column within
        // that plus one.
        const int reach = static_cast<int>(__builtin_sqrt(g.nearSquare[l])) + 2;
        g.nearRowFrom = lowest(g.nearRowFrom, g.near[l].ci - reach);
        g.nearRowTo = highest(g.nearRowTo, g.near[l].ci + reach);
        g.nearColumnFrom = lowest(g.nearColumnFrom, g.near[l].cj - reach);
        g.nearColumnTo = highest(g.nearColumnTo, g.near[l].cj + reach);
        g.xi2[l] = -2.0 * g.xi[l];
        g.yi2[l] = -2.0 * g.yi[l];
        g.zi2[l] = -2.0 * g.zi[l];
        const double below = s.perceived - (g.xi[l] * g.xi[l] + g.yi[l] * g.yi[l] + g.zi[l] * g.zi[l]);
        g.surelyBelow[l] = below - 1e-6;
        g.maybeBelow[l] = below + 1e-6;
    }
    walk<L>(s, g);
    for (int l = 0; l < count; ++l) {
        const NearState& n = g.near[l];
        out[members[l]] = {static_cast<int>(g.szomszeddb[l]), g.sumvx[l], g.sumvy[l], g.sumvz[l],
                           n.mintav, n.kozelx, n.kozely, n.kozelz};
        // Written only when it changed: the members' guesses share cache
        // lines with other groups' members, which other threads search, and
        // an unchanged line stays shared among them.
        if (s.nearestGuesses[members[l]] != n.nearest) s.nearestGuesses[members[l]] = n.nearest;
    }
}

}  // namespace
