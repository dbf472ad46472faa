// Run control and the simulation tick, without a window.
//
// These are the model's halves of the window's operations: the window (or the
// runner) reads the clock, enables its buttons and timer and draws; the
// functions here change the flock state in exactly the order the program does.
#pragma once

#include <cstdint>

#include "model/flock.h"
#include "model/rounding.h"
#include "model/velocity_update.h"

namespace nyajkor {

// The window's resize: the box constants of the window's box.
void setBoxConstants(Flock& f);
// A research setup's box: its extents and boundary, and the box constants
// from them.
void setBox(Flock& f, const Box& box);

// Start's defaults of the model: predators, strength, centre. The view sets
// its own (render/view.h).
void setStartDefaults(Flock& f);

// "Újraindít": the generator reseeded with `seed` (the window's clock), N
// and the parameters from the controls, an empty lattice, cleared arrays, a
// fresh random flock.
void restart(Flock& f, const Inputs& in, std::uint32_t seed);

// Start: Start's defaults, then a restart with `seed`.
void start(Flock& f, const Inputs& in, std::uint32_t seed);

// One tick without the drawing: parameter pickup, move, lattice, auto-tune,
// velocity update, order parameter.
void tick(Flock& f, const Inputs& in, const Execution& how = {});

// The tick's steps, for tests and benchmarks that need them one by one.
void pickUpParameters(Flock& f, const Inputs& in);
void moveAndFillLattice(Flock& f);
void autoTune(Flock& f, const Inputs& in);
void computeOrderParameter(Flock& f);

// "Új ragadozó": adds a predator at a random corner of the cube 10..300 on
// every axis (three draws). Returns false, changing nothing, when 5 are active.
bool ujragadozo(Flock& f);
// "Ragadozók törlése": no predators; their old positions stay unread.
void ragadozotorles(Flock& f);

// The position `tavolsag` must take so that the equilibrium distance stays at
// or below the perception radius: unchanged when sugar >= tavolsag, otherwise
// sugar raised to the scroll bar's minimum of 2.
int tavegyeztetes(int sugar, int tavolsag);

}  // namespace nyajkor
