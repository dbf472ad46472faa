// The lane kernel of lane_search.h, included by one source file per
// instruction set. Everything here has internal linkage, so each file keeps
// its own build of it; the file sets the instruction set before including it.
//
// Requires before inclusion: LaneSource and Neighbours, kerekit, the types
// LaneTypes<L>::Real (L doubles) and ::Mask (their comparison), and a
// function unsigned lanesAtMost(Real a, Real b) with bit l set where
// a[l] <= b[l], for the file's lane width.

namespace {

// Own small helpers rather than the standard library's templates, whose
// instances would be shared with the rest of the program.
inline int lowest(int a, int b) { return a < b ? a : b; }
inline int highest(int a, int b) { return a > b ? a : b; }

// The nearest-neighbour rule for lane l and entry j, which is at squared
// distance d2 and might be nearer than the lane's best: only an entry of the
// lane's own cube, not the individual itself, strictly nearer.
struct NearState {
    int ci, cj, ck, self;
    double mintav, kozelx, kozely, kozelz;
};

inline bool settleNear(NearState& n, const nyajkor::LaneSource& s, int a, int j, double d2) {
    if (s.occupants[j] == n.self) return false;
    if (a < n.ci - s.r || a > n.ci + s.r) return false;
    const int b = nyajkor::kerekit(s.ey[j]);
    if (b < n.cj - s.r || b > n.cj + s.r) return false;
    const int c = s.heights[j];
    if (c < n.ck - s.r || c > n.ck + s.r) return false;
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
            for (int j = s.columnStarts[col]; j < s.columnStarts[col + 1]; ++j) {
                if (s.heights[j] < n.ck - 1 || s.heights[j] > n.ck + 1 || s.occupants[j] == n.self) continue;
                const double dx = s.ex[j] - xi, dy = s.ey[j] - yi, dz = s.ez[j] - zi;
                const double d2 = dx * dx + dy * dy + dz * dz;
                if (d2 < bound) bound = d2;
            }
        }
    return bound;
}

// The walk for one individual alone: its own cube's rows, the entries of
// each row's stretch in visiting order. Where individuals are few, a group's
// union of cubes would hold many times the entries of each cube, so the
// lanes would do more work than the individuals one by one.
inline void searchAlone(const nyajkor::LaneSource& s, int i, nyajkor::Neighbours* out) {
    const int r = s.r;
    const double xi = s.x[i], yi = s.y[i], zi = s.z[i];
    NearState n = {nyajkor::kerekit(xi), nyajkor::kerekit(yi), nyajkor::kerekit(zi), i, 2.0 * r, 0, 0, 0};
    double nearSquare = 2.0 * r * (2.0 * r) * (1 + 1e-12);
    double sumvx = 0, sumvy = 0, sumvz = 0;
    int szomszeddb = 0;
    const int bFrom = highest(n.cj - r, 0), bTo = lowest(n.cj + r, s.xmeret - 1);
    for (int a = highest(n.ci - r, 0); a <= lowest(n.ci + r, s.xmeret - 1) && bFrom <= bTo; ++a) {
        const int begin = s.columnStarts[nyajkor::OccupancyLattice::column(a, bFrom)];
        const int end = s.columnStarts[nyajkor::OccupancyLattice::column(a, bTo) + 1];
        for (int j = begin; j < end; ++j) {
            // the columns hold every height: most entries lie above or below the cube
            if (s.heights[j] < n.ck - r || s.heights[j] > n.ck + r) continue;
            const double dx = xi - s.ex[j], dy = yi - s.ey[j], dz = zi - s.ez[j];
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 < s.perceived && d2 > 0) {
                sumvx += s.evx[j];
                sumvy += s.evy[j];
                sumvz += s.evz[j];
                ++szomszeddb;
            }
            if (d2 <= nearSquare && settleNear(n, s, a, j, d2)) nearSquare = d2 * (1 + 1e-12);
        }
    }
    out[i] = {szomszeddb, sumvx, sumvy, sumvz, n.mintav, n.kozelx, n.kozely, n.kozelz};
}

