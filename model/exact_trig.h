// A cosine and a sine that give the same bits on every platform.
//
// std::cos and std::sin are as exact as each maths library chooses to make
// them, so their last bit differs between libraries. These two return the
// correctly rounded result instead: the double nearest to the exact cosine
// (sine) of the exact double argument, ties to even. That result depends on
// nothing but the argument, so every build that follows IEEE 754 (no
// contraction into fused multiply-adds, no fast-math) computes the same one.
//
// Domain: |x| <= kExactTrigMaxArgument (8, which covers a full turn, 0 <= x
// < 2 pi, with a margin on both sides). Outside it, and for infinities and
// NaN, both return NaN.
#pragma once

namespace nyajkor {

inline constexpr double kExactTrigMaxArgument = 8.0;

double correctlyRoundedCos(double x);
double correctlyRoundedSin(double x);

// Both of one argument, bit for bit what the two above return, for about the
// price of one of them.
void correctlyRoundedCosSin(double x, double& c, double& s);

namespace exact_trig_detail {

// The two stages of the functions above, open to the tests. The fast stage
// evaluates with a table and double-double arithmetic and reports false when
// its error bound straddles a rounding boundary; the slow stage then evaluates in
// multi-word integer fixed point, widening until the rounding is decided.
// Both require 2^-27 <= |x| <= kExactTrigMaxArgument (below, the public
// functions answer x and 1 directly).
enum class Function { cos, sin };
bool fastCorrectlyRounded(Function f, double x, double& result);
double slowCorrectlyRounded(Function f, double x);

// Value and bound of the fast stage before the rounding decision: the exact
// result lies within hi + lo +- relError * |hi|.
struct Estimate {
    double hi;
    double lo;
    double relError;
};
Estimate fastEstimate(Function f, double x);

}  // namespace exact_trig_detail

}  // namespace nyajkor
