// The headless runner: one experiment from a command line.
//
// Start with the controls set by the flags, then the ticks, each exactly the
// window's tick without the drawing; the per-tick statistics, the final state
// and a short summary go where the flags say. With --sweep, the same over a
// grid of values and repeats (cli/sweep.h).
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace nyajkor::batch {

// Exit statuses: 0 done, 1 failed while running or writing, 2 bad command
// line (nothing run, no file touched), 128 + the signal when `stop` holds a
// signal number (a single run touches no file; a sweep writes the runs that
// finished, if any). `stop` is read between ticks; 0 lets the work go on.
// `afterRun` is called after each finished run of a sweep, on the thread
// that ran it.
int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool showProgress = false, const std::atomic<int>* stop = nullptr,
             const std::function<void()>& afterRun = {});

// The exit status of work stopped by `signal`, as a shell reports a program
// the signal ended.
inline int stoppedStatus(int signal) { return 128 + signal; }

// The exit status of a command refused before its work began, with its one
// line on `err`; the status of the stop when a signal came meanwhile.
int refusedOrStopped(const std::exception& e, std::ostream& err, const std::atomic<int>* stop);

// The exit status of work that failed, with its line on `err`: 1, or the
// status of the stop when a signal came meanwhile.
int failedOrStopped(const std::exception& e, std::ostream& err, const std::atomic<int>* stop);

// Flushes standard output after the work: 0 when all of it was written, the
// status of the stop when a signal cut it off (a reader gone away), else 1
// with a line on `err`.
int finishStandardOutput(std::ostream& out, std::ostream& err, const std::atomic<int>* stop);

// The shortest text that reads back to the same double.
std::string realText(double v);

}  // namespace nyajkor::batch
