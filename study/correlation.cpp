#include "study/correlation.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <limits>
#include <stdexcept>

#include "record/real_text.h"

namespace nyajkor::study {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The velocities less their mean, stored side by side.
struct Fluctuations {
    std::vector<double> ux, uy, uz;
    double self = 0;  // (1/N) sum u.u
};

Fluctuations fluctuationsOf(const FlockPoints& p) {
    const std::size_t n = p.size();
    double sx = 0, sy = 0, sz = 0;
    for (std::size_t i = 0; i < n; ++i) sx += p.vx[i], sy += p.vy[i], sz += p.vz[i];
    const double count = static_cast<double>(n);
    const double mx = sx / count, my = sy / count, mz = sz / count;
    Fluctuations u{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
    CompensatedSum self;
    for (std::size_t i = 0; i < n; ++i) {
        u.ux[i] = p.vx[i] - mx, u.uy[i] = p.vy[i] - my, u.uz[i] = p.vz[i] - mz;
        self.add(u.ux[i] * u.ux[i] + u.uy[i] * u.uy[i] + u.uz[i] * u.uz[i]);
    }
    u.self = self.value() / count;
    return u;
}

// How many cells across the cut-off: pairs of cells farther apart than it
// are left out, which in a box hardly wider than twice the cut-off (a cube
// of side 2 r_c) skips the nearly half of the pairs outside its sphere.
constexpr int kCellsPerCutoff = 4;

// The individuals sorted by cell of a grid of at most max(N, 8) cells, and,
// for each cell on each axis, the cells on that axis that may hold an
// individual within the cut-off of one in it, with the least distance
// along the axis between the two.
class CellList {
public:
    struct Near {
        int cell;
        double gap;  // the least distance along the axis, a hair short
    };

    CellList(const FlockPoints& p, const Box& box, double cutoff) : box_(box) {
        const std::size_t most = std::max<std::size_t>(p.size(), 8);
        for (int a = 0; a < 3; ++a)
            cells_[a] = std::max(1, static_cast<int>(std::floor(box.extent[a] * kCellsPerCutoff / cutoff)));
        while (static_cast<std::size_t>(cells_[0]) * cells_[1] * cells_[2] > most) {
            int& widest = *std::max_element(cells_.begin(), cells_.end());
            widest = std::max(1, widest / 2);
        }
        for (int a = 0; a < 3; ++a) near_[a] = nearCells(a, cutoff);
        const std::size_t total = static_cast<std::size_t>(cells_[0]) * cells_[1] * cells_[2];
        std::vector<std::size_t> cellOf(p.size());
        start_.assign(total + 1, 0);
        for (std::size_t i = 0; i < p.size(); ++i) {
            cellOf[i] = index({axisCell(p.x[i], 0), axisCell(p.y[i], 1), axisCell(p.z[i], 2)});
            ++start_[cellOf[i] + 1];
        }
        for (std::size_t c = 0; c < total; ++c) start_[c + 1] += start_[c];
        order_.resize(p.size());
        std::vector<std::size_t> next(start_.begin(), start_.end() - 1);
        for (std::size_t i = 0; i < p.size(); ++i) order_[next[cellOf[i]]++] = i;
    }

    std::array<int, 3> cells() const { return cells_; }
    std::size_t index(const std::array<int, 3>& c) const {
        return (static_cast<std::size_t>(c[2]) * cells_[1] + c[1]) * cells_[0] + c[0];
    }
    // the cell's individuals: their places in order()
    std::pair<std::size_t, std::size_t> members(std::size_t cell) const { return {start_[cell], start_[cell + 1]}; }
    std::span<const std::size_t> order() const { return order_; }
    const std::vector<Near>& near(int c, int a) const { return near_[a][static_cast<std::size_t>(c)]; }

private:
    // Out of the box (a walled box's individual on its face, rounding) the
    // nearest cell: it is then no nearer to any other cell than it is.
    int axisCell(double v, int a) const {
        const double e = box_.extent[a];
        if (box_.periodic()) v -= e * std::floor(v / e);
        const double k = std::floor(v / e * cells_[a]);
        return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(cells_[a] - 1)));
    }

