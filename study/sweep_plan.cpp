#include "study/sweep_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

namespace nyajkor::study {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SweepPlan::SweepPlan(const Settings& s) : base_(s) {}

std::size_t SweepPlan::points() const {
    std::size_t points = 1;
    for (const Sweep& s : base_.sweeps) points *= s.count();
    return points;
}

std::vector<std::string> SweepPlan::names() const {
    std::vector<std::string> names;
    for (const Sweep& s : base_.sweeps) names.insert(names.end(), s.names.begin(), s.names.end());
    return names;
}

std::vector<int> SweepPlan::values(std::size_t point) const {
    // the point's number written in the mixed radix of the axes' counts,
    // the last axis the lowest digit
    std::vector<std::size_t> steps(base_.sweeps.size());
    for (std::size_t k = steps.size(); k-- > 0;) {
        steps[k] = point % base_.sweeps[k].count();
        point /= base_.sweeps[k].count();
    }
    std::vector<int> values;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const auto axis = base_.sweeps[k].valuesAt(steps[k]);
        values.insert(values.end(), axis.begin(), axis.end());
    }
    return values;
}

std::uint32_t SweepPlan::seedOf(std::size_t run) const {
    // unsigned arithmetic: the seeds wrap round modulo 2^32
    return *base_.seed + static_cast<std::uint32_t>(run % static_cast<std::size_t>(base_.repeats));
}

Settings SweepPlan::settingsOf(std::size_t run) const {
    Settings s = base_;
    const auto values = this->values(pointOf(run));
    const auto names = this->names();
    for (std::size_t k = 0; k < values.size(); ++k) setParameter(s, names[k], values[k]);
    return s;
}

namespace {

// A point's runs as they are added, in seed order.
struct PointAccumulators {
    Accumulator order, neighbours, distance, meanSquare, meanFourth, susceptibility, binder, tau, xi;
    double squaredErrors = 0;
    std::vector<OrderStatistics> phases;  // for the moments pooled over the runs

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
        if (!std::isnan(r.xi)) xi.add(r.xi);  // runs where C never fell to zero have none
        // the runs table keeps <phi> once, as the order parameter's mean: a
        // run read back from it has only that one
        OrderStatistics phase = r.phase;
        phase.mean = r.order.mean;
        phases.push_back(phase);
    }

    PointSummary summary(std::size_t point, int individuals) const {
        auto estimate = [](const Accumulator& a) {
            return Estimate{a.mean(), a.sd() / std::sqrt(static_cast<double>(a.count()))};
        };
        const double runs = static_cast<double>(order.count());
        return {point, static_cast<int>(order.count()), estimate(order),  estimate(neighbours),
                estimate(distance),               estimate(meanSquare),     estimate(meanFourth),
                estimate(susceptibility),         estimate(binder),         estimate(tau),
                std::sqrt(squaredErrors) / runs,  pooledStatistics(phases, individuals),
                xi.count() > 0 ? estimate(xi) : Estimate{kNaN, kNaN}};
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
    int individuals = 0;  // of the point's runs
    PointAccumulators adding;
    for (std::size_t slot = 0; slot < results.size(); ++slot) {
        if (!results[slot]) continue;
        const std::size_t run = results.runOf(slot);
        const std::size_t p = plan.pointOf(run);
        if (point != p) {
            if (point) summary.push_back(adding.summary(*point, individuals));
            point = p;
            individuals = individualsOf(plan.settingsOf(run));
            adding = {};
        }
        adding.add(*results[slot]);
    }
    if (point) summary.push_back(adding.summary(*point, individuals));
    return summary;
}

std::vector<std::size_t> pointsWithShortRuns(const SweepPlan& plan, const ShardResults& results) {
    std::vector<std::size_t> points;
    for (std::size_t slot = 0; slot < results.size(); ++slot) {
        if (!results[slot] || !tooShortForTau(results[slot]->phase, plan.base().ticks)) continue;
        const std::size_t point = plan.pointOf(results.runOf(slot));
        if (points.empty() || points.back() != point) points.push_back(point);
    }
    return points;
}

std::string describePoint(const SweepPlan& plan, std::size_t point) {
    std::string text;
    const auto names = plan.names();
    const auto values = plan.values(point);
    for (std::size_t k = 0; k < values.size(); ++k) text += (k ? " " : "") + names[k] + "=" + std::to_string(values[k]);
    return text;
}

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
    std::uint64_t bytes = runs * sizeof(std::optional<RunStatistics>) + 2 * points * sizeof(PointSummary);
    // each run's C(r), kept until the grid points' tables are written
    if (const auto& bin = plan.base().correlationBin)
        bytes += runs * (sizeof(CorrelationTable) +
                         correlationBins(boxOf(plan.base()), *bin).count() *
                             (sizeof(std::uint64_t) + sizeof(CompensatedSum) + sizeof(Accumulator)));
    return bytes;
}

int largestFlock(const SweepPlan& plan) {
    // a window's flock is at most the window's 5000, whatever is swept
    if (!isResearchSetup(plan.base())) return kMaxEgyed;
    int largest = 0;
    for (std::size_t point = 0; point < plan.points(); ++point)
        largest = std::max(largest, individualsOf(plan.settingsOf(point * static_cast<std::size_t>(plan.base().repeats))));
    return largest;
}

}  // namespace nyajkor::study
