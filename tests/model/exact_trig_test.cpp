// The correctly rounded cosine and sine against MPFR, which rounds its
// results correctly by construction.
//
// NYAJKOR_EXACT_TRIG_DRAWS=N checks N successive seeding draws for each of
// the seeds below instead of the default few hundred thousand, and reports
// how many took the slow stage, how often the maths library's std::cos and
// std::sin differ, and the arguments whose results came nearest to a
// rounding boundary. NYAJKOR_EXACT_TRIG_ALL=1 runs through every one of the
// 2^32 seeding arguments (half an hour), checking with MPFR every result
// the fast stage leaves undecided.

#include "model/exact_trig.h"
#include "model/random.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace nyajkor {
namespace {

using exact_trig_detail::Function;

#if defined(NYAJKOR_CHECK_INVARIANTS) || defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kDefaultDraws = 20'000;
#else
constexpr std::uint64_t kDefaultDraws = 250'000;
#endif

std::uint64_t drawsPerSeed() {
    const char* v = std::getenv("NYAJKOR_EXACT_TRIG_DRAWS");
    if (!v || !*v) return kDefaultDraws;
    return std::strtoull(v, nullptr, 10);
}

const char* name(Function f) { return f == Function::cos ? "cos" : "sin"; }

double ours(Function f, double x) {
    return f == Function::cos ? correctlyRoundedCos(x) : correctlyRoundedSin(x);
}

// cos and sin of x from the pair function.
std::pair<double, double> pair(double x) {
    double c, s;
    correctlyRoundedCosSin(x, c, s);
    return {c, s};
}

double ofPair(Function f, double x) {
    auto [c, s] = pair(x);
    return f == Function::cos ? c : s;
}

double library(Function f, double x) { return f == Function::cos ? std::cos(x) : std::sin(x); }

// cos x or sin x to `bits` bits, rounded to nearest.
class Reference {
public:
    explicit Reference(mpfr_prec_t bits = 53) {
        mpfr_init2(x_, 53);
        mpfr_init2(y_, bits);
    }
    ~Reference() {
        mpfr_clear(x_);
        mpfr_clear(y_);
    }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    // The correctly rounded double.
    double nearest(Function f, double x) {
        evaluate(f, x);
        return mpfr_get_d(y_, MPFR_RNDN);
    }

    // (hi + lo - exact) / exact, with the exact value to `bits` bits.
    double relativeError(Function f, double x, double hi, double lo) {
        evaluate(f, x);
        mpfr_t d;
        mpfr_init2(d, mpfr_get_prec(y_));
        mpfr_set_d(d, hi, MPFR_RNDN);
        mpfr_add_d(d, d, lo, MPFR_RNDN);
        mpfr_sub(d, d, y_, MPFR_RNDN);
        mpfr_div(d, d, y_, MPFR_RNDN);
        double r = mpfr_get_d(d, MPFR_RNDN);
        mpfr_clear(d);
        return r;
    }

private:
    void evaluate(Function f, double x) {
        mpfr_set_d(x_, x, MPFR_RNDN);
        if (f == Function::cos)
            mpfr_cos(y_, x_, MPFR_RNDN);
        else
            mpfr_sin(y_, x_, MPFR_RNDN);
    }

    mpfr_t x_, y_;
};

// The argument of the velocity seeding: a full turn times a draw.
double seedingArgument(Random& rng) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    return kTwoPi * rng.real();
}

// Below this both functions answer without either stage.
constexpr double kTinyArgument = 0x1p-27;

constexpr Function kBoth[] = {Function::cos, Function::sin};
constexpr std::uint32_t kSeeds[] = {1u, 20240611u, 0xDEADBEEFu, 4000000000u};

// Distance of the fast stage's estimate from the nearest rounding boundary,
// in units of the last place of the result.
double boundaryDistance(const exact_trig_detail::Estimate& e) {
    const double inf = std::numeric_limits<double>::infinity();
    double up = std::nextafter(e.hi, inf) - e.hi;
    double down = e.hi - std::nextafter(e.hi, -inf);
    return std::min((up / 2 - e.lo) / up, (e.lo + down / 2) / down);
}

