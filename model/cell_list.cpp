#include "model/cell_list.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "model/invariants.h"
#include "model/rounding.h"

namespace nyajkor {

namespace {

// Beyond this a coordinate is clamped before it is rounded to a cell: only a
// state set up by hand lies so far outside a walled box, and its cube then
// meets no lattice cell either way.
constexpr double kFarOutside = 1e6;

// Individual indices fit below this many bits of a sorting key.
constexpr int kIndexBits = 20;
static_assert(kMaxResearchEgyed < (1 << kIndexBits));

// a % e in 0..e-1 for any a
int wrapped(int a, int e) {
    const int m = a % e;
    return m < 0 ? m + e : m;
}

// The coarse cell side for radius r: at least r (and 1), and at least the
// cube root of the volume per individual, grown until there are not many
// more coarse cells than individuals.
int coarseSide(const Box& box, int r, int n) {
    int side = std::max({r, 1, static_cast<int>(std::ceil(std::cbrt(box.volume() / std::max(n, 1))))});
    auto cells = [&] {
        double count = 1;
        for (int e : box.extent) count *= (e + side - 1) / side;
        return count;
    };
    while (cells() > 2.0 * n + 64) ++side;
    return side;
}

}  // namespace

// The lattice cell of individual i: its rounded position, in a periodic box
// with the cell at the extent itself taken as 0 (a position may stand at
// the extent exactly after a wrap that rounded up). In a walled box the
// cell may lie outside the lattice; then the individual is not registered.
std::array<std::int32_t, 3> CellList::latticeCell(const Flock& f, int i) const {
    const double p[3] = {f.x[i], f.y[i], f.z[i]};
    std::array<std::int32_t, 3> cell{};
    for (int k = 0; k < 3; ++k) {
        cell[k] = roundHalfEven(std::clamp(p[k], -kFarOutside, kFarOutside));
        if (box_.periodic() && cell[k] == box_.extent[k]) cell[k] = 0;
    }
    return cell;
}

// The coarse cell holding a lattice cell; one outside a walled box goes to
// the nearest coarse cell, whose neighbourhood holds every lattice cell its
// cube meets.
int CellList::coarseCellOf(const std::array<int, 3>& cell) const {
    int cc[3];
    for (int k = 0; k < 3; ++k) cc[k] = coarseOf(std::clamp(cell[k], 0, box_.extent[k] - 1));
    return coarseIndex(cc[0], cc[1], cc[2]);
}

void CellList::rebuild(const Flock& f) {
    NYAJKOR_INVARIANT(f.latotav >= 0 && f.latotav <= kLargestRadius);
    box_ = f.box;
    r_ = f.latotav;
    perceivedSquare_ = perceptionSquareThreshold(r_);
    const int n = f.egyeddb;
    side_ = coarseSide(box_, r_, n);
    for (int k = 0; k < 3; ++k) coarse_[k] = (box_.extent[k] + side_ - 1) / side_;
    const int cells = coarse_[0] * coarse_[1] * coarse_[2];

    // a counting sort of the individuals by coarse cell, ascending within each
    cellOf_.resize(static_cast<std::size_t>(n) + 1);
    coarseOfMember_.resize(static_cast<std::size_t>(n) + 1);
    memberStart_.assign(static_cast<std::size_t>(cells) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        cellOf_[i] = latticeCell(f, i);
        coarseOfMember_[i] = coarseCellOf(cellOf_[i]);
        ++memberStart_[coarseOfMember_[i] + 1];
    }
    for (int c = 0; c < cells; ++c) memberStart_[c + 1] += memberStart_[c];
    members_.resize(static_cast<std::size_t>(n));
    entryStart_.assign(memberStart_.begin(), memberStart_.end() - 1);  // as the next free place of each cell
    for (int i = 1; i <= n; ++i) members_[entryStart_[coarseOfMember_[i]]++] = i;

    for (auto* v : {&ex_, &ey_, &ez_, &evx_, &evy_, &evz_}) v->clear();
    for (auto* v : {&ea_, &eb_, &ec_, &eid_}) v->clear();
    entryStart_.assign(static_cast<std::size_t>(cells) + 1, 0);
    std::vector<std::uint64_t> keyed;
    for (int c = 0; c < cells; ++c) {
        registerCell(f, c, keyed);
        entryStart_[c + 1] = static_cast<std::int32_t>(eid_.size());
    }
}

// The registered individuals of coarse cell `cell`: of the members that
// round into the lattice, the highest index in each lattice cell.
void CellList::registerCell(const Flock& f, int cell, std::vector<std::uint64_t>& keyed) {
    keyed.clear();
    for (int m = memberStart_[cell]; m < memberStart_[cell + 1]; ++m) {
        const int i = members_[m];
        const std::array<int, 3>& lc = cellOf_[i];
        bool inside = true;
        for (int k = 0; k < 3; ++k) inside = inside && lc[k] >= 0 && lc[k] < box_.extent[k];
        if (!inside) continue;
        const std::uint64_t place =
            (static_cast<std::uint64_t>(lc[0]) * box_.extent[1] + lc[1]) * box_.extent[2] + lc[2];
        keyed.push_back(place << kIndexBits | static_cast<std::uint64_t>(i));
    }
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t m = 0; m < keyed.size(); ++m) {
        if (m + 1 < keyed.size() && keyed[m + 1] >> kIndexBits == keyed[m] >> kIndexBits) continue;
        const int i = static_cast<int>(keyed[m] & ((1u << kIndexBits) - 1));
        const std::array<int, 3>& lc = cellOf_[i];
        ex_.push_back(f.x[i]);
        ey_.push_back(f.y[i]);
        ez_.push_back(f.z[i]);
        evx_.push_back(f.vx[i]);
        evy_.push_back(f.vy[i]);
        evz_.push_back(f.vz[i]);
        ea_.push_back(lc[0]);
        eb_.push_back(lc[1]);
        ec_.push_back(lc[2]);
        eid_.push_back(i);
    }
}

