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

}  // namespace nyajkor::study
