// Correctly rounded cosine and sine; see exact_trig.h.
//
// Two stages. The fast one reduces the argument by a multiple of pi/512,
// x = k pi/512 + r with |r| just over pi/1024 at most, looks up cos and sin
// of the multiple in a table of double-doubles (a value being the
// unevaluated sum hi + lo of two doubles) and adds the angles: the leading
// terms exactly, the small corrections in plain doubles. Its result comes
// with a proven bound on its absolute error, about 2^-98 plus 2^-50 r^2
// (|r| + r^2), so at most 2^-74. When the interval that bound leaves around
// the estimate holds no rounding boundary (a midpoint between two
// neighbouring doubles), the double nearest to the estimate is the
// correctly rounded result. That fails about once in a million calls; the
// slow stage, some microseconds, then evaluates again in fixed point on
// 32-bit integer words, doubling the words until the interval shrinks past
// the boundary. That would always end: for a double x != 0, cos x and sin x
// are transcendental (Lindemann), so they are never the rational midpoint
// itself. The first width, 256 bits, already decides every case met in
// testing; the widening stops at 4096 bits.
//
// Only + - * / on doubles and integer arithmetic are used, and the project
// builds without contraction into fused multiply-adds, so every step rounds
// as written on every IEEE 754 platform.

#include "model/exact_trig.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/bit_cast.h"

// The error-free transformations below need every operation rounded to
// double as it happens, not kept in a wider register (as on the x87).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must round to double at every step");

