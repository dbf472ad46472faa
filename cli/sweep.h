// The runner's parameter sweeps: the experiment library's plan and runs
// (study/), with the runner's files, progress bar, chart and exit status.
//
// An interrupted sweep still writes the runs that finished; a sweep killed
// outright leaves the runs that finished in its runs table, each row added
// whole as its run finished.
#pragma once

#include <atomic>
#include <functional>
#include <ostream>

#include "cli/batch_options.h"
#include "study/sweep_plan.h"
#include "study/sweep_tables.h"

namespace nyajkor::batch {

// The runner runs the experiment library's sweeps; its names are the runner's.
using namespace study;

// How the caller watches and stops a sweep.
struct SweepControl {
    bool showProgress = false;                       // a progress bar on standard error
    const std::atomic<int>* stop = nullptr;          // a signal number: stop between ticks
    std::function<void()> afterRun;                  // after each finished run, on its job's thread
};

// Runs the sweep `o` asks for and writes its files; the exit status as
// runBatch gives it.
int runSweep(Options o, std::ostream& out, std::ostream& err, const SweepControl& control);

}  // namespace nyajkor::batch
