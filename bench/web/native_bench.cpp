// The native side of the web edition's benchmark: the same tick and frame
// as in the browser, from the same checkpoints, on one thread, as the
// browser has one. bench/web/browser_bench.py runs it beside the page.
//   web_native_bench CHECKPOINT... [--benchmark_format=json ...]
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "bench/web/tick_and_draw.h"
#include "model/checkpoint.h"
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
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
