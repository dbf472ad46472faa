#include "study/correlation.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// The individuals sorted by cell of a grid at least `cutoff` wide per
// cell on every axis and of at most max(N, 8) cells, so that every pair
// closer than the cut-off is in one cell or in two neighbouring ones.
class CellList {
public:
    CellList(const FlockPoints& p, const Box& box, double cutoff) : box_(box) {
        const std::size_t most = std::max<std::size_t>(p.size(), 8);
        // a hair wider than the cut-off, so that rounding in placing an
        // individual never puts a pair within it two cells apart
        for (int a = 0; a < 3; ++a)
            cells_[a] = std::max(1, static_cast<int>(std::floor(box.extent[a] / (cutoff * (1 + 1e-9)))));
        while (static_cast<std::size_t>(cells_[0]) * cells_[1] * cells_[2] > most) {
            int& widest = *std::max_element(cells_.begin(), cells_.end());
            widest = std::max(1, widest / 2);
        }
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
    std::span<const std::size_t> members(std::size_t cell) const {
        return {order_.data() + start_[cell], start_[cell + 1] - start_[cell]};
    }
    // The distinct cells next to `c` on axis `a` (itself included): across
    // the faces in a periodic box, up to them in a walled one.
    std::vector<int> neighbours(int c, int a) const {
        std::vector<int> out;
        for (int d = -1; d <= 1; ++d) {
            int k = c + d;
            if (box_.periodic()) k = (k + cells_[a]) % cells_[a];
            else if (k < 0 || k >= cells_[a]) continue;
            if (std::find(out.begin(), out.end(), k) == out.end()) out.push_back(k);
        }
        return out;
    }

private:
    // Out of the box (a walled box's individual on its face, rounding) the
    // nearest cell: it is then no nearer to any other cell than it is.
    int axisCell(double v, int a) const {
        const double e = box_.extent[a];
        if (box_.periodic()) v -= e * std::floor(v / e);
        const double k = std::floor(v / e * cells_[a]);
        return static_cast<int>(std::clamp(k, 0.0, static_cast<double>(cells_[a] - 1)));
    }

    const Box& box_;
    std::array<int, 3> cells_{};
    std::vector<std::size_t> start_, order_;
};

// Adds the pairs of individuals i, j of the two lists within the cut-off
// to `t`, each unordered pair once (`same`: the two lists are one cell's).
class PairBinner {
public:
    PairBinner(const FlockPoints& p, const Fluctuations& u, const Box& box, TickCorrelation& t,
               std::vector<CompensatedSum>& sums)
        : p_(p), u_(u), box_(box), t_(t), sums_(sums) {}

    void add(std::span<const std::size_t> a, std::span<const std::size_t> b, bool same) {
        for (std::size_t m = 0; m < a.size(); ++m)
            for (std::size_t l = same ? m + 1 : 0; l < b.size(); ++l) addPair(a[m], b[l]);
    }

    void addPair(std::size_t i, std::size_t j) {
        double dx = p_.x[j] - p_.x[i], dy = p_.y[j] - p_.y[i], dz = p_.z[j] - p_.z[i];
        if (box_.periodic()) {
            dx = minimumImage(dx, box_.extent[0]);
            dy = minimumImage(dy, box_.extent[1]);
            dz = minimumImage(dz, box_.extent[2]);
        }
        const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(r < t_.bins.cutoff)) return;
        const std::size_t k = std::min(static_cast<std::size_t>(r / t_.bins.bin), t_.pairs.size() - 1);
        ++t_.pairs[k];
        sums_[k].add(u_.ux[i] * u_.ux[j] + u_.uy[i] * u_.uy[j] + u_.uz[i] * u_.uz[j]);
    }

private:
    const FlockPoints& p_;
    const Fluctuations& u_;
    const Box& box_;
    TickCorrelation& t_;
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
    // Neumaier's two-sum: error_ takes what the addition to sum_ rounded off.
    const double t = sum_ + v;
    error_ += std::fabs(sum_) >= std::fabs(v) ? (sum_ - t) + v : (v - t) + sum_;
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

TickCorrelation velocityCorrelation(const FlockPoints& points, const Box& box, double bin) {
    TickCorrelation t;
    t.bins = correlationBins(box, bin);
    t.pairs.assign(t.bins.count(), 0);
    t.uuSum.assign(t.bins.count(), 0);
    if (points.size() == 0 || t.bins.count() == 0) return t;
    const Fluctuations u = fluctuationsOf(points);
    t.uuSelf = u.self;
    std::vector<CompensatedSum> sums(t.bins.count());
    PairBinner binner(points, u, box, t, sums);
    const CellList cells(points, box, t.bins.cutoff);
    const auto n = cells.cells();
    for (int cz = 0; cz < n[2]; ++cz)
        for (int cy = 0; cy < n[1]; ++cy)
            for (int cx = 0; cx < n[0]; ++cx) {
                const std::size_t c = cells.index({cx, cy, cz});
                for (int nz : cells.neighbours(cz, 2))
                    for (int ny : cells.neighbours(cy, 1))
                        for (int nx : cells.neighbours(cx, 0)) {
                            const std::size_t d = cells.index({nx, ny, nz});
                            // each pair of cells once, each pair of individuals once
                            if (d >= c) binner.add(cells.members(c), cells.members(d), d == c);
                        }
            }
    // every unordered pair stands for the two ordered ones: doubling is exact
    for (std::size_t k = 0; k < sums.size(); ++k) {
        t.pairs[k] *= 2;
        t.uuSum[k] = 2 * sums[k].value();
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
