// The run along the way: a trajectory, a movie and numbered pictures of the
// state the run starts in and of every K-th tick after it.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/batch_options.h"
#include "model/checkpoint.h"
#include "model/flock.h"
#include "render/view.h"

namespace nyajkor::batch {

// Throws UsageError when --movie is given and ffmpeg is not installed, or
// the pictures of --frames cannot be written into their folder or would
// join those of another run there, so that the command stops before any
// work.
void checkRecordingNeeds(const Options& o, std::ostream& standardOutput);

class RunRecording {
public:
    // `trajectory` and `movie` are the streams of those outputs, or nullptr;
    // once `stop` is set, the movie's waits end at once. With
    // --overwrite-frames, the pictures already in the folder are removed.
    RunRecording(const Options& o, std::ostream* trajectory, std::ostream* movie, std::ostream& standardOutput,
                 const std::atomic<int>* stop = nullptr);
    ~RunRecording();

    // Records the state after tick `tick` when it is the state the run
    // started from (`first`) or a multiple of --every ticks after it; the
    // pictures are drawn with the view `v`.
    void afterTick(const Flock& f, const Inputs& in, View& v, TickCount tick, TickCount first);
    // Ends the trajectory and puts the encoded movie into its stream.
    void finish();

private:
    // the files and the drawing it writes them with, out of this header:
    // builds without pictures and movies (the web edition) give their own
    class Outputs;
    std::unique_ptr<Outputs> outputs_;
};

}  // namespace nyajkor::batch
