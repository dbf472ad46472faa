// The native side of the web edition's benchmark: the same tick and frame
// as in the browser, from the same checkpoints, on one thread, as the
// browser has one. bench/web/browser_bench.py runs it beside the page.
// Besides, the tick alone through each lane kernel this processor has: the
// browser has only the two-lane one, which shows what that costs natively.
//   web_native_bench CHECKPOINT... [--benchmark_format=json ...]
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "bench/web/tick_and_draw.h"
#include "model/checkpoint.h"
#include "model/simulation.h"
#include "model/velocity_update.h"
#include "model/workers.h"

namespace {

void tickAndDraw(benchmark::State& state, const std::string& checkpoint) {
    nyajkor::bench::TickAndDraw scene(checkpoint);
    scene.run(10);  // buffers and caches warm, as the browser's warm-up
    for (auto _ : state) {
        scene.run(1);
        benchmark::DoNotOptimize(scene.rgba());
    }
    state.counters["neighbours"] = scene.meanNeighbours();
}

void tickThrough(benchmark::State& state, const std::string& checkpoint, nyajkor::LanePath lanes) {
    using namespace nyajkor;
    auto flock = std::make_unique<Flock>();
    Inputs in;
    ViewSettings view;
    TickCount ticks = 0;
    restoreCheckpoint(checkpoint, *flock, view, in, ticks);
    setBoxConstants(*flock);
    Workers one(1);
    const Execution execution{NeighbourSearch::columns, &one, lanes};
    for (int t = 0; t < 10; ++t) tick(*flock, in, execution);
    for (auto _ : state) tick(*flock, in, execution);
}

constexpr std::pair<nyajkor::LanePath, const char*> kLanePaths[] = {
    {nyajkor::LanePath::portable, "two-lane"}, {nyajkor::LanePath::avx2, "avx2"}, {nyajkor::LanePath::avx512, "avx512"}};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    nyajkor::Workers::configureShared(1);
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        std::string bytes;
        try {
            bytes = nyajkor::readCheckpointFile(path);
        } catch (const nyajkor::CheckpointError& e) {
            std::cerr << path << ": " << e.what() << '\n';
            return 2;
        }
        benchmark::RegisterBenchmark(("tick+frame/" + path).c_str(), tickAndDraw, bytes)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
        for (const auto& [lanes, name] : kLanePaths)
            if (nyajkor::lanePathAvailable(lanes))
                benchmark::RegisterBenchmark(("tick/" + std::string(name) + "/" + path).c_str(), tickThrough, bytes,
                                             lanes)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(1.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
