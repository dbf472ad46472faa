// What a run and an experiment are, without the command line that asks for
// them.
//
// A run is the window's Start with its controls set one way, then a number
// of ticks; an experiment (a sweep) is a grid of such runs over one or two
// of the whole-number controls, each grid point repeated with consecutive
// seeds. Settings holds both. The runner fills it from its flags and the
// Python module from keyword arguments of the same names; either way a run
// of the same settings is the same run, bit for bit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/box.h"
#include "model/flock.h"

namespace nyajkor::study {

enum class DistanceMode { off, autoRepulsive, customRepulsive, autoAttractive, customAttractive };
enum class CentreMode { off, middle, moving, placed };

// One axis of a sweep: one parameter, by the runner's name for it, over the
// values FROM, FROM+STEP, ... up to TO; or several parameters paired, over
// a list of tuples of their values (n, radius and speed together, say, at a
// fixed density).
struct Sweep {
    std::vector<std::string> names;        // the runner's flags, without their dashes
    int from = 0, to = 0, step = 1;        // a range of names[0] alone, when tuples is empty
    std::vector<std::vector<int>> tuples;  // else the tuples, one value per name
    std::size_t count() const {
        return tuples.empty() ? static_cast<std::size_t>((to - from) / step) + 1 : tuples.size();
    }
    // the first name's value at step k, the one a chart puts on its axis
    int valueAt(std::size_t k) const { return tuples.empty() ? from + static_cast<int>(k) * step : tuples[k][0]; }
    // the values of all the names at step k
    std::vector<int> valuesAt(std::size_t k) const {
        return tuples.empty() ? std::vector<int>{valueAt(k)} : tuples[k];
    }
    std::vector<int> values() const;  // the first name's, step by step
    std::string label() const;        // the names, joined by commas
};

// The most runs a sweep may have. The plan is counted, never listed, but
// each run keeps its statistics until the files are written.
inline constexpr std::uint64_t kMaxSweepRuns = 10'000'000;

// Shard K/M: the runs whose place p in the plan has p mod M = K - 1.
struct Shard {
    std::size_t index = 1, count = 1;  // K and M, 1 <= K <= M
    bool holds(std::size_t run) const { return run % count == index - 1; }
    std::string text() const { return std::to_string(index) + "/" + std::to_string(count); }
};

struct Settings {
    std::optional<std::uint32_t> seed;  // none: from the clock, as the window does
    long ticks = 1000;                  // of a single run; of a sweep's runs, the measured ones
    // the scroll bars, each at its control's position (the radius and the
    // equilibrium distance as asked: controlsFor keeps one within the
    // other), and the check marks of cohesion, the anaglyph view and the cube
    Inputs controls;
    DistanceMode distanceMode = DistanceMode::off;
    CentreMode centre = CentreMode::off;
    std::optional<std::array<int, 3>> centreAt;
    int predators = 0;

    // a research setup: a box of other extents, periodic faces, the
    // vectorial noise, a density that sets N; none of them: the window's model
    std::optional<std::array<int, 3>> boxExtents;  // none: the window's 350, 350, 250
    Boundary boundary = Boundary::walls;
    NoiseModel noiseModel = NoiseModel::cube;
    std::optional<double> density;        // individuals per r^3, with boxExtents

    // What is measured besides the statistics of every tick: C(r) and its
    // correlation length at every `every`-th tick, in bins of this width
    // (none: not measured).
    std::optional<double> correlationBin;
    long every = 1;

    // a sweep: none for a single run; one or two parameters for a grid of runs
    std::vector<Sweep> sweeps;
    int repeats = 1;                      // runs per grid point, seeds seed, seed+1, ...
    long warmup = 0;                      // ticks before the measured ones
    std::optional<int> jobs;              // runs at once; none: one per usable CPU
    std::optional<int> threads;           // threads of a run; none: every usable CPU, in a sweep 1
    Shard shard;                          // 1/1: the whole sweep
};

// Settings, a table or a plan that cannot be used; what() is the one line
// to show, with every value from outside quoted and escaped.
class RefusedInput : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `value` with control characters escaped (\n, \t, \x1b), so that a
// message showing it stays on one line and cannot steer the terminal.
std::string escaped(const std::string& value);

// `value` escaped, in single quotes.
std::string quoted(const std::string& value);

// The box a run of the settings flies in.
Box boxOf(const Settings& s);

// Whether the settings ask for anything beyond the window's model.
bool isResearchSetup(const Settings& s);

// The extents a box may have, and the least a walled one needs: seeding
// keeps 10 from the walls and the walls push 25 deep.
inline constexpr int kSmallestExtent = 10, kLargestExtent = 4096, kSmallestWalledExtent = 60;
// The flock sizes of a research setup with a box of its own or periodic faces.
inline constexpr int kFewestResearchIndividuals = 2;
// The flock sizes allowed, in the window's box and in one of a research
// setup's, as the runner's messages say them: "(allowed: 500..5000; ...)".
std::string individualsAllowed();
// The densities --density takes, individuals per r^3.
inline constexpr double kLowestDensity = 1, kHighestDensity = 1e6;

// N at `density` individuals per r^3 in `box`: round(((rho X) Y) Z / ((r r) r)),
// halves to even; a huge result is returned as it is for the caller to refuse.
double individualsAtDensity(double density, const Box& box, int radius);

// The flock size of a run of the settings: at its density, or as asked.
int individualsOf(const Settings& s);

// Refuses, with the one line to show, settings whose run cannot be made: a
// flock size outside what its box allows, a walled box too small, a
// radius whose cube does not fit a periodic box, modes that need the
// window's box or walls.
void checkSetup(const Settings& s);

// Sets the control of the runner's flag `name` (or the number of
// predators, or the side of a cubic box) to `value`, which is within its
// range, with what else setting it does (the cohesion's strength checks
// cohesion).
void setParameter(Settings& s, const std::string& name, int value);

// The window's controls as the settings set them, before Start.
Inputs controlsFor(const Settings& s);

// Moves the perception radius and then the equilibrium distance scroll
// bars, those given, as a user would: each keeps the equilibrium distance
// within the radius, and a bar set to where it stands fires nothing.
void moveRadiusAndEquilibrium(Inputs& in, std::optional<int> radius, std::optional<int> equilibrium);

// Start with `seed` in place of the clock, then the custom strength, the
// placed centre and the predators the settings ask for.
void prepareRun(Flock& f, const Settings& s, const Inputs& in, std::uint32_t seed);

}  // namespace nyajkor::study
