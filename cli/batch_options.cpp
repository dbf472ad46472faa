#include "cli/batch_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>

#include "cli/batch.h"
#include "cli/sweep.h"
#include "model/controls.h"
#include "model/simulation.h"
#include "record/real_text.h"

namespace nyajkor::batch {

namespace {

// A whole decimal number, nothing before or after it.
std::optional<long long> parseInteger(const std::string& text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return v;
}

// A finite real in lo..hi, nothing before or after it.
double realIn(const std::string& flag, const std::string& text, double lo, double hi) {
    const std::optional<double> read = realFromText(text);
    const std::string allowed = " (allowed: " + realText(lo) + ".." + realText(hi) + ")";
    if (!read || !std::isfinite(*read))
        throw UsageError("--" + flag + ": " + quoted(text) + " is not a number" + allowed);
    const double v = *read;
    if (v < lo || v > hi) throw UsageError("--" + flag + ": " + text + " is out of range" + allowed);
    return v;
}

long long integerIn(const std::string& flag, const std::string& text, long long lo, long long hi) {
    const auto v = parseInteger(text);
    if (!v)
        throw UsageError("--" + flag + ": " + quoted(text) + " is not a whole number (allowed: " +
                         std::to_string(lo) + ".." + std::to_string(hi) + ")");
    if (*v < lo || *v > hi)
        throw UsageError("--" + flag + ": " + text + " is out of range (allowed: " +
                         std::to_string(lo) + ".." + std::to_string(hi) + ")");
    return *v;
}

template <typename Enum>
Enum choiceOf(const std::string& flag, const std::string& text,
              const std::vector<std::pair<std::string, Enum>>& choices) {
    std::string allowed;
    for (const auto& [name, value] : choices) {
        if (name == text) return value;
        allowed += (allowed.empty() ? "" : ", ") + name;
    }
    throw UsageError("--" + flag + ": " + quoted(text) + " is not one of " + allowed);
}

// "X,Y,Z" of whole numbers, each in lo..hi.
std::array<int, 3> tripleIn(const std::string& flag, const std::string& text, int lo, int hi) {
    std::array<int, 3> v{};
    std::istringstream parts(text);
    std::string part;
    int k = 0;
    while (std::getline(parts, part, ',')) {
        if (k == 3) break;
        v[k++] = static_cast<int>(integerIn(flag, part, lo, hi));
    }
    if (k != 3 || std::count(text.begin(), text.end(), ',') != 2)
        throw UsageError("--" + flag + ": " + quoted(text) + " is not X,Y,Z (each " + std::to_string(lo) +
                         ".." + std::to_string(hi) + ")");
    return v;
}

// "WxH", each 1..8192.
std::pair<int, int> sizeOf(const std::string& flag, const std::string& text) {
    const auto x = text.find('x');
    if (x == std::string::npos)
        throw UsageError("--" + flag + ": " + quoted(text) + " is not WIDTHxHEIGHT (each 1..8192)");
    return {static_cast<int>(integerIn(flag, text.substr(0, x), 1, 8192)),
            static_cast<int>(integerIn(flag, text.substr(x + 1), 1, 8192))};
}

// "LO..HI" of a control.
std::string rangeText(const Control& c) { return std::to_string(c.min) + ".." + std::to_string(c.max); }

struct Flag {
    std::string help;  // one line for --help: value, range, default, meaning
    std::function<void(Options&, const std::string&)> apply;
    bool takesValue = true;
    // the range of a whole-number flag that changes the model: a sweep may vary it
    std::optional<std::pair<int, int>> sweepRange = std::nullopt;
    bool takesList = false;  // every argument up to the next flag is a value
};

// "K/M", 1 <= K <= M <= 10000000.
Shard shardOf(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) throw UsageError("--shard: " + quoted(text) + " is not K/M");
    Shard s;
    s.count = static_cast<std::size_t>(integerIn("shard", text.substr(slash + 1), 1, 10000000));
    s.index = static_cast<std::size_t>(integerIn("shard", text.substr(0, slash), 1, static_cast<long>(s.count)));
    return s;
}

// "X,Y,Z" or one number for a cube, each 10..4096.
std::array<int, 3> boxExtentsOf(const std::string& text) {
    if (text.find(',') == std::string::npos) {
        const int side = static_cast<int>(integerIn("box", text, study::kSmallestExtent, study::kLargestExtent));
        return {side, side, side};
    }
    return tripleIn("box", text, study::kSmallestExtent, study::kLargestExtent);
}

// A finite decimal number within the densities allowed.
double densityOf(const std::string& text) {
    const std::optional<double> read = realFromText(text);
    const std::string allowed = " (allowed: 1..1000000 individuals per r^3)";
    if (!read || !std::isfinite(*read))
        throw UsageError("--density: " + quoted(text) + " is not a number" + allowed);
    const double v = *read;
    if (v < study::kLowestDensity || v > study::kHighestDensity)
        throw UsageError("--density: " + text + " is out of range" + allowed);
    return v;
}

// --n: the range of the box in use is checked once every flag is read,
// since --box and --boundary, which widen it, may come after it.
std::pair<std::string, Flag> individualsFlag() {
    const Control& c = controlOf(&Inputs::egyedszam);
    Flag flag{std::string(c.help) + ", " + rangeText(c) + " (default " + std::to_string(c.start) + ")" + c.helpNote +
                  ";\n                     with --box or --boundary periodic 2..1000000",
              [](Options& o, const std::string& v) {
                  const auto n = parseInteger(v);
                  if (!n)
                      throw UsageError("--n: " + quoted(v) + " is not a whole number " + study::individualsAllowed());
                  if (*n < study::kFewestResearchIndividuals || *n > kMaxResearchEgyed)
                      throw UsageError("--n: " + v + " is out of range " + study::individualsAllowed());
                  study::setParameter(o, "n", static_cast<int>(*n));
              }};
    flag.sweepRange = std::pair{study::kFewestResearchIndividuals, kMaxResearchEgyed};
    return {std::string(c.flag), flag};
}

PlotQuantity plotQuantityOf(const std::string& text) {
    if (text == "order") return PlotQuantity::order;
    if (text == "susceptibility") return PlotQuantity::susceptibility;
    if (text == "binder") return PlotQuantity::binder;
    throw UsageError("--plot-quantity: " + quoted(text) + " is not order, susceptibility or binder");
}

const Flag* findFlag(const std::string& name);
Sweep sweepOf(const std::string& text);

// Every flag once: its help line and what it does to the options.
const std::vector<std::pair<std::string, Flag>>& flags() {
    // A scroll bar's flag: name, range, default and help line from its control's
    // row. A sweep may vary it unless it only changes the picture; `also` is
    // what the flag does besides moving its bar.
    enum Sweepable : bool { viewOnly = false, sweepable = true };
    auto control = [](int Inputs::*position, Sweepable may) {
        const Control& c = controlOf(position);
        Flag flag{std::string(c.help) + ", " + rangeText(c) + " (default " + std::to_string(c.start) + ")" + c.helpNote,
                  [&c](Options& o, const std::string& v) {
                      study::setParameter(o, c.flag, static_cast<int>(integerIn(c.flag, v, c.min, c.max)));
                  }};
        if (may) flag.sweepRange = std::pair{c.min, c.max};
        return std::pair{std::string(c.flag), flag};
    };
    // An output's path: an empty one would silently write nothing.
    auto outputPath = [](const char* name, std::string Options::*path) {
        return [=](Options& o, const std::string& v) {
            if (v.empty()) throw UsageError("--" + std::string(name) + ": the file name is empty");
            o.*path = v;
        };
    };
    static const std::vector<std::pair<std::string, Flag>> table = {
        {"seed", {"S       seed in place of the clock, 0..4294967295 (default: from the clock);\n"
                  "                     a sweep's repeats take S, S+1, ... (modulo 2^32)",
                  [](Options& o, const std::string& v) {
                      o.seed = static_cast<std::uint32_t>(integerIn("seed", v, 0, 4294967295LL));
                  }}},
        {"ticks", {"T      ticks to run, 0..10000000 (default 1000); in a sweep the measured ticks, 1 or more",
                   [](Options& o, const std::string& v) { o.ticks = integerIn("ticks", v, 0, 10000000); }}},
        individualsFlag(),
        control(&Inputs::vkozos, sweepable),
        control(&Inputs::parameter, sweepable),
        control(&Inputs::sugar, sweepable),
        control(&Inputs::tavolsag, sweepable),
        {"distance-mode", {"M  off, auto-repulsive, custom-repulsive, auto-attractive, custom-attractive (default off)",
                           [](Options& o, const std::string& v) {
                               o.distanceMode = choiceOf<DistanceMode>(
                                   "distance-mode", v,
                                   {{"off", DistanceMode::off},
                                    {"auto-repulsive", DistanceMode::autoRepulsive},
                                    {"custom-repulsive", DistanceMode::customRepulsive},
                                    {"auto-attractive", DistanceMode::autoAttractive},
                                    {"custom-attractive", DistanceMode::customAttractive}});
                           }}},
        control(&Inputs::egyensulyerosseg, sweepable),
        control(&Inputs::tkpvonzaserosseg, sweepable),
        {"centre", {"M     attracting centre: off, middle, moving, placed (default off)",
                    [](Options& o, const std::string& v) {
                        o.centre = choiceOf<CentreMode>("centre", v,
                                                        {{"off", CentreMode::off},
                                                         {"middle", CentreMode::middle},
                                                         {"moving", CentreMode::moving},
                                                         {"placed", CentreMode::placed}});
                    }}},
        {"centre-at", {"X,Y,Z  where the placed centre stands, " + rangeText(controlOf(&Inputs::xvonzokord)) +
                           " each (default 175,175,125)",
                       [](Options& o, const std::string& v) {
                           const Control& c = controlOf(&Inputs::xvonzokord);
                           o.centreAt = tripleIn("centre-at", v, c.min, c.max);
                       }}},
        control(&Inputs::vonzaserosseg, sweepable),
        control(&Inputs::eszlelok, sweepable),
        {"predators", {"K  predators added as \"Új ragadozó\" adds them, 0..5 (default 0)",
                       [](Options& o, const std::string& v) {
                           o.predators = static_cast<int>(integerIn("predators", v, 0, kMaxRagadozo));
                       },
                       true, std::pair{0, kMaxRagadozo}}},
        control(&Inputs::ragadozoeszleles, sweepable),
        control(&Inputs::reakcioerosseg, sweepable),
        {"box", {"X,Y,Z     a box of X x Y x Z lattice units in place of the window's 350,350,250,\n"
                 "                     each 10..4096 (a walled box 60 or more); one number for a cube; with\n"
                 "                     it --n takes 2..1000000; the centre and predators need the window's box",
                 [](Options& o, const std::string& v) { o.boxExtents = boxExtentsOf(v); }, true,
                 std::pair{study::kSmallestExtent, study::kLargestExtent}}},
        {"boundary", {"B    walls (default: the window's model) or periodic: what leaves through a face\n"
                      "                     comes back through the opposite one, distances to the nearest image;\n"
                      "                     no walls, cohesion, centre or predators; --n takes 2..1000000",
                      [](Options& o, const std::string& v) {
                          o.boundary = choiceOf<Boundary>("boundary", v,
                                                          {{"walls", Boundary::walls}, {"periodic", Boundary::periodic}});
                      }}},
        {"noise-model", {"M  cube (default: the model's own) or vectorial: the neighbours' summed\n"
                         "                     velocity and the own plus noise x (neighbours + 1) x speed times a\n"
                         "                     random unit vector, in place of alignment and noise",
                         [](Options& o, const std::string& v) {
                             o.noiseModel = choiceOf<NoiseModel>(
                                 "noise-model", v, {{"cube", NoiseModel::cube}, {"vectorial", NoiseModel::vectorial}});
                         }}},
        {"density", {"RHO   individuals per r^3 (r the radius), 1..1000000, with --box: sets N to\n"
                     "                     round(RHO X Y Z / r^3), so a sweep of box is at fixed density",
                     [](Options& o, const std::string& v) { o.density = densityOf(v); }}},
        {"csv", {"FILE      per-tick statistics as CSV, - for standard output; in a sweep one row per run",
                 outputPath("csv", &Options::csvPath)}},
        {"dump", {"FILE     the state after the last tick as CSV, - for standard output",
                  outputPath("dump", &Options::dumpPath)}},
        {"frame", {"FILE.png  the view after the last tick as a PNG picture",
                   outputPath("frame", &Options::framePath)}},
        control(&Inputs::Xalfa, viewOnly),
        control(&Inputs::Zbeta, viewOnly),
        control(&Inputs::nagyitas, viewOnly),
        {"anaglyph", {"        the red/green view for 3D glasses",
                      [](Options& o, const std::string&) { o.controls.szemuveg = true; }, false}},
        {"no-cube", {"         leave out the outline of the box",
                     [](Options& o, const std::string&) { o.controls.befoglalokocka = false; }, false}},
        {"size", {"WxH      picture size in pixels, each 1..8192 (default 599x698)",
                  [](Options& o, const std::string& v) {
                      std::tie(o.frameWidth, o.frameHeight) = sizeOf("size", v);
                  }}},
        {"trajectory", {"FILE  positions and velocities as extended XYZ, at the start and every --every\n"
                        "                     ticks; gzip-compressed when FILE ends in .gz; - for standard output",
                        [](Options& o, const std::string& v) { o.trajectoryPath = v; }}},
        {"movie", {"FILE.mp4  the view at the start and every --every ticks as an H.264 movie at 25\n"
                   "                     frames a second, with the view flags of --frame (needs ffmpeg)",
                   [](Options& o, const std::string& v) { o.moviePath = v; }}},
        {"frames", {"DIR     the same frames as --movie as PNG pictures DIR/frame-000000.png, ...",
                    [](Options& o, const std::string& v) { o.framesDir = v; }}},
        {"overwrite-frames", {" remove the pictures already in the folder of --frames first; without\n"
                              "                     it, a folder that holds some is refused",
                              [](Options& o, const std::string&) { o.overwriteFrames = true; }, false}},
        {"every", {"K       ticks between frames of --trajectory, --movie and --frames, and between the ticks\n"
                   "                     --correlation measures (a sweep's measured ticks), 1..10000000 (default 1)",
                   [](Options& o, const std::string& v) { o.every = integerIn("every", v, 1, 10000000); }}},
        {"correlation", {"FILE  the connected velocity correlation C(r) averaged over every --every-th tick,\n"
                         "                     as CSV, - for standard output; in a sweep each grid point's over\n"
                         "                     its runs, and the correlation length xi in --csv and --summary",
                         outputPath("correlation", &Options::correlationPath)}},
        {"bin", {"W        width of the distance bins of --correlation, " + realText(study::kMinCorrelationBin) + ".." +
                     realText(study::kMaxCorrelationBin) + " (default 1)",
                 [](Options& o, const std::string& v) { o.correlationBin = realIn("bin", v, study::kMinCorrelationBin,
                                                                                    study::kMaxCorrelationBin); }}},
        {"checkpoint", {"FILE  the whole state after the last tick, exactly, for --resume",
                        [](Options& o, const std::string& v) { o.checkpointPath = v; }}},
        {"resume", {"FILE    start from a checkpoint instead of Start: the run goes on exactly; the\n"
                    "                     flags given with it move the controls, as the user would between ticks",
                    [](Options& o, const std::string& v) { o.checkpointToResume = v; }}},
        {"threads", {"K   threads of a run, 1..1024 (default: one per CPU this process may use, as\n"
                     "                     its affinity mask and control group allow; in a sweep 1 a run);\n"
                     "                     in a sweep, jobs x threads may not pass those CPUs",
                     [](Options& o, const std::string& v) {
                         o.threads = static_cast<int>(integerIn("threads", v, 1, 1024));
                     }}},
        {"sweep", {"NAME=FROM:TO:STEP  runs at NAME = FROM, FROM+STEP, ... up to TO; given twice, a grid;\n"
                   "                     or 'N1,N2=A1,A2;B1,B2;...': the flags paired, at the values listed,\n"
                   "                     as one axis (n, radius and speed together, say)",
                   [](Options& o, const std::string& v) { o.sweeps.push_back(sweepOf(v)); }}},
        {"repeats", {"R   runs per grid point, with the seeds S, S+1, ..., 1..1000 (default 1)",
                     [](Options& o, const std::string& v) {
                         o.repeats = static_cast<int>(integerIn("repeats", v, 1, 1000));
                     }}},
        {"warmup", {"W    ticks of each run before the measured ones, 0..10000000 (default 0)",
                    [](Options& o, const std::string& v) { o.warmup = integerIn("warmup", v, 0, 10000000); }}},
        {"jobs", {"J      runs at once, 1..1024 (default: one per core), as many as memory holds\n"
                  "                     at about " + std::to_string(kJobMemoryBytes >> 20) +
                  " MB a job and 8 bytes a measured tick",
                  [](Options& o, const std::string& v) { o.jobs = static_cast<int>(integerIn("jobs", v, 1, 1024)); }}},
        {"summary", {"FILE  one row per grid point, over its repeats, as CSV; - for standard output",
                     outputPath("summary", &Options::summaryPath)}},
        {"plot", {"FILE.png  the summary as a chart: the order parameter against the swept flag with\n"
                  "                     error bars of one standard error, and the susceptibility; for two\n"
                  "                     swept flags a phase diagram, a map of it over the grid",
                  outputPath("plot", &Options::plotPath)}},
        {"plot-quantity", {"Q  what --plot shows: order (default; with the susceptibility for one\n"
                           "                     swept flag), susceptibility or binder; for two flags a map of it",
                           [](Options& o, const std::string& v) { o.plotQuantity = plotQuantityOf(v); }}},
        {"plot-style", {"S  how --plot draws two axes: map (default) or curves, the quantity against\n"
                        "                     the second axis, one curve with error bars per step of the first",
                        [](Options& o, const std::string& v) {
                            if (v == "map") o.plotStyle = PlotStyle::map;
                            else if (v == "curves") o.plotStyle = PlotStyle::curves;
                            else throw UsageError("--plot-style: " + quoted(v) + " is not map or curves");
                        }}},
        {"shard", {"K/M   only the runs whose place p in the sweep has p mod M = K-1, with the\n"
                   "                     whole sweep's seeds; --csv then holds the shard's runs (needs --seed)",
                   [](Options& o, const std::string& v) { o.shard = shardOf(v); }}},
        {"merge", {"FILE...  the --csv tables of the shards of this sweep in place of running it:\n"
                   "                     writes its --summary, --plot and --csv (needs the sweep's flags)",
                   [](Options& o, const std::string& v) { o.mergePaths.push_back(v); }, true, std::nullopt, true}},
        {"resume-from", {"FILE  a --csv table of this sweep or shard cut short: its runs are kept, not rerun",
                         [](Options& o, const std::string& v) { o.resumePath = v; }}},
        {"series", {"DIR    each run's order parameter at its measured ticks and each grid point's\n"
                    "                     histogram of it, as CSV files in DIR, made when it does not exist",
                    [](Options& o, const std::string& v) {
                        if (v.empty()) throw UsageError("--series: the folder name is empty");
                        o.seriesDir = v;
                    }}},
        {"help", {"         this text", [](Options& o, const std::string&) { o.help = true; }, false}},
        {"version", {"      the version, one line", [](Options& o, const std::string&) { o.version = true; }, false}},
    };
    return table;
}

// The flag's place in the table, which is its bit in Options::givenFlags.
std::size_t flagIndex(const std::string& name) {
    const auto& table = flags();
    const auto at = std::find_if(table.begin(), table.end(), [&](const auto& row) { return row.first == name; });
    return static_cast<std::size_t>(at - table.begin());
}

const Flag* findFlag(const std::string& name) {
    for (const auto& [n, f] : flags())
        if (n == name) return &f;
    return nullptr;
}

std::string sweepableNames() {
    std::string names;
    for (const auto& [name, flag] : flags())
        if (flag.sweepRange) names += (names.empty() ? "" : ", ") + name;
    return names;
}

// The range of a flag a sweep may vary; refused naming it when there is none.
std::pair<int, int> sweepRangeOf(const std::string& name) {
    const Flag* flag = findFlag(name);
    if (!flag || !flag->sweepRange)
        throw UsageError("--sweep: " + quoted(name) + " cannot be swept (sweepable: " + sweepableNames() + ")");
    return *flag->sweepRange;
}

// "N1,N2,...=V1,V2,...;V1,V2,...;...": the paired flags, then their tuples.
Sweep tupleSweepOf(const std::string& text, std::size_t eq) {
    Sweep s;
    std::stringstream names(text.substr(0, eq));
    for (std::string name; std::getline(names, name, ',');) s.names.push_back(name);
    if (s.names.empty() || text[eq - 1] == ',') throw UsageError("--sweep: " + quoted(text) + " lacks a flag's name");
    for (std::size_t k = 0; k < s.names.size(); ++k) {
        sweepRangeOf(s.names[k]);
        for (std::size_t j = 0; j < k; ++j)
            if (s.names[j] == s.names[k]) throw UsageError("--sweep: " + s.names[k] + " is swept twice");
    }
    std::stringstream tuples(text.substr(eq + 1) + ";");
    std::set<std::vector<int>> listed;
    for (std::string tuple; std::getline(tuples, tuple, ';');) {
        std::vector<int> values;
        std::stringstream cells(tuple + ",");
        for (std::string cell; std::getline(cells, cell, ',');) {
            if (values.size() == s.names.size())
                throw UsageError("--sweep: " + quoted(tuple) + " has more values than the " +
                                 std::to_string(s.names.size()) + " flags " + s.label());
            const auto [lo, hi] = sweepRangeOf(s.names[values.size()]);
            values.push_back(static_cast<int>(integerIn("sweep " + s.names[values.size()], cell, lo, hi)));
        }
        if (values.size() != s.names.size())
            throw UsageError("--sweep: " + quoted(tuple) + " has " + std::to_string(values.size()) +
                             " values for the " + std::to_string(s.names.size()) + " flags " + s.label());
        if (!listed.insert(values).second) throw UsageError("--sweep: " + quoted(tuple) + " is listed twice");
        s.tuples.push_back(values);
    }
    return s;
}

// "NAME=FROM:TO:STEP", NAME a flag a sweep may vary, FROM <= TO both in its
// range; or "N1,N2,...=V1,V2,...;V1,V2,...;..." (a list of values of one
// flag, or of tuples of several flags paired, one axis of the grid).
Sweep sweepOf(const std::string& text) {
    const auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw UsageError("--sweep: " + quoted(text) + " is not NAME=FROM:TO:STEP nor NAMES=VALUES;VALUES;...");
    if (text.find(':', eq) == std::string::npos) return tupleSweepOf(text, eq);
    const auto colon1 = text.find(':', eq), colon2 = text.find(':', colon1 + 1);
    if (colon2 == std::string::npos || text.find(':', colon2 + 1) != std::string::npos)
        throw UsageError("--sweep: " + quoted(text) + " is not NAME=FROM:TO:STEP");
    Sweep s;
    s.names = {text.substr(0, eq)};
    const auto [lo, hi] = sweepRangeOf(s.names[0]);
    const std::string what = "sweep " + s.names[0];
    const std::string from = text.substr(eq + 1, colon1 - eq - 1), to = text.substr(colon1 + 1, colon2 - colon1 - 1);
    s.from = static_cast<int>(integerIn(what, from, lo, hi));
    s.to = static_cast<int>(integerIn(what, to, lo, hi));
    s.step = static_cast<int>(integerIn(what + " step", text.substr(colon2 + 1), 1, hi - lo));
    if (s.from > s.to) throw UsageError("--" + what + ": FROM " + from + " is above TO " + to);
    return s;
}

// A grid small enough to run: its runs are counted, never listed, but each
// is still a run to wait for and a row to keep.
void checkSweepSize(const Options& o) {
    std::uint64_t runs = static_cast<std::uint64_t>(o.repeats);
    std::string product;
    for (const Sweep& s : o.sweeps) {
        runs *= s.count();
        product += std::to_string(s.count()) + " values x ";
    }
    if (runs > kMaxSweepRuns)
        throw UsageError("--sweep: " + product + std::to_string(o.repeats) + " repeats make " + std::to_string(runs) +
                         " runs, more than the " + std::to_string(kMaxSweepRuns) + " a sweep may have");
}

// What a sweep needs and what only a sweep or only a single run takes.
void checkSweep(const Options& o, const std::set<std::string>& given) {
    if (o.sweeps.empty()) {
        for (const std::string flag :
             {"repeats", "warmup", "jobs", "summary", "shard", "merge", "resume-from", "plot", "plot-quantity",
              "plot-style", "series"})
            if (given.count(flag)) throw UsageError("--" + flag + ": only with --sweep");
        return;
    }
    if (o.sweeps.size() > 2) throw UsageError("--sweep: at most two axes at once");
    std::set<std::string> swept;
    for (const Sweep& s : o.sweeps)
        for (const std::string& name : s.names) {
            if (!swept.insert(name).second) throw UsageError("--sweep: " + name + " is swept twice");
            if (given.count(name)) throw UsageError("--sweep: " + name + " is also given as --" + name);
        }
    for (const std::string flag : {"dump", "frame", "trajectory", "movie", "frames", "checkpoint", "resume"})
        if (given.count(flag)) throw UsageError("--" + flag + ": not with --sweep");
    if (o.ticks == 0) throw UsageError("--ticks: a sweep measures 1 tick or more");
    checkSweepSize(o);
    // the pieces of one sweep made apart must draw the same seeds
    for (const std::string flag : {"shard", "merge", "resume-from"})
        if (given.count(flag) && !given.count("seed")) throw UsageError("--" + flag + ": needs --seed");
    if (given.count("merge"))
        for (const std::string flag : {"shard", "resume-from", "series"})
            if (given.count(flag)) throw UsageError("--" + flag + ": not with --merge, which runs nothing");
    for (const std::string flag : {"plot-quantity", "plot-style"})
        if (given.count(flag) && !given.count("plot")) throw UsageError("--" + flag + ": only with --plot");
}

// What the outputs along the run and the checkpoints need.
void checkRecording(const Options& o, const std::set<std::string>& given) {
    if (given.count("every") && o.trajectoryPath.empty() && o.moviePath.empty() && o.framesDir.empty() &&
        o.correlationPath.empty())
        throw UsageError("--every: only with --trajectory, --movie, --frames or --correlation");
    if (given.count("overwrite-frames") && o.framesDir.empty())
        throw UsageError("--overwrite-frames: only with --frames");
    if (!o.checkpointToResume.empty() && given.count("seed"))
        throw UsageError("--seed: not with --resume; the generator's state comes from the checkpoint");
    if (!o.moviePath.empty() && (o.frameWidth < 2 || o.frameHeight < 2))
        throw UsageError("--size: a movie needs at least 2x2 pixels");
    for (auto [flag, path] : {std::pair{"movie", o.moviePath}, {"checkpoint", o.checkpointPath}})
        if (path == "-")
            throw UsageError("--" + std::string(flag) + ": cannot go to standard output; name a file");
}

// Pictures need a file of their own: standard output may be a terminal.
void checkPictureOutputs(const Options& o) {
    for (auto [flag, path] : {std::pair{"frame", o.framePath}, {"plot", o.plotPath}})
        if (path == "-")
            throw UsageError("--" + std::string(flag) + ": a PNG picture cannot go to standard output; name a file");
}

// Flags that only shape what another flag writes, refused without it
// rather than ignored.
void checkDependentFlags(const Options& o, const std::set<std::string>& given) {
    // the view's flags shape the pictures, and with --checkpoint or --resume they are controls kept in the state
    const bool pictures = given.count("frame") || given.count("movie") || given.count("frames");
    const bool state = given.count("checkpoint") || given.count("resume");
    if (given.count("size") && !pictures) throw UsageError("--size: only with --frame, --movie or --frames");
    for (const std::string flag : {"anaglyph", "alpha", "beta", "zoom", "no-cube"})
        if (given.count(flag) && !pictures && !state)
            throw UsageError("--" + flag + ": only with --frame, --movie, --frames, --checkpoint or --resume");
    if (o.centreAt && o.centre != CentreMode::placed) throw UsageError("--centre-at: only with --centre placed");
    if (given.count("bin") && !given.count("correlation")) throw UsageError("--bin: only with --correlation");
}

// Every run the flags ask for must be one the model can make: each grid
// point of a sweep is checked, since the box, N and the radius may be swept.
void checkSetups(const Options& o, const std::set<std::string>& given) {
    if (given.count("density") && given.count("n")) throw UsageError("--n: not with --density, which sets N");
    // The axes whose values bear on the setup, each step of them with each
    // step of the other; an axis that does not is checked at its base value.
    Settings probe = o;
    probe.sweeps.clear();
    std::vector<const Sweep*> bearing;
    for (const Sweep& axis : o.sweeps) {
        bool bears = false;
        for (const std::string& name : axis.names) {
            if (name == "n" && o.density) throw UsageError("--sweep: n is set by --density, not swept");
            bears = bears || name == "n" || name == "box" || name == "radius" || name == "cohesion" ||
                    name == "predators";
        }
        if (bears) bearing.push_back(&axis);
    }
    auto set = [&probe](const Sweep& axis, std::size_t k) {
        const std::vector<int> values = axis.valuesAt(k);
        for (std::size_t j = 0; j < values.size(); ++j) study::setParameter(probe, axis.names[j], values[j]);
    };
    if (bearing.empty()) checkSetup(probe);
    if (bearing.size() == 1)
        for (std::size_t k = 0; k < bearing[0]->count(); ++k) {
            set(*bearing[0], k);
            checkSetup(probe);
        }
    if (bearing.size() == 2)
        for (std::size_t k = 0; k < bearing[0]->count(); ++k)
            for (std::size_t j = 0; j < bearing[1]->count(); ++j) {
                set(*bearing[0], k);
                set(*bearing[1], j);
                checkSetup(probe);
            }
    if (!isResearchSetup(o)) return;
    // the pictures draw the window's box and up to its number of individuals;
    // a checkpoint holds the window's state
    const bool windowsBox = boxOf(o).isStandard() && individualsOf(o) <= kMaxEgyed;
    for (const std::string flag : {"frame", "movie", "frames"})
        if (given.count(flag) && (!windowsBox || !o.sweeps.empty()))
            throw UsageError("--" + flag + ": pictures show the window's box of at most " + std::to_string(kMaxEgyed) +
                             " individuals; not with --box, --boundary periodic or a larger flock");
    for (const std::string flag : {"checkpoint", "resume"})
        if (given.count(flag))
            throw UsageError("--" + flag + ": a checkpoint holds the window's model; not with --box, --boundary, "
                             "--noise-model or --density");
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    std::set<std::string> given;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        if (arg.rfind("--", 0) != 0) throw UsageError("unexpected argument " + quoted(arg) + " (see --help)");
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const Flag* flag = findFlag(name);
        if (!flag) throw UsageError("unknown flag " + quoted("--" + name) + " (see --help)");
        // the last of two values winning silently would hide a slip; --sweep is given once per swept flag
        if (!given.insert(name).second && name != "sweep") throw UsageError("--" + name + ": given twice");
        if (!flag->takesValue) {
            if (value) throw UsageError("--" + name + " takes no value");
            flag->apply(o, "");
            continue;
        }
        if (!value) {
            // a flag in the value's place means the value was left out
            if (k + 1 >= args.size() || args[k + 1].rfind("--", 0) == 0)
                throw UsageError("--" + name + ": a value is missing");
            value = args[++k];
        }
        flag->apply(o, *value);
        while (flag->takesList && k + 1 < args.size() && args[k + 1].rfind("--", 0) != 0) flag->apply(o, args[++k]);
    }
    checkDependentFlags(o, given);
    checkSweep(o, given);
    checkRecording(o, given);
    checkPictureOutputs(o);
    checkSetups(o, given);
    if (!o.correlationPath.empty() && !o.correlationBin) o.correlationBin = 1;
    if (flags().size() > 64) throw std::logic_error("more flags than bits to mark them given");
    for (const std::string& name : given) o.givenFlags |= std::uint64_t{1} << flagIndex(name);
    return o;
}

