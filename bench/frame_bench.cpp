// One frame of the view against one tick of the model, at the largest flock.
//
// The view has to keep up with the model: a frame is drawn after every tick.
// Both run here on the same scene (5000 individuals with every mode on, the
// wandering centre and five predators, the cube shown), the frame through the
// real rasteriser on a surface the size of the window's view. The tick is the
// reference: after the usual table, each frame is reported as a ratio to it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/scenes.h"
#include "model/simulation.h"
#include "bench/bench_host.h"
#include "record/movie.h"
#include "render/frame.h"
#include "render/view.h"

namespace nyajkor {
namespace {

constexpr int kN = 5000;
constexpr int kRadius = 5;

// One scene for all benchmarks, started once and moved a few ticks on, with
// a frame drawn between them, so that the flock has left its seeding pattern
// and every buffer and cache is warm before timing starts.
struct Scene {
    Scene() : inputs(everyModeInputs(kN, kRadius)), flock(std::make_unique<Flock>()) {
        startScene(*flock, inputs, 20240611, kMaxRagadozo);
        setViewDefaults(view);
        for (int t = 0; t < 20; ++t) {
            tick(*flock, inputs);
            rajzolasvezerlo(*flock, inputs, view, host);
        }
    }
    Inputs inputs;
    std::unique_ptr<Flock> flock;
    View view;
    BenchHost host;
};

Scene& scene() {
    static Scene s;
    return s;
}

void Tick(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) tick(*s.flock, s.inputs);
}

void Frame(benchmark::State& state, bool anaglyph) {
    Scene& s = scene();
    Inputs in = s.inputs;
    in.szemuveg = anaglyph;
    in.Xalfa = 30;
    in.Zbeta = 45;
    for (auto _ : state) rajzolasvezerlo(*s.flock, in, s.view, s.host);
}

// A tick and its frame, as the window's timer does them; with a recording,
// each frame also goes to the movie. The encoder works on other threads, so
// the two should take the same time: the recording costs the ticking thread
// only the frame's copy, as long as ffmpeg keeps up with the ticks.
void TickAndFrame(benchmark::State& state, bool recording) {
    Scene& s = scene();
    std::unique_ptr<MovieEncoder> movie;
    if (recording) {
        const std::string ffmpeg = findFfmpeg();
        if (ffmpeg.empty()) return state.SkipWithError("ffmpeg is not installed");
        movie = std::make_unique<MovieEncoder>(ffmpeg, s.host.width(), s.host.height());
    }
    PixelCanvas& canvas = *static_cast<PixelCanvas*>(s.host.canvas());
    for (auto _ : state) {
        tick(*s.flock, s.inputs);
        rajzolasvezerlo(*s.flock, s.inputs, s.view, s.host);
        if (movie) movie->addFrame(canvas.bits());
    }
    // (the movie is abandoned with the encoder, after the timing has ended)
}

// The reference comes first, so every later line can be put against it.
BENCHMARK(Tick)->Name("tick/5000")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, normal, false)->Name("frame/5000/normal+cube")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, anaglyph, true)->Name("frame/5000/anaglyph+cube")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TickAndFrame, plain, false)->Name("tick+frame/5000")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(TickAndFrame, recording, true)
    ->Name("tick+frame/5000/recording")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The usual table (format and colours as the flags ask), then each
// benchmark's real time as a ratio to the first one reported. Real time,
// because the tick spreads its work over threads.
class RatioReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return table_->ReportContext(context); }

    void ReportRuns(const std::vector<Run>& runs) override {
        table_->ReportRuns(runs);
        // one time per benchmark: the run itself, or with repetitions their median
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(single || median)) continue;
            // in seconds, whatever unit the table shows
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            times_.push_back({run.run_name.str(), seconds});
        }
    }

    void Finalize() override {
        table_->Finalize();
        if (times_.empty()) return;
        const auto& [refName, refTime] = times_.front();
        std::printf("\nratio to %s:\n", refName.c_str());
        for (const auto& [name, time] : times_) std::printf("  %-28s %7.3f\n", name.c_str(), time / refTime);
    }

private:
    // owned by the library
    benchmark::BenchmarkReporter* table_ = benchmark::CreateDefaultDisplayReporter();
    std::vector<std::pair<std::string, double>> times_;
};

}  // namespace
}  // namespace nyajkor

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    nyajkor::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
