#include "python/py_sweep.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <sstream>
#include <thread>

#include "model/random.h"
#include "python/py_flock.h"
#include "study/sweep_runs.h"

namespace nyajkor::python {

namespace {

// How often a sweep looks for Ctrl-C: well within the tenth of a second a
// user waits for it.
constexpr auto kSignalLook = std::chrono::milliseconds(20);

// Runs the runs of `results` on the sweep's jobs, on a thread of their
// own while this one, the GIL released, looks for signals; a signal stops
// the jobs between ticks and is raised here once they have stopped.
void runWatched(const study::SweepPlan& plan, study::ShardResults& results) {
    std::atomic<int> stop{0};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
    study::RunControl control;
    control.stop = &stop;
    std::thread jobs([&] {
        try {
            study::runShard(plan, control, results, nullptr);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    auto waitFor = [&](std::chrono::milliseconds most) {
        py::gil_scoped_release unlocked;
        std::unique_lock lock(mutex);
        return finished.wait_for(lock, most, [&] { return done; });
    };
    while (!waitFor(kSignalLook)) {
        if (PyErr_CheckSignals() == 0) continue;
        py::error_already_set raised;  // takes the exception the signal's handler set
        stop = SIGINT;
        {
            py::gil_scoped_release unlocked;
            jobs.join();
        }
        throw raised;
    }
    jobs.join();
    if (failure) std::rethrow_exception(failure);
}

// The runs table and the summary table of `results`, as the runner writes
// them to --csv and --summary.
// A refusal of a table to merge that is about its path (missing,
// unreadable, a directory) as the OSError subclass of the cause, the
// runner's message kept; any other refusal as ValueError.
[[noreturn]] void raiseMergeRefusal(const study::RefusedInput& e, const std::vector<std::string>& paths) {
    const std::string what = e.what();
    for (const std::string& path : paths) {
        if (what.rfind(study::quoted(path) + " ", 0) != 0) continue;
        int error = 0;
        struct stat s {};
        if (stat(path.c_str(), &s) != 0) {
            error = errno;
        } else if (S_ISDIR(s.st_mode)) {
            error = EISDIR;
        } else if (const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC); fd < 0) {
            error = errno;
        } else {
            close(fd);
        }
        if (error == 0) break;
        PyErr_SetObject(PyExc_OSError, py::make_tuple(error, what, path).ptr());
        throw py::error_already_set();
    }
    raiseRefusal(e);
}

std::pair<std::string, std::string> tablesOf(const study::SweepPlan& plan, const study::ShardResults& results) {
    std::ostringstream runs, summary;
    study::writeRuns(runs, plan, results);
    study::writeSummaryTable(summary, plan, study::summarise(plan, results));
    return {runs.str(), summary.str()};
}

}  // namespace

std::pair<std::string, std::string> sweepTables(const std::vector<std::string>& args) {
    batch::Options o = parsedOptions(args);
    if (o.sweeps.empty()) throw py::value_error("grid: a sweep varies one or two parameters");
    o.seed = o.seed.value_or(clockSeed());
    const study::SweepPlan plan(o);
    if (!o.mergePaths.empty()) {
        try {
            return tablesOf(plan, study::mergeShards(plan, o.mergePaths));
        } catch (const study::RefusedInput& e) {
            raiseMergeRefusal(e, o.mergePaths);
        }
    }
    try {
        study::checkJobs(plan);
    } catch (const study::RefusedInput& e) {
        raiseRefusal(e);
    }
    study::ShardResults results(plan, o.shard);
    runWatched(plan, results);
    return tablesOf(plan, results);
}

}  // namespace nyajkor::python