TEST(ExactTrig, SeedingArgumentsMatchMpfr) {
    const std::uint64_t draws = drawsPerSeed();
    Reference ref;
    std::uint64_t checked = 0, slow = 0, libraryDiffers[2] = {0, 0};
    struct Hard {
        double distance;
        Function f;
        double x;
    };
    std::vector<Hard> hardest;
    for (std::uint32_t seed : kSeeds) {
        Random rng(seed);
        for (std::uint64_t i = 0; i < draws; ++i) {
            const double x = seedingArgument(rng);
            for (Function f : kBoth) {
                const double got = ours(f, x);
                ASSERT_EQ(got, ref.nearest(f, x)) << name(f) << '(' << std::hexfloat << x << ')';
                ASSERT_EQ(ofPair(f, x), got) << "pair " << name(f) << '(' << std::hexfloat << x << ')';
                if (library(f, x) != got) ++libraryDiffers[f == Function::sin];
                ++checked;
                if (std::fabs(x) < kTinyArgument) continue;
                double fast;
                if (!exact_trig_detail::fastCorrectlyRounded(f, x, fast)) ++slow;
                double d = boundaryDistance(exact_trig_detail::fastEstimate(f, x));
                if (hardest.size() < 5 || d < hardest.back().distance) {
                    hardest.push_back({d, f, x});
                    std::sort(hardest.begin(), hardest.end(),
                              [](const Hard& a, const Hard& b) { return a.distance < b.distance; });
                    if (hardest.size() > 5) hardest.pop_back();
                }
            }
        }
    }
    const double perFunction = static_cast<double>(checked) / 2;
    std::cout << "checked " << checked << " results of " << checked / 2 << " seeding arguments; slow stage "
              << slow << "; library differs: cos " << libraryDiffers[0] << " ("
              << 100.0 * libraryDiffers[0] / perFunction << " %), sin " << libraryDiffers[1] << " ("
              << 100.0 * libraryDiffers[1] / perFunction << " %)\n";
    for (const Hard& h : hardest)
        std::cout << "  nearest a boundary: " << name(h.f) << '(' << std::hexfloat << h.x << std::defaultfloat
                  << ") at " << h.distance << " ulp\n";
}

// The generator's 2^32 states give 2^32 seeding arguments; this goes through
// all of them.
TEST(ExactTrig, EverySeedingArgument) {
    const char* all = std::getenv("NYAJKOR_EXACT_TRIG_ALL");
    if (!all || std::string(all) != "1") GTEST_SKIP() << "set NYAJKOR_EXACT_TRIG_ALL=1 to run (half an hour)";
    Reference ref;
    std::uint64_t slow = 0, libraryDiffers[2] = {0, 0};
    for (std::uint64_t s = 0; s < (std::uint64_t{1} << 32); ++s) {
        Random rng(static_cast<std::uint32_t>(s) * 3645876429u - 3645876429u);  // next state: s
        const double x = seedingArgument(rng);
        for (Function f : kBoth) {
            double got;
            if (x < kTinyArgument) {
                got = ours(f, x);
                ASSERT_EQ(got, ref.nearest(f, x)) << name(f) << '(' << std::hexfloat << x << ')';
            } else if (!exact_trig_detail::fastCorrectlyRounded(f, x, got)) {
                ++slow;
                got = ours(f, x);
                ASSERT_EQ(got, ref.nearest(f, x)) << name(f) << '(' << std::hexfloat << x << ')';
                std::cout << "slow stage: " << name(f) << '(' << std::hexfloat << x << std::defaultfloat << ")\n";
            }
            if (library(f, x) != got) ++libraryDiffers[f == Function::sin];
        }
        if ((s + 1) % (std::uint64_t{1} << 28) == 0)
            std::cout << "  " << (s + 1) / (std::uint64_t{1} << 28) << "/16 done: slow stage " << slow
                      << ", library differs: cos " << libraryDiffers[0] << ", sin " << libraryDiffers[1] << std::endl;
    }
    std::cout << "every seeding argument: slow stage " << slow << "; library differs: cos " << libraryDiffers[0]
              << ", sin " << libraryDiffers[1] << " of 2^32 each\n";
}