    // For each cell on axis a, the cells (itself included) whose least
    // distance from it along the axis is below the cut-off: k - 1 cell
    // widths for cells k apart (across the faces of a periodic box, the
    // shorter way round). The distance is shortened by a hair so that an
    // individual that rounding put in the next cell is never missed.
    std::vector<std::vector<Near>> nearCells(int a, double cutoff) const {
        const int n = cells_[a];
        const double width = static_cast<double>(box_.extent[a]) / n;
        // cells are at least a kCellsPerCutoff-th of the cut-off wide
        const int reach = static_cast<int>(std::ceil(cutoff / width)) + 1;
        std::vector<std::vector<Near>> near(static_cast<std::size_t>(n));
        for (int c = 0; c < n; ++c) {
            auto& list = near[static_cast<std::size_t>(c)];
            for (int k = c - reach; k <= c + reach; ++k) {
                const int d = box_.periodic() ? ((k % n) + n) % n : k;
                if (d < 0 || d >= n) continue;
                int apart = std::abs(d - c);
                if (box_.periodic()) apart = std::min(apart, n - apart);
                const double gap = std::max(0, apart - 1) * width * (1 - 1e-9);
                const bool listed = std::any_of(list.begin(), list.end(), [d](const Near& m) { return m.cell == d; });
                if (gap < cutoff && !listed) list.push_back({d, gap});
            }
        }
        return near;
    }

    const Box& box_;
    std::array<int, 3> cells_{};
    std::array<std::vector<std::vector<Near>>, 3> near_;
    std::vector<std::size_t> start_, order_;
};

// The positions and fluctuations in the order of the cell list, so that a
// cell's individuals lie side by side.
struct SortedState {
    std::vector<double> x, y, z, ux, uy, uz;
};

SortedState sortedByCell(const FlockPoints& p, const Fluctuations& u, std::span<const std::size_t> order) {
    SortedState s;
    for (auto* v : {&s.x, &s.y, &s.z, &s.ux, &s.uy, &s.uz}) v->resize(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        s.x[k] = p.x[i], s.y[k] = p.y[i], s.z[k] = p.z[i];
        s.ux[k] = u.ux[i], s.uy[k] = u.uy[i], s.uz[k] = u.uz[i];
    }
    return s;
}

// Adds the pairs of two cells' individuals within the cut-off, each
// unordered pair once (`same`: the two cells are one).
class PairBinner {
public:
    PairBinner(const SortedState& s, const Box& box, const CorrelationBins& bins, std::vector<std::uint64_t>& pairs,
               std::vector<CompensatedSum>& sums)
        : s_(s), box_(box), cutoff_(bins.cutoff), bin_(bins.bin),
          // no pair at or beyond it has a distance within the cut-off
          beyond_(bins.cutoff * bins.cutoff * (1 + 1e-12)), last_(pairs.size() - 1), pairs_(pairs), sums_(sums) {}

    void add(std::pair<std::size_t, std::size_t> a, std::pair<std::size_t, std::size_t> b, bool same) {
        for (std::size_t i = a.first; i < a.second; ++i)
            for (std::size_t j = same ? i + 1 : b.first; j < b.second; ++j) addPair(i, j);
    }

private:
    void addPair(std::size_t i, std::size_t j) {
        double dx = s_.x[j] - s_.x[i], dy = s_.y[j] - s_.y[i], dz = s_.z[j] - s_.z[i];
        if (box_.periodic()) {
            dx = nearestImage(dx, 0);
            dy = nearestImage(dy, 1);
            dz = nearestImage(dz, 2);
        }
        const double r2 = dx * dx + dy * dy + dz * dz;
        if (r2 >= beyond_) return;  // spares the square root of the pairs plainly beyond
        const double r = std::sqrt(r2);
        if (!(r < cutoff_)) return;
        const std::size_t k = std::min(static_cast<std::size_t>(r / bin_), last_);
        ++pairs_[k];
        sums_[k].add(s_.ux[i] * s_.ux[j] + s_.uy[i] * s_.uy[j] + s_.uz[i] * s_.uz[j]);
    }

