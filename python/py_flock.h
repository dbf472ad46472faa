// The flock of the Python module: a run of the runner driven tick by tick
// from Python, with its state readable as numpy arrays.
//
// Its keywords are the runner's flags, parsed by the runner's own parser,
// so that the names, the ranges and the refusals are the runner's and a run
// started here is the runner's run bit for bit.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "cli/output_file.h"
#include "model/flock.h"
#include "render/view.h"

namespace nyajkor::python {

namespace py = pybind11;

// The runner's refusal of a command line, as Python's ValueError.
[[noreturn]] void raiseRefusal(const std::exception& e);

// The runner's options from the flags `args` ("--name=value"); ValueError
// with the runner's message when it refuses them.
batch::Options parsedOptions(const std::vector<std::string>& args);

// Raises KeyboardInterrupt (or whatever a signal handler raised) when a
// signal came since the last look; needs the GIL.
void raiseOnSignal();

// The positions or the velocities as an (N, 3) array of float64, which
// Python reads without a copy. The model keeps x, y and z apart, so the
// array is filled from them once after each change of the state, when it is
// first read. An array handed out before a change is filled with NaN at
// the change: a stale view never passes for the current state.
class StateArray {
public:
    using Columns = std::vector<double> Flock::*;
    StateArray(Columns x, Columns y, Columns z) : x_(x), y_(y), z_(z) {}
    py::array view(const Flock& f);
    void invalidate();

private:
    Columns x_, y_, z_;
    py::array array_;  // none until first read
    bool current_ = false;
};

class PyFlock {
public:
    ~PyFlock();
    // Start with the runner's flags `args`; with --resume=PATH, the state of
    // that checkpoint with the controls the other flags move.
    explicit PyFlock(const std::vector<std::string>& args);

    void tick();
    // The per-tick statistics of every `every`-th tick, by the runner's --csv column names.
    py::dict run(long ticks, long every, const py::object& callback, const py::object& self);

    double order() const { return flock_->rendparameter; }
    double neighbours() const { return flock_->atlagszomszed; }
    double nearestDistance() const { return flock_->atlagtav; }
    long tickCount() const { return ticks_; }
    int individuals() const { return flock_->egyeddb; }

    py::array positions() {
        checkIdle();
        return positions_.view(*flock_);
    }
    py::array velocities() {
        checkIdle();
        return velocities_.view(*flock_);
    }
    py::array predators() const;
    py::tuple centre() const;
    py::dict snapshot() const;

    // The connected velocity correlation C(r) of the state in bins `bin`
    // wide, as the runner's --correlation gives it for one tick, and xi.
    py::dict correlation(double bin) const;

    // The controls' positions and check marks, by the runner's flag names.
    py::dict controls() const;
    // Moves the controls the runner's flags `args` name, as --resume does.
    void moveControls(const std::vector<std::string>& args);

    void save(const std::string& path);

    // The runner's --frame of the state: the view's flags `viewFlags` move
    // its controls first, as the runner's flags given with --resume do.
    void writeFrame(const std::string& path, const std::vector<std::string>& viewFlags, int width, int height);

    // The runner's --trajectory (`flag` "trajectory") or --movie ("movie",
    // pictures of width x height) from now on: the state now, then every
    // `every`-th tick, until finishRecording puts the file in place (or,
    // with commit false, leaves the target as it was).
    void beginRecording(const std::string& flag, const std::string& path, long every, int width, int height);
    void finishRecording(bool commit);
    bool recording() const { return static_cast<bool>(recording_); }

private:
    class Busy;
    // One tick, the GIL released while it runs.
    void advance();
    // Refuses to read the state while another thread ticks it.
    void checkIdle() const;
    void stateChanged();
    // after each tick: the recording's frame, when it is one of its ticks
    void recordTick();
    struct Recording;

    std::vector<std::string> args_;  // the flags it was made with
    batch::Options options_;
    std::unique_ptr<Flock> flock_;
    View view_;
    Inputs inputs_;
    long ticks_ = 0;
    bool research_ = false;
    std::atomic<bool> busy_{false};
    std::unique_ptr<Recording> recording_;
    StateArray positions_{&Flock::x, &Flock::y, &Flock::z};
    StateArray velocities_{&Flock::vx, &Flock::vy, &Flock::vz};
};

}  // namespace nyajkor::python
