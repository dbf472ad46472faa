#include "study/sweep_runs.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/cpus.h"
#include "model/simulation.h"
#include "model/workers.h"

namespace nyajkor::study {

namespace {

// What the job threads share with the thread that waits for them.
struct Sweeping {
    const SweepPlan& plan;
    const RunControl& control;
    // Slot k is written only by the job that ran its run, and read after
    // the jobs end; the slots of runs resumed from a table are filled before.
    ShardResults& results;
    RunsJournal* journal;  // none: the runs table is written at the end only
    std::atomic<std::size_t> next{0}, finished{0};
    std::atomic<long long> ticksDone{0};
    std::atomic<bool> failed{false};

    bool stopping() const { return failed || (control.stop && control.stop->load() != 0); }
};

Moments momentsOf(const Accumulator& a) { return {a.mean(), a.sd()}; }

// One run on a flock that may hold an earlier run: Start makes it afresh.
// Empty when stopped before its last tick.
std::optional<RunStatistics> runOne(std::unique_ptr<Flock>& flock, Workers& one, Sweeping& s, std::size_t run) {
    const Settings o = s.plan.settingsOf(run);
    const Inputs in = controlsFor(o);
    if (flock->capacity() < in.egyedszam) flock = std::make_unique<Flock>(in.egyedszam);
    Flock& f = *flock;
    prepareRun(f, o, in, s.plan.seedOf(run));
    const Execution how{NeighbourSearch::columns, &one};
    Accumulator order, neighbours, distance;
    std::vector<double> phi;  // the series the correlation time is read from
    phi.reserve(static_cast<std::size_t>(o.ticks));
    const Box box = f.box;
    std::shared_ptr<CorrelationTable> correlation;
    if (o.correlationBin) correlation = std::make_shared<CorrelationTable>(correlationBins(box, *o.correlationBin));
    for (long t = 1; t <= o.warmup + o.ticks; ++t) {
        if (s.stopping()) return std::nullopt;
        tick(f, in, how);
        s.ticksDone.fetch_add(1, std::memory_order_relaxed);
        if (t <= o.warmup) continue;
        order.add(f.rendparameter);
        neighbours.add(f.atlagszomszed);
        distance.add(f.atlagtav);
        phi.push_back(f.rendparameter);
        if (correlation && (t - o.warmup) % o.every == 0)
            correlation->addTick(velocityCorrelation(pointsOf(f), box, *o.correlationBin, &one));
    }
    if (s.control.series) s.control.series(run, phi);
    RunStatistics r;
    r.order = momentsOf(order);
    r.neighbours = momentsOf(neighbours);
    r.distance = momentsOf(distance);
    r.phase = orderStatistics(phi, f.egyeddb);
    if (correlation) {
        r.xi = correlation->xi().count() > 0 ? correlation->xi().mean() : r.xi;
        r.xiError = correlation->xiError();
        r.correlation = std::move(correlation);
    }
    return r;
}

int threadsPerJob(const Settings& o) { return o.threads.value_or(1); }

// One job: a flock and a pool of its own (one part unless --threads asks
// for more), so that jobs never queue for the shared pool, taking the next
// run in plan order until none is left.
void job(Sweeping& s) {
    try {
        auto flock = std::make_unique<Flock>();
        Workers one(threadsPerJob(s.plan.base()));
        for (std::size_t k = s.next++;; k = s.next++) {
            if (k >= s.results.size() || s.stopping()) return;
            if (s.results[k]) continue;  // resumed
            const std::size_t run = s.results.runOf(k);
            auto result = runOne(flock, one, s, run);
            if (!result) return;
            s.results[k] = *result;
            if (s.journal) s.journal->add(run, *result);
            ++s.finished;
            if (s.control.afterRun) s.control.afterRun();
        }
    } catch (...) {
        s.failed = true;
        throw;
    }
}

// The memory left for the jobs once the sweep's own is set aside.
std::uint64_t memoryForJobs(std::uint64_t memory, const SweepPlan& plan) {
    const std::uint64_t sweep = sweepMemoryBytes(plan, plan.base().shard);
    return memory > sweep ? memory - sweep : 0;
}

// As many jobs as asked, else as many as the usable CPUs hold at
// --threads each, within what memory holds; never more than there are runs.
int jobCount(const SweepPlan& plan, std::size_t runs) {
    const Settings& o = plan.base();
    const int byCpus = std::max(usableCpus() / threadsPerJob(o), 1);
    const int fit = jobLimit(memoryForJobs(usableMemory(), plan), jobMemoryBytes(o.ticks, largestFlock(plan)));
    const int wanted = o.jobs.value_or(std::min(byCpus, fit));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), std::max<std::size_t>(runs, 1)));
}

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

}  // namespace

// Jobs of one thread beyond the CPUs only take turns on them, which is
// allowed. Jobs of several threads beyond them are not: a pool's threads
// watch for work before they sleep, and pools that share CPUs spend their
// time watching. Jobs beyond the memory would drive the machine into
// swapping, or the runner into failing half-way, which is not allowed either.
void checkJobs(const SweepPlan& plan) {
    const Settings& o = plan.base();
    if (o.threads) {
        const int cpus = usableCpus();
        const int jobs = o.jobs.value_or(1);
        if (static_cast<long>(jobs) * *o.threads > cpus)
            throw RefusedInput("--threads: " + std::to_string(jobs) + " jobs x " + std::to_string(*o.threads) +
                             " threads are more than the " + std::to_string(cpus) + " CPUs this process may use");
    }
    const std::uint64_t memory = usableMemory();
    if (!o.jobs || memory == 0) return;
    const std::uint64_t perJob = jobMemoryBytes(o.ticks, largestFlock(plan));
    const int limit = jobLimit(memoryForJobs(memory, plan), perJob);
    if (*o.jobs > limit)
        throw RefusedInput("--jobs: " + std::to_string(*o.jobs) + " is more than the " + std::to_string(limit) +
                         " jobs that the " + std::to_string(memory >> 20) + " MB of memory here hold (about " +
                         megabytes(perJob) + " a job, besides " + megabytes(sweepMemoryBytes(plan, o.shard)) +
                         " for the sweep's results)");
}


void runShard(const SweepPlan& plan, const RunControl& control, ShardResults& results, RunsJournal* journal) {
    Sweeping s{plan, control, results, journal};
    const std::size_t toRun = results.size() - results.finished();
    const double totalTicks =
        static_cast<double>(toRun) * static_cast<double>(plan.base().warmup + plan.base().ticks);
    if (!kThreadsAvailable) {
        job(s);  // the runs one after another on this thread
        return;
    }
    std::vector<std::future<void>> jobs;
    for (int j = jobCount(plan, toRun); j > 0; --j) jobs.push_back(std::async(std::launch::async, job, std::ref(s)));
    for (auto& j : jobs)
        while (j.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
            if (control.progress)
                control.progress(s.finished.load(), toRun, static_cast<double>(s.ticksDone.load()) / totalTicks);
    for (auto& j : jobs) j.get();
}

}  // namespace nyajkor::study
