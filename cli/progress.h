// A progress bar on standard error for work that takes a while.
//
// It shows how many units are done of how many, and the time left as the
// work done so far predicts it. It appears only when enabled (on a
// terminal), only after the first second and at most five times a second,
// and is wiped at the end, so a quick run prints nothing and the terminal is
// left clean for what comes after.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace nyajkor::batch {

class Progress {
public:
    Progress(std::ostream& err, bool enabled, std::string unit);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of `total` units are finished and `fraction` (0..1) of the work
    // is done; the two differ when units are long and partly done.
    void update(long done, long total, double fraction);

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    bool enabled_;
    std::string unit_;
    Clock::time_point start_ = Clock::now(), last_ = start_;
    bool shown_ = false;
};

// "m:ss", or "h:mm:ss" from an hour on.
std::string durationText(std::chrono::seconds s);

}  // namespace nyajkor::batch
