// The research setups at scale: N = 99,266 in a periodic cube of side 147 at
// 2 individuals per r^3 with r = 4, vectorial noise 0.45, speed 1.0, as
// seeded and after 2,000 ticks, on one thread and on every usable CPU.
//
// Absolute times say little on a shared machine, so each case also times,
// in the same process and on the same workers, the window's own tick at its
// heaviest setting (5000 individuals at radius 20, spread as seeded), and
// reports the ratio. The memory the flock and its search take above the
// program's baseline is reported per individual: the resident size after
// the flock's first ticks less the resident size before it was made.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include <unistd.h>

#include "model/cpus.h"
#include "model/scenes.h"
#include "model/simulation.h"
#include "model/velocity_update.h"
#include "model/workers.h"

namespace nyajkor {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSide = 147, kRadius = 4;
constexpr int kIndividuals = 99'266;  // round(2 * 147^3 / 4^3)

long residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

Inputs researchInputs() {
    Inputs in;
    in.egyedszam = kIndividuals;
    in.sugar = kRadius;
    in.tavolsag = kRadius;
    in.parameter = 45;
    in.vkozos = 10;
    return in;
}

// The 100,000 flock, seeded, and the resident bytes it added; made once.
struct Scene {
    std::unique_ptr<Flock> flock;
    Inputs in = researchInputs();
    long addedBytes = 0;
    long ticksRun = 0;

    Scene() {
        const long before = residentBytes();
        flock = std::make_unique<Flock>(kIndividuals);
        setBox(*flock, Box{{kSide, kSide, kSide}, Boundary::periodic});
        flock->noiseModel = NoiseModel::vectorial;
        start(*flock, in, 7);
        for (int t = 0; t < 3; ++t) tick(*flock, in);
        ticksRun = 3;
        addedBytes = residentBytes() - before;
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

double msOf(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

// The window's heaviest tick on these workers, the median of a few.
double windowTickMs(Workers& workers) {
    static auto f = std::make_unique<Flock>();
    const Inputs in = plainInputs(kMaxEgyed, 20);
    std::vector<double> ms;
    for (int k = 0; k < 5; ++k) {
        startScene(*f, in, 11);
        const auto t0 = Clock::now();
        tick(*f, in, {NeighbourSearch::columns, &workers});
        ms.push_back(msOf(t0));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void BM_HundredThousand(benchmark::State& state) {
    const long age = state.range(0);
    const int threads = state.range(1) == 0 ? usableCpus() : static_cast<int>(state.range(1));
    Workers workers(threads);
    Scene& s = scene();
    // the scene ages once, on these workers: the ticks give the same flock on any
    while (s.ticksRun < age) {
        tick(*s.flock, s.in, {NeighbourSearch::columns, &workers});
        ++s.ticksRun;
    }
    const double window = windowTickMs(workers);
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        tick(*s.flock, s.in, {NeighbourSearch::columns, &workers});
        ms.push_back(msOf(t0));
        state.SetIterationTime(ms.back() / 1000);
        ++s.ticksRun;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    state.counters["tick_ms"] = median;
    state.counters["us_per_individual"] = 1000 * median / kIndividuals;
    state.counters["window_tick_ms"] = window;
    state.counters["tick/window"] = median / window;
    state.counters["bytes_per_individual"] = static_cast<double>(s.addedBytes) / kIndividuals;
    state.counters["neighbours"] = s.flock->atlagszomszed;
    state.counters["order"] = s.flock->rendparameter;
    state.counters["threads"] = threads;
}

// As seeded first, then aged: the scene only ages.
BENCHMARK(BM_HundredThousand)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->ArgNames({"age", "threads"})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nyajkor

BENCHMARK_MAIN();
