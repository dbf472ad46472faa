// The velocity correlation function of a flock state, timed next to the
// all-pairs computation of the same sums in the same run.
//
// The state is built by hand: N individuals at uniformly random places in a
// periodic cube of side 147 (the cut-off is then 73.5, and about 52% of
// the pairs fall within it) with random velocities. Each case reports
// s_per_tick (wall clock) and cpu_s_per_tick (processor time, all threads),
// and, where the all-pairs reference is timed too (N = 10,000; at 100,000
// it would take minutes), vs_all_pairs = its processor time / the
// reference's, on one thread and shared out among two.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <random>
#include <vector>

#include "study/correlation.h"

namespace nyajkor::study {
namespace {

using Clock = std::chrono::steady_clock;

const Box kCube{{147, 147, 147}, Boundary::periodic};

struct State {
    std::vector<double> x, y, z, vx, vy, vz;
    FlockPoints points() const { return {x, y, z, vx, vy, vz}; }
};

State randomState(std::size_t n) {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> place(0, 147), velocity(-1, 1);
    State s;
    for (auto* v : {&s.x, &s.y, &s.z}) v->resize(n);
    for (auto* v : {&s.vx, &s.vy, &s.vz}) v->resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        s.x[i] = place(random), s.y[i] = place(random), s.z[i] = place(random);
        s.vx[i] = velocity(random), s.vy[i] = velocity(random), s.vz[i] = velocity(random);
    }
    return s;
}

// The same bins from every unordered pair, each checked against the cut-off.
std::vector<double> allPairs(const State& s, double bin) {
    const double cutoff = correlationCutoff(kCube);
    const std::size_t bins = correlationBins(kCube, bin).count(), n = s.x.size();
    double mx = 0, my = 0, mz = 0;
    for (std::size_t i = 0; i < n; ++i) mx += s.vx[i], my += s.vy[i], mz += s.vz[i];
    mx /= static_cast<double>(n), my /= static_cast<double>(n), mz /= static_cast<double>(n);
    std::vector<double> sums(bins);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j) {
            const double dx = minimumImage(s.x[j] - s.x[i], 147), dy = minimumImage(s.y[j] - s.y[i], 147),
                         dz = minimumImage(s.z[j] - s.z[i], 147);
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (!(r < cutoff)) continue;
            sums[std::min(static_cast<std::size_t>(r / bin), bins - 1)] +=
                (s.vx[i] - mx) * (s.vx[j] - mx) + (s.vy[i] - my) * (s.vy[j] - my) + (s.vz[i] - mz) * (s.vz[j] - mz);
        }
    return sums;
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The wall-clock and processor seconds of f(); on a shared machine the
// processor's tell the work, the wall clock's what threads gain.
struct Seconds {
    double wall = 0, cpu = 0;
};
template <class F>
Seconds seconds(F f) {
    const auto t0 = Clock::now();
    const double c0 = processSeconds();
    benchmark::DoNotOptimize(f());
    return {std::chrono::duration<double>(Clock::now() - t0).count(), processSeconds() - c0};
}

// Arguments: N and the threads it is shared out among.
void BM_Correlation(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const State s = randomState(n);
    Workers workers(static_cast<int>(state.range(1)));
    Seconds best{1e30, 1e30};
    for (auto _ : state) {
        const Seconds t = seconds([&] { return velocityCorrelation(s.points(), kCube, 1, &workers); });
        best = {std::min(best.wall, t.wall), std::min(best.cpu, t.cpu)};
    }
    state.counters["s_per_tick"] = best.wall;
    state.counters["cpu_s_per_tick"] = best.cpu;
    if (n <= 10000) {
        const Seconds reference = seconds([&] { return allPairs(s, 1); });
        state.counters["all_pairs_cpu_s"] = reference.cpu;
        state.counters["vs_all_pairs"] = best.cpu / reference.cpu;
    }
}
BENCHMARK(BM_Correlation)->Args({10000, 1})->Args({10000, 2})->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_Correlation)->Args({100000, 1})->Args({100000, 2})->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace nyajkor::study

BENCHMARK_MAIN();
