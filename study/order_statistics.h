// What a study of the order-disorder transition asks of one run's series of
// the order parameter phi, and of the runs of one grid point.
//
// Moments are averages over the measured ticks, <phi^k> = (1/n) sum phi_t^k.
// Successive ticks are correlated, so the standard error of <phi> is taken
// from the effective number of independent samples n / (2 tau), tau being
// the integrated autocorrelation time in the convention
//     tau = 1/2 + sum_{t=1}^{M} rho(t)
// (tau = 1/2 for independent samples), summed up to the first window M with
// M >= c tau(M), c = 5 (the automatic windowing of Sokal), M at most n / 2. The
// autocovariance at lag t is (1/(n-t)) sum_i (phi_i - <phi>)(phi_{i+t} - <phi>),
// and rho(t) is it over the one at lag 0.
//
// Every sum runs in the order of the series, so the results are the same bit
// for bit on every build.
#pragma once

#include <vector>

namespace nyajkor::study {

// The mean and the sample standard deviation (divided by n - 1) of values
// taken one by one; the deviation is NaN below two values, where it has
// nothing to go on.
class Accumulator {
public:
    void add(double v);
    long count() const { return n_; }
    double mean() const { return mean_; }
    double sd() const;

private:
    long n_ = 0;
    double mean_ = 0, squares_ = 0;  // running mean, sum of squared deviations from it
};

// The window factor of the automatic windowing.
inline constexpr double kWindowFactor = 5;

struct OrderStatistics {
    double mean = 0;            // <phi>
    double meanSquare = 0;      // <phi^2>
    double meanFourth = 0;      // <phi^4>
    double susceptibility = 0;  // N (<phi^2> - <phi>^2)
    double binder = 0;          // 1 - <phi^4> / (3 <phi^2>^2); NaN when <phi^2> is 0
    double tau = 0;             // integrated autocorrelation time, in ticks; NaN when it cannot be told
    double meanError = 0;       // standard error of <phi>: sqrt(C(0) 2 tau / n); NaN with tau
};

// The integrated autocorrelation time of `series`. 1/2 for a series that
// does not change (nothing is correlated); NaN for fewer than two values or
// when no window up to n / 2 satisfies the window condition (the series is
// too short for its correlations).
double integratedAutocorrelationTime(const std::vector<double>& series);

// How many times its correlation time a run must measure for its tau and
// the errors drawn from it to be trusted, the usual rule of thumb: below
// it the window that closes is itself mostly noise.
inline constexpr double kTrustedTauMultiple = 50;

// Whether a run of `ticks` measured ticks is too short for its statistics'
// tau: fewer than kTrustedTauMultiple tau, or no window closed (tau NaN).
inline bool tooShortForTau(const OrderStatistics& s, long ticks) {
    return !(static_cast<double>(ticks) >= kTrustedTauMultiple * s.tau);
}

// The statistics of a run of `individuals` individuals from its series of
// the order parameter over the measured ticks; all NaN for an empty series.
OrderStatistics orderStatistics(const std::vector<double>& phi, int individuals);

// A quantity of a grid point's runs taken together, and its jackknife error.
struct PooledEstimate {
    double value = 0;
    double error = 0;  // NaN below two runs
};

// The susceptibility and the Binder cumulant of a grid point from the
// moments pooled over its runs, as a study of the transition takes them:
// <phi^k> over every measured tick of every run (the runs measure the same
// number of ticks, so the mean of their moments, summed in run order), then
// chi = N (<phi^2> - <phi>^2) and U = 1 - <phi^4> / (3 <phi^2>^2). Their
// errors are the jackknife's over the runs: with theta_j the estimate from
// the runs but run j, summed in run order, and theta_bar their mean,
// sqrt((R - 1) / R sum_j (theta_j - theta_bar)^2).
struct PooledStatistics {
    PooledEstimate susceptibility, binder;
};
PooledStatistics pooledStatistics(const std::vector<OrderStatistics>& runs, int individuals);

}  // namespace nyajkor::study
