#include "cli/sweep_tables.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "cli/batch.h"

namespace nyajkor::batch {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A real as the shortest text that reads back to it; NaN, a value with
// nothing to go on, as an empty field.
std::string fieldText(double v) { return std::isnan(v) ? "" : realText(v); }

void writeValues(std::ostream& csv, const std::vector<int>& values) {
    for (int v : values) csv << v << ',';
}

void writeNames(std::ostream& csv, const SweepPlan& plan) {
    for (const Sweep& s : plan.base().sweeps) csv << s.name << ',';
}

// The columns after the swept flags' names; the first ones are those the
// table has always had, in their places.
constexpr char kRunColumns[] =
    "seed,order_mean,order_sd,avg_neighbours_mean,avg_neighbours_sd,mean_nn_distance_mean,mean_nn_distance_sd,"
    "order_sq_mean,order_fourth_mean,susceptibility,binder,order_tau,order_err,run,shard,sweep_id";

std::string runsHeader(const SweepPlan& plan) {
    std::ostringstream header;
    writeNames(header, plan);
    header << kRunColumns;
    return header.str();
}

// The reals of a run in the order of its columns.
std::vector<double*> realsOf(RunStatistics& r) {
    return {&r.order.mean,          &r.order.sd,          &r.neighbours.mean,       &r.neighbours.sd,
            &r.distance.mean,       &r.distance.sd,       &r.phase.meanSquare,      &r.phase.meanFourth,
            &r.phase.susceptibility, &r.phase.binder,     &r.phase.tau,             &r.phase.meanError};
}

std::uint64_t fnv1a(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    fields.push_back(line.substr(start));
    return fields;
}

template <typename T>
std::optional<T> numberIn(const std::string& text) {
    T v{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

std::optional<double> realIn(const std::string& text) { return text.empty() ? kNaN : numberIn<double>(text); }

std::optional<Shard> shardIn(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const auto k = numberIn<std::size_t>(text.substr(0, slash)), m = numberIn<std::size_t>(text.substr(slash + 1));
    if (!k || !m || *k < 1 || *k > *m) return std::nullopt;
    return Shard{*k, *m};
}

std::string named(const std::string& path) { return "'" + path + "'"; }

// "noise=30 n=500 seed 7": a run as the user set it.
std::string describeRun(const SweepPlan& plan, std::size_t run) {
    std::string text;
    const auto values = plan.values(plan.pointOf(run));
    for (std::size_t k = 0; k < values.size(); ++k)
        text += plan.base().sweeps[k].name + "=" + std::to_string(values[k]) + " ";
    return text + "seed " + std::to_string(plan.seedOf(run));
}

// One row read back; throws with what is wrong with it, the caller names the place.
std::pair<std::size_t, RunStatistics> rowOf(const std::vector<std::string>& f, const SweepPlan& plan,
                                            std::optional<Shard>& shard, const std::string& sweepId) {
    const std::size_t names = plan.base().sweeps.size();
    const std::size_t reals = names + 1, place = reals + 12;
    if (f.size() != place + 3) throw UsageError("has " + std::to_string(f.size()) + " fields, not " +
                                                std::to_string(place + 3));
    if (f[place + 2] != sweepId)
        throw UsageError("is a run of another sweep (sweep_id " + f[place + 2] + ", not " + sweepId +
                         "): its flags differ from these");
    const auto run = numberIn<std::size_t>(f[place]);
    if (!run || *run >= plan.runs()) throw UsageError("has no run " + f[place] + " of this sweep");
    const auto rowShard = shardIn(f[place + 1]);
    if (!rowShard || !rowShard->holds(*run)) throw UsageError("has run " + f[place] + " in shard " + f[place + 1]);
    if (shard && (shard->index != rowShard->index || shard->count != rowShard->count))
        throw UsageError("mixes runs of shards " + shard->text() + " and " + rowShard->text());
    shard = rowShard;
    std::string given;
    for (std::size_t k = 0; k < names; ++k) given += plan.base().sweeps[k].name + "=" + f[k] + " ";
    if (given + "seed " + f[names] != describeRun(plan, *run))
        throw UsageError("has run " + f[place] + " at " + given + "seed " + f[names] + ", where this sweep runs " +
                         describeRun(plan, *run));
    RunStatistics r;
    std::size_t k = reals;
    for (double* v : realsOf(r)) {
        const auto read = realIn(f[k]);
        if (!read) throw UsageError("has '" + f[k] + "' where a number belongs");
        *v = *read;
        ++k;
    }
    return {*run, r};
}

}  // namespace

std::string sweepIdOf(const Options& o) {
    std::ostringstream text;
    text << "seed " << o.seed.value_or(0) << " ticks " << o.ticks << " warmup " << o.warmup << " repeats "
         << o.repeats;
    for (const Sweep& s : o.sweeps) text << " sweep " << s.name << ' ' << s.from << ' ' << s.to << ' ' << s.step;
    const Inputs& c = o.controls;
    text << " n " << c.egyedszam << " speed " << c.vkozos << " noise " << c.parameter << " radius " << c.sugar
         << " equilibrium " << c.tavolsag << " distance " << static_cast<int>(o.distanceMode) << " strength "
         << c.egyensulyerosseg << " cohesion " << (c.tkpvonzas ? c.tkpvonzaserosseg : -1) << " centre "
         << static_cast<int>(o.centre);
    if (o.centreAt) text << " at " << (*o.centreAt)[0] << ' ' << (*o.centreAt)[1] << ' ' << (*o.centreAt)[2];
    text << " centre-strength " << c.vonzaserosseg << " perceivers " << c.eszlelok << " predators " << o.predators
         << " predator-range " << c.ragadozoeszleles << " reaction " << c.reakcioerosseg;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(text.str())));
    return hex;
}

