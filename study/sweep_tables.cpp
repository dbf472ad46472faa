#include "study/sweep_tables.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>

#include "model/controls.h"
#include "model/fnv1a.h"
#include "record/real_text.h"
#include "study/settings.h"

namespace nyajkor::study {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// No line of a runs table comes near this: the widest holds two swept
// values, a seed, fourteen reals of at most 24 characters, the run, the
// shard, the id and the checksum, under 500 bytes. A longer line is not
// read on, so a file without newlines (or /dev/zero) costs no memory.
constexpr std::size_t kLongestLine = 4096;

// The longest distance in the 350 x 350 x 250 box (its diagonal is 555),
// with room to spare.
constexpr double kLongestDistance = 1000;

// Statistics bounded by 1 may pass it by the rounding of their sums.
constexpr double kRoundingSlack = 1e-9;

// A real column of the runs table and the values a run can give it.
struct RealColumn {
    const char* name;
    double lo, hi;
    bool required;  // false: empty (NaN) when the run has nothing to go on
};

// The real columns in their order in the table: xi's only when a
// correlation is measured, so that the tables of other sweeps stay as they were.
std::vector<RealColumn> realColumns(const Settings& o) {
    const double individuals = isResearchSetup(o) ? kMaxResearchEgyed : controlOf(&Inputs::egyedszam).max;
    const double ticks = static_cast<double>(o.ticks);
    const double unbounded = -std::numeric_limits<double>::infinity();
    std::vector<RealColumn> columns{{{"order_mean", 0, 1, true},
             {"order_sd", 0, 1, false},
             {"avg_neighbours_mean", 0, individuals, true},
             {"avg_neighbours_sd", 0, individuals, false},
             {"mean_nn_distance_mean", 0, kLongestDistance, true},
             {"mean_nn_distance_sd", 0, kLongestDistance, false},
             {"order_sq_mean", 0, 1, true},
             {"order_fourth_mean", 0, 1, true},
             // N (<phi^2> - <phi>^2) <= N / 4
             {"susceptibility", 0, individuals, true},
             // 1 - <phi^4> / (3 <phi^2>^2) <= 2/3; no bound below as <phi^2> nears 0
             {"binder", unbounded, 1, false},
             // 1/2 plus correlations of at least -1 each, within a window of at most ticks / 2
             {"order_tau", -2, ticks, false},
             {"order_err", 0, 1, false}}};
    if (o.correlationBin) {
        // a distance within the cut-off, or empty when no tick's C fell to zero
        columns.push_back({"xi", 0, kMaxCorrelationLength, false});
        columns.push_back({"xi_err", 0, kMaxCorrelationLength, false});
    }
    return columns;
}

// A real as the shortest text that reads back to it; NaN, a value with
// nothing to go on, as an empty field.
std::string fieldText(double v) { return std::isnan(v) ? "" : realText(v); }

void writeValues(std::ostream& csv, const std::vector<int>& values) {
    for (int v : values) csv << v << ',';
}

void writeNames(std::ostream& csv, const SweepPlan& plan) {
    for (const std::string& name : plan.names()) csv << name << ',';
}

// A research setup's runs also record what they ran in: N, the box, its
// faces, the noise and the density (empty when N was given).
constexpr const char* kSetupNames = ",individuals,box_x,box_y,box_z,boundary,noise_model,density";

std::string setupCells(const SweepPlan& plan, std::size_t run) {
    const Settings& base = plan.base();
    if (!isResearchSetup(base)) return "";
    const Settings s = plan.settingsOf(run);
    const Box box = boxOf(s);
    std::ostringstream cells;
    cells << ',' << individualsOf(s) << ',' << box.extent[0] << ',' << box.extent[1] << ',' << box.extent[2] << ','
          << (box.periodic() ? "periodic" : "walls") << ','
          << (s.noiseModel == NoiseModel::vectorial ? "vectorial" : "cube") << ','
          << (s.density ? realText(*s.density) : "");
    return cells.str();
}

std::size_t setupColumnCount(const Settings& o) { return isResearchSetup(o) ? 7 : 0; }

// The columns before the reals, and the reals.
void writeLeadingNames(std::ostream& header, const SweepPlan& plan) {
    writeNames(header, plan);
    header << "seed";
    if (isResearchSetup(plan.base())) header << kSetupNames;
    for (const RealColumn& c : realColumns(plan.base())) header << ',' << c.name;
}

// The header as runners before the checksum column wrote it, which is
// told apart to say why such a table is refused.
std::string earlierHeader(const SweepPlan& plan) {
    std::ostringstream header;
    writeLeadingNames(header, plan);
    header << ",run,shard,sweep_id";
    return header.str();
}

// The short_run flag of a run of `ticks` measured ticks, as written.
const char* shortRunText(const OrderStatistics& s, long ticks) { return tooShortForTau(s, ticks) ? "1" : "0"; }

// The reals of a run in the order of the columns of `o`.
std::vector<double*> realsOf(RunStatistics& r, const Settings& o) {
    std::vector<double*> reals{&r.order.mean,          &r.order.sd,      &r.neighbours.mean,  &r.neighbours.sd,
                               &r.distance.mean,       &r.distance.sd,   &r.phase.meanSquare, &r.phase.meanFourth,
                               &r.phase.susceptibility, &r.phase.binder, &r.phase.tau,        &r.phase.meanError};
    if (o.correlationBin) reals.insert(reals.end(), {&r.xi, &r.xiError});
    return reals;
}

std::string hex16(std::uint64_t v) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(v));
    return hex;
}

