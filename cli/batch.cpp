#include "cli/batch.h"

#include <charconv>
#include <chrono>
#include <memory>
#include <optional>

#include "cli/batch_options.h"
#include "cli/frame_picture.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/run_recording.h"
#include "cli/run_setup.h"
#include "cli/sweep.h"
#include "model/captions.h"
#include "model/checkpoint.h"
#include "model/scenes.h"
#include "model/simulation.h"
#include "model/workers.h"
#include "record/real_text.h"
#include "render/view.h"
#include "study/correlation.h"

namespace nyajkor::batch {

int failedOrStopped(const std::exception& e, std::ostream& err, const std::atomic<int>* stop) {
    err << kMessagePrefix << e.what() << '\n';
    // standard output failing after a SIGPIPE is the reader gone away, not a fault of the run
    return stop && stop->load() != 0 ? stoppedStatus(stop->load()) : 1;
}

int finishStandardOutput(std::ostream& out, std::ostream& err, const std::atomic<int>* stop) {
    out.flush();
    if (out) return 0;
    // a reader gone away is a signal like any other; anything else is a failure
    if (stop && stop->load() != 0) return stoppedStatus(stop->load());
    err << kMessagePrefix << "writing standard output failed\n";
    return 1;
}

int refusedOrStopped(const std::exception& e, std::ostream& err, const std::atomic<int>* stop) {
    // a signal cuts a wait short (a FIFO's reader): the stop, not the failure it caused, is the news
    if (stop && stop->load() != 0) {
        err << kMessagePrefix << "interrupted before the work began; no file written\n";
        return stoppedStatus(stop->load());
    }
    err << kMessagePrefix << e.what() << '\n';
    return 2;
}

std::string realText(double v) { return nyajkor::realText(v); }

namespace {

void writeStatisticsHeader(std::ostream& csv) {
    csv << "tick,order_percent,order,avg_neighbours,mean_nn_distance,strength\n";
}

void writeStatisticsRow(std::ostream& csv, TickCount tick, const Flock& f) {
    csv << tick << ',' << f.rendszazalek << ',' << realText(f.rendparameter) << ','
        << realText(f.atlagszomszed) << ',' << realText(f.atlagtav) << ',' << f.tavtartaserosseg << '\n';
}

void writeDump(std::ostream& out, const Flock& f) {
    out << "kind,index,x,y,z,vx,vy,vz\n";
    for (int i = 1; i <= f.egyeddb; ++i)
        out << "individual," << i << ',' << realText(f.x[i]) << ',' << realText(f.y[i]) << ','
            << realText(f.z[i]) << ',' << realText(f.vx[i]) << ',' << realText(f.vy[i]) << ','
            << realText(f.vz[i]) << '\n';
    out << "centre,0," << realText(f.vonzox) << ',' << realText(f.vonzoy) << ',' << realText(f.vonzoz)
        << ",,,\n";
    for (int p = 1; p <= f.ragadozodb; ++p)
        out << "predator," << p << ',' << realText(f.ragx[p]) << ',' << realText(f.ragy[p]) << ','
            << realText(f.ragz[p]) << ",,,\n";
}

void writeSummary(std::ostream& out, std::uint32_t seed, long ticks, const Flock& f) {
    out << "seed " << seed << "\nticks " << ticks << "\nindividuals " << f.egyeddb
        << "\norder_percent " << f.rendszazalek << "\norder " << realText(f.rendparameter)
        << "\navg_neighbours " << realText(f.atlagszomszed) << " (shown as "
        << meanNeighboursCaption(f.atlagszomszed) << ")\nmean_nn_distance " << realText(f.atlagtav)
        << "\nstrength " << f.tavtartaserosseg << '\n';
}

// Sets the state to --resume's checkpoint; UsageError when it cannot be
// used, with the flock as it was. Returns the ticks run before it.
TickCount restoreResumed(Flock& f, View& v, Inputs& in, const Options& o) {
    TickCount first = 0;
    ViewSettings settings;
    try {
        restoreCheckpoint(readCheckpointFile(o.checkpointToResume), f, settings, in, first);
    } catch (const CheckpointError& e) {
        throw UsageError("--resume: " + quoted(o.checkpointToResume) + " " + e.what());
    }
    // the checkpoint written after this run must be readable again
    if (first > kMaxTickCount - o.ticks)
        throw UsageError("--resume: " + quoted(o.checkpointToResume) + " is at tick " + std::to_string(first) +
                         "; " + std::to_string(o.ticks) + " more ticks would pass the largest tick count, " +
                         std::to_string(kMaxTickCount));
    applyViewSettings(v, settings);
    return first;
}

// The state the run starts from: Start with the controls the flags set, or
// the restored checkpoint with the controls the flags move.
void prepareStart(Flock& f, View& v, Inputs& in, const Options& o, std::uint32_t seed, std::ostream& err) {
    if (o.checkpointToResume.empty()) {
        in = controlsFor(o);
        prepareRun(f, o, in, seed);
        // the order of the seeded velocities, for what tick 0 shows (the
        // first tick computes it afresh)
        computeOrderParameter(f);
        prepareView(v, in);
    } else {
        setBoxConstants(f);
        moveGivenControls(f, v, in, o);
    }
    const bool equilibriumSet = o.checkpointToResume.empty() || wasGiven(o, "equilibrium");
    if (equilibriumSet && in.tavolsag != o.controls.tavolsag)
        err << kMessagePrefix << "note: the equilibrium distance is " << in.tavolsag << ", not " << o.controls.tavolsag
            << ": it stays within the perception radius\n";
}

// One run: the per-tick statistics, the run along the way, the final state,
// the picture and the checkpoint.
int runSingle(const Options& o, std::ostream& out, std::ostream& err, bool showProgress,
              const std::atomic<int>* stop) {
    std::optional<OutputFile> csv, dump, frame, trajectory, movie, checkpoint, correlationFile;
    std::unique_ptr<Flock> flock;
    std::unique_ptr<View> view;
    Inputs in;
    TickCount first = 0;  // the ticks run before this run's first
    try {
        checkRecordingNeeds(o, out);
        flock = std::make_unique<Flock>(std::max(individualsOf(o), kMaxEgyed));
        view = std::make_unique<View>();
        if (!o.checkpointToResume.empty()) first = restoreResumed(*flock, *view, in, o);
        beginOutputs({{"csv", o.csvPath, csv}, {"dump", o.dumpPath, dump}, {"frame", o.framePath, frame},
                      {"trajectory", o.trajectoryPath, trajectory}, {"movie", o.moviePath, movie},
                      {"checkpoint", o.checkpointPath, checkpoint},
                      {"correlation", o.correlationPath, correlationFile}},
                     out);
    } catch (const UsageError& e) {
        return refusedOrStopped(e, err, stop);
    } catch (const std::exception& e) {
        return failedOrStopped(e, err, stop);
    }
    auto stopped = [&] { return stop && stop->load() != 0; };

    try {
        const std::uint32_t seed = o.seed.value_or(clockSeed());
        Workers::configureShared(o.threads.value_or(0));
        Flock& f = *flock;
        View& v = *view;
        prepareStart(f, v, in, o, seed, err);
        RunRecording recording(o, trajectory ? &trajectory->stream() : nullptr,
                               movie ? &movie->stream() : nullptr, out, stop);

        if (csv) writeStatisticsHeader(csv->stream());
        const Box box = f.box;  // the run's, or the checkpoint's when resumed
        std::optional<study::CorrelationTable> correlation;
        if (correlationFile) correlation.emplace(study::correlationBins(box, *o.correlationBin));
        recording.afterTick(f, in, v, first, first);
        Progress progress(err, showProgress, "ticks");
        TickCount t = 1;
        for (; t <= o.ticks && !stopped(); ++t) {
            tick(f, in);
            if (csv) writeStatisticsRow(csv->stream(), first + t, f);
            recording.afterTick(f, in, v, first + t, first);
            if (correlation && t % o.every == 0)
                correlation->addTick(
                    study::velocityCorrelation(study::pointsOf(f), box, *o.correlationBin, &Workers::shared()));
            progress.update(t, o.ticks, static_cast<double>(t) / static_cast<double>(o.ticks));
        }
        if (!stopped()) {
            recording.finish();
            if (dump) writeDump(dump->stream(), f);
            if (frame) writeFramePicture(f, in, v, o.frameWidth, o.frameHeight, frame->stream());
            if (checkpoint) checkpoint->stream() << checkpointBytes(f, viewSettingsOf(v), in, first + o.ticks);
            if (correlation) {
                correlationFile->stream() << study::kCorrelationColumns << '\n';
                study::writeCorrelationRows(correlationFile->stream(), *correlation, "");
            }
        }
        // the last look before the first file is put in place: after it, all are
        if (stopped()) {
            err << kMessagePrefix << "interrupted at tick " << first + t - 1 << "; no file written"
                << (o.framesDir.empty() ? "" : " but the pictures of --frames so far") << '\n';
            return stoppedStatus(stop->load());
        }
        for (auto* file : {&csv, &dump, &frame, &trajectory, &movie, &checkpoint, &correlationFile})
            if (*file) (*file)->commit();
        if (o.csvPath != "-" && o.dumpPath != "-" && o.trajectoryPath != "-" && o.correlationPath != "-")
            writeSummary(out, seed, o.ticks, f);
        return finishStandardOutput(out, err, stop);
    } catch (const std::exception& e) {
        return failedOrStopped(e, err, stop);
    }
}

}  // namespace

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool showProgress,
             const std::atomic<int>* stop, const std::function<void()>& afterRun) {
    Options o;
    try {
        o = parseOptions(args);
    } catch (const UsageError& e) {
        err << kMessagePrefix << e.what() << '\n';
        return 2;
    }
    if (o.help) {
        out << usage();
        return 0;
    }
    if (o.version) {
        out << "nyajkor3d-batch " NYAJKOR_VERSION "\n";
        return 0;
    }
    if (o.sweeps.empty()) return runSingle(o, out, err, showProgress, stop);
    return runSweep(std::move(o), out, err, {showProgress, stop, afterRun});
}

}  // namespace nyajkor::batch
