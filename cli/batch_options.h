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
#include "model/window_layout.h"
#include "study/settings.h"

namespace nyajkor::batch {

// The run and sweep settings, and the refusal of what cannot be run, are
// the experiment library's; the command line only fills them.
using study::CentreMode;
using study::DistanceMode;
using study::escaped;
using study::kMaxSweepRuns;
using study::quoted;
using study::Shard;
using study::Sweep;
using UsageError = study::RefusedInput;

// What the chart of a sweep shows.
enum class PlotQuantity { order, susceptibility, binder };
// How --plot draws a sweep of two axes: a map over the grid, or a curve
// against the second axis for each step of the first.
enum class PlotStyle { map, curves };

// The settings of the run or sweep, and where its results go.
struct Options : study::Settings {
    std::string csvPath;                  // empty: none; "-": standard output
    std::string dumpPath;                 // empty: none; "-": standard output

    // the view after the last tick, as a PNG
    std::string framePath;                // empty: none
    int frameWidth = layout::kViewWidth;
    int frameHeight = layout::kViewHeight;

    // the run along the way, from the state it starts in and after every
    // `every`-th tick: a trajectory, a movie, numbered pictures
    std::string trajectoryPath;           // empty: none; "-": standard output
    std::string moviePath;                // empty: none
    std::string framesDir;                // empty: none
    bool overwriteFrames = false;         // the pictures already in framesDir are removed first

    // C(r) averaged over the ticks of Settings::every (a sweep's: each grid
    // point's, over its runs), and a sweep's series of the order parameter
    std::string correlationPath;          // empty: none; "-": standard output
    std::string seriesDir;                // empty: none

    // the whole state after the last tick, and a state to start from instead of Start
    std::string checkpointPath;           // empty: none
    std::string checkpointToResume;       // empty: Start

    // a sweep's outputs, or its shards' tables to merge or resume from
    std::string summaryPath;              // empty: none; "-": standard output
    std::string plotPath;                 // empty: none
    PlotQuantity plotQuantity = PlotQuantity::order;
    PlotStyle plotStyle = PlotStyle::map;
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

Options parseOptions(const std::vector<std::string>& args);

// Whether the flag `name` (without its dashes) was on the command line.
bool wasGiven(const Options& o, const std::string& name);

// The --help text.
std::string usage();

using study::controlsFor;
using study::moveRadiusAndEquilibrium;

}  // namespace nyajkor::batch
