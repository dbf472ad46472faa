// The summary of a sweep as a chart in a PNG picture, drawn without a window.
//
// For one swept flag, a quantity against it with error bars of one standard
// error, and the susceptibility beside it; for two, a phase diagram. The
// chart is Qt Charts' own drawing on the offscreen platform, so the runner
// stays headless.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "cli/sweep.h"

class QApplication;

namespace nyajkor::batch {

// A chart is a graphics widget, so drawing one needs a QApplication; this
// makes one when none runs, on the offscreen platform unless the user chose
// a platform, for as long as it lives. Made before a sweep's runs, it finds
// a platform that cannot start before any work is done.
class ChartApplication {
public:
    ChartApplication();
    ~ChartApplication();
    ChartApplication(const ChartApplication&) = delete;
    ChartApplication& operator=(const ChartApplication&) = delete;

private:
    static inline int argc_ = 1;
    static inline char name_[] = "nyajkor3d-batch";
    static inline char* argv_[] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Uses the running QApplication or makes one. For one swept flag, `q`
// against it with error bars and, unless `q` is the susceptibility, the
// susceptibility on an axis of its own; for two, the phase diagram of `q`.
// Throws std::runtime_error when the picture cannot be drawn or encoded.
void writeSweepChart(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q,
                     std::ostream& png);

}  // namespace nyajkor::batch
