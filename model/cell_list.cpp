#include "model/cell_list.h"

#include <algorithm>
#include <atomic>
#include <cmath>

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

void CellList::Candidates::clear() {
    for (auto* v : {&x, &y, &z, &vx, &vy, &vz}) v->clear();
    for (auto* v : {&a, &b, &c, &id}) v->clear();
}

void CellList::Candidates::append(const CellList& cells, std::int32_t e) {
    x.push_back(cells.ex_[e]);
    y.push_back(cells.ey_[e]);
    z.push_back(cells.ez_[e]);
    vx.push_back(cells.evx_[e]);
    vy.push_back(cells.evy_[e]);
    vz.push_back(cells.evz_[e]);
    a.push_back(cells.ea_[e]);
    b.push_back(cells.eb_[e]);
    c.push_back(cells.ec_[e]);
    id.push_back(cells.eid_[e]);
}

// The lattice cell of individual i: its rounded position, in a periodic box
// with the cell at the extent itself taken as 0 (a position may stand at
// the extent exactly after a wrap that rounded up). In a walled box the
// cell may lie outside the lattice; then the individual is not registered.
std::array<int, 3> CellList::latticeCell(const Flock& f, int i) const {
    const double p[3] = {f.x[i], f.y[i], f.z[i]};
    std::array<int, 3> cell{};
    for (int k = 0; k < 3; ++k) {
        cell[k] = roundHalfEven(std::clamp(p[k], -kFarOutside, kFarOutside));
        if (box_.periodic() && cell[k] == box_.extent[k]) cell[k] = 0;
    }
    return cell;
}

void CellList::rebuild(const Flock& f) {
    NYAJKOR_INVARIANT(f.latotav >= 0 && f.latotav <= kLargestRadius);
    box_ = f.box;
    r_ = f.latotav;
    const int n = f.egyeddb;
    side_ = coarseSide(box_, r_, n);
    for (int k = 0; k < 3; ++k) coarse_[k] = (box_.extent[k] + side_ - 1) / side_;
    const int cells = coarse_[0] * coarse_[1] * coarse_[2];

    // a counting sort of the individuals by coarse cell, ascending within each
    std::vector<std::int32_t> coarseOfMember(static_cast<std::size_t>(n));
    memberStart_.assign(static_cast<std::size_t>(cells) + 1, 0);
    for (int i = 1; i <= n; ++i) {
        const std::array<int, 3> cell = latticeCell(f, i);
        int cc[3];
        for (int k = 0; k < 3; ++k) cc[k] = coarseOf(std::clamp(cell[k], 0, box_.extent[k] - 1));
        coarseOfMember[i - 1] = coarseIndex(cc[0], cc[1], cc[2]);
        ++memberStart_[coarseOfMember[i - 1] + 1];
    }
    for (int c = 0; c < cells; ++c) memberStart_[c + 1] += memberStart_[c];
    members_.resize(static_cast<std::size_t>(n));
    {
        std::vector<std::int32_t> next(memberStart_.begin(), memberStart_.end() - 1);
        for (int i = 1; i <= n; ++i) members_[next[coarseOfMember[i - 1]]++] = i;
    }

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
        const std::array<int, 3> lc = latticeCell(f, i);
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
        const std::array<int, 3> lc = latticeCell(f, i);
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
// once: clamped to the lattice in a walled box, wrapped in a periodic one.
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
}

// The registered individuals of the coarse cells that the cubes of coarse
// cell `cell`'s members can meet.
void CellList::gather(int cell, ThreadScratch& t) const {
    const int cc[3] = {cell / (coarse_[1] * coarse_[2]), cell / coarse_[2] % coarse_[1], cell % coarse_[2]};
    for (int k = 0; k < 3; ++k) {
        const int lo = cc[k] * side_, hi = std::min(lo + side_, box_.extent[k]) - 1;
        coarseAround(lo - r_, hi + r_, k, t.around[k]);
    }
    t.candidates.clear();
    for (int ca : t.around[0])
        for (int cb : t.around[1])
            for (int ccc : t.around[2]) {
                const int c = coarseIndex(ca, cb, ccc);
                for (int e = entryStart_[c]; e < entryStart_[c + 1]; ++e) t.candidates.append(*this, e);
            }
}

Neighbours CellList::searchAmong(const Flock& f, int i, const std::array<int, 3>& own, ThreadScratch& t) const {
    const int r = r_, width = 2 * r + 1;
    const bool periodic = box_.periodic();
    const int ea = box_.extent[0], eb = box_.extent[1], ec = box_.extent[2];
    const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
    const Candidates& cand = t.candidates;
    // the offset of a candidate's cell from the cube's first cell along an
    // axis: 0..2r inside the cube
    auto offset = [&](int cell, int ownCell, int e) {
        int d = cell - ownCell + r;
        if (periodic) {
            if (d < 0) d += e;
            else if (d >= e) d -= e;
        }
        return d;
    };
    Neighbours n;
    n.mintav = 2.0 * r;
    bool found = false;
    int nearestKey = 0;
    t.perceived.clear();
    for (std::size_t j = 0; j < cand.size(); ++j) {
        if (cand.id[j] == i) continue;
        const int da = offset(cand.a[j], own[0], ea);
        const int db = offset(cand.b[j], own[1], eb);
        const int dc = offset(cand.c[j], own[2], ec);
        if (static_cast<unsigned>(da) > static_cast<unsigned>(2 * r) ||
            static_cast<unsigned>(db) > static_cast<unsigned>(2 * r) ||
            static_cast<unsigned>(dc) > static_cast<unsigned>(2 * r))
            continue;
        double dx = cand.x[j] - xi;
        double dy = cand.y[j] - yi;
        double dz = cand.z[j] - zi;
        if (periodic) {
            dx = minimumImage(dx, ea);
            dy = minimumImage(dy, eb);
            dz = minimumImage(dz, ec);
        }
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        const int key = (da * width + db) * width + dc;
        // the nearest, and of equally near ones the first the cube walk meets
        if (d < n.mintav || (found && d == n.mintav && key < nearestKey)) {
            found = true;
            nearestKey = key;
            n.mintav = d;
            if (periodic) {
                n.kozelx = xi + dx;
                n.kozely = yi + dy;
                n.kozelz = zi + dz;
            } else {
                n.kozelx = cand.x[j];
                n.kozely = cand.y[j];
                n.kozelz = cand.z[j];
            }
        }
        if (d < r && d > 0) t.perceived.push_back({key, static_cast<std::int32_t>(j)});
    }
    // summed in the order the cube walk meets them
    std::sort(t.perceived.begin(), t.perceived.end(),
              [](const Perceived& p, const Perceived& q) { return p.key < q.key; });
    for (const Perceived& p : t.perceived) {
        n.sumvx += cand.vx[p.candidate];
        n.sumvy += cand.vy[p.candidate];
        n.sumvz += cand.vz[p.candidate];
    }
    n.szomszeddb = static_cast<int>(t.perceived.size());
    return n;
}

Neighbours CellList::search(const Flock& f, int i) const {
    const std::array<int, 3> own = latticeCell(f, i);
    int cc[3];
    for (int k = 0; k < 3; ++k) cc[k] = coarseOf(std::clamp(own[k], 0, box_.extent[k] - 1));
    ThreadScratch t;
    gather(coarseIndex(cc[0], cc[1], cc[2]), t);
    return searchAmong(f, i, own, t);
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
                    visit(i, searchAmong(f, i, latticeCell(f, i), t));
                }
            }
        }
    });
}

}  // namespace nyajkor
