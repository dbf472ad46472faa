// A small pool of threads that share one job at a time.
//
// The velocity update splits the flock into as many contiguous parts as
// there are workers and runs them at once; the calling thread does part 0
// and waits for the others. Threads are started once and sleep between
// jobs, so a tick pays two hand-overs, not thread creation. Waking a
// sleeping thread can take tens of microseconds, a good part of a tick of a
// spread flock, so a thread that has just finished a job, and a caller
// waiting for the others, first watch for a while before they sleep: the
// next job, of the same tick or of the next one when ticks follow one
// another without a pause, usually comes within that time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace nyajkor {

class Workers {
public:
    // `count` parts at once (at least 1): count - 1 threads besides the caller.
    explicit Workers(int count);
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    int count() const { return count_; }

    // Runs job(part) for every part 0..count()-1 and returns when all are
    // done. Callers on several threads at once take turns.
    void run(const std::function<void(int part)>& job);

    // One pool for the process: `threads` parts, or with 0 one per CPU the
    // process may use (usableCpus). Set it before the first tick (the
    // runner's --threads, the window's start-up); it replaces the pool, so
    // nothing may be running on it then.
    static void configureShared(int threads);
    // The pool; one per usable CPU unless configured otherwise.
    static Workers& shared();

private:
    void serve(int part);

    int count_;
    std::vector<std::thread> threads_;
    std::mutex turn_;  // one job at a time
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void(int)>* job_ = nullptr;
    unsigned long generation_ = 0;
    int pending_ = 0;
    // generation_ and pending_ as seen without the lock, for watching
    std::atomic<unsigned long> published_{0};
    std::atomic<int> unfinished_{0};
    bool stopping_ = false;
};

}  // namespace nyajkor
