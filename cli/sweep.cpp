#include "cli/sweep.h"

#include <optional>
#include <variant>

#include "cli/batch.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/series_folder.h"
#include "cli/sweep_chart.h"
#include "files/output_target.h"
#include "study/sweep_runs.h"

namespace nyajkor::batch {

namespace {

// Runs the shard's runs that `results` lacks on the jobs, showing progress
// while they work and keeping each finished run in `journal` when there is
// one; rethrows the first failure of a job.
void runAll(const SweepPlan& plan, const SweepControl& control, ShardResults& results, RunsJournal* journal,
            SeriesFolder* series, std::ostream& err) {
    Progress progress(err, control.showProgress, "runs");
    RunControl runs;
    runs.stop = control.stop;
    runs.afterRun = control.afterRun;
    runs.progress = [&](std::size_t finished, std::size_t toRun, double done) {
        progress.update(static_cast<long>(finished), static_cast<long>(toRun), done);
    };
    if (series) runs.series = [series](std::size_t run, const std::vector<double>& phi) { series->addRun(run, phi); };
    runShard(plan, runs, results, journal);
}

// The runs of the sweep or shard already done, from the table it left.
void resume(const std::string& path, const SweepPlan& plan, ShardResults& results) {
    const Shard& shard = results.shard();
    readRuns(path, plan, [&](std::size_t run, const RunStatistics& r, const Shard& of) {
        if (of.index != shard.index || of.count != shard.count)
            throw UsageError("--resume-from: " + quoted(path) + " holds runs of shard " + of.text() + ", not " +
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
ShardResults gatherRuns(const SweepPlan& plan, const Options& o, const SweepControl& control, SeriesFolder* series,
                        std::ostream& err) {
    if (!o.mergePaths.empty()) return mergeShards(plan, o.mergePaths);
    ShardResults results(plan, o.shard);
    if (!o.resumePath.empty()) resume(o.resumePath, plan, results);
    std::optional<RunsJournal> journal;
    if (const auto target = journalTarget(o); target && results.finished() < results.size())
        journal.emplace(*target, plan, results);
    runAll(plan, control, results, journal ? &*journal : nullptr, series, err);
    return results;
}

// One line naming the grid points whose runs are too short for their
// correlation time, whose tau and errors are therefore not to be trusted.
void warnOfShortRuns(const SweepPlan& plan, const ShardResults& results, std::ostream& err) {
    constexpr std::size_t kNamed = 8;
    const auto points = pointsWithShortRuns(plan, results);
    if (points.empty()) return;
    std::string named;
    for (std::size_t k = 0; k < points.size() && k < kNamed; ++k)
        named += (k ? ", " : "") + describePoint(plan, points[k]);
    if (points.size() > kNamed) named += " and " + std::to_string(points.size() - kNamed) + " more points";
    err << kMessagePrefix << "warning: runs measured fewer than " << kTrustedTauMultiple
        << " times their correlation time (or too few ticks to tell it) at " << named
        << ": their order_tau and order_err are not to be trusted; measure more ticks (short_run marks them)\n";
}

}  // namespace

int runSweep(Options o, std::ostream& out, std::ostream& err, const SweepControl& control) {
    // Everything that can refuse the command before any file is begun or
    // any run is done: the jobs, the chart's platform, then the outputs.
    std::optional<ChartApplication> charts;
    std::optional<OutputFile> csv, summaryFile, plot, correlation;
    std::optional<SeriesFolder> series;
    o.seed = o.seed.value_or(clockSeed());
    const SweepPlan plan(o);
    // the shards' tables hold each run's xi but not its C(r)
    const std::string correlationPath = o.mergePaths.empty() ? o.correlationPath : "";
    try {
        if (o.mergePaths.empty()) checkJobs(plan);
        if (!o.plotPath.empty()) charts.emplace();
        beginOutputs({{"csv", o.csvPath, csv}, {"summary", o.summaryPath, summaryFile}, {"plot", o.plotPath, plot},
                      {"correlation", correlationPath, correlation}},
                     out);
        if (!o.seriesDir.empty()) series.emplace(o.seriesDir, plan);
    } catch (const std::exception& e) {
        return refusedOrStopped(e, err, control.stop);
    }
    if (!o.correlationPath.empty() && !o.mergePaths.empty())
        err << kMessagePrefix << "note: --correlation: the tables merged hold each run's xi but not its C(r); "
            << quoted(o.correlationPath) << " is left as it was (each shard's own --correlation file has its C(r))\n";

    try {
        const ShardResults results = gatherRuns(plan, o, control, series ? &*series : nullptr, err);
        const std::size_t finished = results.finished(), expected = results.size();
        if (finished == 0 && expected > 0) {
            // nothing to keep: earlier files stay as they were
            if (series) series->removeIfUnused();
            err << kMessagePrefix << "interrupted before any run finished; no file written\n";
            return stoppedStatus(control.stop->load());
        }
        const auto summary = summarise(plan, results);
        // the tables are in place before the chart is drawn, whatever becomes of it
        if (csv) writeRuns(csv->stream(), plan, results);
        if (summaryFile) writeSummaryTable(summaryFile->stream(), plan, summary);
        if (correlation) writeCorrelationTables(correlation->stream(), plan, results);
        if (series) series->writeHistograms();
        if (csv) csv->commit();
        if (summaryFile) summaryFile->commit();
        if (correlation) correlation->commit();
        if (plot) {
            writeSweepChart(plan, summary, o.plotQuantity, o.plotStyle, plot->stream());
            plot->commit();
        }
        if (o.csvPath != "-" && o.summaryPath != "-" && correlationPath != "-") writeSummaryTable(out, plan, summary);
        warnOfShortRuns(plan, results, err);
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
