// The command line of the headless runner.
//
// Every numeric flag takes the position of the window control of the same
// role, with that control's range, so a run of the runner is a run of the
// window with its controls set that way. Parsing is strict: an unknown flag,
// a missing or malformed value or one out of range is an error that names the
// flag and what it accepts.
//
// A sweep varies one or two of the whole-number flags that change the model
// over a grid of values; the flag table is the one place that says which
// flags those are and what range each accepts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/flock.h"

namespace nyajkor::batch {

enum class DistanceMode { off, autoRepulsive, customRepulsive, autoAttractive, customAttractive };
enum class CentreMode { off, middle, moving, placed };

// One flag of a sweep and its values FROM, FROM+STEP, ... up to TO.
struct Sweep {
    std::string name;  // the flag, without its dashes
    int from = 0, to = 0, step = 1;
    std::size_t count() const { return static_cast<std::size_t>((to - from) / step) + 1; }
    int valueAt(std::size_t k) const { return from + static_cast<int>(k) * step; }
    std::vector<int> values() const;
};

// The most runs a sweep may have. The plan is counted, never listed, but
// each run keeps its statistics until the files are written.
inline constexpr std::uint64_t kMaxSweepRuns = 10'000'000;

// --shard K/M: the runs whose place p in the plan has p mod M = K - 1.
struct Shard {
    std::size_t index = 1, count = 1;  // K and M, 1 <= K <= M
    bool holds(std::size_t run) const { return run % count == index - 1; }
    std::string text() const { return std::to_string(index) + "/" + std::to_string(count); }
};

// What the chart of a sweep shows.
enum class PlotQuantity { order, susceptibility, binder };

struct Options {
    std::optional<std::uint32_t> seed;  // none: from the clock, as the window does
    long ticks = 1000;
    // the scroll bars' flags, each at its control's position (the radius and
    // the equilibrium distance as given: controlsFor keeps one within the
    // other), and the check marks of --cohesion, --anaglyph and --no-cube
    Inputs controls;
    DistanceMode distanceMode = DistanceMode::off;
    CentreMode centre = CentreMode::off;
    std::optional<std::array<int, 3>> centreAt;
    int predators = 0;
    std::string csvPath;                  // empty: none; "-": standard output
    std::string dumpPath;                 // empty: none; "-": standard output

    // the view after the last tick, as a PNG
    std::string framePath;                // empty: none
    int frameWidth = 599;
    int frameHeight = 698;

    // the run along the way, from the state it starts in and after every
    // `every`-th tick: a trajectory, a movie, numbered pictures
    std::string trajectoryPath;           // empty: none; "-": standard output
    std::string moviePath;                // empty: none
    std::string framesDir;                // empty: none
    bool overwriteFrames = false;         // the pictures already in framesDir are removed first
    long every = 1;

    // the whole state after the last tick, and a state to start from instead of Start
    std::string checkpointPath;           // empty: none
    std::string checkpointToResume;       // empty: Start

    // a sweep: none for a single run; one or two flags for a grid of runs
    std::vector<Sweep> sweeps;
    int repeats = 1;                      // runs per grid point, seeds seed, seed+1, ...
    long warmup = 0;                      // ticks before the measured ones
    std::optional<int> jobs;              // runs at once; none: one per usable CPU
    std::optional<int> threads;           // threads of a run; none: every usable CPU, in a sweep 1
    std::string summaryPath;              // empty: none; "-": standard output
    std::string plotPath;                 // empty: none
    PlotQuantity plotQuantity = PlotQuantity::order;
    Shard shard;                          // 1/1: the whole sweep
    std::vector<std::string> mergePaths;  // tables of shards to summarise in place of running
    std::string resumePath;               // empty: none; a table of runs already done

    bool help = false;
    bool version = false;

    // bit k: the k-th flag of the table was on the command line (see wasGiven);
    // bits rather than names, so that copying the options allocates nothing
    std::uint64_t givenFlags = 0;
};

// What every message of the runner on standard error starts with.
inline constexpr char kMessagePrefix[] = "nyajkor3d-batch: ";

// `value` with control characters escaped (\n, \t, \x1b), so that a
// message showing it stays on one line and cannot steer the terminal.
std::string escaped(const std::string& value);

// `value` escaped, in single quotes.
std::string quoted(const std::string& value);

// A command line that cannot be run; what() is the one line to show.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options parseOptions(const std::vector<std::string>& args);

// Whether the flag `name` (without its dashes) was on the command line.
bool wasGiven(const Options& o, const std::string& name);

// Sets the flag `name` of a sweep to `value`, as the flag given on the
// command line would.
void applySwept(Options& o, const std::string& name, int value);

// The --help text.
std::string usage();

// The window's controls as the options set them, before Start.
Inputs controlsFor(const Options& o);

// Moves the perception radius and then the equilibrium distance scroll
// bars, those given, as a user would: each keeps the equilibrium distance
// within the radius, and a bar set to where it stands fires nothing.
void moveRadiusAndEquilibrium(Inputs& in, std::optional<int> radius, std::optional<int> equilibrium);

}  // namespace nyajkor::batch