// Arguments where something could go wrong: the ends of the domain, the
// cutoff for tiny arguments, the doubles next to multiples of pi/2 (where
// the reduced argument cancels down to 2^-54), the seeding arguments
// hardest to round that the long run found, and their negatives.
std::vector<double> edgeArguments() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> xs = {0x1p-1074, 0x1p-600, 1e-20, 0x1p-27, std::nextafter(0x1p-27, 0.0), 0x1.8p-27,
                              0x1p-26, 1e-5, 0.5, 0.785398163397448, 0.7853981633974484, 1.0, 2.0, 3.0,
                              4.0, 5.0, 6.0, 7.0, 7.999999999999999, 8.0,
                              // results nearest a rounding boundary among 200 million seeding arguments,
                              // 5e-10 to 7e-9 ulp away
                              0x1.08a22ec4baaa7p+2, 0x1.1388b259d7815p-1, 0x1.2754699f51453p+2,
                              0x1.2a9a2b94a21fdp+2, 0x1.506ae2ad9e954p-3};
    for (int k = 1; k <= 5; ++k) {
        double m = k * std::numbers::pi / 2;
        for (double x = std::nextafter(m, 0.0), i = 0; i < 5; ++i, x = std::nextafter(x, inf)) xs.push_back(x);
    }
    // just below a full turn, where the seeding's largest draw lands
    xs.push_back(2 * std::numbers::pi * (4294967295.0 / 4294967296.0));
    xs.push_back(std::nextafter(2 * std::numbers::pi, 0.0));
    const std::size_t n = xs.size();
    for (std::size_t i = 0; i < n; ++i) xs.push_back(-xs[i]);
    return xs;
}

TEST(ExactTrig, EdgeArgumentsMatchMpfrInBothStages) {
    Reference ref;
    for (double x : edgeArguments()) {
        for (Function f : kBoth) {
            const double want = ref.nearest(f, x);
            EXPECT_EQ(ours(f, x), want) << name(f) << '(' << std::hexfloat << x << ')';
            EXPECT_EQ(ofPair(f, x), want) << "pair " << name(f) << '(' << std::hexfloat << x << ')';
            if (std::fabs(x) < kTinyArgument) continue;  // both stages start above the cutoff
            EXPECT_EQ(exact_trig_detail::slowCorrectlyRounded(f, x), want)
                << "slow " << name(f) << '(' << std::hexfloat << x << ')';
            double fast;
            if (exact_trig_detail::fastCorrectlyRounded(f, x, fast)) {
                EXPECT_EQ(fast, want) << "fast " << name(f) << '(' << std::hexfloat << x << ')';
            }
        }
    }
}

// Arguments whose results lie within about 2^-52 of a unit in the last
// place from a rounding boundary, beyond what the fast stage can decide:
// cos x = 1 - x^2/2 + ... for x the double nearest to sqrt((2m+1) 2^-53)
// falls next to the midpoint 1 - (2m+1) 2^-54, and sin x = x - x^3/6 + ...
// for x near the cube root of 3 (2m+1) ulp(x) next to the midpoint
// x - (2m+1) ulp(x) / 2.
std::vector<std::pair<Function, double>> nearMidpointArguments() {
    std::vector<std::pair<Function, double>> cases;
    for (int m = 0; m < 12; ++m) cases.push_back({Function::cos, std::sqrt((2 * m + 1) * 0x1p-53)});
    for (int k = 24; k <= 26; ++k) {
        const double ulp = std::ldexp(1.0, -k - 52);  // of doubles in [2^-k, 2^(1-k))
        for (int m = 0; m < 40; ++m) {
            double x = std::cbrt(3 * (2 * m + 1) * ulp);
            if (x >= std::ldexp(1.0, -k) && x < std::ldexp(1.0, 1 - k)) cases.push_back({Function::sin, x});
        }
    }
    return cases;
}

TEST(ExactTrig, NearMidpointResultsTakeTheSlowStageAndMatchMpfr) {
    Reference ref;
    int slow = 0;
    for (auto [f, x] : nearMidpointArguments()) {
        for (double y : {x, -x}) {
            EXPECT_EQ(ours(f, y), ref.nearest(f, y)) << name(f) << '(' << std::hexfloat << y << ')';
            EXPECT_EQ(ofPair(f, y), ref.nearest(f, y)) << "pair " << name(f) << '(' << std::hexfloat << y << ')';
            double fast;
            if (!exact_trig_detail::fastCorrectlyRounded(f, y, fast)) ++slow;
        }
    }
    // Most of them; the cases farther out drift from the boundary.
    EXPECT_GE(slow, 20);
    std::cout << slow << " of " << 2 * nearMidpointArguments().size() << " took the slow stage\n";
}