namespace nyajkor {
namespace exact_trig_detail {
namespace {

// ---------------------------------------------------------------------------
// Error-free transformations. u = 2^-53 is the unit roundoff of a double.

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

// a + b = s + e exactly when a = 0 or the exponent of a is at least that
// of b (Dekker).
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
// here is 0 or above 2^-400. With a and b split already, for factors used
// more than once.
DD twoProd(double a, DD as, double b, DD bs) {
    double p = a * b;
    double e = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, e};
}

// Used by the slow stage to pick the quadrant.
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

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

// v (nonzero, at least 2^-27 and below 2^32) as the nearest double and the
// nearest double to what that leaves.
DD toDoubleDouble(const Fixed& v) {
    const double hi = v.nearestDouble();
    const Fixed head = Fixed::fromDouble(v.fractionWords(), hi);
    const bool below = head < v;
    Fixed rest = below ? v : head;
    rest -= below ? head : v;
    if (rest.isZero()) return {hi, 0.0};
    return {hi, below ? rest.nearestDouble() : -rest.nearestDouble()};
}

// ---------------------------------------------------------------------------
// The fast stage's table, declared with it below.

constexpr int kStepsPerQuadrant = 256;
using StepTable = std::array<DD, kStepsPerQuadrant + 1>;

// cos(j pi/512) = sin((256 - j) pi/512) by the series in fixed point, on an
// angle of at most pi/4 (the series want one below 0.8). With 8 words the
// angle is within 2^-245 and the series' result within 2^-236.
StepTable makeStepTable() {
    constexpr int kWords = 8;
    const Fixed halfTurn = pi(kWords);
    StepTable table;
    table[0] = {1.0, 0.0};
    table[kStepsPerQuadrant] = {0.0, 0.0};
    for (int j = 1; j < kStepsPerQuadrant; ++j) {
        const bool nearZero = 2 * j <= kStepsPerQuadrant;
        Fixed angle = halfTurn;
        angle *= static_cast<std::uint32_t>(nearZero ? j : kStepsPerQuadrant - j);
        angle /= 2 * kStepsPerQuadrant;
        table[j] = toDoubleDouble(taylor(nearZero ? Function::cos : Function::sin, angle));
    }
    return table;
}

// ---------------------------------------------------------------------------
// The fast stage.
//
// x = k h + r with h = pi/512, split as k = 256 q + j: x = q pi/2 + a with
// a = j h + r. Then cos a = C cos r - S sin r and sin a = S cos r + C sin r
// with C = cos(j h) and S = sin(j h) = cos((256 - j) h) from the table, and
// cos x, sin x are +-cos a or +-sin a by the quadrant q.

// The table: cos(j pi/512) for j = 0..256 as double-doubles, each within
// 2^-105.9 of its value relative (the nearest double and the nearest double
// to what it leaves; the fixed-point value they are taken from is within
// 2^-236). Entries 0 and 256 are exactly 1 and 0. Computed once, at first
// use, in the slow stage's fixed point (about a millisecond).
const StepTable& stepTable() {
    static const StepTable table = makeStepTable();
    return table;
}

// h = kStep0 + kStep1 + kStep2 + d, |d| < 2^-149: the first two of 41
// significant bits, so that their products with k < 2^11 are exact.
constexpr double kStep0 = 0x1.921fb54443p-8;
constexpr double kStep1 = -0x1.73dcb3b39ap-51;
constexpr double kStep2 = 0x1.45c06e0e68948p-94;
constexpr double kStepsPerRadian = 0x1.45f306dc9c883p+7;  // 512/pi

// What both results need of x = q pi/2 + j h + r, for 2^-27 <= x <= 8.
struct Reduced {
    int quadrant;  // q, in 0..3
    int step;      // j, in 0..255
    double rh, rl; // r = rh + rl, |rl| <= ulp(rh)/2, |r| <= 0.0030681
    double zh, ze; // rh^2 = zh + ze exactly
    DD rhSplit, zhSplit;  // rh and zh split for exact products
    double w;      // cos r - (1 - r^2/2), in doubles from zh
    double sc;     // sin r - r, in doubles from rh and zh
};

// k is the integer nearest to fl(x 512/pi), which is within 2^-40 of x 512/pi:
// |r| <= h (1/2 + 2^-40) < 0.0030681 < 2^-8.34, r^2 < 2^-16.68.
//
// The error of r: x - k kStep0 is exact (for k >= 1, x >= 2^-9 and both
// terms are multiples of 2^-61 while the difference is below 2^53 of them);
// k kStep1 and the twoSum are exact; k kStep2 (below 2^-82) is rounded by
// less than 2^-136, the sum of the low parts by at most u |rl| <= 2^-106 |r|,
// and k d stays below 2^-138. So r is within 2^-105 |r| + 2^-135 of x - k h.
//
// The series: with z = r^2 and the alternating, decreasing terms after the
// last one kept as bounds, cos r = 1 - z/2 + z^2/24 - z^3/720 + z^4/8! within
// z^5/10! < 2^-104, and sin r = r - r^3/3! + ... + r^9/9! within
// |r| r^10/11! < 2^-108 |r|. Evaluated in doubles from rh and zh, w comes
// out within 10u of its exact value (the roundings, and zh for z, which
// differs from it by 3u relative) and sc within 9u (r^3 from rh zh 5u, the
// bracket 2u, the product u, the truncation).
Reduced reduce(double x) {
    constexpr double kShift = 0x1.8p52;  // adding it rounds to an integer
    const double t = x * kStepsPerRadian + kShift;
    const double k = t - kShift;
    const auto kBits = static_cast<std::uint32_t>(bitCast<std::uint64_t>(t));  // k, in the low bits
    DD r = twoSum(x - k * kStep0, -(k * kStep1));
    r = fastTwoSum(r.hi, r.lo - k * kStep2);
    const DD rhSplit = split(r.hi);
    const DD z = twoProd(r.hi, rhSplit, r.hi, rhSplit);
    const double w = z.hi * z.hi * (1.0 / 24 - z.hi * (1.0 / 720 - z.hi * (1.0 / 40320)));
    const double sc =
        -(r.hi * z.hi) * (1.0 / 6 - z.hi * (1.0 / 120 - z.hi * (1.0 / 5040 - z.hi * (1.0 / 362880))));
    return {static_cast<int>((kBits / kStepsPerQuadrant) % 4), static_cast<int>(kBits % kStepsPerQuadrant),
            r.hi, r.lo, z.hi, z.lo, rhSplit, split(z.hi), w, sc};
}

// An estimate hi + lo (hi = fl(hi + lo)) with the exact value within +-err.
struct Bounded {
    DD v;
    double err;
};

// P cos r + Q sin r for table values P and Q: cos a with P = C, Q = -S and
// sin a with P = S, Q = C.
//
// It is P - P z/2 + P w + Q r + Q sc. The leading part Ph + Qh rh - Ph zh/2
// is summed exactly into s.hi + s.lo + s1.lo with p.lo and q.lo, Qh rh and
// Ph zh/2 being exact. The rest, R, collects in doubles the low parts of
// these sums and products, of the table (Pl, Ql) and of r and z (rl, ze,
// 2 rh rl), then P w and Q sc.
//
// The error, with A = |Ph| and B = |Qh rh|:
// - the small terms are each below 2^-52 (A + B), together 2^-50.4 (A + B);
//   their products and sums round off less than 2^-99.8 (A + B), and the
//   terms left out (Ql rl, Ph rl^2/2, Pl (z - zh)/2, the truncations) are
//   below 2^-103.9 (A + B);
// - the table's error weighs 2^-105.9 (A + B), that of r
//   (|P| |r| + |Q|) (2^-105 |r| + 2^-135) < 2^-104.9 (A + B) + 2^-134 (A + |Qh|);
// - P w is within 11u of its value, at most A zh^2/24, and Q sc within 10u
//   of its value, at most B zh/6; the two sums that add them to R round off
//   at most 2u of them: together less than 2^-51.5 zh (B + A zh);
// - the final fastTwoSum is exact (|R| is well below |s.hi|).
// Altogether below 2^-99.4 (A + B) + 2^-134 (A + |Qh|) + 2^-51.5 zh (B + A zh).
// The bound below doubles each coefficient or more, which also covers its
// own rounding. With A + B <= 1.42 and zh < 2^-16.68 it is at most 2^-74;
// for j = 0 (P, Q = 1, 0 or 0, 1, exact) it shrinks with the result.
Bounded addAngles(DD P, DD Q, const Reduced& g) {
    const DD p = twoProd(Q.hi, split(Q.hi), g.rh, g.rhSplit);
    DD q = twoProd(P.hi, split(P.hi), g.zh, g.zhSplit);
    q = {0.5 * q.hi, 0.5 * q.lo};
    const DD s1 = twoSum(P.hi, p.hi);
    const DD s = twoSum(s1.hi, -q.hi);
    const double small = P.lo + s1.lo + s.lo + p.lo - q.lo + Q.hi * g.rl + Q.lo * g.rh -
                         P.hi * (0.5 * g.ze + g.rh * g.rl) - P.lo * (0.5 * g.zh);
    const double rest = (small + P.hi * g.w) + Q.hi * g.sc;
    const double a = std::fabs(P.hi);
    const double b = std::fabs(p.hi);
    const double err = 0x1p-98 * (a + b) + 0x1p-133 * (a + std::fabs(Q.hi)) + 0x1p-50 * g.zh * (b + a * g.zh);
    return {fastTwoSum(s.hi, rest), err};
}

// cos a for which = 0, sin a for which = 1. Index arithmetic rather than
// branches: the quadrant and so the choice is random from call to call.
Bounded ofAngle(int which, const Reduced& g) {
    const StepTable& t = stepTable();
    const int p = g.step + which * (kStepsPerQuadrant - 2 * g.step);
    const DD P = t[p];
    const DD Q = t[kStepsPerQuadrant - p];
    const double sign = 2.0 * which - 1.0;
    return addAngles(P, {sign * Q.hi, sign * Q.lo}, g);
}

Bounded withSign(double sign, const Bounded& e) { return {{sign * e.v.hi, sign * e.v.lo}, e.err}; }

// cos x = cos a, -sin a, -cos a, sin a and sin x = sin a, cos a, -sin a,
// -cos a for the quadrants 0..3; sin is odd.
constexpr double kCosSign[4] = {1.0, -1.0, -1.0, 1.0};
constexpr double kSinSign[4] = {1.0, 1.0, -1.0, -1.0};

int cosWhich(const Reduced& g) { return g.quadrant % 2; }
int sinWhich(const Reduced& g) { return 1 - g.quadrant % 2; }
Bounded cosFromAngle(const Reduced& g, const Bounded& angle) { return withSign(kCosSign[g.quadrant], angle); }
Bounded sinFromAngle(const Reduced& g, const Bounded& angle, double x) {
    return withSign(kSinSign[g.quadrant] * std::copysign(1.0, x), angle);
}

// Only the one of cos a and sin a that is needed.
Bounded estimate(Function f, double x) {
    const Reduced g = reduce(std::fabs(x));
    if (f == Function::cos) return cosFromAngle(g, ofAngle(cosWhich(g), g));
    return sinFromAngle(g, ofAngle(sinWhich(g), g), x);
}

// The double nearest to an exact value within v.hi + v.lo +- err, where
// v.hi = fl(v.hi + v.lo); false if that interval holds a rounding boundary.
// The boundaries next to |hi| lie half a gap to the next double above it,
// a power of two, and half a gap below it, the same unless |hi| is itself a
// power of two, where the gap below is half as wide. fl(lo + err) < that
// half gap implies lo + err < it, since rounding is monotone and the half
// gap a double. |hi| must be normal and above 2^-968 for the half gap to be.
bool roundsTo(Bounded e, double& result) {
    const double hi = std::fabs(e.v.hi);
    const double lo = std::copysign(1.0, e.v.hi) * e.v.lo;
    constexpr std::uint64_t kExponent = 0x7ff0000000000000u;
    const std::uint64_t bits = bitCast<std::uint64_t>(hi);
    const double halfUp = bitCast<double>((bits & kExponent) - (std::uint64_t{53} << 52));
    const double halfDown = (bits & ~kExponent) == 0 ? 0.5 * halfUp : halfUp;
    if (lo + e.err < halfUp && lo - e.err > -halfDown) {
        result = e.v.hi;
        return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------

Estimate fastEstimate(Function f, double x) {
    const Bounded e = estimate(f, x);
    // Relative to |hi| rather than to the exact value, which lies within
    // 2^-49 |hi| of it, and rounded: the factor covers both.
    return {e.v.hi, e.v.lo, e.err / std::fabs(e.v.hi) * (1 + 0x1p-40)};
}

bool fastCorrectlyRounded(Function f, double x, double& result) { return roundsTo(estimate(f, x), result); }

// x = k pi/2 + r, now in fixed point: r = |x - k pi/2|
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

// Below 2^-27, cos x = 1 - x^2/2 + ... lies within 2^-55 below 1, less than
// the half gap 2^-54 to the double below; sin x = x - x^3/6 + ... lies
// within x 2^-55 of x, less than half the gap below |x|, whose size is at
// least |x| 2^-53. Neither reaches a rounding boundary.
constexpr double kTinyArgument = 0x1p-27;

bool inDomain(double x) { return std::fabs(x) <= kExactTrigMaxArgument; }  // false for NaN

double correctlyRounded(Function f, double x) {
    if (!inDomain(x)) return std::numeric_limits<double>::quiet_NaN();
    if (std::fabs(x) < kTinyArgument) return f == Function::cos ? 1.0 : x;
    double result;
    if (exact_trig_detail::fastCorrectlyRounded(f, x, result)) return result;
    return exact_trig_detail::slowCorrectlyRounded(f, x);
}

}  // namespace

double correctlyRoundedCos(double x) { return correctlyRounded(Function::cos, x); }
double correctlyRoundedSin(double x) { return correctlyRounded(Function::sin, x); }

// The same steps as the two functions above, with the reduction and the
// table look-up done once.
void correctlyRoundedCosSin(double x, double& c, double& s) {
    using namespace exact_trig_detail;
    if (!inDomain(x)) {
        c = s = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    if (std::fabs(x) < kTinyArgument) {
        c = 1.0;
        s = x;
        return;
    }
    const Reduced g = reduce(std::fabs(x));
    const Bounded angle[2] = {ofAngle(0, g), ofAngle(1, g)};
    if (!roundsTo(cosFromAngle(g, angle[cosWhich(g)]), c)) c = slowCorrectlyRounded(Function::cos, x);
    if (!roundsTo(sinFromAngle(g, angle[sinWhich(g)], x), s)) s = slowCorrectlyRounded(Function::sin, x);
}

}  // namespace nyajkor
