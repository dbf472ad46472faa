#include "surface/frame_timer_core.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace nyajkor {

FrameTimerCore::FrameTimerCore(Clock clock, bool applicationActive)
    : clock_(std::move(clock)), applicationActive_(applicationActive) {
    updatePolling();
}

void FrameTimerCore::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    updatePolling();
}

void FrameTimerCore::setInterval(int interval) {
    if (interval == interval_) return;
    interval_ = std::max(interval, 0);
    divisor_ = static_cast<std::uint32_t>(std::max(interval, 1));
}

void FrameTimerCore::setActiveOnly(bool activeOnly) {
    activeOnly_ = activeOnly;
    updatePolling();
}

void FrameTimerCore::setApplicationActive(bool active) {
    applicationActive_ = active;
    updatePolling();
}

void FrameTimerCore::updatePolling() {
    const bool wanted = enabled_ && (applicationActive_ || !activeOnly_);
    if (wanted && !polling_) lastTick_ = clock_();
    polling_ = wanted;
}

std::optional<int> FrameTimerCore::poll() {
    if (!polling_) return std::nullopt;
    const std::uint32_t now = clock_();
    const std::uint32_t elapsed = now - lastTick_;
    if (elapsed < static_cast<std::uint32_t>(interval_)) return std::nullopt;
    // the next interval counts from the start of this tick: lateness is not
    // carried over
    lastTick_ = now;
    // a clock that jumps far could give more intervals than an int holds
    const std::uint32_t lag = std::max<std::uint32_t>(elapsed / divisor_, 1);
    return static_cast<int>(std::min<std::uint32_t>(lag, INT_MAX));
}

std::uint32_t FrameTimerCore::msUntilDue() const {
    const std::uint32_t elapsed = clock_() - lastTick_;
    const auto interval = static_cast<std::uint32_t>(interval_);
    return elapsed >= interval ? 0 : interval - elapsed;
}

}  // namespace nyajkor
