// The history behind the live plot: what it holds, in which order, and how
// a new run starts it afresh.

#include "app/order_history.h"

#include <gtest/gtest.h>

namespace nyajkor::app {
namespace {

constexpr int kCap = OrderHistory::kCapacity;

// Records ticks with recognisable values: the tick's own number, mod 101 in
// per cent and a quarter of it in neighbours.
void recordTicks(OrderHistory& h, int count) {
    for (int i = 0; i < count; ++i) {
        const int tick = int(h.empty() ? 1 : h.newest().tick + 1);
        h.record(tick % 101, tick / 4.0);
    }
}

// Every held tick in order, one apart, each with its own values.
void expectConsecutive(const OrderHistory& h, std::int64_t firstTick) {
    for (int i = 0; i < h.size(); ++i) {
        const std::int64_t tick = firstTick + i;
        ASSERT_EQ(h[i].tick, tick) << "at " << i;
        ASSERT_EQ(h[i].percent, int(tick % 101)) << "at " << i;
        ASSERT_EQ(h[i].neighbours, double(tick) / 4.0) << "at " << i;
    }
}

TEST(OrderHistory, HoldsEveryTickUntilFull) {
    OrderHistory h;
    EXPECT_TRUE(h.empty());
    recordTicks(h, 3);
    EXPECT_EQ(h.size(), 3);
    expectConsecutive(h, 1);
    recordTicks(h, kCap - 3);
    EXPECT_EQ(h.size(), kCap);
    expectConsecutive(h, 1);
}

TEST(OrderHistory, KeepsTheLastTicksOnceFull) {
    OrderHistory h;
    recordTicks(h, kCap + 1);
    EXPECT_EQ(h.size(), kCap);
    expectConsecutive(h, 2);
    // round the ring more than once, ending off its start
    recordTicks(h, 2 * kCap + 37);
    EXPECT_EQ(h.size(), kCap);
    EXPECT_EQ(h.newest().tick, 3 * kCap + 38);
    expectConsecutive(h, 2 * kCap + 39);
}

TEST(OrderHistory, ClearStartsTheCountAfresh) {
    OrderHistory h;
    recordTicks(h, kCap + 10);
    h.clear();
    EXPECT_TRUE(h.empty());
    h.record(42, 7.5);
    ASSERT_EQ(h.size(), 1);
    EXPECT_EQ(h[0].tick, 1);
    EXPECT_EQ(h[0].percent, 42);
    EXPECT_EQ(h[0].neighbours, 7.5);
    recordTicks(h, kCap);
    EXPECT_EQ(h.size(), kCap);
    expectConsecutive(h, 2);
}

}  // namespace
}  // namespace nyajkor::app
