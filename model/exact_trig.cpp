// Correctly rounded cosine and sine; see exact_trig.h.
//
// Two stages. The fast one reduces the argument to r = x - k pi/2, |r| <=
// pi/4, and evaluates the Taylor series of cos r or sin r in double-double
// arithmetic (a value is an unevaluated sum hi + lo of two doubles) with a
// proven bound on its relative error: 2^-101, up to 2^-98 where x lies
// next to a multiple of pi/2. When the interval that bound leaves around
// the estimate holds no rounding boundary (a midpoint between two
// neighbouring doubles), the double nearest to the estimate is the
// correctly rounded result. That fails about once in 2^46 calls; the
// slow stage then evaluates again in fixed point on 32-bit integer words,
// doubling the words until the interval shrinks past the boundary. That
// would always end: for a double x != 0, cos x and sin x are transcendental
// (Lindemann), so they are never the rational midpoint itself. The first
// width, 256 bits, already decides every case met in testing; the widening
// stops at 4096 bits.
//
// Only + - * / on doubles and integer arithmetic are used, and the project
// builds without contraction into fused multiply-adds, so every step rounds
// as written on every IEEE 754 platform.

#include "model/exact_trig.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// The error-free transformations below need every operation rounded to
// double as it happens, not kept in a wider register (as on the x87).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double at every step");

