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

#include "cli/batch.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/run_setup.h"
#include "cli/sweep_chart.h"
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

std::vector<PointSummary> summarise(const SweepPlan& plan, const std::vector<std::optional<RunStatistics>>& results) {
    std::vector<PointSummary> summary(plan.points());
    std::vector<Accumulator> order(plan.points()), neighbours(plan.points()), distance(plan.points());
    for (std::size_t run = 0; run < results.size(); ++run) {
        if (!results[run]) continue;
        const std::size_t p = plan.pointOf(run);
        order[p].add(results[run]->order.mean);
        neighbours[p].add(results[run]->neighbours.mean);
        distance[p].add(results[run]->distance.mean);
    }
    auto estimate = [](const Accumulator& a) {
        return Estimate{a.mean(), a.sd() / std::sqrt(static_cast<double>(a.count()))};
    };
    for (std::size_t p = 0; p < summary.size(); ++p)
        summary[p] = {static_cast<int>(order[p].count()), estimate(order[p]), estimate(neighbours[p]),
                      estimate(distance[p])};
    return summary;
}

namespace {

// What the job threads share with the thread that waits for them.
struct Sweeping {
    const SweepPlan& plan;
    const SweepControl& control;
    // slot k is written only by the job that ran run k, and read after the jobs end
    std::vector<std::optional<RunStatistics>> results;
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
    for (long t = 1; t <= o.warmup + o.ticks; ++t) {
        if (s.stopping()) return std::nullopt;
        tick(f, in, how);
        s.ticksDone.fetch_add(1, std::memory_order_relaxed);
        if (t <= o.warmup) continue;
        order.add(f.rendparameter);
        neighbours.add(f.atlagszomszed);
        distance.add(f.atlagtav);
    }
    return RunStatistics{momentsOf(order), momentsOf(neighbours), momentsOf(distance)};
}

// One job: a flock and a one-part pool of its own, so that jobs never queue
// for the shared pool, taking the next run in plan order until none is left.
void job(Sweeping& s) {
    try {
        auto flock = std::make_unique<Flock>();
        Workers one(1);
        for (std::size_t run = s.next++; run < s.plan.runs() && !s.stopping(); run = s.next++) {
            auto result = runOne(*flock, one, s, run);
            if (!result) return;
            s.results[run] = *result;
            ++s.finished;
            if (s.control.afterRun) s.control.afterRun();
        }
    } catch (...) {
        s.failed = true;
        throw;
    }
}

// As many jobs as asked, else one per core, within what memory holds; never
// more than there are runs.
int jobCount(const Options& o, std::size_t runs) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int wanted = o.jobs.value_or(std::min(cores, jobLimit(usableMemory())));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), std::max<std::size_t>(runs, 1)));
}

// Jobs beyond the cores only share them, which is allowed; jobs beyond the
// memory would drive the machine into swapping, or the runner into failing
// half-way, which is not.
void checkJobs(const Options& o) {
    const std::uint64_t memory = usableMemory();
    if (!o.jobs || memory == 0) return;
    const int limit = jobLimit(memory);
    if (*o.jobs > limit)
        throw UsageError("--jobs: " + std::to_string(*o.jobs) + " is more than the " + std::to_string(limit) +
                         " jobs that the " + std::to_string(memory >> 20) + " MB of memory here hold (about " +
                         std::to_string(kJobMemoryBytes >> 20) + " MB a job)");
}

