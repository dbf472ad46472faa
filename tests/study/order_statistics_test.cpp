#include "study/order_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace nyajkor::study {
namespace {

// n values of x_{t+1} = rho x_t + e_t with standard normal e_t, started from
// its stationary distribution, whose integrated autocorrelation time is
// (1 + rho) / (2 (1 - rho)) and variance 1 / (1 - rho^2).
std::vector<double> autoregressive(double rho, std::size_t n, std::mt19937_64& random) {
    std::normal_distribution<double> noise;
    std::vector<double> x(n);
    x[0] = noise(random) / std::sqrt(1 - rho * rho);
    for (std::size_t t = 1; t < n; ++t) x[t] = rho * x[t - 1] + noise(random);
    return x;
}

double exactTau(double rho) { return (1 + rho) / (2 * (1 - rho)); }

TEST(OrderStatistics, IntegratedTimeOfAutoregressiveSeriesIsTheKnownOne) {
    std::mt19937_64 random(7);
    for (double rho : {0.0, 0.5, 0.8, 0.9}) {
        SCOPED_TRACE(rho);
        const auto x = autoregressive(rho, 400000, random);
        const double tau = integratedAutocorrelationTime(x);
        // a few times the statistical error of the estimate, about tau sqrt(2 (2M + 1) / n)
        EXPECT_NEAR(tau, exactTau(rho), 0.06 * exactTau(rho));
        // and the error of the mean follows from it: sqrt(var 2 tau / n)
        const OrderStatistics s = orderStatistics(x, 1);
        const double exactError = std::sqrt(1 / (1 - rho * rho) * 2 * exactTau(rho) / 400000.0);
        EXPECT_NEAR(s.meanError, exactError, 0.08 * exactError);
        EXPECT_EQ(s.tau, tau);
    }
}

TEST(OrderStatistics, ErrorOfTheMeanMatchesTheSpreadOfIndependentMeans) {
    // The error a single correlated series claims for its mean is the spread
    // its mean really has from series to series; the naive error, that
    // takes every tick as independent, would be three times too small here.
    std::mt19937_64 random(11);
    const double rho = 0.8;
    const int series = 300;
    double sumMean = 0, sumSquareMean = 0, sumClaimed = 0;
    for (int k = 0; k < series; ++k) {
        const OrderStatistics s = orderStatistics(autoregressive(rho, 4000, random), 1);
        sumMean += s.mean;
        sumSquareMean += s.mean * s.mean;
        sumClaimed += s.meanError;
    }
    const double mean = sumMean / series;
    const double spread = std::sqrt((sumSquareMean - series * mean * mean) / (series - 1));
    EXPECT_NEAR(sumClaimed / series, spread, 0.12 * spread);
}

TEST(OrderStatistics, WindowStopsAtTheFirstLagThatIsFiveTimesTheTime) {
    // deviations -1/2, -1/2, 1/2, 1/2 about 1/2: C(0) = 1/4, C(1) = (1/4) / 3,
    // C(2) = -(1/2) / 2; lag 1 gives 1/2 + 1/3, short of 5 tau; lag 2 gives -1/6
    EXPECT_DOUBLE_EQ(integratedAutocorrelationTime({0, 0, 1, 1}), 0.5 + 1.0 / 3 - 1);
}

struct TwoStateCase {
    double low, high;
    int highEvery;  // every highEvery-th value is high, the rest low
    int individuals;
    double meanSquare, meanFourth, susceptibility, binder;
};

TEST(OrderStatistics, MomentsSusceptibilityAndBinderOfTwoStateSeries) {
    const TwoStateCase cases[] = {
        // equal halves at 0 and 1: <phi^2> = <phi^4> = 1/2, U = 1 - (1/2) / (3/4)
        {0, 1, 2, 100, 0.5, 0.5, 100 * 0.25, 1.0 / 3},
        // equal halves at 1/4 and 3/4: U = 1 - (41/256) / (3 (5/16)^2)
        {0.25, 0.75, 2, 2000, 0.3125, 41.0 / 256, 2000 * 0.0625, 1 - (41.0 / 256) / (3 * 0.3125 * 0.3125)},
        // one in four at 1, else 0: <phi^2> = <phi^4> = 1/4, U = 1 - (1/4) / (3/16)
        {0, 1, 4, 10, 0.25, 0.25, 10 * (0.25 - 0.0625), -1.0 / 3},
        // a steady value: no fluctuation, U = 2/3
        {0.6, 0.6, 2, 500, 0.36, 0.1296, 0, 2.0 / 3},
    };
    for (const TwoStateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << '/' << c.high << " every " << c.highEvery);
        std::vector<double> phi;
        for (int t = 0; t < 400; ++t) phi.push_back(t % c.highEvery == 0 ? c.high : c.low);
        const OrderStatistics s = orderStatistics(phi, c.individuals);
        EXPECT_NEAR(s.meanSquare, c.meanSquare, 1e-12);
        EXPECT_NEAR(s.meanFourth, c.meanFourth, 1e-12);
        EXPECT_NEAR(s.susceptibility, c.susceptibility, 1e-12 * c.individuals);
        EXPECT_NEAR(s.binder, c.binder, 1e-12);
    }
}

