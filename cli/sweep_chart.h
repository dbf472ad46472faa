// The summary of a sweep as a chart in a PNG picture, drawn without a window.
//
// The order parameter against the first swept flag, one line per value of
// the second, with error bars of one standard error over the repeats. The
// chart is Qt Charts' own drawing; it needs a QApplication, which is made
// here on the offscreen platform (unless the user chose another) only for
// as long as the picture takes, so the runner stays headless.
#pragma once

#include <ostream>
#include <vector>

#include "cli/sweep.h"

namespace nyajkor::batch {

// Throws std::runtime_error when the picture cannot be drawn or encoded.
void writeSweepChart(const SweepPlan& plan, const std::vector<PointSummary>& summary, std::ostream& png);

}  // namespace nyajkor::batch
