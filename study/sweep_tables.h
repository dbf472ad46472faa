// The tables of a sweep: one row per run (--csv), one per grid point
// (--summary), and the reading back of the runs' table, so that a sweep
// made in pieces (shards, or a run cut short and resumed) comes back
// together into the very tables the sweep made in one piece would give.
//
// Reals are written as the shortest text that reads back to the same
// double, so a table read back holds the runs' statistics bit for bit.
// Each row ends in a checksum of the rest of it, so that a row edited
// after it was written is told from one the runner wrote.
//
// A table read back comes from anywhere: every cell is checked against
// what a run of this sweep can give, and no more than one line of a
// table's longest is held at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "study/sweep_plan.h"
#include "files/whole_file.h"

namespace nyajkor::study {

// What tells a sweep's runs from another's: a hash of every flag that
// changes what a run computes (the model's flags, ticks, warm-up, repeats,
// seed and the swept flags), 16 hexadecimal digits.
std::string sweepIdOf(const Settings& o);

// The row of `run` in the runs table, its line end included.
std::string runRow(const SweepPlan& plan, std::size_t run, const RunStatistics& r, const Shard& shard);

// The first line of the runs table, its line end included.
std::string runsHeader(const SweepPlan& plan);

// The table of the runs `results` holds (empty slots: not run), marked as
// belonging to their shard of the sweep.
void writeRuns(std::ostream& csv, const SweepPlan& plan, const ShardResults& results);

// The table of the grid points that have a finished run.
void writeSummaryTable(std::ostream& csv, const SweepPlan& plan, const std::vector<PointSummary>& summary);

// C(r) of each grid point with a run that measured it here (not read back
// from a table), over those runs: the point's values, the runs, then the
// columns of kCorrelationColumns, a row per bin.
void writeCorrelationTables(std::ostream& csv, const SweepPlan& plan, const ShardResults& results);

// What a runs table read back held besides its rows.
struct TableFacts {
    std::optional<Shard> shard;  // none when it has no rows
    std::size_t rows = 0;
};

// What is done with a row read back: its run, its statistics and its shard.
using RowReader = std::function<void(std::size_t run, const RunStatistics&, const Shard&)>;

// Reads the runs table at `path` as the sweep `plan` would have written it,
// handing each row to `row` (when given) as it is read. Lines may end in
// "\r\n"; a last line without its end, a row cut short as it was being
// written, is left out. Throws RefusedInput, one line quoting the file, when
// it cannot be read, is a directory, holds a line longer than any of a
// table, or is not a table of this sweep: another header, another sweep's
// id, a row whose checksum, values or seed are not its run's, a cell out
// of what a run can give, rows of two shards or a run given twice.
TableFacts readRuns(const std::string& path, const SweepPlan& plan, const RowReader& row = {});

// The runs table kept on the disk as the runs finish, so that a sweep
// killed outright (SIGKILL, the out-of-memory killer, a power cut) leaves
// every run that finished in it for --resume-from. It is begun when the
// first run finishes, so that until then the file is as it was: the header,
// the runs resumed and that run are written to a temporary file beside it
// that replaces it; after that each run's row is appended in one write and
// flushed to the disk. Rows are in the order the runs finished; the table
// written at the end of the sweep puts them in plan order.
class RunsJournal {
public:
    // `target` is a regular file or one to be made; `resumed` holds the runs
    // read back, read here before any job adds to it.
    RunsJournal(const files::OutputTarget& target, const SweepPlan& plan, const ShardResults& resumed);
    ~RunsJournal();
    RunsJournal(const RunsJournal&) = delete;
    RunsJournal& operator=(const RunsJournal&) = delete;

    // Keeps a finished run; from any job's thread. Throws std::runtime_error
    // when the file cannot be written.
    void add(std::size_t run, const RunStatistics& r);

private:
    void fail(int error) const;

    const SweepPlan& plan_;
    Shard shard_;
    std::string path_;  // the file itself, links followed
    std::mutex mutex_;
    std::optional<files::WholeFile> first_;  // the table until its first run is added
    int fd_ = -1;                            // the table after it, opened to append
};

// The runs of the whole sweep from the tables of its shards. Throws
// RefusedInput naming the file or shard when a file is given twice, a
// shard twice, the files are of different shard counts, or a run is
// missing (a shard left out, or one cut short). The files are checked
// whole before the memory for the sweep's runs is taken.
ShardResults mergeShards(const SweepPlan& plan, const std::vector<std::string>& paths);

}  // namespace nyajkor::study
