// The plan of a sweep and what its runs give: one experiment over a grid of
// values of one or two parameters, each grid point repeated with
// consecutive seeds.
//
// A run is a single run (Start with the settings, the warm-up ticks, the
// measured ticks) reduced to the mean and standard deviation of its
// statistics over the measured ticks. Each run is deterministic by its
// seed, and its result is kept by its place in the plan, never by when it
// finished, so the tables are the same byte for byte whatever the number of
// jobs.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "study/correlation.h"
#include "study/order_statistics.h"
#include "study/settings.h"

namespace nyajkor::study {

struct Moments {
    double mean = 0, sd = 0;
};

// One run's statistics over its measured ticks.
struct RunStatistics {
    Moments order;       // the order parameter, 0..1
    Moments neighbours;  // the average number of perceived neighbours
    Moments distance;    // the mean nearest-neighbour distance
    OrderStatistics phase;  // the order parameter's moments, susceptibility, Binder cumulant, correlation time
    // with a correlation measured: xi's mean over the measured ticks and
    // its standard error (NaN when no tick had a xi), and C(r) of the run
    // when it ran here (a run read back from a table has only xi)
    double xi = std::numeric_limits<double>::quiet_NaN();
    double xiError = std::numeric_limits<double>::quiet_NaN();
    std::shared_ptr<const CorrelationTable> correlation;
};

// The runs of a sweep in their one order: grid points with the first swept
// parameter outermost, each point's repeats in seed order. A run's values and
// seed are worked out from its number, so the plan takes the same few bytes
// whatever the size of the grid.
class SweepPlan {
public:
    // `s` has its seed set.
    explicit SweepPlan(const Settings& s);

    std::size_t runs() const { return points() * static_cast<std::size_t>(base_.repeats); }
    std::size_t points() const;
    const Settings& base() const { return base_; }
    // the swept parameters, axis by axis, a paired axis's names in its order
    std::vector<std::string> names() const;
    // their values at a point, in the same order
    std::vector<int> values(std::size_t point) const;
    std::size_t pointOf(std::size_t run) const { return run / static_cast<std::size_t>(base_.repeats); }
    std::uint32_t seedOf(std::size_t run) const;
    // The settings of the run: the base settings with its point's values.
    Settings settingsOf(std::size_t run) const;

private:
    Settings base_;
};

// The statistics of the runs of one shard of the plan (1/1: the whole
// sweep), each in the slot of its place among the shard's runs: the memory
// of a shard is that of its own runs, whatever the size of the grid.
class ShardResults {
public:
    ShardResults(const SweepPlan& plan, const Shard& shard);

    const Shard& shard() const { return shard_; }
    std::size_t size() const { return slots_.size(); }
    // the shard's k-th run is the sweep's run K - 1 + k M
    std::size_t runOf(std::size_t slot) const { return shard_.index - 1 + slot * shard_.count; }
    std::size_t slotOf(std::size_t run) const { return run / shard_.count; }
    std::optional<RunStatistics>& operator[](std::size_t slot) { return slots_[slot]; }
    const std::optional<RunStatistics>& operator[](std::size_t slot) const { return slots_[slot]; }
    std::size_t finished() const;

private:
    Shard shard_;
    std::vector<std::optional<RunStatistics>> slots_;
};

// The runs of `shard` in the sweep of `plan`.
std::size_t runsOfShard(const SweepPlan& plan, const Shard& shard);

// A grid point over the repeats that finished: the mean of their run means
// and its standard error, the standard deviation of the run means over the
// square root of their number (NaN below two runs).
struct Estimate {
    double mean = 0, se = 0;
};
struct PointSummary {
    std::size_t point = 0;  // its place in the grid
    int runs = 0;
    Estimate order, neighbours, distance;
    Estimate meanSquare, meanFourth, susceptibility, binder, tau;  // of the runs' OrderStatistics
    // the standard error of order.mean carried over from the runs' own
    // errors, sqrt(sum of their squares) / runs: there even for one run
    double orderError = 0;
    // chi and U of the moments pooled over the runs, with jackknife errors
    PooledStatistics pooled;
    Estimate xi;  // of the runs' xi, with a correlation measured
};

// The grid points with a finished run, in plan order, from the results of
// the runs (empty where a run did not finish), averaged in seed order.
std::vector<PointSummary> summarise(const SweepPlan& plan, const ShardResults& results);

// The grid points, in plan order, with a finished run too short for its
// correlation time (tooShortForTau).
std::vector<std::size_t> pointsWithShortRuns(const SweepPlan& plan, const ShardResults& results);

// "noise=50 radius=4": a grid point as the user set it.
std::string describePoint(const SweepPlan& plan, std::size_t point);

// What one job holds while it runs, rounded up, besides its series of the
// order parameter: the growth of the peak resident memory per job added,
// 1.4 to 1.8 MB, measured with
//   /usr/bin/time -v nyajkor3d-batch --sweep n=5000:5000:1 --repeats 4
//       --radius 20 --ticks 3 --seed 1 --jobs J        (J = 1, 2, 4)
// Nearly all of it is the flock state, allocated at its largest.
inline constexpr std::uint64_t kJobMemoryBytes = 2ull << 20;

// A job's memory for runs of `ticks` measured ticks: the flock, and the
// order parameter of every measured tick, kept for its correlation time.
constexpr std::uint64_t jobMemoryBytes(long ticks) {
    return kJobMemoryBytes + sizeof(double) * static_cast<std::uint64_t>(ticks);
}

// What a flock beyond the window's takes per individual above it: its
// state, the cell list and the update's scratch (measured by the research
// benchmark; kept generous, since the check guards against swapping).
inline constexpr std::uint64_t kBytesPerResearchIndividual = 256;

// A job's memory for runs of `ticks` measured ticks of flocks of up to
// `individuals`: beyond the window's 5000 each individual adds its bytes.
constexpr std::uint64_t jobMemoryBytes(long ticks, int individuals) {
    const std::uint64_t beyond = individuals > kMaxEgyed ? static_cast<std::uint64_t>(individuals - kMaxEgyed) : 0;
    return jobMemoryBytes(ticks) + kBytesPerResearchIndividual * beyond;
}

// The largest flock of the sweep's runs.
int largestFlock(const SweepPlan& plan);

// What a sweep holds besides its jobs, whatever their number: the results
// of the shard's runs and the summary of their grid points. Files are
// written as they go, through buffers of fixed size.
std::uint64_t sweepMemoryBytes(const SweepPlan& plan, const Shard& shard);

// The memory the runner may use: the machine's, or less where a control
// group (a container, a batch system's job) caps it; 0 when unknown.
std::uint64_t usableMemory();

// The most jobs of `jobBytes` each that fit together in `memoryBytes`; at least one.
int jobLimit(std::uint64_t memoryBytes, std::uint64_t jobBytes);

}  // namespace nyajkor::study
