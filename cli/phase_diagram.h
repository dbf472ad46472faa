// The summary of a sweep of two flags as a phase diagram: a heat map of one
// quantity over the grid, the first flag across, the second up, with a
// colour bar. Drawn with QPainter into an image; no window is needed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/sweep.h"

class QColor;

namespace nyajkor::batch {

// What a chart shows of a point: the mean over its repeats and the half
// height of its error bar. The order parameter's error is the one over the
// repeats, or with a single run the one its correlation time gives.
Estimate plottedEstimate(const PointSummary& s, PlotQuantity q);

// "Order parameter", "Susceptibility", "Binder cumulant".
std::string quantityTitle(PlotQuantity q);

// The colour of `fraction` (0..1) of the way along the map's scale, dark
// blue through green to yellow, which reads the same in grey.
QColor scaleColour(double fraction);

// Needs a running QApplication (ChartApplication). Throws std::runtime_error
// when the picture cannot be encoded.
void writePhaseDiagram(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q,
                       std::ostream& png);

}  // namespace nyajkor::batch