    // minimumImage's result, in selections the compiler may make without branches
    double nearestImage(double d, int a) const {
        const double e = box_.extent[a], half = 0.5 * e;
        d = d > half ? d - e : d;
        return d < -half ? d + e : d;
    }

    const SortedState& s_;
    const Box& box_;
    double cutoff_, bin_, beyond_;
    std::size_t last_;
    std::vector<std::uint64_t>& pairs_;
    std::vector<CompensatedSum>& sums_;
};

}  // namespace

FlockPoints pointsOf(const Flock& f) {
    const auto live = [&](const std::vector<double>& v) {
        return std::span<const double>(v.data() + 1, static_cast<std::size_t>(f.egyeddb));
    };
    return {live(f.x), live(f.y), live(f.z), live(f.vx), live(f.vy), live(f.vz)};
}

void CompensatedSum::add(double v) {
    // Knuth's two-sum, without a branch: error_ takes exactly what the
    // addition to sum_ rounded off.
    const double t = sum_ + v;
    const double back = t - sum_;
    error_ += (sum_ - (t - back)) + (v - back);
    sum_ = t;
}

std::size_t CorrelationBins::count() const {
    return cutoff > 0 ? static_cast<std::size_t>(std::ceil(cutoff / bin)) : 0;
}

double CorrelationBins::high(std::size_t k) const { return std::min(static_cast<double>(k + 1) * bin, cutoff); }

std::vector<double> TickCorrelation::correlation() const {
    std::vector<double> c(pairs.size(), kNaN);
    if (!(uuSelf > 0)) return c;
    for (std::size_t k = 0; k < c.size(); ++k)
        if (pairs[k] > 0) c[k] = uuSum[k] / static_cast<double>(pairs[k]) / uuSelf;
    return c;
}

double correlationCutoff(const Box& box) { return 0.5 * box.smallestExtent(); }

namespace {

// The cells are cut into this many runs of consecutive cells, each binned
// into sums of its own and the sums added in that order at the end: the
// same sums whatever the number of threads that share the runs out. Fewer
// when the bins are many, so that the sums of the runs stay within
// kChunkSums entries.
constexpr std::size_t kChunks = 64, kChunkSums = std::size_t{1} << 18;

struct ChunkSums {
    std::vector<std::uint64_t> pairs;  // unordered pairs
    std::vector<CompensatedSum> sums;
};

// The pairs of the cells first..last - 1 with each of their neighbours
// whose index is not lower, into `binner`.
void binCells(const CellList& cells, double cutoff, std::size_t first, std::size_t last, PairBinner& binner) {
    const auto n = cells.cells();
    const double reach = cutoff * cutoff;
    for (std::size_t c = first; c < last; ++c) {
        const int cx = static_cast<int>(c % n[0]), cy = static_cast<int>(c / n[0] % n[1]),
                  cz = static_cast<int>(c / n[0] / n[1]);
        for (const auto& z : cells.near(cz, 2))
            for (const auto& y : cells.near(cy, 1)) {
                if (z.gap * z.gap + y.gap * y.gap >= reach) continue;
                for (const auto& x : cells.near(cx, 0)) {
                    if (z.gap * z.gap + y.gap * y.gap + x.gap * x.gap >= reach) continue;
                    const std::size_t d = cells.index({x.cell, y.cell, z.cell});
                    // each pair of cells once, each pair of individuals once
                    if (d >= c) binner.add(cells.members(c), cells.members(d), d == c);
                }
            }
    }
}

}  // namespace

