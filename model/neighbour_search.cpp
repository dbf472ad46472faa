#include "model/neighbour_search.h"

#include <algorithm>
#include <cmath>

#include "model/invariants.h"
#include "model/lane_search.h"
#include "model/rounding.h"

namespace nyajkor {

namespace {

// Far enough outside the lattice that a cell index formed from it could
// overflow; the walls keep every individual a few units inside the box.
[[maybe_unused]] constexpr double kFarOutside = 1e6;  // read by the invariant checks only

constexpr int kTilesPerRow = (kRacsX + ColumnIndex::kTile - 1) / ColumnIndex::kTile;

constexpr int kRadii = kLargestRadius + 1;

std::size_t radiusRow(int r) { return static_cast<std::size_t>(std::clamp(r, 0, kLargestRadius)); }

// The squared distances of `count` entries from (xi, yi, zi): a loop of its
// own, with no branch, so that it vectorises.
void squaredDistances(const double* px, const double* py, const double* pz, int count, double xi, double yi,
                      double zi, double* squares) {
    for (int j = 0; j < count; ++j) {
        const double dx = px[j] - xi;
        const double dy = py[j] - yi;
        const double dz = pz[j] - zi;
        squares[j] = dx * dx + dy * dy + dz * dz;
    }
}

// How far in b from its own column b0 an individual at radius r can
// perceive an entry of a row whose x differs from its own by at least g:
// closer than r means |y - y0| < sqrt(r^2 - g^2), and the column is within
// half a cell of y on either side, so |b - b0| < sqrt(r^2 - g^2) + 1. The
// extra 1 under the root swallows the rounding of the computed squares.
int rowHalfWidth(int r, int g) {
    const int underRoot = r * r + 1 - g * g;
    return underRoot < 0 ? -1 : static_cast<int>(std::sqrt(static_cast<double>(underRoot))) + 1;
}

}  // namespace

// Correctly rounded sqrt is monotonic, so the set of squares whose root
// reaches r is an upward-closed interval: its least member is the threshold.
double perceptionSquareThreshold(int r) {
    double t = static_cast<double>(r) * r;
    while (t > 0 && std::sqrt(std::nextafter(t, 0.0)) >= r) t = std::nextafter(t, 0.0);
    return t;
}

Neighbours searchPlainCube(const Flock& f, int i) {
    const int r = f.latotav;
    const int ci = roundHalfEven(f.x[i]);
    const int cj = roundHalfEven(f.y[i]);
    const int ck = roundHalfEven(f.z[i]);
    const std::int32_t* heights = f.racs.heights();
    const std::int32_t* occupants = f.racs.individuals();
    Neighbours n;
    n.mintav = 2.0 * r;
    for (int a = ci - r; a <= ci + r; ++a) {
        if (a < 0 || a >= f.xmeret) continue;
        for (int b = cj - r; b <= cj + r; ++b) {
            if (b < 0 || b >= f.xmeret) continue;
            // the column's occupied cells ascend in c: a cursor steps
            // through them as the walk passes their cells
            const int col = OccupancyLattice::column(a, b);
            int next = f.racs.columnStart(col);
            const int end = f.racs.columnStart(col + 1);
            while (next < end && heights[next] < ck - r) ++next;
            for (int c = ck - r; c <= ck + r; ++c) {
                if (c < 0 || c >= f.zmeret) continue;
                const int k = next < end && heights[next] == c ? occupants[next++] : 0;
                if (k == 0 || k == i) continue;
                const double dx = f.x[k] - f.x[i];
                const double dy = f.y[k] - f.y[i];
                const double dz = f.z[k] - f.z[i];
                const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
                if (d < n.mintav) {
                    n.mintav = d;
                    n.kozelx = f.x[k];
                    n.kozely = f.y[k];
                    n.kozelz = f.z[k];
                }
                if (d < r && d > 0) {
                    n.sumvx += f.vx[k];
                    n.sumvy += f.vy[k];
                    n.sumvz += f.vz[k];
                    n.szomszeddb += 1;
                }
            }
        }
    }
    return n;
}

ColumnIndex::ColumnIndex()
    : ex(kMaxEgyed), ey(kMaxEgyed), ez(kMaxEgyed), evx(kMaxEgyed), evy(kMaxEgyed), evz(kMaxEgyed),
      eb(kMaxEgyed), ec(kMaxEgyed), norms(kMaxEgyed), slotOf(kMaxEgyed + 1), nearestGuesses(kMaxEgyed + 1),
      squareThresholds(kRadii), rowHalfWidths(kRadii * kRadii),
      laneOrder_(kMaxEgyed), tileOf_(kMaxEgyed), tileStarts_(kTilesPerRow * kTilesPerRow + 1) {
    for (int r = 0; r < kRadii; ++r) {
        squareThresholds[r] = perceptionSquareThreshold(r);
        for (int g = 0; g < kRadii; ++g) rowHalfWidths[r * kRadii + g] = rowHalfWidth(r, g);
    }
}

void ColumnIndex::rebuild(const Flock& f) {
    // Positions and velocities of the registered individuals, entry by
    // entry, so that a stretch of entries reads them contiguously.
    racs = &f.racs;
    const std::int32_t* occupants = f.racs.individuals();
    std::fill(slotOf.begin(), slotOf.end(), -1);
    for (int slot = 0; slot < f.racs.occupiedCells(); ++slot) {
        const int k = occupants[slot];
        slotOf[k] = slot;
        eb[slot] = roundHalfEven(f.y[k]);
        ec[slot] = f.racs.heights()[slot];
        ex[slot] = f.x[k];
        ey[slot] = f.y[k];
        ez[slot] = f.z[k];
        evx[slot] = f.vx[k];
        evy[slot] = f.vy[k];
        evz[slot] = f.vz[k];
        norms[slot] = f.x[k] * f.x[k] + f.y[k] * f.y[k] + f.z[k] * f.z[k];
    }
    orderForLanes(f);
}

void ColumnIndex::orderForLanes(const Flock& f) {
    // a counting sort of the cell order by tile, which keeps the cell order
    // within each tile
    const std::int32_t* order = f.racs.cellOrder();
    laneOrderCount_ = f.racs.cellOrderCount();
    std::fill(tileStarts_.begin(), tileStarts_.end(), 0);
    for (int m = 0; m < laneOrderCount_; ++m) {
        const int i = order[m];
        tileOf_[m] = roundHalfEven(f.x[i]) / kTile * kTilesPerRow + roundHalfEven(f.y[i]) / kTile;
        ++tileStarts_[tileOf_[m] + 1];
    }
    for (std::size_t t = 1; t < tileStarts_.size(); ++t) tileStarts_[t] += tileStarts_[t - 1];
    for (int m = 0; m < laneOrderCount_; ++m) laneOrder_[tileStarts_[tileOf_[m]]++] = order[m];
}

LaneSource ColumnIndex::laneSource(const Flock& f) const {
    NYAJKOR_INVARIANT(f.latotav >= 0 && f.latotav <= kLargestRadius);
    LaneSource s;
    s.ex = ex.data();
    s.ey = ey.data();
    s.ez = ez.data();
    s.evx = evx.data();
    s.evy = evy.data();
    s.evz = evz.data();
    s.eb = eb.data();
    s.ec = ec.data();
    s.norms = norms.data();
    s.heights = racs->heights();
    s.occupants = racs->individuals();
    s.columnStarts = racs->columnStarts();
    s.slotOf = slotOf.data();
    s.nearestGuesses = nearestGuesses.data();
    s.x = f.x.data();
    s.y = f.y.data();
    s.z = f.z.data();
    s.r = f.latotav;
    const std::size_t r = radiusRow(f.latotav);
    s.perceived = squareThresholds[r];
    s.rowHalfWidths = rowHalfWidths.data() + r * kRadii;
    s.xmeret = f.xmeret;
    return s;
}

Neighbours ColumnIndex::search(const Flock& f, int i) const {
    const int r = f.latotav;
    // An individual searched here may lie outside the lattice (one that the
    // lane search does not take), but not so far that its cells overflow.
    NYAJKOR_INVARIANT(r >= 0 && r <= kLargestRadius);
    NYAJKOR_INVARIANT(std::abs(f.x[i]) < kFarOutside && std::abs(f.y[i]) < kFarOutside &&
                      std::abs(f.z[i]) < kFarOutside);
    const int ci = roundHalfEven(f.x[i]);
    const int cj = roundHalfEven(f.y[i]);
    const int ck = roundHalfEven(f.z[i]);
    const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
    const double perceived = squareThresholds[radiusRow(r)];
    // Nobody found yet: the nearest distance starts at 2r, the position at the origin.
    double mintav = 2.0 * r, kozelx = 0, kozely = 0, kozelz = 0;
    // A candidate can be nearer than mintav only if its square is at most a
    // hair above mintav's square; the exact test then compares the roots.
    double nearSquare = mintav * mintav * (1 + 1e-12);
    const int aFrom = std::max(ci - r, 0), aTo = std::min(ci + r, f.xmeret - 1);
    const int bFrom = std::max(cj - r, 0), bTo = std::min(cj + r, f.xmeret - 1);
    const int cFrom = ck - r, cTo = ck + r;
    double squares[kMaxEgyed];
    int perceivedEntries[kMaxEgyed];
    double sumvx = 0, sumvy = 0, sumvz = 0;
    int szomszeddb = 0;
    // a cube wholly beside the lattice in b holds nobody (in a, the loop
    // below does not start)
    if (bFrom > bTo) return {0, 0, 0, 0, mintav, kozelx, kozely, kozelz};
    for (int a = aFrom; a <= aTo; ++a) {
        // the columns (a, bFrom..bTo): one stretch of entries in visiting order
        const int begin = racs->columnStart(OccupancyLattice::column(a, bFrom));
        const int count = racs->columnStart(OccupancyLattice::column(a, bTo) + 1) - begin;
        const double* px = ex.data() + begin;
        const double* py = ey.data() + begin;
        const double* pz = ez.data() + begin;
        const std::int32_t* ph = racs->heights() + begin;
        squaredDistances(px, py, pz, count, xi, yi, zi, squares);
        for (int j = 0; j < count; ++j) {
            const double d2 = squares[j];
            const bool inCube = (ph[j] >= cFrom) & (ph[j] <= cTo);
            // the individual itself is the one entry at square 0 that is no
            // candidate; another one on the same spot is
            if (inCube & (d2 <= nearSquare) && racs->individuals()[begin + j] != i) {
                const double d = std::sqrt(d2);
                if (d < mintav) {
                    mintav = d;
                    kozelx = px[j];
                    kozely = py[j];
                    kozelz = pz[j];
                    nearSquare = d2 * (1 + 1e-12);
                }
            }
            // note the perceived ones in visiting order, without a branch;
            // square 0 (the individual itself, or one on the same spot) is not perceived
            perceivedEntries[szomszeddb] = begin + j;
            szomszeddb += inCube & (d2 < perceived) & (d2 > 0);
        }
    }
    // their velocities, summed in the order they were met
    for (int p = 0; p < szomszeddb; ++p) {
        sumvx += evx[perceivedEntries[p]];
        sumvy += evy[perceivedEntries[p]];
        sumvz += evz[perceivedEntries[p]];
    }
    return {szomszeddb, sumvx, sumvy, sumvz, mintav, kozelx, kozely, kozelz};
}

}  // namespace nyajkor
