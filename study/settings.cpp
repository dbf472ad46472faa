#include "study/settings.h"

#include "model/controls.h"
#include "model/simulation.h"
#include "record/real_text.h"

#include <cmath>

namespace nyajkor::study {

std::vector<int> Sweep::values() const {
    std::vector<int> v;
    for (std::size_t k = 0; k < count(); ++k) v.push_back(valueAt(k));
    return v;
}

std::string Sweep::label() const {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
    return text;
}

std::string escaped(const std::string& value) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') text += "\\n";
        else if (c == '\t') text += "\\t";
        else if (c == '\r') text += "\\r";
        else if (byte < 0x20 || byte == 0x7f) text += std::string("\\x") + hex[byte >> 4] + hex[byte & 15];
        else text += c;
    }
    return text;
}

std::string quoted(const std::string& value) {
    std::string text(1, '\'');
    text += escaped(value);
    text += '\'';
    return text;
}

Box boxOf(const Settings& s) {
    Box box;
    if (s.boxExtents) box.extent = *s.boxExtents;
    box.boundary = s.boundary;
    return box;
}

bool isResearchSetup(const Settings& s) {
    return s.boxExtents || s.boundary != Boundary::walls || s.noiseModel != NoiseModel::cube || s.density;
}

double individualsAtDensity(double density, const Box& box, int radius) {
    const double r = radius;
    const double n = ((density * box.extent[0]) * box.extent[1]) * box.extent[2] / ((r * r) * r);
    return n < 2147483647.0 ? std::nearbyint(n) : n;
}

int individualsOf(const Settings& s) {
    if (!s.density) return s.controls.egyedszam;
    const double n = individualsAtDensity(*s.density, boxOf(s), s.controls.sugar);
    return n <= kMaxResearchEgyed ? static_cast<int>(n) : kMaxResearchEgyed + 1;
}

namespace {

std::string extentsText(const Box& box) {
    return std::to_string(box.extent[0]) + "," + std::to_string(box.extent[1]) + "," + std::to_string(box.extent[2]);
}

}  // namespace

std::string individualsAllowed() {
    const Control& bar = controlOf(&Inputs::egyedszam);
    return "(allowed: " + std::to_string(bar.min) + ".." + std::to_string(bar.max) + "; with --box or --boundary periodic " +
           std::to_string(kFewestResearchIndividuals) + ".." + std::to_string(kMaxResearchEgyed) + ")";
}

void checkSetup(const Settings& s) {
    const Box box = boxOf(s);
    const bool ownBox = s.boxExtents || box.periodic();
    if (s.density) {
        if (!s.boxExtents) throw RefusedInput("--density: needs --box, the box it fills");
        if (s.controls.sugar == 0) throw RefusedInput("--density: counts individuals per r^3, so the radius must be 1 or more");
    }
    const int n = individualsOf(s);
    const Control& bar = controlOf(&Inputs::egyedszam);
    const int lo = ownBox ? kFewestResearchIndividuals : bar.min, hi = ownBox ? kMaxResearchEgyed : bar.max;
    if (n < lo || n > hi) {
        const std::string allowed = " " + individualsAllowed();
        if (s.density)
            throw RefusedInput("--density: " + realText(*s.density) + " individuals per r^3 in the box " +
                               extentsText(box) + " at radius " + std::to_string(s.controls.sugar) + " make " +
                               (n > kMaxResearchEgyed ? "more than 1000000" : std::to_string(n)) +
                               (n == 1 ? " individual" : " individuals") + allowed);
        throw RefusedInput("--n: " + std::to_string(n) + " is out of range" + allowed);
    }
    if (!box.periodic())
        for (int e : box.extent)
            if (e < kSmallestWalledExtent)
                throw RefusedInput("--box: " + extentsText(box) + " is too small for walls: each side must be " +
                                   std::to_string(kSmallestWalledExtent) +
                                   " or more (seeding keeps 10 from the walls, the walls push 25 deep)");
    if (box.periodic()) {
        if (2 * s.controls.sugar + 1 > box.smallestExtent())
            throw RefusedInput("--radius: " + std::to_string(s.controls.sugar) + " is too large for the periodic box " +
                               extentsText(box) + ": the search cube, 2r+1 cells wide, must fit its smallest side");
        const char* refused = s.controls.tkpvonzas ? "--cohesion" : s.centre != CentreMode::off ? "--centre"
                              : s.predators > 0   ? "--predators" : nullptr;
        if (refused)
            throw RefusedInput(std::string(refused) +
                               ": not with --boundary periodic: a centre of mass is not defined on a torus");
    }
    if (!box.isStandard() && !box.periodic()) {
        const char* refused = s.centre != CentreMode::off ? "--centre" : s.predators > 0 ? "--predators" : nullptr;
        if (refused)
            throw RefusedInput(std::string(refused) + ": only in the window's box 350,350,250, where its places are defined");
    }
}

