#include "cli/sweep.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <limits>
#include <memory>
#include <thread>
#include <variant>

#include "cli/batch.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/run_setup.h"
#include "cli/sweep_chart.h"
#include "cli/sweep_tables.h"
#include "files/output_target.h"
#include "model/cpus.h"
#include "model/simulation.h"

namespace nyajkor::batch {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void Accumulator::add(double v) {
    // Welford's update: no sum of squares that loses the deviations to rounding.
    ++n_;
    const double d = v - mean_;
    mean_ += d / static_cast<double>(n_);
    squares_ += d * (v - mean_);
}

double Accumulator::sd() const { return n_ < 2 ? kNaN : std::sqrt(squares_ / static_cast<double>(n_ - 1)); }

SweepPlan::SweepPlan(const Options& o) : base_(o) {}

std::size_t SweepPlan::points() const {
    std::size_t points = 1;
    for (const Sweep& s : base_.sweeps) points *= s.count();
    return points;
}

std::vector<int> SweepPlan::values(std::size_t point) const {
    // the point's number written in the mixed radix of the flags' counts,
    // the last flag the lowest digit
    std::vector<int> values(base_.sweeps.size());
    for (std::size_t k = values.size(); k-- > 0;) {
        const Sweep& s = base_.sweeps[k];
        values[k] = s.valueAt(point % s.count());
        point /= s.count();
    }
    return values;
}

std::uint32_t SweepPlan::seedOf(std::size_t run) const {
    // unsigned arithmetic: the seeds wrap round modulo 2^32
    return *base_.seed + static_cast<std::uint32_t>(run % static_cast<std::size_t>(base_.repeats));
}

Options SweepPlan::optionsOf(std::size_t run) const {
    Options o = base_;
    const auto values = this->values(pointOf(run));
    for (std::size_t k = 0; k < values.size(); ++k) applySwept(o, base_.sweeps[k].name, values[k]);
    return o;
}

namespace {

// A point's runs as they are added, in seed order.
struct PointAccumulators {
    Accumulator order, neighbours, distance, meanSquare, meanFourth, susceptibility, binder, tau;
    double squaredErrors = 0;

    void add(const RunStatistics& r) {
        order.add(r.order.mean);
        neighbours.add(r.neighbours.mean);
        distance.add(r.distance.mean);
        meanSquare.add(r.phase.meanSquare);
        meanFourth.add(r.phase.meanFourth);
        susceptibility.add(r.phase.susceptibility);
        binder.add(r.phase.binder);
        tau.add(r.phase.tau);
        squaredErrors += r.phase.meanError * r.phase.meanError;
    }

    PointSummary summary(std::size_t point) const {
        auto estimate = [](const Accumulator& a) {
            return Estimate{a.mean(), a.sd() / std::sqrt(static_cast<double>(a.count()))};
        };
        const double runs = static_cast<double>(order.count());
        return {point, static_cast<int>(order.count()), estimate(order),  estimate(neighbours),
                estimate(distance),               estimate(meanSquare),     estimate(meanFourth),
                estimate(susceptibility),         estimate(binder),         estimate(tau),
                std::sqrt(squaredErrors) / runs};
    }
};

}  // namespace

ShardResults::ShardResults(const SweepPlan& plan, const Shard& shard)
    : shard_(shard), slots_(runsOfShard(plan, shard)) {}

std::size_t ShardResults::finished() const {
    return static_cast<std::size_t>(
        std::count_if(slots_.begin(), slots_.end(), [](const auto& r) { return r.has_value(); }));
}

std::size_t runsOfShard(const SweepPlan& plan, const Shard& shard) {
    return plan.runs() < shard.index ? 0 : (plan.runs() - shard.index) / shard.count + 1;
}

std::vector<PointSummary> summarise(const SweepPlan& plan, const ShardResults& results) {
    // the runs come in plan order, so each point's are added one point at a time
    std::vector<PointSummary> summary;
    std::optional<std::size_t> point;
    PointAccumulators adding;
    for (std::size_t slot = 0; slot < results.size(); ++slot) {
        if (!results[slot]) continue;
        const std::size_t p = plan.pointOf(results.runOf(slot));
        if (point != p) {
            if (point) summary.push_back(adding.summary(*point));
            point = p;
            adding = {};
        }
        adding.add(*results[slot]);
    }
    if (point) summary.push_back(adding.summary(*point));
    return summary;
}

namespace {

// What the job threads share with the thread that waits for them.
struct Sweeping {
    const SweepPlan& plan;
    const SweepControl& control;
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
std::optional<RunStatistics> runOne(Flock& f, Workers& one, Sweeping& s, std::size_t run) {
    const Options o = s.plan.optionsOf(run);
    const Inputs in = controlsFor(o);
    prepareRun(f, o, in, s.plan.seedOf(run));
    const Execution how{NeighbourSearch::columns, &one};
    Accumulator order, neighbours, distance;
    std::vector<double> phi;  // the series the correlation time is read from
    phi.reserve(static_cast<std::size_t>(o.ticks));
    for (long t = 1; t <= o.warmup + o.ticks; ++t) {
        if (s.stopping()) return std::nullopt;
        tick(f, in, how);
        s.ticksDone.fetch_add(1, std::memory_order_relaxed);
        if (t <= o.warmup) continue;
        order.add(f.rendparameter);
        neighbours.add(f.atlagszomszed);
        distance.add(f.atlagtav);
        phi.push_back(f.rendparameter);
    }
    return RunStatistics{momentsOf(order), momentsOf(neighbours), momentsOf(distance),
                         orderStatistics(phi, f.egyeddb)};
}

int threadsPerJob(const Options& o) { return o.threads.value_or(1); }

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
            auto result = runOne(*flock, one, s, run);
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
    const Options& o = plan.base();
    const int byCpus = std::max(usableCpus() / threadsPerJob(o), 1);
    const int fit = jobLimit(memoryForJobs(usableMemory(), plan), jobMemoryBytes(o.ticks));
    const int wanted = o.jobs.value_or(std::min(byCpus, fit));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), std::max<std::size_t>(runs, 1)));
}

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

