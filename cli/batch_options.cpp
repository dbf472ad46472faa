#include "cli/batch_options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <sstream>

#include "model/simulation.h"

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

long long integerIn(const std::string& flag, const std::string& text, long long lo, long long hi) {
    const auto v = parseInteger(text);
    if (!v)
        throw UsageError("--" + flag + ": '" + text + "' is not a whole number (allowed: " +
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
    throw UsageError("--" + flag + ": '" + text + "' is not one of " + allowed);
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
        throw UsageError("--" + flag + ": '" + text + "' is not X,Y,Z (each " + std::to_string(lo) +
                         ".." + std::to_string(hi) + ")");
    return v;
}

// "WxH", each 1..8192.
std::pair<int, int> sizeOf(const std::string& flag, const std::string& text) {
    const auto x = text.find('x');
    if (x == std::string::npos)
        throw UsageError("--" + flag + ": '" + text + "' is not WIDTHxHEIGHT (each 1..8192)");
    return {static_cast<int>(integerIn(flag, text.substr(0, x), 1, 8192)),
            static_cast<int>(integerIn(flag, text.substr(x + 1), 1, 8192))};
}


struct Flag {
    std::string help;  // one line for --help: value, range, default, meaning
    std::function<void(Options&, const std::string&)> apply;
    bool takesValue = true;
};

// Every flag once: its help line and what it does to the options.
const std::vector<std::pair<std::string, Flag>>& flags() {
    auto integer = [](const char* name, int lo, int hi, int Options::*member) {
        return [=](Options& o, const std::string& v) {
            o.*member = static_cast<int>(integerIn(name, v, lo, hi));
        };
    };
    static const std::vector<std::pair<std::string, Flag>> table = {
        {"seed", {"S       seed in place of the clock, 0..4294967295 (default: from the clock)",
                  [](Options& o, const std::string& v) {
                      o.seed = static_cast<std::uint32_t>(integerIn("seed", v, 0, 4294967295LL));
                  }}},
        {"ticks", {"T      ticks to run, 0..10000000 (default 1000)",
                   [](Options& o, const std::string& v) { o.ticks = integerIn("ticks", v, 0, 10000000); }}},
        {"n", {"N          number of individuals (Egyedszám), 500..5000 (default 2000)",
               integer("n", 500, 5000, &Options::n)}},
        {"speed", {"V      common speed x10 (Közös sebesség), 5..20 (default 10)",
                   integer("speed", 5, 20, &Options::speed)}},
        {"noise", {"P      noise x100 (Zajparaméter), 0..100 (default 10)",
                   integer("noise", 0, 100, &Options::noise)}},
        {"radius", {"R     perception radius (Észlelt szomszédok max. távolsága), 0..20 (default 0)",
                    integer("radius", 0, 20, &Options::radius)}},
        {"equilibrium", {"D  equilibrium distance (Egyensúlyi távolság), 2..20 (default 5);\n"
                         "                     kept at or below the radius where the radius is 2 or more",
                         integer("equilibrium", 2, 20, &Options::equilibrium)}},
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
        {"strength", {"S   distance-keeping strength in the custom modes, 0..20 (default 5)",
                      integer("strength", 0, 20, &Options::strength)}},
        {"cohesion", {"P   attraction to the centre of mass, on with strength 0..20 (default off)",
                      [](Options& o, const std::string& v) {
                          o.cohesion = static_cast<int>(integerIn("cohesion", v, 0, 20));
                      }}},
        {"centre", {"M     attracting centre: off, middle, moving, placed (default off)",
                    [](Options& o, const std::string& v) {
                        o.centre = choiceOf<CentreMode>("centre", v,
                                                        {{"off", CentreMode::off},
                                                         {"middle", CentreMode::middle},
                                                         {"moving", CentreMode::moving},
                                                         {"placed", CentreMode::placed}});
                    }}},
        {"centre-at", {"X,Y,Z  where the placed centre stands, 50..250 each (default 175,175,125)",
                       [](Options& o, const std::string& v) { o.centreAt = tripleIn("centre-at", v, 50, 250); }}},
        {"centre-strength", {"A  strength of the attracting centre, 0..20 (default 10)",
                             integer("centre-strength", 0, 20, &Options::centreStrength)}},
        {"perceivers", {"PCT  per cent of individuals perceiving the centre, 0..100 (default 100)",
                        integer("perceivers", 0, 100, &Options::perceivers)}},
        {"predators", {"K  predators added as \"Új ragadozó\" adds them, 0..5 (default 0)",
                       integer("predators", 0, 5, &Options::predators)}},
        {"predator-range", {"R  distance at which predators are perceived, 20..200 (default 50)",
                            integer("predator-range", 20, 200, &Options::predatorRange)}},
        {"reaction", {"K   strength of the flight from predators, 0..20 (default 15)",
                      integer("reaction", 0, 20, &Options::reaction)}},
        {"csv", {"FILE      per-tick statistics as CSV, - for standard output",
                 [](Options& o, const std::string& v) { o.csvPath = v; }}},
        {"dump", {"FILE     the state after the last tick as CSV, - for standard output",
                  [](Options& o, const std::string& v) { o.dumpPath = v; }}},
        {"frame", {"FILE.png  the view after the last tick as a PNG picture",
                   [](Options& o, const std::string& v) { o.framePath = v; }}},
        {"alpha", {"A     view angle about the x axis in degrees (X körüli forgatás), 0..90 (default 0)",
                   integer("alpha", 0, 90, &Options::alpha)}},
        {"beta", {"B      view angle about the z axis in degrees (Z körüli forgatás), 0..360 (default 0)",
                  integer("beta", 0, 360, &Options::beta)}},
        {"zoom", {"Z      zoom x10 (Nagyítás), 10..25 (default 15)", integer("zoom", 10, 25, &Options::zoom)}},
        {"anaglyph", {"        the red/green view for 3D glasses",
                      [](Options& o, const std::string&) { o.anaglyph = true; }, false}},
        {"no-cube", {"         leave out the outline of the box",
                     [](Options& o, const std::string&) { o.cube = false; }, false}},
        {"size", {"WxH      picture size in pixels, each 1..8192 (default 599x698)",
                  [](Options& o, const std::string& v) {
                      std::tie(o.frameWidth, o.frameHeight) = sizeOf("size", v);
                  }}},
        {"help", {"         this text", [](Options& o, const std::string&) { o.help = true; }, false}},
    };
    return table;
}

const Flag* findFlag(const std::string& name) {
    for (const auto& [n, f] : flags())
        if (n == name) return &f;
    return nullptr;
}

// Files that two outputs would both write: refused rather than one lost.
void checkOutputsDistinct(const Options& o) {
    std::map<std::string, std::string> seen;
    for (auto [flag, path] : {std::pair{"csv", o.csvPath}, {"dump", o.dumpPath}, {"frame", o.framePath}}) {
        if (path.empty()) continue;
        if (path == "-" && std::string(flag) == "frame")
            throw UsageError("--frame: a PNG picture cannot go to standard output; name a file");
        auto [it, fresh] = seen.emplace(path, flag);
        if (!fresh)
            throw UsageError("--" + std::string(flag) + ": '" + path + "' is also given to --" + it->second);
    }
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        if (arg.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + arg + "' (see --help)");
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const Flag* flag = findFlag(name);
        if (!flag) throw UsageError("unknown flag --" + name + " (see --help)");
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
    }
    if (o.centreAt && o.centre != CentreMode::placed)
        throw UsageError("--centre-at: only with --centre placed");
    checkOutputsDistinct(o);
    return o;
}