// The coarse cells along `axis` that hold the lattice cells from..to, each
// once, ascending: clamped to the lattice in a walled box, wrapped in a
// periodic one.
void CellList::coarseAround(int from, int to, int axis, std::vector<int>& out) const {
    out.clear();
    const int e = box_.extent[axis];
    if (!box_.periodic()) {
        from = std::max(from, 0);
        to = std::min(to, e - 1);
        if (from <= to)
            for (int c = coarseOf(from); c <= coarseOf(to); ++c) out.push_back(c);
        return;
    }
    if (to - from + 1 >= e) {
        for (int c = 0; c < coarse_[axis]; ++c) out.push_back(c);
        return;
    }
    for (int v = from; v <= to;) {
        const int w = wrapped(v, e);
        const int c = coarseOf(w);
        if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
        v += std::min((c + 1) * side_, e) - w;  // to the next coarse cell
    }
    std::sort(out.begin(), out.end());
}

// The stretches of entries in the coarse cells that the cubes of coarse
// cell `cell`'s members can meet: the coarse cells of one (a, b) column
// that follow one another along z are one stretch.
void CellList::stretchesAround(int cell, ThreadScratch& t) const {
    const int cc[3] = {cell / (coarse_[1] * coarse_[2]), cell / coarse_[2] % coarse_[1], cell % coarse_[2]};
    for (int k = 0; k < 3; ++k) {
        const int lo = cc[k] * side_, hi = std::min(lo + side_, box_.extent[k]) - 1;
        coarseAround(lo - r_, hi + r_, k, t.around[k]);
    }
    t.stretches.clear();
    const std::vector<int>& zs = t.around[2];
    for (int ca : t.around[0])
        for (int cb : t.around[1])
            for (std::size_t k = 0; k < zs.size();) {
                std::size_t last = k;
                while (last + 1 < zs.size() && zs[last + 1] == zs[last] + 1) ++last;
                const std::int32_t from = entryStart_[coarseIndex(ca, cb, zs[k])];
                const std::int32_t to = entryStart_[coarseIndex(ca, cb, zs[last]) + 1];
                if (from < to) t.stretches.push_back({from, to});
                k = last + 1;
            }
}

