// The connected velocity correlation function of a flock and its
// correlation length.
//
// At one tick, with u_i = v_i - (the flock's mean velocity), the ordered
// pairs (i, j), i != j, are binned by their distance r_ij: bin k holds
// k W <= r_ij < (k + 1) W, k = floor(r_ij / W), up to the cut-off, half the
// smallest extent of the box (beyond it a periodic box has no single
// nearest image). Distances are the minimum image's in a periodic box
// (p_j - p_i brought to its nearest image on each axis) and plain ones in
// a walled box. For each bin:
//     pairs    the number of ordered pairs (each unordered pair counts twice)
//     uu_mean  the mean of u_i . u_j over them
//     C        uu_mean / ((1/N) sum_i u_i . u_i)
// A bin without pairs has no uu_mean and no C; when every u_i is 0 (the
// flock moves as one) no bin has a C. Both are NaN here and empty cells in
// a table.
//
// Over several ticks (CorrelationTable), pair counts and the sums of
// u_i . u_j are added up, so uu_mean is the mean over all the pairs of all
// the ticks, while C is the mean over the ticks of each tick's C (ticks
// where the bin has no C left out): each tick is normalised by its own
// fluctuations.
//
// The correlation length xi is the first distance at which C falls to zero,
// interpolated linearly between the centres of consecutive bins that have a
// C; when the first of them already has C <= 0, xi is its centre; NaN when C
// never falls to zero.
//
// The sums of u_i . u_j are carried in two doubles each (sum and its
// rounding error), so they are the exact sums to far better than 1e-12
// whatever order the pairs come in; the pairs come from a cell list, a
// grid of cells a quarter of the cut-off wide or wider, of at most
// max(N, 8) cells whatever the size of the box, pairs of cells farther
// apart than the cut-off left out.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "model/box.h"
#include "model/flock.h"
#include "model/workers.h"
#include "study/order_statistics.h"

namespace nyajkor::study {

// The bin widths the runner takes: below, a box of 4096 would need more
// bins than a table is worth; above, every box is one bin.
inline constexpr double kMinCorrelationBin = 0.01;
inline constexpr double kMaxCorrelationBin = 4096;
// No correlation length passes half the largest extent a box may have.
inline constexpr double kMaxCorrelationLength = 2048;

// Positions and velocities of N individuals, each span of length N.
struct FlockPoints {
    std::span<const double> x, y, z, vx, vy, vz;
    std::size_t size() const { return x.size(); }
};

// The live individuals of `f`.
FlockPoints pointsOf(const Flock& f);

// A sum of doubles with the rounding error of each addition kept beside it.
class CompensatedSum {
public:
    void add(double v);
    // another's sum and the error it carries
    void add(const CompensatedSum& other) {
        add(other.sum_);
        add(other.error_);
    }
    double value() const { return sum_ + error_; }

private:
    double sum_ = 0, error_ = 0;
};

// The bins of a cut-off `cutoff` in width `bin`: the last may be narrower.
struct CorrelationBins {
    double bin = 1, cutoff = 0;
    std::size_t count() const;
    double low(std::size_t k) const { return static_cast<double>(k) * bin; }
    double high(std::size_t k) const;
    double centre(std::size_t k) const { return 0.5 * (low(k) + high(k)); }
};

// One tick's sums, bin by bin.
struct TickCorrelation {
    CorrelationBins bins;
    std::vector<std::uint64_t> pairs;  // ordered pairs
    std::vector<double> uuSum;         // sum of u_i . u_j over them
    double uuSelf = 0;                 // (1/N) sum_i u_i . u_i
    std::vector<double> correlation() const;  // C of each bin, NaN where it has none
};

// The half the smallest extent of `box`, beyond which no pair is binned.
double correlationCutoff(const Box& box);

// The bins of width `bin` up to the cut-off of `box`.
inline CorrelationBins correlationBins(const Box& box, double bin) { return {bin, correlationCutoff(box)}; }

// The tick's correlation of `points` in `box`, bins of width `bin`, from a
// cell list, shared out among `workers` when given; the same numbers,
// bit for bit, whatever their number.
TickCorrelation velocityCorrelation(const FlockPoints& points, const Box& box, double bin,
                                    Workers* workers = nullptr);

// xi of the C values of `bins` (NaN: none), as above.
double correlationLength(const CorrelationBins& bins, const std::vector<double>& c);

// C(r) over ticks, or over the runs of a grid point (the mean of each
// run's C), with xi of each tick added.
class CorrelationTable {
public:
    explicit CorrelationTable(const CorrelationBins& bins);

    void addTick(const TickCorrelation& t);
    // a run's table into a grid point's: pairs and sums added, its C as one value per bin
    void addRun(const CorrelationTable& run);

    const CorrelationBins& bins() const { return bins_; }
    std::uint64_t pairs(std::size_t k) const { return pairs_[k]; }
    double uuMean(std::size_t k) const;      // NaN without pairs
    double correlation(std::size_t k) const;  // NaN without a C
    // xi of each tick: its mean and its standard error (the deviation over
    // the square root of the ticks with a xi; NaN below two)
    const Accumulator& xi() const { return xi_; }
    double xiError() const;

private:
    CorrelationBins bins_;
    std::vector<std::uint64_t> pairs_;
    std::vector<CompensatedSum> uuSum_;
    std::vector<Accumulator> c_;
    Accumulator xi_;
};

// The columns of a C(r) table, and its rows, each after `leading` (a grid
// point's values and its runs, with their commas); a NaN is an empty cell.
inline constexpr char kCorrelationColumns[] = "r_low,r_high,pairs,uu_mean,C";
void writeCorrelationRows(std::ostream& csv, const CorrelationTable& t, const std::string& leading);

}  // namespace nyajkor::study