// The checksum of a row, of its text up to the field that holds it. FNV-1a
// changes with any one byte changed, so a stray edit never passes.
std::string checksumOf(std::string_view rowBeforeChecksum) { return hex16(fnv1a(rowBeforeChecksum)); }

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    fields.push_back(line.substr(start));
    return fields;
}

// A whole number as the runner writes it: digits only, no leading zero.
std::optional<std::size_t> countIn(const std::string& text) {
    std::size_t v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (std::to_string(v) != text) return std::nullopt;
    return v;
}

std::optional<Shard> shardIn(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const auto k = countIn(text.substr(0, slash)), m = countIn(text.substr(slash + 1));
    if (!k || !m || *k < 1 || *k > *m || *m > kMaxSweepRuns) return std::nullopt;
    return Shard{*k, *m};
}

// "noise=30 n=500 seed 7": a run as the user set it.
std::string describeRun(const SweepPlan& plan, std::size_t run) {
    return describePoint(plan, plan.pointOf(run)) + " seed " + std::to_string(plan.seedOf(run));
}

std::string rangeText(const RealColumn& c) {
    return (std::isinf(c.lo) ? "" : realText(c.lo)) + ".." + realText(c.hi);
}

// The real of a cell of column `c`; throws with what is wrong with it.
double realIn(const std::string& cell, const RealColumn& c) {
    if (cell.empty()) {
        if (c.required) throw RefusedInput(std::string("has ") + c.name + " empty, where a value is required");
        return kNaN;
    }
    const std::optional<double> read = realFromText(cell);
    if (!read || !std::isfinite(*read))
        throw RefusedInput(std::string("has ") + c.name + " " + study::quoted(cell) + ", not a finite number");
    const double v = *read;
    if (v < c.lo - kRoundingSlack || v > c.hi + kRoundingSlack)
        throw RefusedInput(std::string("has ") + c.name + " " + study::quoted(cell) + ", out of its range " +
                         rangeText(c));
    return v;
}

// What a reader of one table knows of the sweep, worked out once.
struct Expected {
    const SweepPlan& plan;
    std::string sweepId;
    std::vector<RealColumn> columns;
};