template <int L>
void searchLaneGroup(const nyajkor::LaneSource& s, const std::int32_t* members, int count,
                     nyajkor::Neighbours* out) {
    using Real = typename LaneTypes<L>::Real;
    using Mask = typename LaneTypes<L>::Mask;
    const int r = s.r;
    NearState near[L];
    Real xi, yi, zi;
    // A candidate can be nearer than the lane's best only if its square is
    // at most a hair above the best's square; settleNear compares the roots.
    Real nearSquare;
    int aFrom = 1 << 30, aTo = -(1 << 30), bFrom = 1 << 30, bTo = -(1 << 30);
    for (int l = 0; l < L; ++l) {
        // spare lanes repeat the last member; their results are dropped
        const int i = members[l < count ? l : count - 1];
        xi[l] = s.x[i];
        yi[l] = s.y[i];
        zi[l] = s.z[i];
        NearState& n = near[l];
        n = {nyajkor::kerekit(s.x[i]), nyajkor::kerekit(s.y[i]), nyajkor::kerekit(s.z[i]), i, 2.0 * r, 0, 0, 0};
        aFrom = lowest(aFrom, n.ci - r);
        aTo = highest(aTo, n.ci + r);
        bFrom = lowest(bFrom, n.cj - r);
        bTo = highest(bTo, n.cj + r);
    }
    // members much farther apart than a cube's width: one by one
    if ((aTo - aFrom) + (bTo - bFrom) > 2 * (2 * r + 1) + 2 * r) {
        for (int l = 0; l < count; ++l) searchAlone(s, members[l], out);
        return;
    }
    aFrom = highest(aFrom, 0);
    aTo = lowest(aTo, s.xmeret - 1);
    bFrom = highest(bFrom, 0);
    bTo = lowest(bTo, s.xmeret - 1);
    for (int l = 0; l < L; ++l) nearSquare[l] = nearBound(near[l], s, xi[l], yi[l], zi[l]) * (1 + 1e-12);

    const double* __restrict ex = s.ex;
    const double* __restrict ey = s.ey;
    const double* __restrict ez = s.ez;
    const double* __restrict evx = s.evx;
    const double* __restrict evy = s.evy;
    const double* __restrict evz = s.evz;
    const std::int32_t* __restrict starts = s.columnStarts;
    const double perceived = s.perceived;
    // Scalars in the vector expressions below stand for all lanes at once.
    // The offsets are taken from the individual to the entry: the squares
    // are the same as the other way round, bit for bit.
    Real sumvx = {}, sumvy = {}, sumvz = {};
    Real szomszeddb = {};  // counted in doubles: one masked addition, exact far beyond 5000
    for (int a = aFrom; a <= aTo && bFrom <= bTo; ++a) {
        // the union's columns (a, bFrom..bTo): one stretch in visiting order
        const int begin = starts[nyajkor::OccupancyLattice::column(a, bFrom)];
        const int end = starts[nyajkor::OccupancyLattice::column(a, bTo) + 1];
        for (int j = begin; j < end; ++j) {
            const Real dx = xi - ex[j];
            const Real dy = yi - ey[j];
            const Real dz = zi - ez[j];
            const Real d2 = dx * dx + dy * dy + dz * dz;
            const Mask seen = (d2 < perceived) & (d2 > 0.0);
            sumvx = seen ? sumvx + evx[j] : sumvx;
            sumvy = seen ? sumvy + evy[j] : sumvy;
            sumvz = seen ? sumvz + evz[j] : sumvz;
            szomszeddb = seen ? szomszeddb + 1.0 : szomszeddb;
            if (unsigned nearer = lanesAtMost(d2, nearSquare)) {
                for (int l = 0; nearer != 0; ++l, nearer >>= 1) {
                    if (!(nearer & 1)) continue;
                    // the lane's square again, the same bits as in the vector
                    const double ldx = xi[l] - ex[j], ldy = yi[l] - ey[j], ldz = zi[l] - ez[j];
                    const double ld2 = ldx * ldx + ldy * ldy + ldz * ldz;
                    if (settleNear(near[l], s, a, j, ld2)) nearSquare[l] = ld2 * (1 + 1e-12);
                }
            }
        }
    }
    for (int l = 0; l < count; ++l) {
        const NearState& n = near[l];
        out[members[l]] = {static_cast<int>(szomszeddb[l]), sumvx[l], sumvy[l], sumvz[l],
                           n.mintav, n.kozelx, n.kozely, n.kozelz};
    }
}

}  // namespace