// The entries around coarse cell `cell`, copied side by side.
void CellList::gather(int cell, ThreadScratch& t) const {
    stretchesAround(cell, t);
    std::size_t count = 0;
    for (const Stretch& s : t.stretches) count += static_cast<std::size_t>(s.to - s.from);
    for (auto* v : {&t.x, &t.y, &t.z}) v->resize(count);
    for (auto* v : {&t.a, &t.b, &t.c, &t.id, &t.entry}) v->resize(count);
    std::size_t k = 0;
    for (const Stretch& s : t.stretches)
        for (std::int32_t e = s.from; e < s.to; ++e, ++k) {
            t.x[k] = ex_[e];
            t.y[k] = ey_[e];
            t.z[k] = ez_[e];
            t.a[k] = ea_[e];
            t.b[k] = eb_[e];
            t.c[k] = ec_[e];
            t.id[k] = eid_[e];
            t.entry[k] = e;
        }
    t.squares.resize(count);
    t.keys.resize(count);
    t.kept.resize(count);
    t.perceived.resize(count);
}

// The entries gathered that lie inside individual i's cube (not i itself):
// their places in t.kept, their squared distances from i in t.squares and
// their places in the cube's visiting order in t.keys; returns how many.
// The first pass has no branch, so that it vectorises.
std::size_t CellList::measure(const Flock& f, int i, ThreadScratch& t) const {
    const int r = r_, width = 2 * r + 1;
    const unsigned cube = static_cast<unsigned>(2 * r);
    const int periodic = box_.periodic() ? 1 : 0;
    const int ea = box_.extent[0], eb = box_.extent[1], ec = box_.extent[2];
    // beyond half the extent a difference is taken to the nearer image;
    // a walled box has no images
    const double inf = std::numeric_limits<double>::infinity();
    const double ha = periodic ? 0.5 * ea : inf, hb = periodic ? 0.5 * eb : inf, hc = periodic ? 0.5 * ec : inf;
    const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
    const int oa = cellOf_[i][0] - r, ob = cellOf_[i][1] - r, oc = cellOf_[i][2] - r;
    const std::size_t count = t.id.size();
    const double* __restrict px = t.x.data();
    const double* __restrict py = t.y.data();
    const double* __restrict pz = t.z.data();
    const std::int32_t* __restrict pa = t.a.data();
    const std::int32_t* __restrict pb = t.b.data();
    const std::int32_t* __restrict pc = t.c.data();
    const std::int32_t* __restrict ids = t.id.data();
    double* __restrict squares = t.squares.data();
    std::int32_t* __restrict keys = t.keys.data();
    // the offset of a cell from the cube's first cell along an axis, 0..2r
    // inside the cube; in a periodic box taken modulo the extent
    auto offset = [=](int cell, int first, int e) {
        const int d = cell - first;
        return static_cast<unsigned>(d + periodic * (static_cast<int>(d < 0) - static_cast<int>(d >= e)) * e);
    };
    // the minimum image: one extent off beyond half of it, each test in
    // turn (the squares are the same whatever the sign of a zero)
    auto image = [](double d, double e, double half) {
        d -= d > half ? e : 0.0;
        d += d < -half ? e : 0.0;
        return d;
    };
    const double fa = ea, fb = eb, fc = ec;
    for (std::size_t j = 0; j < count; ++j) {
        const unsigned da = offset(pa[j], oa, ea), db = offset(pb[j], ob, eb), dc = offset(pc[j], oc, ec);
        const double dx = image(px[j] - xi, fa, ha);
        const double dy = image(py[j] - yi, fb, hb);
        const double dz = image(pz[j] - zi, fc, hc);
        squares[j] = dx * dx + dy * dy + dz * dz;
        const int inside = static_cast<int>(da <= cube) & static_cast<int>(db <= cube) &
                           static_cast<int>(dc <= cube) & static_cast<int>(ids[j] != i);
        keys[j] = static_cast<std::int32_t>((da * width + db) * width + dc) | (inside - 1);
    }
    std::int32_t* __restrict kept = t.kept.data();
    std::size_t n = 0;
    for (std::size_t j = 0; j < count; ++j) {
        kept[n] = static_cast<std::int32_t>(j);
        n += keys[j] >= 0;
    }
    return n;
}

