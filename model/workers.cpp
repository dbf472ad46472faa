#include "model/workers.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "model/cpus.h"

namespace nyajkor {

namespace {

// How long a thread watches before it sleeps: longer than the work a tick
// does alone between two jobs, so that in back-to-back ticks (the runner, a
// benchmark) the next tick's first job finds the threads awake too. Waking
// one took about 50 microseconds here, a twentieth of a spread flock's
// tick; watching after the last job of a tick costs the window, ticking
// every 40 ms, under 1 % of a core.
constexpr std::chrono::microseconds kWatch{300};

// Watches until `ready` holds or kWatch has passed.
template <class Ready>
void watchBriefly(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kWatch;
    while (!ready() && std::chrono::steady_clock::now() < until) {
    }
}

}  // namespace

// Where no thread can be started every part runs on the caller.
Workers::Workers(int count) : count_(kThreadsAvailable ? std::max(count, 1) : 1) {
    for (int part = 1; part < count_; ++part) threads_.emplace_back(&Workers::serve, this, part);
}

Workers::~Workers() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void Workers::run(const std::function<void(int)>& job) {
    if (count_ == 1) {
        job(0);
        return;
    }
    std::lock_guard turn(turn_);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        pending_ = count_ - 1;
        unfinished_.store(count_ - 1);
        ++generation_;
        published_.store(generation_);
    }
    wake_.notify_all();
    job(0);
    watchBriefly([this] { return unfinished_.load() == 0; });
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
}

void Workers::serve(int part) {
    unsigned long seen = 0;
    for (;;) {
        const std::function<void(int)>* job;
        watchBriefly([&] { return published_.load() != seen; });
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            job = job_;
        }
        (*job)(part);
        unfinished_.fetch_sub(1);
        {
            std::lock_guard lock(mutex_);
            --pending_;
        }
        done_.notify_one();
    }
}

namespace {

std::unique_ptr<Workers>& sharedPool() {
    static std::unique_ptr<Workers> pool;
    return pool;
}

}  // namespace

void Workers::configureShared(int threads) {
    sharedPool() = std::make_unique<Workers>(threads > 0 ? threads : usableCpus());
}

Workers& Workers::shared() {
    static std::once_flag made;
    std::call_once(made, [] {
        if (!sharedPool()) configureShared(0);
    });
    return *sharedPool();
}

}  // namespace nyajkor
