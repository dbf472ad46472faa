// The lane kernel of lane_search.h, included by one source file per
// instruction set. Everything here has internal linkage, so each file keeps
// its own build of it; the file sets the instruction set before including it.
//
// Requires before inclusion: LaneSource and Neighbours, roundHalfEven, LaneTypes
// (model/lane_types.h) in the enclosing namespace, and a
// function unsigned lanesAtMost(Real a, Real b) with bit l set where
// a[l] <= b[l], and unsigned laneBits(Mask m) with bit l set where m[l] is
// true, for the file's lane width.

namespace {

// Own small helpers rather than the standard library's templates, whose
// instances would be shared with the rest of the program.
inline int lowest(int a, int b) { return a < b ? a : b; }
inline int highest(int a, int b) { return a > b ? a : b; }

// What a lane knows of its individual: its cell, its index, and the
// nearest neighbour found so far.
struct NearState {
    int ci, cj, ck, self;
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
    n.kozelx = s.ex[j];
    n.kozely = s.ey[j];
    n.kozelz = s.ez[j];
    return true;
}

// A bound on lane l's nearest squared distance from the cells next to its
// own: the least square of an individual there, or the starting (2r)^2. The
// nearest one found in the end is at most this far, so the walk need settle
// only candidates up to it, however far the first ones met are.
inline double nearBound(const NearState& n, const nyajkor::LaneSource& s, double xi, double yi, double zi) {
    double bound = 2.0 * s.r * (2.0 * s.r);
    for (int a = highest(n.ci - 1, 0); a <= lowest(n.ci + 1, s.xmeret - 1); ++a)
        for (int b = highest(n.cj - 1, 0); b <= lowest(n.cj + 1, s.xmeret - 1); ++b) {
            const int col = nyajkor::OccupancyLattice::column(a, b);
            // a column ascends in height: stop above the cells next to the own one
            for (int j = s.columnStarts[col]; j < s.columnStarts[col + 1] && s.heights[j] <= n.ck + 1; ++j) {
                if (s.heights[j] < n.ck - 1 || s.occupants[j] == n.self) continue;
                const double dx = s.ex[j] - xi, dy = s.ey[j] - yi, dz = s.ez[j] - zi;
                const double d2 = dx * dx + dy * dy + dz * dz;
                if (d2 < bound) bound = d2;
            }
        }
    return bound;
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
    // each lane's cube, as doubles to compare with the entries' cells
    Real aLow, aHigh, bLow, bHigh, cLow, cHigh;
    int aFrom = 1 << 30, aTo = -(1 << 30), bFrom = 1 << 30, bTo = -(1 << 30);
    Real sumvx = {}, sumvy = {}, sumvz = {};
    Real szomszeddb = {};  // counted in doubles: one masked addition, exact far beyond 5000
};

// The walk over the union's entries in visiting order. Where most lanes
// already know a neighbour closer than r, entries that may be nearer are
// rare, and the cube test waits for them (cubeFirst false); where few do,
// most entries are within reach of some lane's 2r, and testing the cubes
// first spares the branch.
template <int L, bool cubeFirst>
void walkUnion(const nyajkor::LaneSource& s, LaneGroup<L>& g) {
    using Real = typename LaneTypes<L>::Real;
    using Mask = typename LaneTypes<L>::Mask;
    const double* __restrict ex = s.ex;
    const double* __restrict ey = s.ey;
    const double* __restrict ez = s.ez;
    const double* __restrict evx = s.evx;
    const double* __restrict evy = s.evy;
    const double* __restrict evz = s.evz;
    const double* __restrict eb = s.eb;
    const double* __restrict ec = s.ec;
    const std::int32_t* __restrict starts = s.columnStarts;
    const double perceived = s.perceived;
    const Real xi = g.xi, yi = g.yi, zi = g.zi;
    Real sumvx = {}, sumvy = {}, sumvz = {}, szomszeddb = {};
    // Scalars in the vector expressions below stand for all lanes at once.
    // The offsets are taken from the individual to the entry: the squares
    // are the same as the other way round, bit for bit.
    for (int a = g.aFrom; a <= g.aTo && g.bFrom <= g.bTo; ++a) {
        // the union's columns (a, bFrom..bTo): one stretch in visiting order
        const int begin = starts[nyajkor::OccupancyLattice::column(a, g.bFrom)];
        const int end = starts[nyajkor::OccupancyLattice::column(a, g.bTo) + 1];
        const Mask rowInCube = (g.aLow <= a) & (g.aHigh >= a);
        for (int j = begin; j < end; ++j) {
            const Real dx = xi - ex[j];
            const Real dy = yi - ey[j];
            const Real dz = zi - ez[j];
            const Real d2 = dx * dx + dy * dy + dz * dz;
            Mask seen = d2 < perceived;
            // only an entry of the lane's own cube can be its nearest
            auto inCube = [&] {
                return laneBits(rowInCube & (g.bLow <= eb[j]) & (g.bHigh >= eb[j]) & (g.cLow <= ec[j]) &
                                (g.cHigh >= ec[j]));
            };
            unsigned nearer = lanesAtMost(d2, g.nearSquare);
            if (cubeFirst) nearer &= inCube();
            // A square of 0 (the lane's individual itself, or one on the
            // same spot) is never perceived. It is always at most the
            // lane's nearest square, in its cube, so only this rare branch
            // need test it.
            if (nearer) {
                seen &= d2 > 0.0;
                if (!cubeFirst) nearer &= inCube();
                for (int l = 0; nearer != 0; ++l, nearer >>= 1) {
                    if (!(nearer & 1)) continue;
                    // the lane's square again, the same bits as in the vector
                    const double ldx = xi[l] - ex[j], ldy = yi[l] - ey[j], ldz = zi[l] - ez[j];
                    const double ld2 = ldx * ldx + ldy * ldy + ldz * ldz;
                    if (settleNear(g.near[l], s, j, ld2)) g.nearSquare[l] = ld2 * (1 + 1e-12);
                }
            }
            sumvx = seen ? sumvx + evx[j] : sumvx;
            sumvy = seen ? sumvy + evy[j] : sumvy;
            sumvz = seen ? sumvz + evz[j] : sumvz;
            szomszeddb = seen ? szomszeddb + 1.0 : szomszeddb;
        }
    }
    g.sumvx = sumvx;
    g.sumvy = sumvy;
    g.sumvz = sumvz;
    g.szomszeddb = szomszeddb;
}

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
        NearState& n = g.near[l];
        n = {nyajkor::roundHalfEven(s.x[i]), nyajkor::roundHalfEven(s.y[i]), nyajkor::roundHalfEven(s.z[i]), i, 2.0 * r, 0, 0, 0};
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
    }
    g.aFrom = highest(g.aFrom, 0);
    g.aTo = lowest(g.aTo, s.xmeret - 1);
    g.bFrom = highest(g.bFrom, 0);
    g.bTo = lowest(g.bTo, s.xmeret - 1);
    int lanesWithANeighbour = 0;
    for (int l = 0; l < L; ++l) {
        const double bound = nearBound(g.near[l], s, g.xi[l], g.yi[l], g.zi[l]);
        g.nearSquare[l] = bound * (1 + 1e-12);
        lanesWithANeighbour += bound < s.perceived;
    }
    if (lanesWithANeighbour * 2 >= L)
        walkUnion<L, false>(s, g);
    else
        walkUnion<L, true>(s, g);
    for (int l = 0; l < count; ++l) {
        const NearState& n = g.near[l];
        out[members[l]] = {static_cast<int>(g.szomszeddb[l]), g.sumvx[l], g.sumvy[l], g.sumvz[l],
                           n.mintav, n.kozelx, n.kozely, n.kozelz};
    }
}

}  // namespace
