#include "cli/run_recording.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <filesystem>

#include "cli/frame_picture.h"
#include "cli/output_file.h"
#include "record/movie.h"
#include "record/trajectory.h"
#include "surface/pixel_canvas.h"

namespace nyajkor::batch {

namespace {

std::string picturePath(const std::string& folder, long number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06ld.png", number);
    return folder + "/" + name;
}

// Whether a file's name is that of a picture of --frames: frame-, six or
// more digits, .png.
bool isPictureName(const std::string& name) {
    const std::string prefix = "frame-", suffix = ".png";
    if (name.size() < prefix.size() + 6 + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const auto digits = std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The pictures of --frames in `folder`, one at a time: the folder may hold
// any number of them.
template <typename Visit>
void forEachPicture(const std::string& folder, Visit visit) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (isPictureName(entry.path().filename().string())) {
            if (!visit(entry.path())) return;
        }
}

}  // namespace

void checkRecordingNeeds(const Options& o, std::ostream& standardOutput) {
    if (!o.moviePath.empty() && findFfmpeg().empty())
        throw UsageError("--movie: the ffmpeg program is not installed (Debian package ffmpeg)");
    if (o.framesDir.empty()) return;
    std::error_code error;
    if (!std::filesystem::is_directory(o.framesDir, error))
        throw UsageError("--frames: " + quoted(o.framesDir) + " is not a folder");
    // pictures of another run would stay beside a shorter run's, and mix with them
    bool holdsPictures = false;
    forEachPicture(o.framesDir, [&](const std::filesystem::path&) {
        holdsPictures = true;
        return false;  // one is enough
    });
    if (holdsPictures && !o.overwriteFrames)
        throw UsageError("--frames: " + quoted(o.framesDir) +
                         " already holds pictures of a run (frame-*.png); --overwrite-frames removes them first");
    // the first picture begun and dropped again: its folder takes files
    std::optional<OutputFile> first;
    beginOutputs({{"frames", picturePath(o.framesDir, 0), first}}, standardOutput);
}

class RunRecording::Outputs {
public:
    Outputs(const Options& o, std::ostream* trajectory, std::ostream* movie, std::ostream& standardOutput,
            const std::atomic<int>* stop)
        : every_(o.every), framesDir_(o.framesDir), standardOutput_(standardOutput), movieOut_(movie) {
        if (trajectory) trajectory_.emplace(*trajectory, isCompressedName(o.trajectoryPath));
        if (movie || !framesDir_.empty()) renderer_.emplace(o.frameWidth, o.frameHeight);
        if (movie) movie_ = std::make_unique<MovieEncoder>(findFfmpeg(), o.frameWidth, o.frameHeight, stop);
        if (!framesDir_.empty() && o.overwriteFrames) {
            forEachPicture(framesDir_, [](const std::filesystem::path& picture) {
                std::filesystem::remove(picture);
                return true;
            });
        }
    }

    void afterTick(const Flock& f, const Inputs& in, View& v, TickCount tick, TickCount first) {
        if ((tick - first) % every_ == 0) record(f, in, v, tick);
    }

    void finish() {
        if (trajectory_) trajectory_->finish();
        if (movie_) movie_->finish(*movieOut_);
    }

private:
    void record(const Flock& f, const Inputs& in, View& v, TickCount tick) {
        if (trajectory_) trajectory_->write(f, tick, in.centreActive());
        if (!renderer_) return;
        const PixelCanvas& canvas = renderer_->draw(f, in, v);
        if (movie_) movie_->addFrame(canvas.bits());
        if (!framesDir_.empty()) writeFramePng(canvas);
    }

    // Each picture is whole once written: a run stopped on the way keeps the
    // pictures written before it.
    void writeFramePng(const PixelCanvas& canvas) {
        std::optional<OutputFile> file;
        beginOutputs({{"frames", picturePath(framesDir_, picture_++), file}}, standardOutput_);
        writePng(canvas, "frames", file->stream());
        file->commit();
    }

    long every_;
    std::string framesDir_;
    std::ostream& standardOutput_;
    std::optional<TrajectoryWriter> trajectory_;
    std::ostream* movieOut_ = nullptr;
    std::unique_ptr<MovieEncoder> movie_;
    std::optional<FrameRenderer> renderer_;
    long picture_ = 0;
};

RunRecording::RunRecording(const Options& o, std::ostream* trajectory, std::ostream* movie,
                           std::ostream& standardOutput, const std::atomic<int>* stop)
    : outputs_(std::make_unique<Outputs>(o, trajectory, movie, standardOutput, stop)) {}

RunRecording::~RunRecording() = default;

void RunRecording::afterTick(const Flock& f, const Inputs& in, View& v, TickCount tick, TickCount first) {
    outputs_->afterTick(f, in, v, tick, first);
}

void RunRecording::finish() { outputs_->finish(); }

}  // namespace nyajkor::batch