// One row read back; throws with what is wrong with it, the caller names the place.
std::pair<std::size_t, RunStatistics> rowOf(const std::string& line, const Expected& e,
                                            std::optional<Shard>& shard) {
    const auto f = splitFields(line);
    const SweepPlan& plan = e.plan;
    const std::vector<std::string> sweptNames = plan.names();
    const std::size_t names = sweptNames.size();
    const std::size_t setup = names + 1, reals = setup + setupColumnCount(plan.base()),
                      flag = reals + e.columns.size(), place = flag + 1, fieldCount = place + 4;
    if (f.size() != fieldCount)
        throw RefusedInput("has " + std::to_string(f.size()) + " fields, not " + std::to_string(fieldCount));
    if (f.back() != checksumOf(std::string_view(line).substr(0, line.size() - f.back().size())))
        throw RefusedInput("does not match its checksum " + study::quoted(f.back()) +
                         ": it was changed after it was written");
    if (f[place + 2] != e.sweepId)
        throw RefusedInput("is a run of another sweep (sweep_id " + study::quoted(f[place + 2]) + ", not " + e.sweepId +
                         "): its flags differ from these");
    const auto run = countIn(f[place]);
    if (!run || *run >= plan.runs()) throw RefusedInput("has no run " + study::quoted(f[place]) + " of this sweep");
    const auto rowShard = shardIn(f[place + 1]);
    if (!rowShard || !rowShard->holds(*run))
        throw RefusedInput("has run " + f[place] + " in shard " + study::quoted(f[place + 1]));
    if (shard && (shard->index != rowShard->index || shard->count != rowShard->count))
        throw RefusedInput("mixes runs of shards " + shard->text() + " and " + rowShard->text());
    shard = rowShard;
    std::string given;
    for (std::size_t k = 0; k < names; ++k) given += (k ? " " : "") + sweptNames[k] + "=" + escaped(f[k]);
    given += " seed " + escaped(f[names]);
    if (given != describeRun(plan, *run))
        throw RefusedInput("has run " + f[place] + " at " + given + ", where this sweep runs " +
                         describeRun(plan, *run));
    std::string setupGiven;
    for (std::size_t k = setup; k < reals; ++k) setupGiven += "," + f[k];
    if (setupGiven != setupCells(plan, *run))
        throw RefusedInput("has run " + f[place] + " in the setup " + study::quoted(setupGiven.substr(1)) +
                           ", where this sweep runs it in " + study::quoted(setupCells(plan, *run).substr(1)));
    RunStatistics r;
    std::size_t k = reals;
    for (double* v : realsOf(r, plan.base())) {
        *v = realIn(f[k], e.columns[k - reals]);
        ++k;
    }
    if (f[flag] != shortRunText(r.phase, plan.base().ticks))
        throw RefusedInput("has short_run " + study::quoted(f[flag]) + ", where its order_tau and " +
                           std::to_string(plan.base().ticks) + " ticks give " + shortRunText(r.phase, plan.base().ticks));
    return {*run, r};
}

// A file read line by line through a buffer of its own, a line at most
// kLongestLine bytes long.
class TableFile {
public:
    explicit TableFile(const std::string& path) : name_(study::quoted(path)) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw RefusedInput(name_ + " cannot be read (" + std::strerror(errno) + ")");
        struct stat st;
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            throw RefusedInput(name_ + " is a directory, not a table");
        }
    }
    ~TableFile() { ::close(fd_); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::string& name() const { return name_; }
    long number() const { return number_; }

    // The next line without its end ("\n" or "\r\n"); false at the end of
    // the file, where a last line without its end is left out.
    bool next(std::string& line) {
        line.clear();
        ++number_;
        for (;;) {
            if (at_ == filled_ && !fill()) return false;
            const char c = buffer_[at_++];
            if (c == '\n') break;
            if (line.size() == kLongestLine)
                throw RefusedInput(name_ + " line " + std::to_string(number_) +
                                 " is longer than any line of a runs table");
            line.push_back(c);
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    bool fill() {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw RefusedInput(name_ + " cannot be read (" + std::strerror(errno) + ")");
            at_ = 0;
            filled_ = static_cast<std::size_t>(got);
            return got > 0;
        }
    }

    std::string name_;
    int fd_ = -1;
    std::array<char, 1 << 16> buffer_;
    std::size_t at_ = 0, filled_ = 0;
    long number_ = 0;
};

}  // namespace