// Jobs of one thread beyond the CPUs only take turns on them, which is
// allowed. Jobs of several threads beyond them are not: a pool's threads
// watch for work before they sleep, and pools that share CPUs spend their
// time watching. Jobs beyond the memory would drive the machine into
// swapping, or the runner into failing half-way, which is not allowed either.
void checkJobs(const SweepPlan& plan) {
    const Options& o = plan.base();
    if (o.threads) {
        const int cpus = usableCpus();
        const int jobs = o.jobs.value_or(1);
        if (static_cast<long>(jobs) * *o.threads > cpus)
            throw UsageError("--threads: " + std::to_string(jobs) + " jobs x " + std::to_string(*o.threads) +
                             " threads are more than the " + std::to_string(cpus) + " CPUs this process may use");
    }
    const std::uint64_t memory = usableMemory();
    if (!o.jobs || memory == 0 || !o.mergePaths.empty()) return;
    const std::uint64_t perJob = jobMemoryBytes(o.ticks);
    const int limit = jobLimit(memoryForJobs(memory, plan), perJob);
    if (*o.jobs > limit)
        throw UsageError("--jobs: " + std::to_string(*o.jobs) + " is more than the " + std::to_string(limit) +
                         " jobs that the " + std::to_string(memory >> 20) + " MB of memory here hold (about " +
                         megabytes(perJob) + " a job, besides " + megabytes(sweepMemoryBytes(plan, o.shard)) +
                         " for the sweep's results)");
}

// Runs the shard's runs that `results` lacks on the jobs, showing progress
// while they work and keeping each finished run in `journal` when there is
// one; rethrows the first failure of a job.
void runAll(const SweepPlan& plan, const SweepControl& control, ShardResults& results, RunsJournal* journal,
            std::ostream& err) {
    Sweeping s{plan, control, results, journal};
    const std::size_t toRun = results.size() - results.finished();
    const double totalTicks =
        static_cast<double>(toRun) * static_cast<double>(plan.base().warmup + plan.base().ticks);
    std::vector<std::future<void>> jobs;
    for (int j = jobCount(plan, toRun); j > 0; --j) jobs.push_back(std::async(std::launch::async, job, std::ref(s)));
    {
        Progress progress(err, control.showProgress, "runs");
        for (auto& j : jobs)
            while (j.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
                progress.update(static_cast<long>(s.finished.load()), static_cast<long>(toRun),
                                static_cast<double>(s.ticksDone.load()) / totalTicks);
    }
    for (auto& j : jobs) j.get();
}

// The runs of the sweep or shard already done, from the table it left.
void resume(const std::string& path, const SweepPlan& plan, ShardResults& results) {
    const Shard& shard = results.shard();
    readRuns(path, plan, [&](std::size_t run, const RunStatistics& r, const Shard& of) {
        if (of.index != shard.index || of.count != shard.count)
            throw UsageError("--resume-from: " + batch::quoted(path) + " holds runs of shard " + of.text() + ", not " +
                             shard.text());
        results[results.slotOf(run)] = r;
    });
}

// Where the runs table goes when it is a file that can be kept on the disk
// as the runs finish (not standard output, a device or a pipe).
std::optional<files::OutputTarget> journalTarget(const Options& o) {
    if (o.csvPath.empty() || !o.mergePaths.empty()) return std::nullopt;
    auto examined = files::examineTarget(o.csvPath);
    const auto* target = std::get_if<files::OutputTarget>(&examined);
    if (!target || (target->kind != files::TargetKind::newFile && target->kind != files::TargetKind::regularFile))
        return std::nullopt;
    return *target;
}

// The runs of the sweep: read from its shards' tables, or run (those of
// its shard that a table resumed from does not hold).
ShardResults gatherRuns(const SweepPlan& plan, const SweepControl& control, std::ostream& err) {
    const Options& o = plan.base();
    if (!o.mergePaths.empty()) return mergeShards(plan, o.mergePaths);
    ShardResults results(plan, o.shard);
    if (!o.resumePath.empty()) resume(o.resumePath, plan, results);
    std::optional<RunsJournal> journal;
    if (const auto target = journalTarget(o); target && results.finished() < results.size())
        journal.emplace(*target, plan, results);
    runAll(plan, control, results, journal ? &*journal : nullptr, err);
    return results;
}

}  // namespace

