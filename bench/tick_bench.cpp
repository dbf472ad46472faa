// The tick, timed next to the plain cube scan on one thread in the same run.
//
// Each case starts a flock (spread as seeded, or clumped into a Gaussian
// ball of spread 15 around the box centre), then times single ticks from the
// same starting state, so the scene does not drift while it is measured.
// Before timing it measures the plain reference on the same state and
// reports plain_ms and the ratio plain / fast of the medians.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/bench_host.h"
#include "model/scenes.h"
#include "model/simulation.h"
#include "model/velocity_update.h"
#include "model/workers.h"
#include "render/frame.h"

namespace nyajkor {
namespace {

using Clock = std::chrono::steady_clock;

enum SceneKind { kSpread = 0, kClumped = 1 };

// The state a tick reads and changes, saved so that every timed tick starts
// from the same flock.
struct Snapshot {
    std::vector<double> x, y, z, vx, vy, vz;
    double vonzox, vonzoy, vonzoz;
    std::vector<double> ragx, ragy, ragz;
    Random rng;
    int tavtartaserosseg, hangolasszamlalo;

    explicit Snapshot(const Flock& f)
        : x(f.x), y(f.y), z(f.z), vx(f.vx), vy(f.vy), vz(f.vz), vonzox(f.vonzox), vonzoy(f.vonzoy),
          vonzoz(f.vonzoz), ragx(f.ragx), ragy(f.ragy), ragz(f.ragz), rng(f.rng),
          tavtartaserosseg(f.tavtartaserosseg), hangolasszamlalo(f.hangolasszamlalo) {}

    void restore(Flock& f) const {
        std::copy(x.begin(), x.end(), f.x.begin());
        std::copy(y.begin(), y.end(), f.y.begin());
        std::copy(z.begin(), z.end(), f.z.begin());
        std::copy(vx.begin(), vx.end(), f.vx.begin());
        std::copy(vy.begin(), vy.end(), f.vy.begin());
        std::copy(vz.begin(), vz.end(), f.vz.begin());
        std::copy(ragx.begin(), ragx.end(), f.ragx.begin());
        std::copy(ragy.begin(), ragy.end(), f.ragy.begin());
        std::copy(ragz.begin(), ragz.end(), f.ragz.begin());
        f.vonzox = vonzox;
        f.vonzoy = vonzoy;
        f.vonzoz = vonzoz;
        f.rng = rng;
        f.tavtartaserosseg = tavtartaserosseg;
        f.hangolasszamlalo = hangolasszamlalo;
    }
};

Flock& sharedFlock() {
    static auto flock = std::make_unique<Flock>();
    return *flock;
}

// Start the scene: moves the clumped flock into its ball and ticks once so
// the lattice and the velocities belong to the scene.
void startBenchScene(Flock& f, const Inputs& in, SceneKind kind) {
    startScene(f, in, 2024);
    if (kind == kClumped) clumpFlock(f, 15, 2024);
    tick(f, in, {NeighbourSearch::columns, nullptr});
}

double medianMs(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Milliseconds of single ticks from `snap`, `repeats` times.
std::vector<double> timeTicks(Flock& f, const Inputs& in, const Snapshot& snap, const Execution& how,
                              int repeats) {
    std::vector<double> ms;
    for (int k = 0; k < repeats; ++k) {
        snap.restore(f);
        const auto t0 = Clock::now();
        tick(f, in, how);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return ms;
}

// The benchmark's loop: `step` from `snap` at every iteration, timed by
// hand; returns the median in milliseconds.
template <typename Step>
double timedMedianMs(benchmark::State& state, Flock& f, const Snapshot& snap, Step step) {
    std::vector<double> ms;
    for (auto _ : state) {
        snap.restore(f);
        const auto t0 = Clock::now();
        step();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        state.SetIterationTime(ms.back() / 1000);
    }
    return medianMs(ms);
}

// Args: N, radius, scene, threads (0: all cores).
void BM_Tick(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int radius = static_cast<int>(state.range(1));
    const auto kind = static_cast<SceneKind>(state.range(2));
    const int threads = static_cast<int>(state.range(3));
    Workers one(1);
    Workers& workers = threads == 1 ? one : Workers::shared();

    Flock& f = sharedFlock();
    const Inputs in = plainInputs(n, radius);
    startBenchScene(f, in, kind);
    const Snapshot snap(f);

    // the plain reference: few repeats, it is slow at large radii
    const int plainRepeats = radius >= 10 ? 3 : 7;
    const double plainMs = medianMs(timeTicks(f, in, snap, {NeighbourSearch::plainCube, &one}, plainRepeats));

    const double fast = timedMedianMs(state, f, snap, [&] { tick(f, in, {NeighbourSearch::columns, &workers}); });
    state.counters["fast_ms"] = fast;
    state.counters["plain_ms"] = plainMs;
    state.counters["ratio"] = plainMs / fast;
    state.counters["neighbours"] = f.atlagszomszed;
    state.counters["threads"] = workers.count();
}

void tickArguments(benchmark::internal::Benchmark* b) {
    for (int kind : {kSpread, kClumped})
        for (int n : {500, 2000, 5000})
            for (int radius : {0, 5, 10, 20})
                for (int threads : {1, 0}) b->Args({n, radius, kind, threads});
}

BENCHMARK(BM_Tick)
    ->Apply(tickArguments)
    ->ArgNames({"n", "r", "clumped", "threads"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);

// A whole frame at the largest settings: one tick and the anaglyph drawing
// with the cube, as the window does every 40 ms. Arg: scene.
void BM_WholeFrame(benchmark::State& state) {
    const auto kind = static_cast<SceneKind>(state.range(0));
    Flock& f = sharedFlock();
    Inputs in = plainInputs(5000, 20);
    in.szemuveg = true;
    in.Xalfa = 30;
    in.Zbeta = 45;
    startBenchScene(f, in, kind);
    const Snapshot snap(f);
    View view;
    BenchHost host;
    Workers one(1);
    const double plainMs = medianMs(timeTicks(f, in, snap, {NeighbourSearch::plainCube, &one}, 3));

    const double frame = timedMedianMs(state, f, snap, [&] {
        tick(f, in);
        rajzolasvezerlo(f, in, view, host);
    });
    state.counters["frame_ms"] = frame;
    state.counters["plain_tick_ms"] = plainMs;
    state.counters["ratio"] = plainMs / frame;
}

BENCHMARK(BM_WholeFrame)
    ->Arg(kSpread)
    ->Arg(kClumped)
    ->ArgName("clumped")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace
}  // namespace nyajkor

BENCHMARK_MAIN();