std::string usage() {
    std::string text =
        "Usage: nyajkor3d-batch [flags]\n"
        "Runs the flock without a window: Start with the controls set by the flags, then\n"
        "the ticks, each exactly the window's tick without the drawing.\n\nFlags:\n";
    for (const auto& [name, flag] : flags()) text += "  --" + name + " " + flag.help + "\n";
    return text;
}

Inputs controlsFor(const Options& o) {
    Inputs in;
    in.egyedszam = o.n;
    in.vkozos = o.speed;
    in.parameter = o.noise;
    // As in the window, a scroll bar that moves keeps the equilibrium
    // distance within the perception radius; one set to where it stands
    // fires nothing.
    if (o.radius != in.sugar) {
        in.sugar = o.radius;
        in.tavolsag = tavegyeztetes(in.sugar, in.tavolsag);
    }
    if (o.equilibrium != in.tavolsag) {
        in.tavolsag = o.equilibrium;
        in.tavolsag = tavegyeztetes(in.sugar, in.tavolsag);
    }
    in.egyensulyerosseg = o.strength;
    in.autotaszito = o.distanceMode == DistanceMode::autoRepulsive;
    in.egyenitaszito = o.distanceMode == DistanceMode::customRepulsive;
    in.autovonzo = o.distanceMode == DistanceMode::autoAttractive;
    in.egyenivonzo = o.distanceMode == DistanceMode::customAttractive;
    in.tkpvonzas = o.cohesion.has_value();
    if (o.cohesion) in.tkpvonzaserosseg = *o.cohesion;
    in.kozepenvonzo = o.centre == CentreMode::middle;
    in.mozgovonzo = o.centre == CentreMode::moving;
    in.elhelyez = o.centre == CentreMode::placed;
    const std::array<int, 3> at = o.centreAt.value_or(std::array<int, 3>{175, 175, 125});
    in.xvonzokord = at[0];
    in.yvonzokord = at[1];
    in.zvonzokord = at[2];
    in.vonzaserosseg = o.centreStrength;
    in.eszlelok = o.perceivers;
    in.ragadozoeszleles = o.predatorRange;
    in.reakcioerosseg = o.reaction;
    in.Xalfa = o.alpha;
    in.Zbeta = o.beta;
    in.nagyitas = o.zoom;
    in.szemuveg = o.anaglyph;
    in.befoglalokocka = o.cube;
    return in;
}

}  // namespace nyajkor::batch
