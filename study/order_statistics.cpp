#include "study/order_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nyajkor::study {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double meanOf(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x) sum += v;
    return sum / static_cast<double>(x.size());
}

// The autocovariance at lag t about the mean m, over the n - t pairs it has.
double autocovariance(const std::vector<double>& x, double m, std::size_t t) {
    double sum = 0;
    for (std::size_t i = 0; i + t < x.size(); ++i) sum += (x[i] - m) * (x[i + t] - m);
    return sum / static_cast<double>(x.size() - t);
}

}  // namespace

void Accumulator::add(double v) {
    // Welford's update: no sum of squares that loses the deviations to rounding.
    ++n_;
    const double d = v - mean_;
    mean_ += d / static_cast<double>(n_);
    squares_ += d * (v - mean_);
}

double Accumulator::sd() const { return n_ < 2 ? kNaN : std::sqrt(squares_ / static_cast<double>(n_ - 1)); }

double integratedAutocorrelationTime(const std::vector<double>& series) {
    if (series.size() < 2) return kNaN;
    // A steady series has nothing to correlate; tested on the values, since
    // its mean may round off them and leave a covariance of rounding errors.
    if (std::all_of(series.begin(), series.end(), [&](double v) { return v == series[0]; })) return 0.5;
    const double m = meanOf(series);
    const double c0 = autocovariance(series, m, 0);
    // Widen the window one lag at a time until it is c times the time it
    // gives: wide enough to hold the correlations, narrow enough to leave
    // out the noise of the far lags. Beyond half the series a lag rests on
    // too few pairs to be told from noise: no time is better than a wrong one.
    double tau = 0.5;
    for (std::size_t window = 1; window <= series.size() / 2; ++window) {
        tau += autocovariance(series, m, window) / c0;
        if (static_cast<double>(window) >= kWindowFactor * tau) return tau;
    }
    return kNaN;
}

OrderStatistics orderStatistics(const std::vector<double>& phi, int individuals) {
    if (phi.empty()) return {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
    const double n = static_cast<double>(phi.size());
    double s1 = 0, s2 = 0, s4 = 0;
    for (double v : phi) {
        const double square = v * v;
        s1 += v;
        s2 += square;
        s4 += square * square;
    }
    OrderStatistics s;
    s.mean = s1 / n;
    s.meanSquare = s2 / n;
    s.meanFourth = s4 / n;
    s.susceptibility = individuals * (s.meanSquare - s.mean * s.mean);
    s.binder = s.meanSquare == 0 ? kNaN : 1 - s.meanFourth / (3 * s.meanSquare * s.meanSquare);
    s.tau = integratedAutocorrelationTime(phi);
    // the variance about the mean, over n, as at lag 0 of the autocovariance
    double squares = 0;
    for (double v : phi) squares += (v - s.mean) * (v - s.mean);
    s.meanError = std::sqrt(squares / n * 2 * s.tau / n);
    return s;
}

namespace {

// chi and U from pooled moments, the runs but `left` (none: all of them).
struct PhaseQuantities {
    double susceptibility, binder;
};
PhaseQuantities phaseWithout(const std::vector<OrderStatistics>& runs, int individuals, std::size_t left) {
    double s1 = 0, s2 = 0, s4 = 0, count = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (r == left) continue;
        s1 += runs[r].mean;
        s2 += runs[r].meanSquare;
        s4 += runs[r].meanFourth;
        count += 1;
    }
    const double m1 = s1 / count, m2 = s2 / count, m4 = s4 / count;
    return {individuals * (m2 - m1 * m1), m2 == 0 ? kNaN : 1 - m4 / (3 * m2 * m2)};
}

double jackknifeError(const std::vector<double>& leftOut) {
    const double r = static_cast<double>(leftOut.size());
    if (leftOut.size() < 2) return kNaN;
    double sum = 0;
    for (double v : leftOut) sum += v;
    const double mean = sum / r;
    double squares = 0;
    for (double v : leftOut) squares += (v - mean) * (v - mean);
    return std::sqrt((r - 1) / r * squares);
}

}  // namespace

PooledStatistics pooledStatistics(const std::vector<OrderStatistics>& runs, int individuals) {
    if (runs.empty()) return {{kNaN, kNaN}, {kNaN, kNaN}};
    const PhaseQuantities all = phaseWithout(runs, individuals, runs.size());
    std::vector<double> susceptibilities, binders;
    if (runs.size() >= 2) {
        for (std::size_t j = 0; j < runs.size(); ++j) {
            const PhaseQuantities without = phaseWithout(runs, individuals, j);
            susceptibilities.push_back(without.susceptibility);
            binders.push_back(without.binder);
        }
    }
    return {{all.susceptibility, jackknifeError(susceptibilities)}, {all.binder, jackknifeError(binders)}};
}

}  // namespace nyajkor::study