std::string usage() {
    std::string text =
        "Usage: nyajkor3d-batch [flags]\n"
        "Runs the flock without a window: Start with the controls set by the flags, then\n"
        "the ticks, each exactly the window's tick without the drawing.\n\nFlags:\n";
    for (const auto& [name, flag] : flags()) text += "  --" + name + " " + flag.help + "\n";
    text +=
        "\nA sweep (--sweep) runs the experiment at every point of a grid of one or two flags'\n"
        "values: each run is a single run with those values, --warmup W ticks and then --ticks T\n"
        "measured ticks. Flags a sweep may vary:\n  " + sweepableNames() + ".\n"
        "Runs go on in parallel (--jobs); each is deterministic by its seed, so every number is the\n"
        "same whatever the number of jobs. --csv has one row per run: the swept values, the seed,\n"
        "and the mean and standard deviation over the measured ticks of the order parameter (0..1),\n"
        "the average number of perceived neighbours and the mean nearest-neighbour distance; then\n"
        "of the order parameter phi: <phi^2>, <phi^4>, the susceptibility N(<phi^2>-<phi>^2), the\n"
        "Binder cumulant 1-<phi^4>/(3<phi^2>^2), the integrated autocorrelation time tau (ticks)\n"
        "and the standard error of <phi> from n/(2 tau) independent ticks; short_run, 1 for a run\n"
        "of fewer than 50 tau ticks, whose tau and errors are not to be trusted (a warning names\n"
        "their points); the run's place in the sweep, its shard, the sweep's id and a checksum of\n"
        "the row. The rows are added to the file as the runs finish, so a sweep killed outright\n"
        "keeps the runs it finished; the file is put in plan order at the end.\n"
        "--summary has one row per grid point: the mean over its repeats of each run mean, and the\n"
        "standard error, the standard deviation of the run means over the square root of the\n"
        "repeats; then chi and U of the moments pooled over the repeats, with jackknife errors\n"
        "(susceptibility_pooled, binder_pooled and their _err). Standard deviations are of the\n"
        "sample (divided by n-1); a field with only one value to go on is left empty. Unless --csv\n"
        "or --summary is -, the summary is also printed on standard output. Ctrl-C stops a sweep\n"
        "between ticks: the runs finished so far are written, every file whole, and the exit\n"
        "status is 130 (with no run finished, no file is touched).\n"
        "A sweep splits into shards (--shard K/M, each with the same flags and --seed) that run\n"
        "anywhere; --merge with the same flags reads their --csv tables and writes the files the\n"
        "whole sweep would have written, byte for byte. A file that is not one of the shards, a\n"
        "shard missing, given twice or cut short, a row edited after it was written (its checksum)\n"
        "and a cell no run can give are refused (exit status 2). --resume-from reruns only the runs\n"
        "a table cut short (or left by a sweep killed outright) lacks.\n"
        "\nOutputs: every path is checked before any work; a bad one, or two flags naming one file,\n"
        "is refused with exit status 2. A file is written whole or not at all: to a temporary file\n"
        "beside it that replaces it at the end, keeping its permissions; a link is followed, and a\n"
        "device or FIFO (/dev/null, a named pipe) is written through, never replaced. SIGINT,\n"
        "SIGTERM, SIGHUP and SIGPIPE stop the work between ticks as Ctrl-C does; the exit status is\n"
        "128 + the signal. A second Ctrl-C ends the runner at once, its temporary files removed.\n"
        "\n--correlation measures the connected velocity correlation C(r) at every --every-th tick (in\n"
        "a sweep, of the measured ticks): with u_i the velocity less the flock's mean, for each bin of\n"
        "distances --bin wide up to half the smallest extent of the box, r_low and r_high its edges,\n"
        "pairs the ordered pairs i != j in it over the ticks, uu_mean the mean of u_i.u_j over them,\n"
        "and C, uu_mean over (1/N) sum u_i.u_i at each tick, averaged over the ticks; empty where a bin\n"
        "has no pairs or the flock moves as one. In a sweep the file holds a table per grid point over\n"
        "the runs made here (led by its values and runs), and --csv and --summary gain xi, the first\n"
        "distance where C falls to zero (between bin centres), and its standard error over the ticks;\n"
        "--merge merges xi but cannot rebuild C(r), and leaves the file as it was.\n"
        "--series DIR writes each run's order parameter at its measured ticks to\n"
        "DIR/series_NAME=V_..._seed=S.csv and each grid point's histogram of it (100 bins over 0..1)\n"
        "to DIR/histogram_NAME=V_....csv.\n"
        "\n--trajectory, --movie and --frames record a single run along the way: the state it starts\n"
        "in and the state after every --every-th tick. A --frames folder that already holds pictures\n"
        "(frame-*.png) is refused unless --overwrite-frames removes them first, so that it never\n"
        "mixes two runs. A movie is checked before it is written (with ffprobe when installed):\n"
        "an encoder that fails, or writes less than every frame, fails the run.\n"
        "--checkpoint writes the whole state after the last tick, in the format described in\n"
        "/usr/share/doc/nyajkor3d/checkpoint.md (docs/checkpoint.md in the sources); --resume\n"
        "starts from such a file instead of Start, numbers its ticks on from the checkpoint's and\n"
        "goes on exactly as the run would have gone on. Flags given with --resume move their\n"
        "controls as the user would between ticks: --n takes effect at a restart only, --predators\n"
        "adds that many more.\n";
    return text;
}

bool wasGiven(const Options& o, const std::string& name) {
    const std::size_t k = flagIndex(name);
    return k < 64 && (o.givenFlags >> k & 1) != 0;
}


}  // namespace nyajkor::batch
