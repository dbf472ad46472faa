// When the frame timer ticks: the timing rules without any event loop.
//
// The timer paces the simulation: a tick starts at least Interval ms after
// the start of the previous one, ticks stop while the application is inactive
// (with ActiveOnly) and the timing restarts whenever polling resumes. Keeping
// these rules apart from Qt, with the millisecond clock passed in, lets tests
// walk a fake clock through every case without sleeping; the Qt driver
// (TDXTimer) only asks when to look next and calls poll() then.
//
// The clock is a 32-bit millisecond counter; all differences are taken modulo
// 2^32, so its wrap-around neither delays nor hastens a tick.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace nyajkor {

class FrameTimerCore {
public:
    using Clock = std::function<std::uint32_t()>;

    // Enabled, with ActiveOnly and an Interval of 1000 ms, as a new timer is;
    // polling starts at once if the application is active.
    FrameTimerCore(Clock clock, bool applicationActive);

    bool Enabled() const { return enabled_; }
    // Switching on starts the timing afresh; switching on a running timer
    // changes nothing.
    void setEnabled(bool enabled);

    int Interval() const { return interval_; }
    // Stored as max(value, 0); applies from the next poll without moving the
    // time of the previous tick.
    void setInterval(int interval);

    bool ActiveOnly() const { return activeOnly_; }
    void setActiveOnly(bool activeOnly);

    // The application became active or inactive.
    void setApplicationActive(bool active);

    // Whether ticks may come: enabled, and the application active unless
    // ActiveOnly is off.
    bool polling() const { return polling_; }

    // Starts a tick if one is due: returns its LagCount, the number of whole
    // intervals since the previous tick (at least 1), or nothing.
    std::optional<int> poll();

    // Milliseconds from now until the next tick is due (0 when it is due);
    // meaningful while polling.
    std::uint32_t msUntilDue() const;

private:
    // Starts or stops polling as enabled, activity and ActiveOnly demand; the
    // timing restarts whenever polling starts.
    void updatePolling();

    Clock clock_;
    bool enabled_ = true;
    bool activeOnly_ = true;
    bool applicationActive_;
    bool polling_ = false;
    int interval_ = 1000;
    // Interval as the divisor of LagCount: max(value as assigned, 1).
    std::uint32_t divisor_ = 1000;
    // Start of the previous tick, or of polling.
    std::uint32_t lastTick_ = 0;
};

}  // namespace nyajkor