namespace nyajkor {
namespace exact_trig_detail {
namespace {

// ---------------------------------------------------------------------------
// Double-double arithmetic. u = 2^-53 is the unit roundoff of a double.

struct DD {
    double hi;
    double lo;
};

// a + b = s + e exactly (Knuth), for any a, b.
DD twoSum(double a, double b) {
    double s = a + b;
    double bb = s - a;
    double e = (a - (s - bb)) + (b - bb);
    return {s, e};
}

// a + b = s + e exactly when |a| >= |b| (Dekker).
DD fastTwoSum(double a, double b) {
    double s = a + b;
    double e = b - (s - a);
    return {s, e};
}

// a = hi + lo exactly, each half of 26 bits or fewer (Veltkamp).
DD split(double a) {
    double c = 134217729.0 * a;  // 2^27 + 1
    double hi = c - (c - a);
    return {hi, a - hi};
}

// a * b = p + e exactly (Dekker), while nothing underflows: every product
// here is above 2^-400.
DD twoProd(double a, double b) {
    double p = a * b;
    DD as = split(a);
    DD bs = split(b);
    double e = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, e};
}

// The two algorithms below and their bounds are those of Joldes, Muller
// and Popescu, "Tight and rigorous error bounds for basic building blocks of
// double-word arithmetic" (ACM TOMS 44, 2017).

// Relative error <= 3u^2 + 13u^3 (AccurateDWPlusDW), cancellation included.
DD add(DD a, DD b) {
    DD s = twoSum(a.hi, b.hi);
    DD t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return fastTwoSum(s.hi, s.lo);
}

// Relative error <= 7u^2 (DWTimesDW1).
DD mul(DD a, DD b) {
    DD p = twoProd(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return fastTwoSum(p.hi, p.lo);
}

// ---------------------------------------------------------------------------
// Argument reduction.

// pi/2 = kHalfPi0 + kHalfPi1 + kHalfPi2 + d, |d| < 2^-163: each part the
// double nearest to what the parts before it leave.
constexpr double kHalfPi0 = 0x1.921fb54442d18p+0;
constexpr double kHalfPi1 = 0x1.1a62633145c07p-54;
constexpr double kHalfPi2 = -0x1.f1976b7ed8fbcp-110;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

// x = k pi/2 + r with k the integer nearest to x 2/pi as rounded; then
// |r| <= pi/4 + 2^-48 (the product is off by a few ulps at most).
struct Reduced {
    int quadrant;  // k mod 4, in 0..3
    DD r;
    double absError;  // |r - (r.hi + r.lo)| <= this
};

// With |k| <= 5: k*kHalfPi0 and k*kHalfPi1 are split exactly by twoProd and
// x - p0 exactly by twoSum. What is left is rounded: k*kHalfPi2 (error <=
// 5 * 2^-110 * u < 2^-160), the three-term sum of the small parts (all below
// 2^-100, error < 2^-154), the final double-double addition (3u^2 |r| =
// 3 * 2^-106 |r|), and the truncated d (5 * 2^-163). Together below
// 2^-104 |r| + 2^-153. The doubles nearest to the multiples of pi/2 within
// the domain lie at least 6.1e-17 > 2^-54 from them, so the relative error of
// r never exceeds about 2^-99.
Reduced reduce(double x) {
    double k = std::floor(x * kTwoOverPi + 0.5);
    if (k == 0) return {0, {x, 0.0}, 0.0};
    DD p0 = twoProd(k, kHalfPi0);
    DD p1 = twoProd(k, kHalfPi1);
    double p2 = k * kHalfPi2;
    DD head = twoSum(x, -p0.hi);
    DD tail = twoSum(p0.lo, p1.hi);
    tail.lo += p1.lo + p2;
    tail = fastTwoSum(tail.hi, tail.lo);  // a proper double-double again
    DD r = add(head, {-tail.hi, -tail.lo});
    int q = static_cast<int>(k) % 4;
    if (q < 0) q += 4;
    return {q, r, 0x1p-104 * std::fabs(r.hi) + 0x1p-153};
}

// ---------------------------------------------------------------------------
// Taylor series on |r| <= 0.786, in z = r^2 <= 0.618.
//
// kCoeff[n] = (-1)^(n/2) / n! as a double-double (the sign makes the series
// of cos r the sum of kCoeff[2j] r^(2j) and that of sin r the sum of
// kCoeff[2j+1] r^(2j+1)). Both series stop after the r^28 (r^29) term; the
// first term left out, alternating and decreasing, bounds the truncation:
// r^30/30! < 2^-118 relative to cos r >= 0.7, r^30/31! < 2^-122 relative to
// sin r >= 0.63 r.
constexpr DD kCoeff[30] = {
    {1.0, 0.0},
    {1.0, 0.0},
    {-0x1p-1, 0x0p+0},
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6cp-73},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.6827863b97d97p-53, -0x1.eec01221a8b0bp-107},
    {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {-0x1.0ce396db7f853p-70, 0x1.aebcdbd20331cp-124},
    {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {-0x1.88e85fc6a4e5ap-89, 0x1.71c37ebd1654p-143},
    {-0x1.d1ab1c2dccea3p-94, -0x1.054d0c78aea14p-149},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
};

// The series sum_j kCoeff[first + 2j] z^j, j = 1..14, for first = 0 (cos)
// or 1 (sin) -- without its j = 0 term, which the callers add last.
//
// The terms j >= 10 are below 2^-68 of the whole and are summed in plain
// doubles (relative error < 2^-48), which adds < 2^-116. The terms j < 10 go
// through double-double Horner steps P := c + z P, each a product (7u^2)
// and a sum (3u^2). Each step's partial is within 11 % of its leading
// coefficient and z P is at most 11 % of it, so the error of a step carries
// into the next with a weight of 0.11 / 0.89 at most: the errors of the 9
// steps and of z (7u^2, weight < 0.2) add up to less than 16u^2 relative to
// the partial. The product by z of the last partial adds 7u^2 more:
// below 2^-101 relative to the returned sum s(z). (With the older, looser
// 16u^2 for a product, s(z) would be within 41u^2, and the bounds on cos r
// and sin r below would still hold.)
DD seriesTail(int first, DD z) {
    double t = kCoeff[first + 28].hi;
    for (int j = 13; j >= 10; --j) t = kCoeff[first + 2 * j].hi + z.hi * t;
    DD p = {t, 0.0};
    for (int j = 9; j >= 1; --j) p = add(kCoeff[first + 2 * j], mul(p, z));
    return mul(p, z);
}

// cos r = 1 + s(z), |s| <= 0.31 while cos r >= 0.7: the series' 2^-101
// weighs 0.44 of it, the error of z (2 eps_r + 7u^2) likewise, and the last
// sum 3u^2: relative error < 2^-102 + 0.9 eps_r.
// sin r = r + r s(z), |s| <= 0.103 while sin r >= 0.9 r: the series and
// the product by r (7u^2) weigh 0.12, the last sum 3u^2: relative error
// < 2^-103 + eps_r.
// Here eps_r is the relative error of r, which carries into cos r with the
// weight r tan r <= 0.8 and into sin r with r cot r <= 1: both results are
// within 2^-102 + eps_r (plus terms of order eps_r^2).
DD cosOfReduced(DD r) {
    DD z = mul(r, r);
    return add({1.0, 0.0}, seriesTail(0, z));
}

DD sinOfReduced(DD r) {
    DD z = mul(r, r);
    return add(r, mul(seriesTail(1, z), r));
}

// The double nearest to an exact value within v.hi + v.lo +- err, where
// v.hi = fl(v.hi + v.lo); false if that interval holds a rounding boundary.
// The boundaries next to hi lie half a gap to the next double above and
// below it, both powers of two; fl(lo + err) < half the gap above implies
// lo + err < it, since rounding is monotone and the half-gap a double.
bool roundsTo(DD v, double err, double& result) {
    const double inf = std::numeric_limits<double>::infinity();
    double halfUp = (std::nextafter(v.hi, inf) - v.hi) * 0.5;
    double halfDown = (v.hi - std::nextafter(v.hi, -inf)) * 0.5;
    if (v.lo + err < halfUp && v.lo - err > -halfDown) {
        result = v.hi;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Fixed point on 32-bit words for the slow stage: a nonnegative number
// sum w[i] 2^(32 (i - n)), n fraction words w[0..n-1] (least significant
// first) and one integer word w[n]. Each operation truncates, losing less
// than one unit 2^(-32 n) of the last word.

class Fixed {
public:
    explicit Fixed(int fractionWords) : w_(fractionWords + 1, 0u) {}

    static Fixed integer(int fractionWords, std::uint32_t v) {
        Fixed f(fractionWords);
        f.w_.back() = v;
        return f;
    }

    // v units of the last word.
    static Fixed units(int fractionWords, std::uint32_t v) {
        Fixed f(fractionWords);
        f.w_.front() = v;
        return f;
    }

    // Exact when x is 0 or 2^-27 <= x < 2^32 and there are 3 or more words.
    static Fixed fromDouble(int fractionWords, double x) {
        Fixed f(fractionWords);
        int e = 0;
        double m = std::frexp(x, &e);  // x = m 2^e, 0.5 <= m < 1
        auto bits = static_cast<std::uint64_t>(std::ldexp(m, 53));
        int lowest = e - 53 + 32 * fractionWords;
        for (int b = 0; b < 53; ++b)
            if ((bits >> b) & 1u) f.setBit(lowest + b);
        return f;
    }

    int fractionWords() const { return static_cast<int>(w_.size()) - 1; }
    bool isZero() const {
        for (std::uint32_t v : w_)
            if (v) return false;
        return true;
    }

    friend bool operator<(const Fixed& a, const Fixed& b) {
        for (std::size_t i = a.w_.size(); i-- > 0;)
            if (a.w_[i] != b.w_[i]) return a.w_[i] < b.w_[i];
        return false;
    }

    Fixed& operator+=(const Fixed& b) {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < w_.size(); ++i) {
            carry += static_cast<std::uint64_t>(w_[i]) + b.w_[i];
            w_[i] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        return *this;
    }

    // Requires *this >= b.
    Fixed& operator-=(const Fixed& b) {
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < w_.size(); ++i) {
            std::uint64_t sub = static_cast<std::uint64_t>(b.w_[i]) + borrow;
            borrow = w_[i] < sub ? 1 : 0;
            w_[i] = static_cast<std::uint32_t>((borrow << 32) + w_[i] - sub);
        }
        return *this;
    }

    friend Fixed operator*(const Fixed& a, const Fixed& b) {
        const std::size_t n = a.w_.size();
        std::vector<std::uint32_t> prod(2 * n, 0u);
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < n; ++j) {
                carry += static_cast<std::uint64_t>(a.w_[i]) * b.w_[j] + prod[i + j];
                prod[i + j] = static_cast<std::uint32_t>(carry);
                carry >>= 32;
            }
            prod[i + n] = static_cast<std::uint32_t>(carry);
        }
        Fixed r(a.fractionWords());
        for (std::size_t i = 0; i < n; ++i) r.w_[i] = prod[i + n - 1];
        return r;
    }

    Fixed& operator*=(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (auto& v : w_) {
            carry += static_cast<std::uint64_t>(v) * m;
            v = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        return *this;
    }

    Fixed& operator/=(std::uint32_t d) {
        std::uint64_t rem = 0;
        for (std::size_t i = w_.size(); i-- > 0;) {
            std::uint64_t cur = (rem << 32) | w_[i];
            w_[i] = static_cast<std::uint32_t>(cur / d);
            rem = cur % d;
        }
        return *this;
    }

    // The double nearest to this number, ties to even; it must be nonzero
    // and below 2^32.
    double nearestDouble() const {
        int top = static_cast<int>(w_.size()) * 32 - 1;
        while (!bit(top)) --top;
        std::uint64_t mant = 0;
        for (int b = top; b > top - 53; --b) mant = (mant << 1) | (b >= 0 && bit(b) ? 1u : 0u);
        int roundPos = top - 53;
        bool roundBit = roundPos >= 0 && bit(roundPos);
        bool sticky = false;
        for (int b = roundPos - 1; b >= 0 && !sticky; --b) sticky = bit(b);
        if (roundBit && (sticky || (mant & 1u))) ++mant;
        return std::ldexp(static_cast<double>(mant), top - 52 - 32 * fractionWords());
    }

private:
    bool bit(int b) const { return (w_[b / 32] >> (b % 32)) & 1u; }
    void setBit(int b) { w_[b / 32] |= 1u << (b % 32); }

    std::vector<std::uint32_t> w_;
};

// atan(1/n) = sum_k (-1)^k / ((2k+1) n^(2k+1)). Each power of 1/n is off by
// less than 2 units, each term by less than 3: with K terms, < 3K units.
Fixed atanOfInverse(int words, std::uint32_t n) {
    Fixed power = Fixed::integer(words, 1);
    power /= n;
    Fixed plus(words), minus(words);
    for (std::uint32_t k = 0; !power.isZero(); ++k) {
        Fixed term = power;
        term /= 2 * k + 1;
        (k % 2 == 0 ? plus : minus) += term;
        power /= n * n;
    }
    plus -= minus;
    return plus;
}

// pi = 16 atan(1/5) - 4 atan(1/239) (Machin). The two series take about
// 7 and 2 terms a word: the error stays below 16 * 21 + 4 * 6 = 360 units a
// word.
Fixed pi(int words) {
    Fixed a = atanOfInverse(words, 5);
    a *= 16;
    Fixed b = atanOfInverse(words, 239);
    b *= 4;
    a -= b;
    return a;
}

// cos r or sin r for 0 <= r < 0.8 by its Taylor series: the terms shrink by
// z / 6 <= 0.11 at least, so an error in one term weighs less than 0.11 on
// the next; each term adds 3 truncations and its share of the error of z.
// Summed over the terms (fewer than 20 a word) the error stays below
// 2 e_r + 20 n (4 + 2 e_r) units, for an error e_r of r.
Fixed taylor(Function f, const Fixed& r) {
    const int words = r.fractionWords();
    Fixed z = r * r;
    Fixed term = f == Function::cos ? Fixed::integer(words, 1) : r;
    Fixed plus = term, minus(words);
    for (std::uint32_t n = f == Function::cos ? 0 : 1, k = 1; !term.isZero(); n += 2, ++k) {
        term = term * z;
        term /= n + 1;
        term /= n + 2;
        (k % 2 == 0 ? plus : minus) += term;
    }
    plus -= minus;
    return plus;
}

}  // namespace

// ---------------------------------------------------------------------------

Estimate fastEstimate(Function f, double x) {
    Reduced red = reduce(x);
    bool useSin = (f == Function::sin) == (red.quadrant % 2 == 0);
    DD v = useSin ? sinOfReduced(red.r) : cosOfReduced(red.r);
    double relR = red.absError / std::fabs(red.r.hi);
    // 2^-102 + eps_r, rounded up generously: the margins also cover the
    // rounding of this formula and of err = relError * |hi|, and that the
    // bound is relative to the exact value rather than to hi.
    double relError = 0x1p-101 + 1.5 * relR;
    bool negate = f == Function::cos ? (red.quadrant == 1 || red.quadrant == 2) : red.quadrant >= 2;
    if (negate) v = {-v.hi, -v.lo};
    return {v.hi, v.lo, relError};
}

bool fastCorrectlyRounded(Function f, double x, double& result) {
    Estimate e = fastEstimate(f, x);
    return roundsTo({e.hi, e.lo}, e.relError * std::fabs(e.hi), result);
}

// x = k pi/2 + r as in the fast stage, now in fixed point: r = |x - k pi/2|
// is off by |k| times the error of pi/2 (< 180 units a word) plus one
// truncation, e_r < 900 n + 2 units for n words. The Taylor series adds
// 2 e_r + 20 n (4 + 2 e_r); all of it stays below 2^16 n^2 units. Starting
// with 8 words (256 bits; the result is never below 2^-55, so well over 170
// bits of it are right) and doubling, the rounding is decided on the first
// try except in cases far rarer than the fast stage's failures; the last
// width's nearest double is the answer if 128 words should ever not suffice.
double slowCorrectlyRounded(Function f, double x) {
    const double ax = std::fabs(x);
    const double k = std::floor(ax * kTwoOverPi + 0.5);
    const auto ku = static_cast<std::uint32_t>(k);
    const int quadrant = static_cast<int>(ku % 4);
    const bool useSin = (f == Function::sin) == (quadrant % 2 == 0);
    bool rNegative = false;
    double magnitude = 0.0;
    for (int words = 8; words <= 128; words *= 2) {
        Fixed multiple = pi(words);
        multiple *= ku;
        multiple /= 2;
        Fixed arg = Fixed::fromDouble(words, ax);
        rNegative = arg < multiple;
        Fixed r = rNegative ? multiple : arg;
        r -= rNegative ? arg : multiple;
        Fixed v = taylor(useSin ? Function::sin : Function::cos, r);
        Fixed err = Fixed::units(words, 65536u * static_cast<std::uint32_t>(words * words));
        if (!(err < v)) continue;
        magnitude = v.nearestDouble();
        Fixed low = v, high = v;
        low -= err;
        high += err;
        if (low.nearestDouble() == high.nearestDouble()) break;
    }
    // cos is even and sin odd; x = k pi/2 + d turns cos x into cos d, -sin d,
    // -cos d, sin d and sin x into sin d, cos d, -sin d, -cos d for the
    // quadrants 0..3; and sin d = -sin r when d = -r < 0.
    bool negative = f == Function::cos ? (quadrant == 1 || quadrant == 2) : quadrant >= 2;
    if (useSin && rNegative) negative = !negative;
    if (f == Function::sin && x < 0) negative = !negative;
    return negative ? -magnitude : magnitude;
}

}  // namespace exact_trig_detail

namespace {

using exact_trig_detail::Function;

double correctlyRounded(Function f, double x) {
    if (!(std::fabs(x) <= kExactTrigMaxArgument)) return std::numeric_limits<double>::quiet_NaN();
    // Below 2^-27, cos x = 1 - x^2/2 + ... lies within 2^-55 below 1, less
    // than the half gap 2^-54 to the double below; sin x = x - x^3/6 + ...
    // lies within x 2^-55 of x, less than half the gap below |x|, whose
    // size is at least |x| 2^-53. Neither reaches a rounding boundary.
    if (std::fabs(x) < 0x1p-27) return f == Function::cos ? 1.0 : x;
    double result;
    if (exact_trig_detail::fastCorrectlyRounded(f, x, result)) return result;
    return exact_trig_detail::slowCorrectlyRounded(f, x);
}

}  // namespace

double correctlyRoundedCos(double x) { return correctlyRounded(Function::cos, x); }
double correctlyRoundedSin(double x) { return correctlyRounded(Function::sin, x); }

}  // namespace nyajkor
