#include "model/random.h"

#include <gtest/gtest.h>

namespace nyajkor {
namespace {

TEST(Random, AdvancesBeforeEachDraw) {
    Random r(0);
    // 0 * 134775813 + 1 = 1; 1 * 134775813 + 1 = 134775814
    EXPECT_EQ(r.real(), 1.0 / 4294967296.0);
    EXPECT_EQ(r.state(), 1u);
    EXPECT_EQ(r.integer(1000), static_cast<int>((134775814ull * 1000) >> 32));
    EXPECT_EQ(r.state(), 134775814u);
}

TEST(Random, KnownSequenceFromSeed) {
    Random r(12345);
    std::uint32_t s = 12345;
    for (int k = 0; k < 1000; ++k) {
        s = s * 134775813u + 1u;
        ASSERT_EQ(r.real(), s / 4294967296.0);
    }
}

TEST(Random, IntegerDrawStaysInRange) {
    Random r(0xFFFFFFFFu);
    for (int k = 0; k < 10000; ++k) {
        int v = r.integer(3);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 2);
    }
    // 3645876429 is the inverse of the multiplier mod 2^32: the next state is 2^32 - 1
    r.seed((0xFFFFFFFFu - 1u) * 3645876429u);
    EXPECT_EQ(r.integer(330), 329);
}

TEST(Random, JumpEqualsStepping) {
    for (std::uint64_t k : {0ull, 1ull, 2ull, 3ull, 17ull, 1000ull, 15000ull, 199999ull}) {
        Random stepped(987654321u), jumped(987654321u);
        for (std::uint64_t n = 0; n < k; ++n) stepped.real();
        jumped.jump(k);
        EXPECT_EQ(jumped.state(), stepped.state()) << k;
    }
    Random a(5), b(5);
    a.jump(123456789);
    b.jump(123456000);
    b.jump(789);
    EXPECT_EQ(a.state(), b.state());
}

}  // namespace
}  // namespace nyajkor
