// The summary of a sweep as a chart in a PNG picture, drawn without a window.
//
// For one swept flag, a quantity against it with error bars of one standard
// error, and the susceptibility beside it; for two, a phase diagram. The
// chart is Qt Charts' own drawing on the offscreen platform, so the runner
// stays headless.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/sweep.h"

namespace nyajkor::batch {

// A chart is a graphics widget, so drawing one needs a QApplication; this
// makes one when none runs, for as long as it lives. The chart is drawn into
// an image, so the offscreen platform is all it needs, whatever the session
// offers: the platform is always that one, found before it is started, with
// a runtime folder of its own when the session has none, and Qt's messages
// kept off standard error meanwhile. Made before a sweep's runs, it finds a
// platform that cannot start before any work is done, and throws
// std::runtime_error instead of letting Qt end the program. Qt stays out of
// this header: builds without Qt (the web edition) give their own.
class ChartApplication {
public:
    ChartApplication();
    ~ChartApplication();
    ChartApplication(const ChartApplication&) = delete;
    ChartApplication& operator=(const ChartApplication&) = delete;

private:
    class Platform;
    std::unique_ptr<Platform> platform_;  // nullptr: the application is someone else's
};

// Uses the running QApplication or makes one. For one swept axis, `q`
// against it with error bars and, unless `q` is the susceptibility, the
// susceptibility on an axis of its own; for two, the phase diagram of `q`,
// or as `curves` `q` against the second axis with a curve for each step of
// the first (the Binder cumulant of each system size, say, to see where
// they cross). Throws std::runtime_error when the picture cannot be drawn
// or encoded.
void writeSweepChart(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q,
                     PlotStyle style, std::ostream& png);

}  // namespace nyajkor::batch
