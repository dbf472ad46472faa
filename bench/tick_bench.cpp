// The tick, timed next to the plain cube scan on one thread in the same run.
//
// Each case starts a flock (spread as seeded, or clumped into a Gaussian
// ball of spread 15 around the box centre), then times single ticks from the
// same starting state, so the scene does not drift while it is measured.
// Before timing it measures the plain reference on the same state (the cube
// scan over a dense lattice, as first written: the lattice's fill and every
// individual's search) and reports plain_ms and the ratio plain / fast of
// the medians.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <unistd.h>

#include "bench/bench_host.h"
#include "model/rounding.h"
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

double medianMs(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The plain cube scan as the program first had it: a dense lattice of one
// int32 per cell (122.5 MB, allocated once per process), read cell by cell
// over the (2r+1)^3 cube of every individual. Only the benchmark keeps it,
// as the reference its ratios are taken against; the model's own plain scan
// walks the lean lattice's columns and is faster.
class DenseLatticeScan {
public:
    DenseLatticeScan() : cells_(std::size_t{kRacsX} * kRacsX * kRacsZ), written_(kMaxEgyed) {}

    // Milliseconds to fill the lattice from f's positions and search every
    // individual of f, on this thread.
    double searchAllMs(const Flock& f) {
        const auto t0 = Clock::now();
        for (int k = 0; k < writtenCount_; ++k) cells_[written_[k]] = 0;
        writtenCount_ = 0;
        for (int i = 1; i <= f.egyeddb; ++i) {
            const std::size_t c = cell(roundHalfEven(f.x[i]), roundHalfEven(f.y[i]), roundHalfEven(f.z[i]));
            cells_[c] = i;  // the last writer wins
            written_[writtenCount_++] = c;
        }
        double check = 0;
        for (int i = 1; i <= f.egyeddb; ++i) check += search(f, i);
        benchmark::DoNotOptimize(check);
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }

private:
    static std::size_t cell(int a, int b, int c) { return (std::size_t(a) * kRacsX + b) * kRacsZ + c; }

    // What the update needs of the search, folded into one number.
    double search(const Flock& f, int i) const {
        const int r = f.latotav;
        const int ci = roundHalfEven(f.x[i]), cj = roundHalfEven(f.y[i]), ck = roundHalfEven(f.z[i]);
        double mintav = 2.0 * r, sumvx = 0, sumvy = 0, sumvz = 0;
        int szomszeddb = 0;
        for (int a = ci - r; a <= ci + r; ++a) {
            if (a < 0 || a >= f.xmeret) continue;
            for (int b = cj - r; b <= cj + r; ++b) {
                if (b < 0 || b >= f.xmeret) continue;
                for (int c = ck - r; c <= ck + r; ++c) {
                    if (c < 0 || c >= f.zmeret) continue;
                    const int k = cells_[cell(a, b, c)];
                    if (k == 0 || k == i) continue;
                    const double dx = f.x[k] - f.x[i], dy = f.y[k] - f.y[i], dz = f.z[k] - f.z[i];
                    const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
                    if (d < mintav) mintav = d;
                    if (d < r && d > 0) {
                        sumvx += f.vx[k];
                        sumvy += f.vy[k];
                        sumvz += f.vz[k];
                        szomszeddb += 1;
                    }
                }
            }
        }
        return mintav + sumvx + sumvy + sumvz + szomszeddb;
    }

    std::vector<std::int32_t> cells_;
    std::vector<std::size_t> written_;
    int writtenCount_ = 0;
};

// The plain reference on the state `snap` leaves, the median of `repeats`.
double plainReferenceMs(Flock& f, const Snapshot& snap, int repeats) {
    static DenseLatticeScan scan;
    std::vector<double> ms;
    for (int k = 0; k < repeats; ++k) {
        snap.restore(f);
        moveAndFillLattice(f);  // the positions the tick's search sees
        ms.push_back(scan.searchAllMs(f));
    }
    return medianMs(ms);
}

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
    const double plainMs = plainReferenceMs(f, snap, radius >= 10 ? 3 : 7);

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

// ---------------------------------------------------------------- dense flocks

// States of real runs at N 5000, r 20, after the flock has collapsed under
// cohesion: "--seed 1 --cohesion 10" after 750 and 1100 ticks, "--seed 1
// --cohesion 20 --noise 0" after 1050 ticks, and that last state pulled
// together until everyone is within r of everyone.
enum DenseScene { kCohesion750 = 0, kCohesion1100 = 1, kStill1050 = 2, kCollapsed = 3 };

struct DenseRecipe {
    int cohesion, noise, ticks;
    bool collapse;
};

constexpr DenseRecipe kDenseRecipes[] = {{10, 10, 750, false}, {10, 10, 1100, false}, {20, 0, 1050, false},
                                         {20, 0, 1050, true}};

Inputs denseInputs(DenseScene scene) {
    const DenseRecipe& r = kDenseRecipes[scene];
    return cohesionInputs(5000, 20, r.cohesion, r.noise);
}

// The scene's state, run once per process and kept.
const Snapshot& denseScene(DenseScene scene) {
    static std::unique_ptr<Snapshot> made[std::size(kDenseRecipes)];
    if (!made[scene]) {
        const DenseRecipe& r = kDenseRecipes[scene];
        const Inputs in = denseInputs(scene);
        Flock& f = sharedFlock();
        startScene(f, in, 1);
        for (int t = 0; t < r.ticks; ++t) tick(f, in);
        if (r.collapse) collapseFlock(f, 9.5);
        made[scene] = std::make_unique<Snapshot>(f);
    }
    return *made[scene];
}

// The least an exact update can do in a scene: for each individual, as many
// velocities as it perceives added one after another into three sums, on
// one thread, from contiguous memory. The sums of one individual form three
// chains of dependent additions; nothing is left for other work.
double inOrderSumMs(const Flock& f, const std::vector<int>& counts) {
    const int n = f.egyeddb;
    const auto t0 = Clock::now();
    for (int i = 1; i <= n; ++i) {
        double sx = 0, sy = 0, sz = 0;
        // counts[i] consecutive individuals from i on, wrapping past n
        const int first = std::min(counts[i], n - i + 1);
        for (int k = i; k < i + first; ++k) {
            sx += f.vx[k];
            sy += f.vy[k];
            sz += f.vz[k];
        }
        for (int k = 1; k <= counts[i] - first; ++k) {
            sx += f.vx[k];
            sy += f.vy[k];
            sz += f.vz[k];
        }
        benchmark::DoNotOptimize(sx);
        benchmark::DoNotOptimize(sy);
        benchmark::DoNotOptimize(sz);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Args: scene, threads (0: all cores). Reports the tick next to the
// one-thread floor (tick / floor, at most 1 is the target) and the plain scan.
void BM_DenseTick(benchmark::State& state) {
    const auto scene = static_cast<DenseScene>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    Workers one(1);
    Workers& workers = threads == 1 ? one : Workers::shared();
    const Inputs in = denseInputs(scene);
    const Snapshot& snap = denseScene(scene);
    Flock& f = sharedFlock();

    // the perceived neighbours of each individual in the tick from the scene
    snap.restore(f);
    tick(f, in, {NeighbourSearch::columns, &one});
    const std::vector<int> counts = f.scratch->szomszeddb;
    const double neighbours = f.atlagszomszed;
    std::vector<double> floor;
    for (int k = 0; k < 5; ++k) floor.push_back(inOrderSumMs(f, counts));
    const double floorMs = medianMs(floor);
    const double plainMs = plainReferenceMs(f, snap, 1);

    const double fast = timedMedianMs(state, f, snap, [&] { tick(f, in, {NeighbourSearch::columns, &workers}); });
    state.counters["tick_ms"] = fast;
    state.counters["floor_ms"] = floorMs;
    state.counters["tick/floor"] = fast / floorMs;
    state.counters["plain_ms"] = plainMs;
    state.counters["plain/tick"] = plainMs / fast;
    state.counters["neighbours"] = neighbours;
    state.counters["threads"] = workers.count();
}

BENCHMARK(BM_DenseTick)
    ->ArgsProduct({{kCohesion750, kCohesion1100, kStill1050, kCollapsed}, {1, 0}})
    ->ArgNames({"scene", "threads"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

// Making the dense scenes from scratch: 1100 ticks of the cohesion run at
// N 5000, r 20, the flock collapsing on the way. Reports ms per tick.
void BM_DenseRun(benchmark::State& state) {
    const Inputs in = denseInputs(kCohesion1100);
    Flock& f = sharedFlock();
    for (auto _ : state) {
        startScene(f, in, 1);
        for (int t = 0; t < 1100; ++t) tick(f, in);
    }
    state.counters["ms_per_tick"] = benchmark::Counter(1100.0 * state.iterations() / 1000,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_DenseRun)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---------------------------------------------------------------- memory

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A flock's cost in memory and time: constructing one, and what a run at
// N 5000, r 20 adds to the resident memory (100 ticks, as a runner does).
// Eight flocks are kept alive at once, so each one's pages count.
void BM_FlockFootprint(benchmark::State& state) {
    const Inputs in = plainInputs(5000, 20);
    Workers one(1);
    double constructMs = 0, kbPerFlock = 0;
    for (auto _ : state) {
        constexpr int kFlocks = 8;
        std::vector<std::unique_ptr<Flock>> flocks;
        const long before = residentKb();
        const auto t0 = Clock::now();
        for (int k = 0; k < kFlocks; ++k) flocks.push_back(std::make_unique<Flock>());
        constructMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / kFlocks;
        for (auto& f : flocks) {
            startScene(*f, in, 1);
            for (int t = 0; t < 100; ++t) tick(*f, in, {NeighbourSearch::columns, &one});
        }
        kbPerFlock = static_cast<double>(residentKb() - before) / kFlocks;
    }
    state.counters["construct_ms"] = constructMs;
    state.counters["resident_kb_per_flock"] = kbPerFlock;
}

BENCHMARK(BM_FlockFootprint)->Unit(benchmark::kMillisecond)->Iterations(1);

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
    setViewDefaults(view);
    BenchHost host;
    const double plainMs = plainReferenceMs(f, snap, 3);

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