std::uint64_t usableMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    std::uint64_t memory = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    std::ifstream cap("/sys/fs/cgroup/memory.max");  // "max" where nothing caps it
    if (std::uint64_t limit = 0; cap >> limit && limit > 0) memory = std::min(memory, limit);
    return memory;
}

int jobLimit(std::uint64_t memoryBytes, std::uint64_t jobBytes) {
    return static_cast<int>(std::clamp<std::uint64_t>(memoryBytes / jobBytes, 1, 1 << 20));
}

std::uint64_t sweepMemoryBytes(const SweepPlan& plan, const Shard& shard) {
    const std::uint64_t runs = runsOfShard(plan, shard);
    // a point for each run at most, and twice that while the summary grows
    const std::uint64_t points = std::min<std::uint64_t>(runs, plan.points());
    return runs * sizeof(std::optional<RunStatistics>) + 2 * points * sizeof(PointSummary);
}

int runSweep(Options o, std::ostream& out, std::ostream& err, const SweepControl& control) {
    // Everything that can refuse the command before any file is begun or
    // any run is done: the jobs, the chart's platform, then the outputs.
    std::optional<ChartApplication> charts;
    std::optional<OutputFile> csv, summaryFile, plot;
    o.seed = o.seed.value_or(clockSeed());
    const SweepPlan plan(o);
    try {
        checkJobs(plan);
        if (!o.plotPath.empty()) charts.emplace();
        beginOutputs({{"csv", o.csvPath, csv}, {"summary", o.summaryPath, summaryFile}, {"plot", o.plotPath, plot}},
                     out);
    } catch (const std::exception& e) {
        return refusedOrStopped(e, err, control.stop);
    }

    try {
        const ShardResults results = gatherRuns(plan, control, err);
        const std::size_t finished = results.finished(), expected = results.size();
        if (finished == 0 && expected > 0) {
            // nothing to keep: earlier files stay as they were
            err << kMessagePrefix << "interrupted before any run finished; no file written\n";
            return stoppedStatus(control.stop->load());
        }
        const auto summary = summarise(plan, results);
        // the tables are in place before the chart is drawn, whatever becomes of it
        if (csv) writeRuns(csv->stream(), plan, results);
        if (summaryFile) writeSummaryTable(summaryFile->stream(), plan, summary);
        if (csv) csv->commit();
        if (summaryFile) summaryFile->commit();
        if (plot) {
            writeSweepChart(plan, summary, o.plotQuantity, plot->stream());
            plot->commit();
        }
        if (o.csvPath != "-" && o.summaryPath != "-") writeSummaryTable(out, plan, summary);
        if (finished < expected) {
            err << kMessagePrefix << "interrupted after " << finished << " of " << expected
                << " runs; the finished runs are written\n";
            return stoppedStatus(control.stop->load());
        }
        return finishStandardOutput(out, err, control.stop);
    } catch (const UsageError& e) {
        // a table to merge or resume from that is not this sweep's: refused before any run
        return refusedOrStopped(e, err, control.stop);
    } catch (const std::exception& e) {
        return failedOrStopped(e, err, control.stop);
    }
}

}  // namespace nyajkor::batch