TEST(OrderStatistics, WhatCannotBeToldIsNaN) {
    const OrderStatistics none = orderStatistics({}, 10);
    for (double v : {none.mean, none.meanSquare, none.meanFourth, none.susceptibility, none.binder, none.tau,
                     none.meanError})
        EXPECT_TRUE(std::isnan(v));
    const OrderStatistics one = orderStatistics({0.5}, 10);
    EXPECT_EQ(one.mean, 0.5);
    EXPECT_TRUE(std::isnan(one.tau));
    EXPECT_TRUE(std::isnan(one.meanError));
    // a drift with no end in sight: no window up to half the series is wide enough
    std::vector<double> ramp, step;
    for (int t = 0; t < 50; ++t) ramp.push_back(t);
    for (int t = 0; t < 50; ++t) step.push_back(t < 25 ? 0.2 : 0.7);
    EXPECT_TRUE(std::isnan(integratedAutocorrelationTime(ramp)));
    EXPECT_TRUE(std::isnan(integratedAutocorrelationTime(step)));
    // a steady series has nothing correlated and no error
    const OrderStatistics steady = orderStatistics(std::vector<double>(20, 0.3), 10);
    EXPECT_EQ(steady.tau, 0.5);
    EXPECT_NEAR(steady.meanError, 0, 1e-15);
    // and no order at all leaves the Binder cumulant undefined
    EXPECT_TRUE(std::isnan(orderStatistics(std::vector<double>(5, 0.0), 10).binder));
}

// Three runs of ten individuals whose moments differ: pooled, <phi> = 0.6,
// <phi^2> = 0.4, <phi^4> = 0.2, so chi = 10 (0.4 - 0.36) = 0.4 (where the
// mean of the runs' own chi is 1/3) and U = 1 - 0.2 / 0.48 = 7/12. Leaving
// out each run in turn gives chi 0.275, 0.475 and 0.4, whose jackknife
// error is sqrt(2/3 (0.10833^2 + 0.09167^2 + 0.01667^2)) = 7/60; and U
// 0.588477, 0.591837, 0.583333.
TEST(OrderStatistics, PooledMomentsGiveChiAndBinderWithJackknifeErrors) {
    auto run = [](double m1, double m2, double m4) {
        OrderStatistics s;
        s.mean = m1;
        s.meanSquare = m2;
        s.meanFourth = m4;
        return s;
    };
    const std::vector<OrderStatistics> runs = {run(0.5, 0.3, 0.1), run(0.7, 0.5, 0.3), run(0.6, 0.4, 0.2)};
    const PooledStatistics p = pooledStatistics(runs, 10);
    EXPECT_NEAR(p.susceptibility.value, 0.4, 1e-12);
    EXPECT_NEAR(p.susceptibility.error, 7.0 / 60, 1e-12);
    EXPECT_NEAR(p.binder.value, 7.0 / 12, 1e-12);
    const double u[] = {1 - 0.25 / (3 * 0.45 * 0.45), 1 - 0.15 / (3 * 0.35 * 0.35), 7.0 / 12};
    const double uBar = (u[0] + u[1] + u[2]) / 3;
    const double uError = std::sqrt(2.0 / 3 * ((u[0] - uBar) * (u[0] - uBar) + (u[1] - uBar) * (u[1] - uBar) +
                                              (u[2] - uBar) * (u[2] - uBar)));
    EXPECT_NEAR(p.binder.error, uError, 1e-12);

    // one run: its own chi and U, and no error to tell
    const PooledStatistics one = pooledStatistics({runs[0]}, 10);
    EXPECT_NEAR(one.susceptibility.value, 10 * (0.3 - 0.25), 1e-12);
    EXPECT_TRUE(std::isnan(one.susceptibility.error) && std::isnan(one.binder.error));
    // none: nothing at all
    EXPECT_TRUE(std::isnan(pooledStatistics({}, 10).binder.value));
}

}  // namespace
}  // namespace nyajkor::study
