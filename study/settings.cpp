#include "study/settings.h"

#include "model/controls.h"
#include "model/simulation.h"

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

void setParameter(Settings& s, const std::string& name, int value) {
    if (name == "predators") {
        s.predators = value;
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
    setBoxConstants(f);
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