void setParameter(Settings& s, const std::string& name, int value) {
    if (name == "predators") {
        s.predators = value;
        return;
    }
    if (name == "box") {
        s.boxExtents = std::array<int, 3>{value, value, value};
        return;
    }
    for (const Control& c : kControls) {
        if (!c.flag || name != c.flag) continue;
        s.controls.*c.position = value;
        if (c.position == &Inputs::tkpvonzaserosseg) s.controls.tkpvonzas = true;
        return;
    }
    throw std::logic_error("no parameter is named " + quoted(name));
}

void moveRadiusAndEquilibrium(Inputs& in, std::optional<int> radius, std::optional<int> equilibrium) {
    // As in the window, a scroll bar that moves keeps the equilibrium
    // distance within the perception radius; one set to where it stands
    // fires nothing.
    if (radius && *radius != in.sugar) {
        in.sugar = *radius;
        in.tavolsag = tavegyeztetes(in.sugar, in.tavolsag);
    }
    if (equilibrium && *equilibrium != in.tavolsag) {
        in.tavolsag = *equilibrium;
        in.tavolsag = tavegyeztetes(in.sugar, in.tavolsag);
    }
}

Inputs controlsFor(const Settings& s) {
    Inputs in = s.controls;
    in.egyedszam = individualsOf(s);
    // the two bars move from where they start, each keeping the distance within the radius
    in.sugar = Inputs().sugar;
    in.tavolsag = Inputs().tavolsag;
    moveRadiusAndEquilibrium(in, s.controls.sugar, s.controls.tavolsag);
    in.autotaszito = s.distanceMode == DistanceMode::autoRepulsive;
    in.egyenitaszito = s.distanceMode == DistanceMode::customRepulsive;
    in.autovonzo = s.distanceMode == DistanceMode::autoAttractive;
    in.egyenivonzo = s.distanceMode == DistanceMode::customAttractive;
    in.kozepenvonzo = s.centre == CentreMode::middle;
    in.mozgovonzo = s.centre == CentreMode::moving;
    in.elhelyez = s.centre == CentreMode::placed;
    const std::array<int, 3> at = s.centreAt.value_or(std::array<int, 3>{175, 175, 125});
    in.xvonzokord = at[0];
    in.yvonzokord = at[1];
    in.zvonzokord = at[2];
    return in;
}

void prepareRun(Flock& f, const Settings& s, const Inputs& in, std::uint32_t seed) {
    setBox(f, boxOf(s));
    f.noiseModel = s.noiseModel;
    start(f, in, seed);
    const bool custom =
        s.distanceMode == DistanceMode::customRepulsive || s.distanceMode == DistanceMode::customAttractive;
    if (custom) f.tavtartaserosseg = in.egyensulyerosseg;
    if (s.centre == CentreMode::placed) {
        f.vonzox = in.xvonzokord;
        f.vonzoy = in.yvonzokord;
        f.vonzoz = in.zvonzokord;
    }
    for (int p = 0; p < s.predators; ++p) ujragadozo(f);
}

}  // namespace nyajkor::study
