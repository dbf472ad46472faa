// The frame timer in Qt's event loop: it fires OnTimer from the loop, stops
// while the application is inactive, never re-enters a running handler and
// survives a handler that throws. The clock is fake and the interval 0, so
// every tick is due at once and nothing waits for real time.
#include "surface/dx_timer.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

namespace nyajkor {
namespace {

// Runs the event loop for a fixed number of passes.
void processEvents(int passes = 20) {
    for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
}

class DXTimerTest : public ::testing::Test {
protected:
    std::uint32_t now = 0;
    TDXTimer timer{nullptr, [this] { return now; }};
    int ticks = 0;

    DXTimerTest() {
        timer.applicationStateChanged(Qt::ApplicationActive);
        timer.setInterval(0);
        timer.OnTimer = [this](TDXTimer&, int) { ++ticks; };
    }
};

TEST_F(DXTimerTest, FiresFromTheEventLoopWithSenderAndLagCount) {
    TDXTimer* sender = nullptr;
    int lagCount = 0;
    timer.OnTimer = [&](TDXTimer& s, int lag) {
        sender = &s;
        lagCount = lag;
        now += 3;
    };
    processEvents();
    EXPECT_EQ(sender, &timer);
    EXPECT_EQ(lagCount, 3);
}

TEST_F(DXTimerTest, DisabledOrInactiveGivesNoTicks) {
    timer.setEnabled(false);
    processEvents();
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(true);
    timer.applicationStateChanged(Qt::ApplicationInactive);
    processEvents();
    EXPECT_EQ(ticks, 0);
    timer.applicationStateChanged(Qt::ApplicationActive);
    processEvents();
    EXPECT_GT(ticks, 0);
}

TEST_F(DXTimerTest, TicksWaitForTheClock) {
    timer.setInterval(40);
    processEvents();
    EXPECT_EQ(ticks, 0);
}

TEST_F(DXTimerTest, HandlerIsNeverReentered) {
    int depth = 0, deepest = 0;
    timer.OnTimer = [&](TDXTimer& sender, int) {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // a handler that changes the timer and runs a nested event loop,
        // as one showing a dialog would
        sender.setInterval(0);
        sender.setEnabled(true);
        processEvents(5);
        --depth;
    };
    processEvents();
    EXPECT_GT(ticks, 1);
    EXPECT_EQ(deepest, 1);
}

TEST_F(DXTimerTest, HandlerDisablingTheTimerStopsTheTicks) {
    timer.OnTimer = [&](TDXTimer& sender, int) {
        ++ticks;
        sender.setEnabled(false);
    };
    processEvents();
    EXPECT_EQ(ticks, 1);
}

TEST_F(DXTimerTest, ThrowingHandlerIsReportedAndTicksGoOn) {
    QSignalSpy failures(&timer, &TDXTimer::failed);
    timer.OnTimer = [&](TDXTimer&, int) {
        ++ticks;
        throw std::runtime_error("frame failed");
    };
    processEvents();
    EXPECT_GT(ticks, 1);
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_EQ(failures.first().first().toString(), QStringLiteral("frame failed"));
}

}  // namespace
}  // namespace nyajkor