void writeRuns(std::ostream& csv, const SweepPlan& plan, const std::vector<std::optional<RunStatistics>>& results,
               const Shard& shard) {
    csv << runsHeader(plan) << '\n';
    const std::string id = sweepIdOf(plan.base());
    for (std::size_t run = 0; run < results.size(); ++run) {
        if (!results[run]) continue;
        RunStatistics r = *results[run];
        writeValues(csv, plan.values(plan.pointOf(run)));
        csv << plan.seedOf(run);
        for (const double* v : realsOf(r)) csv << ',' << fieldText(*v);
        csv << ',' << run << ',' << shard.text() << ',' << id << '\n';
    }
}

void writeSummaryTable(std::ostream& csv, const SweepPlan& plan, const std::vector<PointSummary>& summary) {
    writeNames(csv, plan);
    csv << "runs,order_mean,order_se,avg_neighbours_mean,avg_neighbours_se,mean_nn_distance_mean,"
           "mean_nn_distance_se,order_sq_mean,order_sq_se,order_fourth_mean,order_fourth_se,susceptibility_mean,"
           "susceptibility_se,binder_mean,binder_se,order_tau_mean,order_tau_se,order_err\n";
    for (std::size_t p = 0; p < summary.size(); ++p) {
        const PointSummary& s = summary[p];
        if (s.runs == 0) continue;
        writeValues(csv, plan.values(p));
        csv << s.runs;
        for (const Estimate& e : {s.order, s.neighbours, s.distance, s.meanSquare, s.meanFourth, s.susceptibility,
                                  s.binder, s.tau})
            csv << ',' << fieldText(e.mean) << ',' << fieldText(e.se);
        csv << ',' << fieldText(s.orderError) << '\n';
    }
}

RunsTable readRuns(const std::string& path, const SweepPlan& plan) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError(named(path) + " cannot be read");
    std::string line;
    if (!std::getline(in, line) || line != runsHeader(plan))
        throw UsageError(named(path) + " is not a table of this sweep's runs (its header is not " + runsHeader(plan) +
                         ")");
    const std::string id = sweepIdOf(plan.base());
    RunsTable table;
    std::vector<bool> seen(plan.runs());
    for (long number = 2; std::getline(in, line); ++number) {
        try {
            auto row = rowOf(splitFields(line), plan, table.shard, id);
            if (seen[row.first]) throw UsageError("repeats run " + std::to_string(row.first));
            seen[row.first] = true;
            table.runs.push_back(std::move(row));
        } catch (const UsageError& e) {
            throw UsageError(named(path) + " line " + std::to_string(number) + " " + e.what());
        }
    }
    if (in.bad()) throw UsageError(named(path) + " cannot be read");
    return table;
}

std::vector<std::optional<RunStatistics>> mergeShards(const SweepPlan& plan, const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::map<fs::path, std::string> files;
    std::map<std::size_t, std::string> shardFiles;  // by K
    std::optional<std::size_t> count;               // M, from the first file with runs
    std::string countFile;
    std::vector<std::optional<RunStatistics>> results(plan.runs());
    for (const std::string& path : paths) {
        std::error_code ignored;
        const auto [was, fresh] = files.emplace(fs::weakly_canonical(path, ignored), path);
        if (!fresh) throw UsageError(named(path) + " is given twice (as " + named(was->second) + ")");
        RunsTable table = readRuns(path, plan);
        if (!table.shard) continue;  // no runs: a shard beyond the number of runs, or one of none
        const Shard& shard = *table.shard;
        if (count && *count != shard.count)
            throw UsageError(named(path) + " is shard " + shard.text() + ", but " + named(countFile) + " is one of " +
                             std::to_string(*count));
        if (!count) count = shard.count, countFile = path;
        if (const auto [other, first] = shardFiles.emplace(shard.index, path); !first)
            throw UsageError(named(path) + " is shard " + shard.text() + " again (as " + named(other->second) + ")");
        for (auto& [run, r] : table.runs) results[run] = std::move(r);
    }
    for (std::size_t run = 0; run < results.size(); ++run) {
        if (results[run]) continue;
        if (!count) throw UsageError("the files hold no run of this sweep");
        const Shard shard{run % *count + 1, *count};
        const auto file = shardFiles.find(shard.index);
        if (file == shardFiles.end())
            throw UsageError("shard " + shard.text() + " is missing (no file holds its runs)");
        throw UsageError(named(file->second) + " lacks run " + std::to_string(run) + " (" + describeRun(plan, run) +
                         "): shard " + shard.text() + " was cut short; finish it with --resume-from");
    }
    return results;
}

}  // namespace nyajkor::batch