TEST(ExactTrig, SignsOfZeroAreKept) {
    EXPECT_EQ(correctlyRoundedCos(0.0), 1.0);
    EXPECT_EQ(correctlyRoundedCos(-0.0), 1.0);
    EXPECT_TRUE(std::signbit(correctlyRoundedSin(-0.0)));
    EXPECT_FALSE(std::signbit(correctlyRoundedSin(0.0)));
    for (double zero : {0.0, -0.0}) {
        auto [c, s] = pair(zero);
        EXPECT_EQ(c, 1.0);
        EXPECT_EQ(std::signbit(s), std::signbit(zero));
    }
}

TEST(ExactTrig, OutsideTheDomainIsNaN) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {std::nextafter(kExactTrigMaxArgument, inf), -std::nextafter(kExactTrigMaxArgument, inf), 100.0,
                     inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_TRUE(std::isnan(correctlyRoundedCos(x))) << x;
        EXPECT_TRUE(std::isnan(correctlyRoundedSin(x))) << x;
        auto [c, s] = pair(x);
        EXPECT_TRUE(std::isnan(c) && std::isnan(s)) << x;
    }
}

// The pair shares the reduction and the table look-up; its results must be
// those of the two functions bit for bit, also where the fast stage gives
// up. Arguments spread over the whole domain, both signs, so that every
// quadrant and table step is met, plus the edge and near-midpoint ones.
TEST(ExactTrig, PairIsBitForBitTheTwoFunctions) {
    std::vector<double> xs = edgeArguments();
    for (auto [f, x] : nearMidpointArguments()) {
        xs.push_back(x);
        xs.push_back(-x);
    }
    Random rng(4242u);
    for (int i = 0; i < 200'000; ++i) xs.push_back(kExactTrigMaxArgument * (2 * rng.real() - 1));
    for (double x : xs) {
        auto [c, s] = pair(x);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(c), std::bit_cast<std::uint64_t>(correctlyRoundedCos(x)))
            << "cos(" << std::hexfloat << x << ')';
        ASSERT_EQ(std::bit_cast<std::uint64_t>(s), std::bit_cast<std::uint64_t>(correctlyRoundedSin(x)))
            << "sin(" << std::hexfloat << x << ')';
    }
}

// The slow stage is rarely reached through the public functions; here it
// is checked on its own on seeding arguments.
TEST(ExactTrig, SlowStageMatchesMpfrOnSeedingArguments) {
    Reference ref;
    Random rng(777u);
    for (int i = 0; i < 1500; ++i) {
        const double x = seedingArgument(rng);
        if (x < kTinyArgument) continue;
        for (Function f : kBoth)
            ASSERT_EQ(exact_trig_detail::slowCorrectlyRounded(f, x), ref.nearest(f, x))
                << name(f) << '(' << std::hexfloat << x << ')';
    }
}

// The fast stage's error bound is what makes its answers correct: the
// exact value, to 400 bits, must lie within it.
TEST(ExactTrig, FastStageStaysWithinItsErrorBound) {
    Reference ref(400);
    double worst = 0;  // largest error seen, as a share of the bound
    auto check = [&](Function f, double x) {
        exact_trig_detail::Estimate e = exact_trig_detail::fastEstimate(f, x);
        double err = std::fabs(ref.relativeError(f, x, e.hi, e.lo));
        ASSERT_LE(err, e.relError) << name(f) << '(' << std::hexfloat << x << ')';
        worst = std::max(worst, err / e.relError);
    };
    for (double x : edgeArguments()) {
        if (std::fabs(x) >= kTinyArgument)
            for (Function f : kBoth) check(f, x);
    }
    Random rng(99u);
    for (int i = 0; i < 50'000; ++i) {
        const double x = seedingArgument(rng);
        if (x >= kTinyArgument)
            for (Function f : kBoth) check(f, x);
    }
    // the rest of the domain, both signs: every quadrant of the reduction
    for (int i = 0; i < 20'000; ++i) {
        const double x = kExactTrigMaxArgument * (2 * rng.real() - 1);
        if (std::fabs(x) >= kTinyArgument)
            for (Function f : kBoth) check(f, x);
    }
    std::cout << "largest fast-stage error: " << worst << " of its bound\n";
}

}  // namespace
}  // namespace nyajkor
