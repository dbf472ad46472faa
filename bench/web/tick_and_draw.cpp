#include "bench/web/tick_and_draw.h"

#include "model/checkpoint.h"
#include "model/simulation.h"
#include "render/frame.h"

namespace nyajkor::bench {

TickAndDraw::TickAndDraw(const std::string& checkpoint) {
    ViewSettings settings;
    TickCount ticks = 0;
    restoreCheckpoint(checkpoint, *flock_, settings, inputs_, ticks);
    setBoxConstants(*flock_);
    setViewDefaults(view_);
    applyViewSettings(view_, settings);
}

void TickAndDraw::run(int count) {
    for (int t = 0; t < count; ++t) {
        tick(*flock_, inputs_);
        rajzolasvezerlo(*flock_, inputs_, view_, *this);
    }
}

void TickAndDraw::flip() { canvas_.copyAsRgba(rgba_.data()); }

}  // namespace nyajkor::bench
