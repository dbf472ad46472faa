#include "cli/progress.h"

#include <algorithm>
#include <cstdio>

namespace nyajkor::batch {

std::string durationText(std::chrono::seconds s) {
    const long total = s.count(), h = total / 3600, m = total / 60 % 60, sec = total % 60;
    char buf[32];
    if (h > 0)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", h, m, sec);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", m, sec);
    return buf;
}

Progress::Progress(std::ostream& err, bool enabled, std::string unit)
    : err_(err), enabled_(enabled), unit_(std::move(unit)) {}

Progress::~Progress() {
    if (shown_) err_ << "\r\033[K" << std::flush;
}

void Progress::update(long done, long total, double fraction) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    shown_ = true;
    fraction = std::clamp(fraction, 0.0, 1.0);
    constexpr int kWidth = 24;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
                       std::to_string(done) + " of " + std::to_string(total) + " " + unit_;
    if (fraction > 0) {
        const std::chrono::duration<double> elapsed = now - start_;
        const auto left = std::chrono::seconds(static_cast<long>(elapsed.count() * (1 - fraction) / fraction));
        line += ", " + durationText(left) + " left";
    }
    err_ << line << "\033[K" << std::flush;
}

}  // namespace nyajkor::batch
