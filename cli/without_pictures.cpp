// The runner where there is no Qt to encode pictures and draw charts, and no
// ffmpeg or zlib (the web edition): what the desktop runner writes beside its
// tables is refused before anything is begun, in one line each.
#include <stdexcept>

#include "cli/batch_options.h"
#include "cli/frame_picture.h"
#include "cli/run_recording.h"
#include "cli/sweep_chart.h"

namespace nyajkor::batch {

namespace {

UsageError notHere(const char* flag) {
    return UsageError(std::string("--") + flag +
                      ": not made by this build of the runner; the desktop runner nyajkor3d-batch makes it");
}

}  // namespace

void checkRecordingNeeds(const Options& o, std::ostream&) {
    if (!o.framePath.empty()) throw notHere("frame");
    if (!o.framesDir.empty()) throw notHere("frames");
    if (!o.moviePath.empty()) throw notHere("movie");
    if (!o.trajectoryPath.empty()) throw notHere("trajectory");
}

// Nothing to record: checkRecordingNeeds refused every recording.
class RunRecording::Outputs {};

RunRecording::RunRecording(const Options&, std::ostream*, std::ostream*, std::ostream&, const std::atomic<int>*) {}

RunRecording::~RunRecording() = default;

void RunRecording::afterTick(const Flock&, const Inputs&, View&, TickCount, TickCount) {}

void RunRecording::finish() {}

void writeFramePicture(const Flock&, const Inputs&, View&, int, int, std::ostream&) { throw notHere("frame"); }

class ChartApplication::Platform {};

ChartApplication::ChartApplication() { throw notHere("plot"); }

ChartApplication::~ChartApplication() = default;

void writeSweepChart(const SweepPlan&, const std::vector<PointSummary>&, PlotQuantity, PlotStyle, std::ostream&) {
    throw notHere("plot");
}

}  // namespace nyajkor::batch
