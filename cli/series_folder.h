// The --series folder of a sweep: each run's order parameter at its
// measured ticks, in a file of its own written as the run finishes, and each
// grid point's histogram of it, written at the end, so that a point where
// the flock switches between order and disorder shows two peaks. Every file
// is written whole or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "study/sweep_plan.h"

namespace nyajkor::batch {

// The histogram's bins: 0.01 wide over 0..1, phi = 1 in the last.
inline constexpr std::size_t kSeriesHistogramBins = 100;

class SeriesFolder {
public:
    // Makes the folder when it does not exist (in a folder that does);
    // throws UsageError when it cannot be made or written in.
    SeriesFolder(const std::string& dir, const study::SweepPlan& plan);

    // "series_noise=30_n=500_seed=7.csv": tick (counted from Start) and
    // order. From any job's thread; throws std::runtime_error when the file
    // cannot be written.
    void addRun(std::size_t run, const std::vector<double>& phi);
    // "histogram_noise=30_n=500.csv": phi_low, phi_high, count, for each
    // grid point with a run added.
    void writeHistograms();
    // The folder removed again when it was made here and holds nothing.
    void removeIfUnused() const;

private:
    std::string pointName(std::size_t point) const;
    void writeFile(const std::string& name, const std::string& text) const;

    std::string dir_;
    const study::SweepPlan& plan_;
    bool made_ = false;
    std::mutex mutex_;
    std::map<std::size_t, std::array<std::uint64_t, kSeriesHistogramBins>> counts_;  // by grid point
};

}  // namespace nyajkor::batch