// Individual i's search among the entries gathered around its coarse cell.
// Perception and nearness are decided on squared distances: below the
// perception threshold exactly when the root is below r, and the root is
// taken only of a square that may be as near as the nearest so far.
Neighbours CellList::searchAmong(const Flock& f, int i, ThreadScratch& t) const {
    const std::size_t count = measure(f, i, t);
    const std::int32_t* kept = t.kept.data();
    const double* squares = t.squares.data();
    const std::int32_t* keys = t.keys.data();
    Perceived* perceived = t.perceived.data();
    Neighbours n;
    n.mintav = 2.0 * r_;
    double nearSquare = n.mintav * n.mintav * (1 + 1e-12);  // a square whose root is at most mintav is at most this
    int nearest = -1;
    std::size_t seen = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t j = kept[k];
        const double d2 = squares[j];
        perceived[seen] = {keys[j], t.entry[j]};
        seen += (d2 < perceivedSquare_) & (d2 > 0);
        if (d2 > nearSquare) continue;
        // the nearest, and of equally near ones the first the cube walk meets
        const double d = std::sqrt(d2);
        if (d < n.mintav || (nearest >= 0 && d == n.mintav && keys[j] < keys[nearest])) {
            nearest = j;
            n.mintav = d;
            nearSquare = d * d * (1 + 1e-12);
        }
    }
    if (nearest >= 0) {
        const std::int32_t e = t.entry[nearest];
        const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
        if (box_.periodic()) {
            // the image beside i: i's position plus the minimum-image difference
            n.kozelx = xi + minimumImage(ex_[e] - xi, box_.extent[0]);
            n.kozely = yi + minimumImage(ey_[e] - yi, box_.extent[1]);
            n.kozelz = zi + minimumImage(ez_[e] - zi, box_.extent[2]);
        } else {
            n.kozelx = ex_[e];
            n.kozely = ey_[e];
            n.kozelz = ez_[e];
        }
    }
    // summed in the order the cube walk meets them
    std::sort(perceived, perceived + seen, [](const Perceived& p, const Perceived& q) { return p.key < q.key; });
    for (std::size_t k = 0; k < seen; ++k) {
        n.sumvx += evx_[perceived[k].entry];
        n.sumvy += evy_[perceived[k].entry];
        n.sumvz += evz_[perceived[k].entry];
    }
    n.szomszeddb = static_cast<int>(seen);
    return n;
}

Neighbours CellList::search(const Flock& f, int i) const {
    ThreadScratch t;
    gather(coarseCellOf(cellOf_[i]), t);
    return searchAmong(f, i, t);
}

void CellList::searchAll(const Flock& f, Workers& workers,
                         const std::function<void(int, const Neighbours&)>& visit) const {
    if (scratch_.size() < static_cast<std::size_t>(workers.count())) scratch_.resize(workers.count());
    const int cells = static_cast<int>(memberStart_.size()) - 1;
    // a few coarse cells at a time, so that the threads stay busy however
    // the flock is spread
    constexpr int kChunk = 8;
    std::atomic<int> next{0};
    workers.run([&](int part) {
        ThreadScratch& t = scratch_[part];
        for (int first = next.fetch_add(kChunk); first < cells; first = next.fetch_add(kChunk)) {
            for (int c = first; c < std::min(first + kChunk, cells); ++c) {
                if (memberStart_[c] == memberStart_[c + 1]) continue;
                gather(c, t);
                for (int m = memberStart_[c]; m < memberStart_[c + 1]; ++m) {
                    const int i = members_[m];
                    visit(i, searchAmong(f, i, t));
                }
            }
        }
    });
}

}  // namespace nyajkor
