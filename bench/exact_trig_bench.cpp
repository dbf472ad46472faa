// The correctly rounded cosine and sine, timed next to the maths library's
// std::cos and std::sin on the same seeding arguments in the same run.
//
// Each case times one call per argument (a pair of results for CosSin) over
// 4096 arguments drawn as the velocity seeding draws them, and reports ns_per_call and the ratio
// vs_library = its time / the library function's time, measured just before.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

#include "model/exact_trig.h"
#include "model/random.h"

namespace nyajkor {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> seedingArguments() {
    Random rng(20240611u);
    std::vector<double> xs(4096);
    for (double& x : xs) x = std::max(2 * std::numbers::pi * rng.real(), 0x1p-27);  // the stages' domain
    return xs;
}

template <class F>
double sumOver(const std::vector<double>& xs, F f) {
    double s = 0;
    for (double x : xs) s += f(x);
    return s;
}

// Nanoseconds per call of f over xs, the best of a few repetitions.
template <class F>
double nsPerCall(const std::vector<double>& xs, F f) {
    double best = 1e30;
    for (int rep = 0; rep < 20; ++rep) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(sumOver(xs, f));
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        best = std::min(best, ns / static_cast<double>(xs.size()));
    }
    return best;
}

template <class Ours, class Library>
void timeAgainstLibrary(benchmark::State& state, Ours ours, Library library) {
    const std::vector<double> xs = seedingArguments();
    const double libraryNs = nsPerCall(xs, library);
    for (auto _ : state) benchmark::DoNotOptimize(sumOver(xs, ours));
    const double oursNs = nsPerCall(xs, ours);
    state.counters["ns_per_call"] = oursNs;
    state.counters["library_ns_per_call"] = libraryNs;
    state.counters["vs_library"] = oursNs / libraryNs;
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(xs.size()));
}

void BM_CorrectlyRoundedCos(benchmark::State& state) {
    timeAgainstLibrary(state, [](double x) { return correctlyRoundedCos(x); },
                       [](double x) { return std::cos(x); });
}
BENCHMARK(BM_CorrectlyRoundedCos);

void BM_CorrectlyRoundedSin(benchmark::State& state) {
    timeAgainstLibrary(state, [](double x) { return correctlyRoundedSin(x); },
                       [](double x) { return std::sin(x); });
}
BENCHMARK(BM_CorrectlyRoundedSin);

// Both of one argument, as the vectorial noise takes them, against the
// library's std::cos and std::sin of it.
void BM_CorrectlyRoundedCosSin(benchmark::State& state) {
    timeAgainstLibrary(
        state,
        [](double x) {
            double c, s;
            correctlyRoundedCosSin(x, c, s);
            return c + s;
        },
        [](double x) { return std::cos(x) + std::sin(x); });
}
BENCHMARK(BM_CorrectlyRoundedCosSin);

// The slow stage alone, which the functions above reach about once in a
// million calls.
void BM_SlowStageCos(benchmark::State& state) {
    using exact_trig_detail::Function;
    timeAgainstLibrary(state, [](double x) { return exact_trig_detail::slowCorrectlyRounded(Function::cos, x); },
                       [](double x) { return std::cos(x); });
}
BENCHMARK(BM_SlowStageCos);

}  // namespace
}  // namespace nyajkor

BENCHMARK_MAIN();