TickCorrelation velocityCorrelation(const FlockPoints& points, const Box& box, double bin, Workers* workers) {
    TickCorrelation t;
    t.bins = correlationBins(box, bin);
    const std::size_t bins = t.bins.count();
    t.pairs.assign(bins, 0);
    t.uuSum.assign(bins, 0);
    if (points.size() == 0 || bins == 0) return t;
    const Fluctuations u = fluctuationsOf(points);
    t.uuSelf = u.self;
    const CellList cells(points, box, t.bins.cutoff);
    const SortedState sorted = sortedByCell(points, u, cells.order());
    const auto n = cells.cells();
    const std::size_t total = static_cast<std::size_t>(n[0]) * n[1] * n[2];
    const std::size_t chunks = std::clamp<std::size_t>(kChunkSums / bins, 1, std::min(kChunks, total));
    std::vector<ChunkSums> sums(chunks);
    std::atomic<std::size_t> next{0};
    const auto work = [&](int) {
        for (std::size_t k = next++; k < chunks; k = next++) {
            sums[k] = {std::vector<std::uint64_t>(bins, 0), std::vector<CompensatedSum>(bins)};
            PairBinner binner(sorted, box, t.bins, sums[k].pairs, sums[k].sums);
            binCells(cells, t.bins.cutoff, total * k / chunks, total * (k + 1) / chunks, binner);
        }
    };
    if (workers && workers->count() > 1 && chunks > 1) workers->run(work);
    else work(0);
    // every unordered pair stands for the two ordered ones: doubling is exact
    for (std::size_t k = 0; k < bins; ++k) {
        std::uint64_t pairs = 0;
        CompensatedSum sum;
        for (const ChunkSums& chunk : sums) {
            pairs += chunk.pairs[k];
            sum.add(chunk.sums[k]);
        }
        t.pairs[k] = 2 * pairs;
        t.uuSum[k] = 2 * sum.value();
    }
    return t;
}

double correlationLength(const CorrelationBins& bins, const std::vector<double>& c) {
    std::size_t previous = c.size();  // the last bin with a C, none yet
    for (std::size_t k = 0; k < c.size(); ++k) {
        if (std::isnan(c[k])) continue;
        if (c[k] <= 0) {
            if (previous == c.size()) return bins.centre(k);
            const double r0 = bins.centre(previous), r1 = bins.centre(k), c0 = c[previous];
            return r0 + (r1 - r0) * c0 / (c0 - c[k]);
        }
        previous = k;
    }
    return kNaN;
}

CorrelationTable::CorrelationTable(const CorrelationBins& bins)
    : bins_(bins), pairs_(bins.count(), 0), uuSum_(bins.count()), c_(bins.count()) {}

void CorrelationTable::addTick(const TickCorrelation& t) {
    const std::vector<double> c = t.correlation();
    for (std::size_t k = 0; k < pairs_.size(); ++k) {
        pairs_[k] += t.pairs[k];
        uuSum_[k].add(t.uuSum[k]);
        if (!std::isnan(c[k])) c_[k].add(c[k]);
    }
    if (const double xi = correlationLength(bins_, c); !std::isnan(xi)) xi_.add(xi);
}

void CorrelationTable::addRun(const CorrelationTable& run) {
    // runs of one grid point share its box and bins
    if (run.pairs_.size() != pairs_.size() || run.bins_.bin != bins_.bin || run.bins_.cutoff != bins_.cutoff)
        throw std::logic_error("a run's correlation bins are not its grid point's");
    for (std::size_t k = 0; k < pairs_.size(); ++k) {
        pairs_[k] += run.pairs_[k];
        uuSum_[k].add(run.uuSum_[k].value());
        if (run.c_[k].count() > 0) c_[k].add(run.c_[k].mean());
    }
    if (run.xi_.count() > 0) xi_.add(run.xi_.mean());
}

double CorrelationTable::uuMean(std::size_t k) const {
    return pairs_[k] > 0 ? uuSum_[k].value() / static_cast<double>(pairs_[k]) : kNaN;
}

double CorrelationTable::correlation(std::size_t k) const { return c_[k].count() > 0 ? c_[k].mean() : kNaN; }

double CorrelationTable::xiError() const {
    return xi_.count() < 2 ? kNaN : xi_.sd() / std::sqrt(static_cast<double>(xi_.count()));
}

void writeCorrelationRows(std::ostream& csv, const CorrelationTable& t, const std::string& leading) {
    const auto cell = [](double v) { return std::isnan(v) ? std::string() : realText(v); };
    for (std::size_t k = 0; k < t.bins().count(); ++k)
        csv << leading << realText(t.bins().low(k)) << ',' << realText(t.bins().high(k)) << ',' << t.pairs(k) << ','
            << cell(t.uuMean(k)) << ',' << cell(t.correlation(k)) << '\n';
}

}  // namespace nyajkor::study
