// The tables of a sweep: one row per run (--csv), one per grid point
// (--summary), and the reading back of the runs' table, so that a sweep
// made in pieces (shards, or a run cut short and resumed) comes back
// together into the very tables the sweep made in one piece would give.
//
// Reals are written as the shortest text that reads back to the same
// double, so a table read back holds the runs' statistics bit for bit.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/sweep.h"

namespace nyajkor::batch {

// What tells a sweep's runs from another's: a hash of every flag that
// changes what a run computes (the model's flags, ticks, warm-up, repeats,
// seed and the swept flags), 16 hexadecimal digits.
std::string sweepIdOf(const Options& o);

// The table of the runs `results` holds (empty: not run), marked as
// belonging to `shard` of the sweep.
void writeRuns(std::ostream& csv, const SweepPlan& plan, const std::vector<std::optional<RunStatistics>>& results,
               const Shard& shard);

// The table of the grid points that have a finished run.
void writeSummaryTable(std::ostream& csv, const SweepPlan& plan, const std::vector<PointSummary>& summary);

// A runs table read back: each run by its place in the plan.
struct RunsTable {
    std::optional<Shard> shard;  // none when it has no rows
    std::vector<std::pair<std::size_t, RunStatistics>> runs;
};

// Reads the runs table at `path` as the sweep `plan` would have written it.
// Throws UsageError, one line naming the file, when it cannot be read or is
// not a table of this sweep: another header, another sweep's id, a row whose
// values or seed are not its run's, rows of two shards or a run given twice.
RunsTable readRuns(const std::string& path, const SweepPlan& plan);

// The runs of the whole sweep from the tables of its shards. Throws
// UsageError naming the file or shard when a file is given twice, a
// shard twice, the files are of different shard counts, or a run is
// missing (a shard left out, or one cut short).
std::vector<std::optional<RunStatistics>> mergeShards(const SweepPlan& plan, const std::vector<std::string>& paths);

}  // namespace nyajkor::batch