std::string sweepIdOf(const Settings& o) {
    std::ostringstream text;
    text << "seed " << o.seed.value_or(0) << " ticks " << o.ticks << " warmup " << o.warmup << " repeats "
         << o.repeats;
    for (const Sweep& s : o.sweeps) {
        text << " sweep " << s.label();
        if (s.tuples.empty()) text << ' ' << s.from << ' ' << s.to << ' ' << s.step;
        for (const auto& tuple : s.tuples) {
            text << " (";
            for (int v : tuple) text << ' ' << v;
            text << " )";
        }
    }
    const Inputs& c = o.controls;
    text << " n " << c.egyedszam << " speed " << c.vkozos << " noise " << c.parameter << " radius " << c.sugar
         << " equilibrium " << c.tavolsag << " distance " << static_cast<int>(o.distanceMode) << " strength "
         << c.egyensulyerosseg << " cohesion " << (c.tkpvonzas ? c.tkpvonzaserosseg : -1) << " centre "
         << static_cast<int>(o.centre);
    if (o.centreAt) text << " at " << (*o.centreAt)[0] << ' ' << (*o.centreAt)[1] << ' ' << (*o.centreAt)[2];
    // what xi is measured from changes it; a sweep measuring none keeps its id
    if (o.correlationBin) text << " correlation bin " << realText(*o.correlationBin) << " every " << o.every;
    text << " centre-strength " << c.vonzaserosseg << " perceivers " << c.eszlelok << " predators " << o.predators
         << " predator-range " << c.ragadozoeszleles << " reaction " << c.reakcioerosseg;
    // a research setup's (none of it in a window's sweep, whose id stays as it was)
    if (isResearchSetup(o)) {
        const Box box = boxOf(o);
        text << " box " << box.extent[0] << ' ' << box.extent[1] << ' ' << box.extent[2] << " boundary "
             << static_cast<int>(box.boundary) << " noise-model " << static_cast<int>(o.noiseModel) << " density "
             << (o.density ? realText(*o.density) : "-");
    }
    return hex16(fnv1a(text.str()));
}

std::string runsHeader(const SweepPlan& plan) {
    std::ostringstream header;
    writeLeadingNames(header, plan);
    header << ",short_run,run,shard,sweep_id,checksum\n";
    return header.str();
}

std::string runRow(const SweepPlan& plan, std::size_t run, const RunStatistics& r, const Shard& shard) {
    std::ostringstream row;
    writeValues(row, plan.values(plan.pointOf(run)));
    row << plan.seedOf(run) << setupCells(plan, run);
    RunStatistics copy = r;
    for (const double* v : realsOf(copy, plan.base())) row << ',' << fieldText(*v);
    row << ',' << shortRunText(r.phase, plan.base().ticks);
    row << ',' << run << ',' << shard.text() << ',' << sweepIdOf(plan.base()) << ',';
    const std::string text = row.str();
    return text + checksumOf(text) + '\n';
}

void writeRuns(std::ostream& csv, const SweepPlan& plan, const ShardResults& results) {
    csv << runsHeader(plan);
    for (std::size_t slot = 0; slot < results.size(); ++slot)
        if (results[slot]) csv << runRow(plan, results.runOf(slot), *results[slot], results.shard());
}