// Runs the plan on its jobs, showing progress while they work; rethrows
// the first failure of a job.
std::vector<std::optional<RunStatistics>> runAll(const SweepPlan& plan, const SweepControl& control,
                                              std::ostream& err) {
    Sweeping s{plan, control, std::vector<std::optional<RunStatistics>>(plan.runs())};
    const double totalTicks =
        static_cast<double>(plan.runs()) * static_cast<double>(plan.base().warmup + plan.base().ticks);
    std::vector<std::future<void>> jobs;
    for (int j = jobCount(plan.base(), plan.runs()); j > 0; --j)
        jobs.push_back(std::async(std::launch::async, job, std::ref(s)));
    {
        Progress progress(err, control.showProgress, "runs");
        for (auto& j : jobs)
            while (j.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
                progress.update(static_cast<long>(s.finished.load()), static_cast<long>(plan.runs()),
                                static_cast<double>(s.ticksDone.load()) / totalTicks);
    }
    for (auto& j : jobs) j.get();
    return std::move(s.results);
}

// A real as the shortest text that reads back to it; NaN, a value with
// nothing to go on, as an empty field.
std::string fieldText(double v) { return std::isnan(v) ? "" : realText(v); }

void writeValues(std::ostream& csv, const std::vector<int>& values) {
    for (int v : values) csv << v << ',';
}

void writeNames(std::ostream& csv, const SweepPlan& plan) {
    for (const Sweep& s : plan.base().sweeps) csv << s.name << ',';
}

void writeRuns(std::ostream& csv, const SweepPlan& plan, const std::vector<std::optional<RunStatistics>>& results) {
    writeNames(csv, plan);
    csv << "seed,order_mean,order_sd,avg_neighbours_mean,avg_neighbours_sd,mean_nn_distance_mean,"
           "mean_nn_distance_sd\n";
    for (std::size_t run = 0; run < results.size(); ++run) {
        if (!results[run]) continue;
        const RunStatistics& r = *results[run];
        writeValues(csv, plan.values(plan.pointOf(run)));
        csv << plan.seedOf(run);
        for (const Moments& m : {r.order, r.neighbours, r.distance})
            csv << ',' << fieldText(m.mean) << ',' << fieldText(m.sd);
        csv << '\n';
    }
}

void writeSummaryTable(std::ostream& csv, const SweepPlan& plan, const std::vector<PointSummary>& summary) {
    writeNames(csv, plan);
    csv << "runs,order_mean,order_se,avg_neighbours_mean,avg_neighbours_se,mean_nn_distance_mean,"
           "mean_nn_distance_se\n";
    for (std::size_t p = 0; p < summary.size(); ++p) {
        if (summary[p].runs == 0) continue;
        writeValues(csv, plan.values(p));
        csv << summary[p].runs;
        for (const Estimate& e : {summary[p].order, summary[p].neighbours, summary[p].distance})
            csv << ',' << fieldText(e.mean) << ',' << fieldText(e.se);
        csv << '\n';
    }
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

int jobLimit(std::uint64_t memoryBytes) {
    return static_cast<int>(std::clamp<std::uint64_t>(memoryBytes / kJobMemoryBytes, 1, 1 << 20));
}

int runSweep(Options o, std::ostream& out, std::ostream& err, const SweepControl& control) {
    // Everything that can refuse the command before any file is begun or
    // any run is done: the jobs, the chart's platform, then the outputs.
    std::optional<ChartApplication> charts;
    std::optional<OutputFile> csv, summaryFile, plot;
    try {
        checkJobs(o);
        if (!o.plotPath.empty()) charts.emplace();
        beginOutputs({{"csv", o.csvPath, csv}, {"summary", o.summaryPath, summaryFile}, {"plot", o.plotPath, plot}},
                     out);
    } catch (const std::exception& e) {
        return refusedOrStopped(e, err, control.stop);
    }

    try {
        o.seed = o.seed.value_or(clockSeed());
        const SweepPlan plan(o);
        const auto results = runAll(plan, control, err);
        const auto finished = static_cast<std::size_t>(
            std::count_if(results.begin(), results.end(), [](const auto& r) { return r.has_value(); }));
        if (finished == 0 && plan.runs() > 0) {
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
            writeSweepChart(plan, summary, plot->stream());
            plot->commit();
        }
        if (o.csvPath != "-" && o.summaryPath != "-") writeSummaryTable(out, plan, summary);
        if (finished < plan.runs()) {
            err << kMessagePrefix << "interrupted after " << finished << " of " << plan.runs()
                << " runs; the finished runs are written\n";
            return stoppedStatus(control.stop->load());
        }
        return finishStandardOutput(out, err, control.stop);
    } catch (const std::exception& e) {
        return failedOrStopped(e, err, control.stop);
    }
}

}  // namespace nyajkor::batch
