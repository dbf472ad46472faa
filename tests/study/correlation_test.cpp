#include "study/correlation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace nyajkor::study {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct State {
    std::vector<double> x, y, z, vx, vy, vz;
    FlockPoints points() const { return {x, y, z, vx, vy, vz}; }
};

// n individuals anywhere in the box, with velocities of a common drift
// and a random part.
State randomState(const Box& box, int n, std::mt19937_64& random) {
    State s;
    std::uniform_real_distribution<double> unit(0, 1), velocity(-1, 1);
    for (int i = 0; i < n; ++i) {
        s.x.push_back(unit(random) * box.extent[0]);
        s.y.push_back(unit(random) * box.extent[1]);
        s.z.push_back(unit(random) * box.extent[2]);
        s.vx.push_back(0.5 + velocity(random));
        s.vy.push_back(velocity(random));
        s.vz.push_back(0.2 * velocity(random));
    }
    return s;
}

// The definition, pair by ordered pair, summed in long double.
struct BruteForce {
    std::vector<long> pairs;
    std::vector<long double> uu;
    long double self = 0;
};

BruteForce allPairs(const State& s, const Box& box, double bin) {
    const std::size_t n = s.x.size();
    const double cutoff = 0.5 * box.smallestExtent();
    const std::size_t bins = static_cast<std::size_t>(std::ceil(cutoff / bin));
    BruteForce b{std::vector<long>(bins), std::vector<long double>(bins)};
    long double mx = 0, my = 0, mz = 0;
    for (std::size_t i = 0; i < n; ++i) mx += s.vx[i], my += s.vy[i], mz += s.vz[i];
    mx /= n, my /= n, mz /= n;
    auto u = [&](std::size_t i) {
        return std::array<long double, 3>{s.vx[i] - mx, s.vy[i] - my, s.vz[i] - mz};
    };
    for (std::size_t i = 0; i < n; ++i) {
        const auto ui = u(i);
        b.self += ui[0] * ui[0] + ui[1] * ui[1] + ui[2] * ui[2];
        for (std::size_t j = 0; j < n; ++j) {
            if (i == j) continue;
            double d[3] = {s.x[j] - s.x[i], s.y[j] - s.y[i], s.z[j] - s.z[i]};
            if (box.periodic())
                for (int a = 0; a < 3; ++a) {
                    if (d[a] > 0.5 * box.extent[a]) d[a] -= box.extent[a];
                    if (d[a] < -0.5 * box.extent[a]) d[a] += box.extent[a];
                }
            const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            if (!(r < cutoff)) continue;
            const std::size_t k = std::min(static_cast<std::size_t>(r / bin), bins - 1);
            const auto uj = u(j);
            ++b.pairs[k];
            b.uu[k] += ui[0] * uj[0] + ui[1] * uj[1] + ui[2] * uj[2];
        }
    }
    b.self /= n;
    return b;
}

void expectRelativelyNear(double got, long double want) {
    EXPECT_LE(std::fabs(got - static_cast<double>(want)), 1e-12 * std::fabs(static_cast<double>(want)))
        << got << " vs " << static_cast<double>(want);
}

void expectMatchesAllPairs(const State& s, const Box& box, double bin) {
    const TickCorrelation t = velocityCorrelation(s.points(), box, bin);
    const BruteForce b = allPairs(s, box, bin);
    ASSERT_EQ(t.pairs.size(), b.pairs.size());
    expectRelativelyNear(t.uuSelf, b.self);
    const std::vector<double> c = t.correlation();
    for (std::size_t k = 0; k < b.pairs.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(t.pairs[k], static_cast<std::uint64_t>(b.pairs[k]));
        if (b.pairs[k] == 0) {
            EXPECT_TRUE(std::isnan(c[k]));
            continue;
        }
        expectRelativelyNear(t.uuSum[k], b.uu[k]);
        expectRelativelyNear(c[k], b.uu[k] / b.pairs[k] / b.self);
    }
}

TEST(VelocityCorrelation, EqualsTheAllPairsDefinitionOnRandomFlocks) {
    struct Case {
        Box box;
        int n;
        double bin;
    };
    const Case cases[] = {
        {Box{}, 400, 1},                                          // the window's walled box
        {Box{{40, 40, 40}, Boundary::periodic}, 500, 1},          // a periodic cube of 2 cells an axis
        {Box{{120, 60, 33}, Boundary::periodic}, 600, 0.7},       // 7 x 3 x 2 cells, narrow last bin
        {Box{{4096, 8, 8}, Boundary::walls}, 300, 0.25},          // a long walled box, cells capped
        {Box{{30, 30, 30}, Boundary::periodic}, 3, 2},            // a few individuals, most bins empty
    };
    std::mt19937_64 random(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box.extent[0] << "x" << c.box.extent[1] << "x" << c.box.extent[2]
                                        << (c.box.periodic() ? " periodic" : " walled"));
        expectMatchesAllPairs(randomState(c.box, c.n, random), c.box, c.bin);
    }
}