void writeSummaryTable(std::ostream& csv, const SweepPlan& plan, const std::vector<PointSummary>& summary) {
    writeNames(csv, plan);
    csv << "runs,order_mean,order_se,avg_neighbours_mean,avg_neighbours_se,mean_nn_distance_mean,"
           "mean_nn_distance_se,order_sq_mean,order_sq_se,order_fourth_mean,order_fourth_se,susceptibility_mean,"
           "susceptibility_se,binder_mean,binder_se,order_tau_mean,order_tau_se,order_err,susceptibility_pooled,"
           "susceptibility_pooled_err,binder_pooled,binder_pooled_err";
    if (plan.base().correlationBin) csv << ",xi_mean,xi_se";
    csv << '\n';
    for (const PointSummary& s : summary) {
        if (s.runs == 0) continue;
        writeValues(csv, plan.values(s.point));
        csv << s.runs;
        for (const Estimate& e : {s.order, s.neighbours, s.distance, s.meanSquare, s.meanFourth, s.susceptibility,
                                  s.binder, s.tau})
            csv << ',' << fieldText(e.mean) << ',' << fieldText(e.se);
        csv << ',' << fieldText(s.orderError);
        for (const PooledEstimate& e : {s.pooled.susceptibility, s.pooled.binder})
            csv << ',' << fieldText(e.value) << ',' << fieldText(e.error);
        if (plan.base().correlationBin) csv << ',' << fieldText(s.xi.mean) << ',' << fieldText(s.xi.se);
        csv << '\n';
    }
}

void writeCorrelationTables(std::ostream& csv, const SweepPlan& plan, const ShardResults& results) {
    writeNames(csv, plan);
    csv << "runs," << kCorrelationColumns << '\n';
    std::optional<std::size_t> point;
    std::optional<CorrelationTable> table;
    int runs = 0;
    auto writePoint = [&] {
        if (!point) return;
        std::ostringstream leading;
        writeValues(leading, plan.values(*point));
        leading << runs << ',';
        writeCorrelationRows(csv, *table, leading.str());
    };
    // the runs in plan order, each point's in seed order
    for (std::size_t slot = 0; slot < results.size(); ++slot) {
        if (!results[slot] || !results[slot]->correlation) continue;
        const std::size_t p = plan.pointOf(results.runOf(slot));
        if (point != p) {
            writePoint();
            point = p, runs = 0;
            // the point's bins are its own box's: the box may be swept
            table.emplace(results[slot]->correlation->bins());
        }
        table->addRun(*results[slot]->correlation);
        ++runs;
    }
    writePoint();
}

TableFacts readRuns(const std::string& path, const SweepPlan& plan, const RowReader& row) {
    TableFile file(path);
    std::string line;
    const std::string header = runsHeader(plan);
    const bool headerRead = file.next(line);
    if (headerRead && line == earlierHeader(plan))
        throw RefusedInput(file.name() + " has no checksum column: made by an earlier runner, its rows cannot be "
                                       "checked; run its runs again");
    if (!headerRead || line + '\n' != header)
        throw RefusedInput(file.name() + " is not a table of this sweep's runs (its header is not " +
                         header.substr(0, header.size() - 1) + ")");
    const Expected expected{plan, sweepIdOf(plan.base()), realColumns(plan.base())};
    TableFacts facts;
    std::vector<bool> seen;  // by the run's place in its shard, once the shard is known
    while (file.next(line)) {
        std::pair<std::size_t, RunStatistics> read;
        try {
            read = rowOf(line, expected, facts.shard);
            if (seen.empty()) seen.resize(runsOfShard(plan, *facts.shard));
            if (seen[read.first / facts.shard->count]) throw RefusedInput("repeats run " + std::to_string(read.first));
            seen[read.first / facts.shard->count] = true;
        } catch (const RefusedInput& e) {
            throw RefusedInput(file.name() + " line " + std::to_string(file.number()) + " " + e.what());
        }
        ++facts.rows;
        if (row) row(read.first, read.second, *facts.shard);
    }
    return facts;
}

RunsJournal::RunsJournal(const files::OutputTarget& target, const SweepPlan& plan, const ShardResults& resumed)
    : plan_(plan), shard_(resumed.shard()), path_(target.folder + "/" + target.name) {
    first_.emplace(target);
    if (const int error = first_->open()) fail(error);
    std::string table = runsHeader(plan);
    for (std::size_t slot = 0; slot < resumed.size(); ++slot)
        if (resumed[slot]) table += runRow(plan, resumed.runOf(slot), *resumed[slot], shard_);
    first_->write(table.data(), table.size());
}

