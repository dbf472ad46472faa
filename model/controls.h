// The scroll bars: one row per control, read by everything that needs to
// know a control's range or where it starts.
//
// The window builds its scroll bars from these rows, Inputs takes its
// defaults from them, and the headless runner derives its flags, their
// range checks and their --help lines from them. Changing a range or a start
// position here changes it everywhere; adding a control is one row here plus
// whatever handler the window runs when it moves.
#pragma once

#include "model/flock.h"

namespace nyajkor {

struct Control {
    const char* name;        // historical name of the scroll bar, and of its field in Inputs
    int Inputs::*position;   // that field
    int min, max;            // the range
    int start;               // the position at launch
    int smallChange, largeChange;
    const char* flag;        // the runner's flag, without its dashes; nullptr: none
    const char* help;        // the flag's --help line up to its range: value name and meaning
    const char* helpNote;    // what the --help line says after the range and default
};

inline constexpr Control kControls[] = {
    {"egyedszam", &Inputs::egyedszam, 500, 5000, 2000, 10, 50, "n",
     "N          number of individuals (Egyedszám)", ""},
    {"vkozos", &Inputs::vkozos, 5, 20, 10, 1, 5, "speed", "V      common speed x10 (Közös sebesség)", ""},
    {"parameter", &Inputs::parameter, 0, 100, 10, 1, 5, "noise", "P      noise x100 (Zajparaméter)", ""},
    {"sugar", &Inputs::sugar, 0, 20, 0, 1, 5, "radius",
     "R     perception radius (Észlelt szomszédok max. távolsága)", ""},
    {"egyensulyerosseg", &Inputs::egyensulyerosseg, 0, 20, 5, 1, 5, "strength",
     "S   distance-keeping strength in the custom modes", ""},
    {"tavolsag", &Inputs::tavolsag, 2, 20, 5, 1, 5, "equilibrium", "D  equilibrium distance (Egyensúlyi távolság)",
     ";\n                     kept at or below the radius where the radius is 2 or more"},
    {"tkpvonzaserosseg", &Inputs::tkpvonzaserosseg, 0, 20, 5, 1, 5, "cohesion",
     "P   attraction to the centre of mass, off unless given; its strength", ""},
    {"vonzaserosseg", &Inputs::vonzaserosseg, 0, 20, 10, 1, 5, "centre-strength",
     "A  strength of the attracting centre", ""},
    {"eszlelok", &Inputs::eszlelok, 0, 100, 100, 1, 5, "perceivers",
     "PCT  per cent of individuals perceiving the centre", ""},
    {"ragadozoeszleles", &Inputs::ragadozoeszleles, 20, 200, 50, 1, 5, "predator-range",
     "R  distance at which predators are perceived", ""},
    {"reakcioerosseg", &Inputs::reakcioerosseg, 0, 20, 15, 1, 5, "reaction",
     "K   strength of the flight from predators", ""},
    {"Xalfa", &Inputs::Xalfa, 0, 90, 0, 1, 5, "alpha",
     "A     view angle about the x axis in degrees (X körüli forgatás)", ""},
    {"Zbeta", &Inputs::Zbeta, 0, 360, 0, 1, 5, "beta",
     "B      view angle about the z axis in degrees (Z körüli forgatás)", ""},
    {"nagyitas", &Inputs::nagyitas, 10, 25, 15, 1, 5, "zoom", "Z      zoom x10 (Nagyítás)", ""},
    // the placed centre's coordinates: the runner sets all three with one flag of its own
    {"xvonzokord", &Inputs::xvonzokord, 50, 250, 150, 1, 10, nullptr, nullptr, nullptr},
    {"yvonzokord", &Inputs::yvonzokord, 50, 250, 150, 1, 10, nullptr, nullptr, nullptr},
    {"zvonzokord", &Inputs::zvonzokord, 50, 250, 150, 1, 10, nullptr, nullptr, nullptr},
};

// The row of the control whose position is `position`; every field of
// Inputs that is a position has one.
constexpr const Control& controlOf(int Inputs::*position) {
    for (const Control& c : kControls)
        if (c.position == position) return c;
    throw "not a scroll bar's position";  // in a constant expression: a compile error
}

}  // namespace nyajkor