TEST(VelocityCorrelation, IsTheSameBitsWhateverTheWorkers) {
    const Box box{{90, 70, 64}, Boundary::periodic};
    std::mt19937_64 random(8);
    const State s = randomState(box, 3000, random);
    const TickCorrelation alone = velocityCorrelation(s.points(), box, 0.5);
    for (int count : {2, 3}) {
        Workers workers(count);
        const TickCorrelation shared = velocityCorrelation(s.points(), box, 0.5, &workers);
        EXPECT_EQ(shared.pairs, alone.pairs);
        EXPECT_EQ(shared.uuSum, alone.uuSum);  // bit for bit
    }
}

TEST(VelocityCorrelation, PairsAcrossThePeriodicSeamAreNear) {
    // Two individuals at opposite faces are 2 apart through the seam, one
    // in the middle is 19 from both; in a walled box the first two are 38
    // apart, beyond the cut-off.
    State s{{1, 39, 20}, {20, 20, 20}, {20, 20, 20}, {1, 1, -1}, {0, 0, 0}, {0, 0, 0}};
    const Box periodic{{40, 40, 40}, Boundary::periodic}, walled{{40, 40, 40}, Boundary::walls};
    const TickCorrelation t = velocityCorrelation(s.points(), periodic, 1);
    EXPECT_EQ(t.pairs[2], 2u);  // the pair through the seam, both ways
    EXPECT_EQ(t.pairs[19], 4u);  // the middle one's two pairs
    expectMatchesAllPairs(s, periodic, 1);
    expectMatchesAllPairs(s, walled, 1);
    const TickCorrelation w = velocityCorrelation(s.points(), walled, 1);
    EXPECT_EQ(w.pairs[2], 0u);
}

TEST(VelocityCorrelation, AFlockMovingAsOneHasNoC) {
    State s{{1, 5, 9}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}};
    const TickCorrelation t = velocityCorrelation(s.points(), Box{{20, 20, 20}, Boundary::periodic}, 1);
    EXPECT_EQ(t.uuSelf, 0);
    EXPECT_EQ(t.pairs[4], 4u);  // 1-5 and 5-9, both ways
    for (double c : t.correlation()) EXPECT_TRUE(std::isnan(c));
}

TEST(CorrelationLength, InterpolatesBetweenBinCentres) {
    const CorrelationBins bins{1, 5};  // centres 0.5, 1.5, ..., 4.5
    struct Case {
        const char* what;
        std::vector<double> c;
        double xi;
    };
    const Case cases[] = {
        {"between centres", {1, 0.5, -0.5, -1, 0}, 2},
        {"a quarter of the way", {1, 0.75, -0.25, 0, 0}, 2.25},
        {"exactly at a centre", {1, 0.5, 0, -0.5, 1}, 2.5},
        {"past an empty bin", {1, 0.5, kNaN, -0.5, 0}, 2.5},
        {"never", {1, 0.8, 0.5, 0.2, 0.1}, kNaN},
        {"no C at all", {kNaN, kNaN, kNaN, kNaN, kNaN}, kNaN},
        {"already negative", {kNaN, -0.2, 0.5, -1, 0}, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double xi = correlationLength(bins, c.c);
        if (std::isnan(c.xi)) EXPECT_TRUE(std::isnan(xi)) << xi;
        else EXPECT_DOUBLE_EQ(xi, c.xi);
    }
}

TEST(CorrelationTable, AveragesCOverTicksAndPoolsThePairs) {
    const CorrelationBins bins{1, 2};
    TickCorrelation a{bins, {2, 0}, {4, 0}, 2}, b{bins, {6, 4}, {-6, 8}, 1};
    CorrelationTable table(bins);
    table.addTick(a);
    table.addTick(b);
    EXPECT_EQ(table.pairs(0), 8u);
    EXPECT_DOUBLE_EQ(table.uuMean(0), -2.0 / 8);  // (4 - 6) / (2 + 6)
    EXPECT_DOUBLE_EQ(table.correlation(0), (1.0 + -1.0) / 2);  // C = 4/2/2 and -6/6/1
    EXPECT_DOUBLE_EQ(table.correlation(1), 2.0);  // only the second tick has pairs there
    // xi: the first tick never crosses, the second at the first centre
    EXPECT_EQ(table.xi().count(), 1);
    EXPECT_DOUBLE_EQ(table.xi().mean(), 0.5);
    EXPECT_TRUE(std::isnan(table.xiError()));
}

}  // namespace
}  // namespace nyajkor::study
