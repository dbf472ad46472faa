// The frame timer's timing rules, walked through with a fake millisecond
// clock: when ticks come, their LagCount, and how switching the timer and the
// application's activity restart the timing.
#include "surface/frame_timer_core.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

namespace nyajkor {
namespace {

// A timer on a fake clock, and the ticks it gives at chosen moments.
class FrameTimerTest : public ::testing::Test {
protected:
    std::uint32_t now = 5000;
    FrameTimerCore timer{[this] { return now; }, true};

    // Sets the clock and polls: the LagCount of a tick, or nothing.
    std::optional<int> pollAt(std::uint32_t time) {
        now = time;
        return timer.poll();
    }

    // Polls every millisecond from `from` to `to` inclusive; the times of
    // the ticks.
    std::vector<std::uint32_t> tickTimes(std::uint32_t from, std::uint32_t to) {
        std::vector<std::uint32_t> times;
        for (std::uint32_t t = from;; ++t) {
            if (pollAt(t)) times.push_back(t);
            if (t == to) break;
        }
        return times;
    }

    // A running timer with the main window's interval, started at `start`.
    void startWithInterval(int interval, std::uint32_t start) {
        timer.setEnabled(false);
        timer.setInterval(interval);
        now = start;
        timer.setEnabled(true);
    }
};

using ::testing::ElementsAre;
using ::testing::Optional;

TEST_F(FrameTimerTest, NewTimerIsEnabledAndTicksEverySecond) {
    EXPECT_TRUE(timer.Enabled());
    EXPECT_TRUE(timer.ActiveOnly());
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_THAT(tickTimes(5000, 7500), ElementsAre(6000, 7000));
}

TEST_F(FrameTimerTest, TicksStartAtLeastAnIntervalApart) {
    startWithInterval(40, 100);
    EXPECT_EQ(pollAt(139), std::nullopt);
    EXPECT_THAT(pollAt(140), Optional(1));
    EXPECT_EQ(pollAt(179), std::nullopt);
    EXPECT_THAT(pollAt(185), Optional(1));
    // measured from the start of the previous tick: lateness is not carried
    EXPECT_EQ(pollAt(224), std::nullopt);
    EXPECT_THAT(pollAt(225), Optional(1));
}

TEST_F(FrameTimerTest, LongHandlerGivesTheNextTickAtOnceWithItsLag) {
    startWithInterval(40, 0);
    EXPECT_THAT(pollAt(40), Optional(1));
    // the handler started at 40 ran until 135: 95 ms are two whole intervals
    EXPECT_THAT(pollAt(135), Optional(2));
    EXPECT_THAT(pollAt(175), Optional(1));
}

TEST_F(FrameTimerTest, ZeroIntervalTicksAtEveryPollWithElapsedMilliseconds) {
    startWithInterval(0, 10);
    EXPECT_THAT(pollAt(10), Optional(1));
    EXPECT_THAT(pollAt(10), Optional(1));
    EXPECT_THAT(pollAt(17), Optional(7));
    EXPECT_EQ(timer.msUntilDue(), 0u);
}

TEST_F(FrameTimerTest, NegativeIntervalBehavesAsZero) {
    startWithInterval(-25, 10);
    EXPECT_EQ(timer.Interval(), 0);
    EXPECT_THAT(pollAt(10), Optional(1));
    EXPECT_THAT(pollAt(13), Optional(3));
}

TEST_F(FrameTimerTest, IntervalChangeAppliesFromTheNextPollWithoutMovingThePreviousTick) {
    startWithInterval(40, 0);
    EXPECT_THAT(pollAt(40), Optional(1));
    timer.setInterval(100);
    EXPECT_EQ(pollAt(80), std::nullopt);
    EXPECT_THAT(pollAt(140), Optional(1));
    timer.setInterval(10);
    EXPECT_THAT(pollAt(175), Optional(3));
}

TEST_F(FrameTimerTest, EnablingTwiceKeepsTheTiming) {
    startWithInterval(40, 0);
    now = 30;
    timer.setEnabled(true);
    EXPECT_THAT(pollAt(40), Optional(1));
}

TEST_F(FrameTimerTest, DisablingStopsAndReenablingRestartsTheTiming) {
    startWithInterval(40, 0);
    now = 30;
    timer.setEnabled(false);
    EXPECT_FALSE(timer.polling());
    EXPECT_THAT(tickTimes(30, 200), ElementsAre());
    now = 200;
    timer.setEnabled(true);
    EXPECT_THAT(tickTimes(200, 280), ElementsAre(240, 280));
}

TEST_F(FrameTimerTest, DeactivationSuspendsAndActivationRestartsTheTiming) {
    startWithInterval(40, 0);
    EXPECT_THAT(pollAt(40), Optional(1));
    now = 50;
    timer.setApplicationActive(false);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.polling());
    EXPECT_THAT(tickTimes(50, 1000), ElementsAre());
    now = 1000;
    timer.setApplicationActive(true);
    // the first tick comes an interval after the activation, and the time
    // spent inactive does not count as lag
    EXPECT_EQ(pollAt(1039), std::nullopt);
    EXPECT_THAT(pollAt(1040), Optional(1));
}

TEST_F(FrameTimerTest, EnablingWhileInactiveWaitsForActivation) {
    timer.setEnabled(false);
    timer.setInterval(40);
    timer.setApplicationActive(false);
    timer.setEnabled(true);
    EXPECT_THAT(tickTimes(5000, 5500), ElementsAre());
    now = 6000;
    timer.setApplicationActive(true);
    EXPECT_THAT(tickTimes(6000, 6080), ElementsAre(6040, 6080));
}

TEST_F(FrameTimerTest, RepeatedActivationKeepsTheTiming) {
    startWithInterval(40, 0);
    now = 30;
    timer.setApplicationActive(true);
    EXPECT_THAT(pollAt(40), Optional(1));
}

TEST_F(FrameTimerTest, WithoutActiveOnlyTicksGoOnWhileInactive) {
    startWithInterval(40, 0);
    timer.setActiveOnly(false);
    timer.setApplicationActive(false);
    EXPECT_THAT(tickTimes(0, 80), ElementsAre(40, 80));
    // switching ActiveOnly back on while inactive suspends at once
    timer.setActiveOnly(true);
    EXPECT_THAT(tickTimes(81, 200), ElementsAre());
}

TEST_F(FrameTimerTest, ClockWrapAroundNeitherDelaysNorHastensATick) {
    startWithInterval(40, 0xFFFFFFF0u);
    EXPECT_EQ(timer.msUntilDue(), 40u);
    EXPECT_EQ(pollAt(0x00000017u), std::nullopt);
    EXPECT_EQ(timer.msUntilDue(), 1u);
    EXPECT_THAT(pollAt(0x00000018u), Optional(1));
    EXPECT_THAT(pollAt(0x00000018u + 95), Optional(2));
}

TEST_F(FrameTimerTest, MsUntilDueCountsDownFromTheLastTick) {
    startWithInterval(40, 100);
    EXPECT_EQ(timer.msUntilDue(), 40u);
    now = 125;
    EXPECT_EQ(timer.msUntilDue(), 15u);
    now = 190;
    EXPECT_EQ(timer.msUntilDue(), 0u);
}

TEST_F(FrameTimerTest, LagCountFitsAnIntWhenTheClockJumpsBack) {
    startWithInterval(0, 1000);
    EXPECT_THAT(pollAt(999), Optional(INT_MAX));
}

}  // namespace
}  // namespace nyajkor
