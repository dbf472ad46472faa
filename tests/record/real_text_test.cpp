// The printf spelling of reals, used where the standard library has no
// to_chars for doubles, must write exactly what to_chars writes.
#include "record/real_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

std::string toCharsText(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void expectSameText(double v) { ASSERT_EQ(nyajkor::realTextByPrintf(v), toCharsText(v)) << std::hexfloat << v; }

TEST(RealTextByPrintf, SpellsEdgeValuesAsToChars) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                             1e21, 1e22, 123456789012345678.0, 0.1, 1e-5, 1e-4, 1e5, 1e15, 1e16, 1e17,
                             350, 0.355, 9.5, 99.99999999999999, 14.51830803954495};
    for (double v : values) expectSameText(v);
}

// Below a power of two the doubles lie twice as close: to_chars may pick the
// decimal above where the nearer one below does not read back.
TEST(RealTextByPrintf, SpellsEveryPowerOfTwoAsToChars) {
    for (int e = -1074; e <= 1023; ++e) {
        expectSameText(std::ldexp(1.0, e));
        expectSameText(-std::ldexp(1.0, e));
    }
}

TEST(RealTextByPrintf, SpellsRandomDoublesAsToChars) {
    std::mt19937_64 bits(1);
    std::uniform_real_distribution<double> inBox(-400, 400);
    for (int i = 0; i < 50000; ++i) {
        const std::uint64_t word = bits();
        double any;
        std::memcpy(&any, &word, sizeof any);
        expectSameText(any);
        expectSameText(inBox(bits));
    }
}

}  // namespace