RunsJournal::~RunsJournal() {
    if (fd_ >= 0) ::close(fd_);
}

void RunsJournal::fail(int error) const {
    throw std::runtime_error("--csv: keeping the runs table " + study::quoted(path_) + " as the runs finish failed (" +
                             std::strerror(error) + ")");
}

void RunsJournal::add(std::size_t run, const RunStatistics& r) {
    const std::string row = runRow(plan_, run, r, shard_);
    const std::lock_guard lock(mutex_);
    if (first_) {
        first_->write(row.data(), row.size());
        if (const int error = first_->commit()) fail(error);
        first_.reset();
        fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd_ < 0) fail(errno);
        return;
    }
    // one write for the whole row, so that a kill leaves whole rows, and the
    // row on the disk before the next run begins
    for (std::size_t done = 0; done < row.size();) {
        const ssize_t written = ::write(fd_, row.data() + done, row.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) fail(errno);
        done += static_cast<std::size_t>(written);
    }
    if (::fdatasync(fd_) != 0) fail(errno);
}

ShardResults mergeShards(const SweepPlan& plan, const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::map<fs::path, std::string> files;
    std::map<std::size_t, std::pair<std::string, std::size_t>> shardFiles;  // by K: the file and its rows
    std::optional<std::size_t> count;                                       // M, from the first file with runs
    std::string countFile;
    // every file checked whole, and every run found, before the memory for them all is taken
    for (const std::string& path : paths) {
        std::error_code ignored;
        const auto [was, fresh] = files.emplace(fs::weakly_canonical(path, ignored), path);
        if (!fresh) throw RefusedInput(study::quoted(path) + " is given twice (as " + study::quoted(was->second) + ")");
        const TableFacts table = readRuns(path, plan);
        if (!table.shard) continue;  // no runs: a shard beyond the number of runs, or one of none
        const Shard& shard = *table.shard;
        if (count && *count != shard.count)
            throw RefusedInput(study::quoted(path) + " is shard " + shard.text() + ", but " + study::quoted(countFile) +
                             " is one of " + std::to_string(*count));
        if (!count) count = shard.count, countFile = path;
        if (const auto [other, first] = shardFiles.emplace(shard.index, std::pair{path, table.rows}); !first)
            throw RefusedInput(study::quoted(path) + " is shard " + shard.text() + " again (as " +
                             study::quoted(other->second.first) + ")");
    }
    if (!count) throw RefusedInput("the files hold no run of this sweep");
    for (std::size_t k = 1; k <= std::min<std::size_t>(*count, plan.runs()); ++k) {
        const Shard shard{k, *count};
        const auto file = shardFiles.find(k);
        if (file == shardFiles.end())
            throw RefusedInput("shard " + shard.text() + " is missing (no file holds its runs)");
        if (file->second.second == runsOfShard(plan, shard)) continue;
        // the runs are the shard's and none twice: the first it lacks is where it was cut
        std::vector<bool> held(runsOfShard(plan, shard));
        readRuns(file->second.first, plan,
                 [&](std::size_t run, const RunStatistics&, const Shard&) { held[run / *count] = true; });
        std::size_t slot = 0;
        while (slot < held.size() && held[slot]) ++slot;
        const std::size_t run = k - 1 + slot * *count;
        throw RefusedInput(study::quoted(file->second.first) + " lacks run " + std::to_string(run) + " (" +
                         describeRun(plan, run) + "): shard " + shard.text() +
                         " was cut short; finish it with --resume-from");
    }
    ShardResults results(plan, Shard{1, 1});
    for (const auto& [k, file] : shardFiles)
        readRuns(file.first, plan, [&](std::size_t run, const RunStatistics& r, const Shard&) { results[run] = r; });
    return results;
}

}  // namespace nyajkor::study
