#include "cli/run_setup.h"

#include <algorithm>

#include "model/controls.h"
#include "model/rounding.h"
#include "model/simulation.h"

namespace nyajkor::batch {

void prepareView(View& v, const Inputs& in) {
    setViewDefaults(v);
    // the zoom scroll bar moved after Start, as the user would move it
    v.nagyitasszorzo = in.nagyitas / 10.0;
}

}  // namespace nyajkor::batch

namespace nyajkor::batch {

namespace {

// A scroll bar moved to `position` within its range; false when it stood
// there already, which fires nothing.
bool moveBar(Inputs& in, int Inputs::*bar, int position) {
    const Control& control = controlOf(bar);
    position = std::clamp(position, control.min, control.max);
    if (position == in.*bar) return false;
    in.*bar = position;
    return true;
}

void moveCentreControls(Flock& f, Inputs& in, const Options& o) {
    in.kozepenvonzo = o.centre == CentreMode::middle;
    in.mozgovonzo = o.centre == CentreMode::moving;
    in.elhelyez = o.centre == CentreMode::placed;
    if (in.kozepenvonzo) {
        f.vonzox = f.xkozep;
        f.vonzoy = f.xkozep;
        f.vonzoz = f.zkozep;
    }
    if (in.elhelyez) {
        // the coordinate bars show the centre; one that has to move moves it
        if (moveBar(in, &Inputs::xvonzokord, roundHalfEven(f.vonzox))) f.vonzox = in.xvonzokord;
        if (moveBar(in, &Inputs::yvonzokord, roundHalfEven(f.vonzoy))) f.vonzoy = in.yvonzokord;
        if (moveBar(in, &Inputs::zvonzokord, roundHalfEven(f.vonzoz))) f.vonzoz = in.zvonzokord;
    }
}

}  // namespace

void moveGivenControls(Flock& f, View& v, Inputs& in, const Options& o) {
    const auto given = [&o](const char* flag) { return wasGiven(o, flag); };
    if (given("n")) in.egyedszam = o.controls.egyedszam;  // read at the next restart only
    if (given("speed")) in.vkozos = o.controls.vkozos;
    if (given("noise")) in.parameter = o.controls.parameter;
    moveRadiusAndEquilibrium(in, given("radius") ? std::optional(o.controls.sugar) : std::nullopt,
                             given("equilibrium") ? std::optional(o.controls.tavolsag) : std::nullopt);
    if (given("distance-mode")) {
        in.autotaszito = o.distanceMode == DistanceMode::autoRepulsive;
        in.egyenitaszito = o.distanceMode == DistanceMode::customRepulsive;
        in.autovonzo = o.distanceMode == DistanceMode::autoAttractive;
        in.egyenivonzo = o.distanceMode == DistanceMode::customAttractive;
        // a custom mode opens its bar at the strength in effect
        if (in.egyenitaszito || in.egyenivonzo) in.egyensulyerosseg = f.tavtartaserosseg;
    }
    if (given("strength")) {
        in.egyensulyerosseg = o.controls.egyensulyerosseg;
        if (in.egyenitaszito || in.egyenivonzo) f.tavtartaserosseg = in.egyensulyerosseg;
    }
    if (given("cohesion")) {
        in.tkpvonzas = true;
        in.tkpvonzaserosseg = o.controls.tkpvonzaserosseg;
    }
    if (given("centre")) moveCentreControls(f, in, o);
    if (o.centreAt) {
        const std::array<int, 3> at = *o.centreAt;
        in.xvonzokord = at[0];
        in.yvonzokord = at[1];
        in.zvonzokord = at[2];
        f.vonzox = at[0];
        f.vonzoy = at[1];
        f.vonzoz = at[2];
    }
    if (given("centre-strength")) in.vonzaserosseg = o.controls.vonzaserosseg;
    if (given("perceivers")) in.eszlelok = o.controls.eszlelok;
    for (int p = 0; p < o.predators; ++p) ujragadozo(f);  // "Új ragadozó" clicked K more times
    if (given("predator-range")) in.ragadozoeszleles = o.controls.ragadozoeszleles;
    if (given("reaction")) in.reakcioerosseg = o.controls.reakcioerosseg;
    if (given("alpha")) in.Xalfa = o.controls.Xalfa;
    if (given("beta")) in.Zbeta = o.controls.Zbeta;
    if (given("zoom")) {
        in.nagyitas = o.controls.nagyitas;
        v.nagyitasszorzo = in.nagyitas / 10.0;
    }
    if (given("anaglyph")) in.szemuveg = true;
    if (given("no-cube")) in.befoglalokocka = false;
}

}  // namespace nyajkor::batch
