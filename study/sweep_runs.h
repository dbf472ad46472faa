// Running the runs of a sweep: as many jobs at once as the CPUs and the
// memory the process may use hold, each with a flock of its own, taking the
// next run in plan order until none is left.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "study/sweep_plan.h"
#include "study/sweep_tables.h"

namespace nyajkor::study {

// How the caller watches and stops the runs.
struct RunControl {
    const std::atomic<int>* stop = nullptr;  // nonzero: stop between ticks
    std::function<void()> afterRun;           // after each finished run, on its job's thread
    // about five times a second while the runs go on, on the calling
    // thread: runs finished, runs to do, the share of their ticks done
    std::function<void(std::size_t finished, std::size_t toRun, double done)> progress;
    // with each finished run's order parameter at its measured ticks, on its
    // job's thread, before it is counted finished
    std::function<void(std::size_t run, const std::vector<double>& phi)> series;
};

// Refuses, with RefusedInput, jobs and threads that the process cannot
// hold: jobs of several threads beyond the usable CPUs, jobs beyond the
// usable memory.
void checkJobs(const SweepPlan& plan);

// Runs the runs of `results`' shard that it lacks, each into its slot and,
// when there is a journal, into the journal as it finishes. Returns when
// all are done or when stopped (the runs cut short are left empty);
// rethrows the first failure of a job.
void runShard(const SweepPlan& plan, const RunControl& control, ShardResults& results, RunsJournal* journal);

}  // namespace nyajkor::study
