// The start of a run of the runner, shared by single runs and sweeps.
//
// Start as the window does it with the controls in place, then what the user
// would do before the first tick, so that a run of the runner is a run of the
// window.
#pragma once

#include <cstdint>

#include "cli/batch_options.h"
#include "render/view.h"

namespace nyajkor::batch {

using study::prepareRun;

// Start's view, then the zoom the options ask for.
void prepareView(View& v, const Inputs& in);

}  // namespace nyajkor::batch

namespace nyajkor::batch {

// After a checkpoint is restored: the flags given with --resume, each moving
// its control (and what the window's handler of that control changes in
// the flock or the view) as the user would between ticks.
void moveGivenControls(Flock& f, View& v, Inputs& in, const Options& o);

}  // namespace nyajkor::batch
