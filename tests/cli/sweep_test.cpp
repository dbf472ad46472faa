#include "cli/sweep.h"

#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <cmath>

#include "cli/batch.h"
#include "cli/batch_options.h"
#include "cli/progress.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A few ticks of a small flock; kSmall adds the flags that kTiny leaves to a sweep.
const std::vector<std::string> kTiny = {"--warmup", "4", "--ticks", "6", "--seed", "21"};
const std::vector<std::string> kSmall = with(kTiny, {"--n", "500", "--radius", "3"});

TEST(SweepOptions, ValuesRunFromFromToToInSteps) {
    const Options o = parseOptions({"--sweep", "noise=0:100:25", "--sweep=n=500:1200:300", "--repeats", "3"});
    ASSERT_EQ(o.sweeps.size(), 2u);
    EXPECT_THAT(o.sweeps[0].names, ElementsAre("noise"));
    EXPECT_THAT(o.sweeps[0].values(), ElementsAre(0, 25, 50, 75, 100));
    // a step that overshoots TO stops below it
    EXPECT_THAT(o.sweeps[1].values(), ElementsAre(500, 800, 1100));
    EXPECT_THAT(parseOptions({"--sweep", "radius=7:7:1"}).sweeps[0].values(), ElementsAre(7));
    EXPECT_EQ(o.repeats, 3);
}

// Paired flags are one axis: each tuple one point, its values set together.
TEST(SweepOptions, PairedFlagsAreOneAxisOfTuples) {
    const Options o = parseOptions({"--sweep", "n,radius,speed=500,16,16;1000,13,13;2000,10,10", "--sweep",
                                    "noise=0;50", "--seed", "1"});
    ASSERT_EQ(o.sweeps.size(), 2u);
    EXPECT_THAT(o.sweeps[0].names, ElementsAre("n", "radius", "speed"));
    EXPECT_THAT(o.sweeps[0].values(), ElementsAre(500, 1000, 2000));
    const SweepPlan plan(o);
    EXPECT_EQ(plan.points(), 6u);
    EXPECT_THAT(plan.names(), ElementsAre("n", "radius", "speed", "noise"));
    EXPECT_THAT(plan.values(3), ElementsAre(1000, 13, 13, 50));
    const Settings run = plan.settingsOf(5);
    EXPECT_EQ(run.controls.egyedszam, 2000);
    EXPECT_EQ(run.controls.sugar, 10);
    EXPECT_EQ(run.controls.vkozos, 10);
    EXPECT_EQ(run.controls.parameter, 50);
}

// The same values listed or as a range make the same runs.
TEST(SweepOptions, ListedValuesRunAsTheirRange) {
    auto summary = [](const char* sweep) {
        const RunResult r = run(with(kSmall, {"--sweep", sweep, "--repeats", "2", "--summary", "-"}));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(summary("noise=0;50;100"), summary("noise=0:100:50"));
}

TEST(SweepOptions, PlanPutsTheFirstFlagOutermostAndTheRepeatsInSeedOrder) {
    const SweepPlan plan(parseOptions({"--sweep", "noise=0:10:10", "--sweep", "cohesion=3:4:1", "--repeats", "2",
                                       "--seed", "4294967295"}));
    ASSERT_EQ(plan.runs(), 8u);
    EXPECT_THAT(plan.values(plan.pointOf(2)), ElementsAre(0, 4));
    EXPECT_THAT(plan.values(plan.pointOf(5)), ElementsAre(10, 3));
    // the seeds of the repeats wrap round modulo 2^32
    EXPECT_EQ(plan.seedOf(6), 4294967295u);
    EXPECT_EQ(plan.seedOf(7), 0u);
    // a swept value is applied as the flag itself would be: cohesion turns on
    const Settings o = plan.settingsOf(7);
    EXPECT_EQ(o.controls.parameter, 10);
    EXPECT_TRUE(o.controls.tkpvonzas);
    EXPECT_EQ(o.controls.tkpvonzaserosseg, 4);
    EXPECT_TRUE(controlsFor(o).tkpvonzas);
}

// The results of a whole sweep, run by run.
ShardResults resultsOf(const SweepPlan& plan, const std::vector<std::optional<RunStatistics>>& runs) {
    ShardResults results(plan, Shard{1, 1});
    for (std::size_t run = 0; run < runs.size(); ++run) results[run] = runs[run];
    return results;
}

TEST(SweepSummary, MeansAndStandardErrorsOverTheFinishedRepeats) {
    // points of three repeats: the first whole, the second with no run finished (and no row), the
    // third lost its middle run, the fourth ran once
    const SweepPlan plan(parseOptions({"--sweep", "noise=0:30:10", "--repeats", "3", "--seed", "1"}));
    auto result = [](double order, double neighbours, double distance) {
        RunStatistics r;
        r.order = {order, 0.5};
        r.neighbours = {neighbours, 0.5};
        r.distance = {distance, 0.5};
        return r;
    };
    const auto summary = summarise(plan, resultsOf(plan, {result(0.2, 1, 4), result(0.4, 2, 4), result(0.9, 6, 4),
                                                          std::nullopt, std::nullopt, std::nullopt,
                                                          result(0.5, 10, 3), std::nullopt, result(0.7, 14, 5),
                                                          result(0.25, 7, 2), std::nullopt, std::nullopt}));
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_EQ(summary[0].point, 0u);
    EXPECT_EQ(summary[1].point, 2u);
    EXPECT_EQ(summary[2].point, 3u);
    EXPECT_EQ(summary[0].runs, 3);
    EXPECT_DOUBLE_EQ(summary[0].order.mean, 0.5);
    // sample deviation sqrt(0.26 / 2) over sqrt(3)
    EXPECT_DOUBLE_EQ(summary[0].order.se, std::sqrt(0.13) / std::sqrt(3.0));
    EXPECT_DOUBLE_EQ(summary[0].neighbours.mean, 3);
    EXPECT_DOUBLE_EQ(summary[0].neighbours.se, std::sqrt(7.0) / std::sqrt(3.0));
    EXPECT_EQ(summary[0].distance.se, 0);
    EXPECT_EQ(summary[1].runs, 2);
    EXPECT_DOUBLE_EQ(summary[1].order.mean, 0.6);
    EXPECT_DOUBLE_EQ(summary[1].order.se, 0.1);
    EXPECT_DOUBLE_EQ(summary[1].neighbours.se, 2);
    EXPECT_EQ(summary[2].runs, 1);
    EXPECT_EQ(summary[2].order.mean, 0.25);
    EXPECT_TRUE(std::isnan(summary[2].order.se));
}

TEST(SweepSummary, TransitionStatisticsAveragedAndTheRunsErrorsCombined) {
    const SweepPlan plan(parseOptions({"--sweep", "noise=0:0:1", "--repeats", "3", "--seed", "1"}));
    auto result = [](double chi, double binder, double tau, double error) {
        RunStatistics r{};
        r.phase = {0.3, 0.1, 0.02, chi, binder, tau, error};
        return std::optional(r);
    };
    const auto summary =
        summarise(plan, resultsOf(plan, {result(10, 0.5, 20, 0.03), result(16, 0.6, 40, 0.04), std::nullopt}));
    ASSERT_EQ(summary[0].runs, 2);
    EXPECT_DOUBLE_EQ(summary[0].susceptibility.mean, 13);
    EXPECT_DOUBLE_EQ(summary[0].susceptibility.se, 3);  // sample deviation 3 sqrt(2), over sqrt(2)
    EXPECT_DOUBLE_EQ(summary[0].binder.mean, 0.55);
    EXPECT_DOUBLE_EQ(summary[0].tau.mean, 30);
    EXPECT_DOUBLE_EQ(summary[0].meanSquare.mean, 0.1);
    // the error of the mean of two runs with errors 0.03 and 0.04: sqrt(0.03^2 + 0.04^2) / 2
    EXPECT_DOUBLE_EQ(summary[0].orderError, 0.025);
}

TEST(SweepSummary, AccumulatorGivesTheSampleDeviation) {
    Accumulator a;
    a.add(7);
    EXPECT_EQ(a.mean(), 7);
    EXPECT_TRUE(std::isnan(a.sd()));
    for (double v : {1.0, 4.0}) a.add(v);
    EXPECT_DOUBLE_EQ(a.mean(), 4);
    EXPECT_DOUBLE_EQ(a.sd(), 3);
    // values far from zero keep their small spread
    Accumulator b;
    for (double v : {1e9 + 1, 1e9 + 2, 1e9 + 3}) b.add(v);
    EXPECT_DOUBLE_EQ(b.sd(), 1);
}

class SweepFiles : public BatchFiles {};

TEST_F(SweepFiles, SameBytesWhateverTheNumberOfJobs) {
    // N changes from run to run, so a job's flock is reused across sizes
    auto sweep = [&](const std::string& jobs) {
        const auto args = with(kTiny, {"--sweep", "n=500:1000:500", "--sweep", "noise=0:50:50", "--repeats", "2",
                                       "--radius", "3", "--predators", "1", "--jobs", jobs, "--csv",
                                       path("runs" + jobs + ".csv"), "--summary", path("summary" + jobs + ".csv")});
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return std::pair{slurp(path("runs" + jobs + ".csv")), slurp(path("summary" + jobs + ".csv"))};
    };
    const auto one = sweep("1"), two = sweep("2");
    EXPECT_EQ(one.first, two.first);
    EXPECT_EQ(one.second, two.second);
    const auto rows = lines(one.first);
    ASSERT_EQ(rows.size(), 1u + 8);
    // the columns the table has always had keep their places; the new ones follow
    EXPECT_EQ(rows[0], "n,noise,seed,order_mean,order_sd,avg_neighbours_mean,avg_neighbours_sd,"
                       "mean_nn_distance_mean,mean_nn_distance_sd,order_sq_mean,order_fourth_mean,susceptibility,"
                       "binder,order_tau,order_err,short_run,run,shard,sweep_id,checksum");
    const auto first = fields(rows[1]);
    ASSERT_EQ(first.size(), 20u);
    EXPECT_THAT(std::vector(first.begin(), first.begin() + 3), ElementsAre("500", "0", "21"));
    EXPECT_THAT(std::vector(first.end() - 4, first.end() - 2), ElementsAre("0", "1/1"));
    EXPECT_THAT(first.back(), ::testing::MatchesRegex("[0-9a-f]{16}"));
    EXPECT_THAT(rows[8], ::testing::StartsWith("1000,50,22,"));
    EXPECT_THAT(fields(rows[8])[16], "7");
    const auto summary = lines(one.second);
    ASSERT_EQ(summary.size(), 1u + 4);
    EXPECT_EQ(summary[0], "n,noise,runs,order_mean,order_se,avg_neighbours_mean,avg_neighbours_se,"
                          "mean_nn_distance_mean,mean_nn_distance_se,order_sq_mean,order_sq_se,order_fourth_mean,"
                          "order_fourth_se,susceptibility_mean,susceptibility_se,binder_mean,binder_se,"
                          "order_tau_mean,order_tau_se,order_err,susceptibility_pooled,"
                          "susceptibility_pooled_err,binder_pooled,binder_pooled_err");
    EXPECT_THAT(summary[4], ::testing::StartsWith("1000,50,2,"));
}

// The mean and sample deviation of one column of a single run's per-tick
// CSV over the ticks after the warm-up.
Moments columnMoments(const std::string& csv, std::size_t column, long warmup) {
    const auto rows = lines(csv);
    double sum = 0, squares = 0;
    long n = 0;
    for (std::size_t t = 1 + static_cast<std::size_t>(warmup); t < rows.size(); ++t, ++n)
        sum += std::stod(fields(rows[t])[column]);
    const double mean = sum / static_cast<double>(n);
    for (std::size_t t = 1 + static_cast<std::size_t>(warmup); t < rows.size(); ++t)
        squares += std::pow(std::stod(fields(rows[t])[column]) - mean, 2);
    return {mean, std::sqrt(squares / static_cast<double>(n - 1))};
}

TEST(SweepRun, EachRowIsTheSingleRunWithItsValuesAndSeed) {
    const RunResult sweep = run(with(kTiny, {"--sweep", "radius=2:4:2", "--repeats", "2", "--n", "500", "--centre",
                                             "moving", "--csv", "-"}));
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    const auto rows = lines(sweep.out);
    ASSERT_EQ(rows.size(), 5u);
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto f = fields(rows[k]);
        const RunResult single = run({"--n", "500", "--radius", f[0], "--seed", f[1], "--centre", "moving",
                                      "--ticks", "10", "--csv", "-"});
        ASSERT_EQ(single.status, 0) << single.err;
        // columns of the per-tick CSV: order 2, neighbours 3, distance 4
        for (std::size_t q = 0; q < 3; ++q) {
            const Moments m = columnMoments(single.out, 2 + q, 4);
            EXPECT_NEAR(std::stod(f[2 + 2 * q]), m.mean, 1e-12 * (1 + m.mean)) << rows[k];
            EXPECT_NEAR(std::stod(f[3 + 2 * q]), m.sd, 1e-9 * (1 + m.sd)) << rows[k];
        }
    }
}

TEST_F(SweepFiles, OneRepeatLeavesTheStandardErrorEmptyAndThePlotIsAPicture) {
    const RunResult r = run(with(kTiny, {"--sweep", "noise=0:100:50", "--sweep", "radius=2:3:1", "--n", "500",
                                         "--summary", path("s.csv"), "--plot", path("p.png")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(slurp(path("s.csv")));
    ASSERT_EQ(rows.size(), 1u + 6);
    EXPECT_THAT(fields(rows[1]), ::testing::Contains(""));
    EXPECT_EQ(fields(rows[1])[4], "");  // order_se
    // the summary also goes to standard output, as in the file
    EXPECT_EQ(r.out, slurp(path("s.csv")));
    const QImage plot(QString::fromStdString(path("p.png")));
    ASSERT_FALSE(plot.isNull());
    EXPECT_GT(plot.width(), 400);
    int dark = 0;
    for (int y = 0; y < plot.height(); ++y)
        for (int x = 0; x < plot.width(); ++x) dark += qGray(plot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 1000);  // axes, labels and lines drawn
    EXPECT_EQ(entries(), (std::vector<std::string>{"p.png", "s.csv"}));
}

TEST_F(SweepFiles, InterruptionKeepsTheFinishedRunsInWholeFiles) {
    std::atomic<int> interrupted{0};
    int finished = 0;
    std::ostringstream out, err;
    // one job, stopped after the fourth of six runs: the first point whole, one run of the second
    const auto args = with(kSmall, {"--sweep", "noise=0:10:10", "--repeats", "3", "--jobs", "1", "--csv",
                                   path("runs.csv"), "--summary", path("summary.csv"), "--plot", path("p.png")});
    const int status = runBatch(args, out, err, false, &interrupted, [&] {
        if (++finished == 4) interrupted = SIGINT;
    });
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_THAT(err.str(), HasSubstr("interrupted after 4 of 6 runs"));
    const RunResult whole = run(with(kSmall, {"--sweep", "noise=0:10:10", "--repeats", "3", "--csv", "-"}));
    const auto all = lines(whole.out), kept = lines(slurp(path("runs.csv")));
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_EQ(kept, std::vector<std::string>(all.begin(), all.begin() + 5));
    const auto summary = lines(slurp(path("summary.csv")));
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_THAT(summary[1], ::testing::StartsWith("0,3,"));
    EXPECT_THAT(summary[2], ::testing::StartsWith("10,1,"));
    EXPECT_FALSE(QImage(QString::fromStdString(path("p.png"))).isNull());
    EXPECT_EQ(entries(), (std::vector<std::string>{"p.png", "runs.csv", "summary.csv"}));
}

TEST_F(SweepFiles, InterruptionBeforeAnyRunTouchesNoFile) {
    std::ofstream(path("runs.csv")) << "precious\n";
    const std::atomic<int> interrupted{SIGINT};
    std::ostringstream out, err;
    const int status = runBatch(with(kSmall, {"--sweep", "noise=0:10:10", "--csv", path("runs.csv"), "--summary",
                                             path("summary.csv")}),
                                out, err, false, &interrupted);
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_THAT(err.str(), HasSubstr("no file written"));
    EXPECT_EQ(slurp(path("runs.csv")), "precious\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"runs.csv"});
}

class SweepBadInput : public BatchFiles, public ::testing::WithParamInterface<BadInput> {};

TEST_P(SweepBadInput, RefusedWithOneLineAndNoFileTouched) {
    std::ofstream(path("old.csv")) << "precious\n";
    const RunResult r = run(with({"--n", "500", "--csv", path("old.csv")}, GetParam().args));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(GetParam().message));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(slurp(path("old.csv")), "precious\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"old.csv"});
}

const std::vector<std::string> kSweep = {"--sweep", "noise=0:10:5"};

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SweepBadInput,
    ::testing::Values(
        BadInput{{"--sweep", "noise"}, "--sweep: 'noise' is not NAME=FROM:TO:STEP"},
        BadInput{{"--sweep", "noise=0:100"}, "is not NAME=FROM:TO:STEP"},
        BadInput{{"--sweep", "noise=0:100:5:"}, "is not NAME=FROM:TO:STEP"},
        BadInput{{"--sweep"}, "--sweep: a value is missing"},
        BadInput{{"--sweep", "noise=0:101:5"}, "--sweep noise: 101 is out of range (allowed: 0..100)"},
        BadInput{{"--sweep", "n=100:600:100"}, "--sweep: n is also given as --n"},
        BadInput{{"--sweep", "noise=a:10:5"}, "--sweep noise: 'a' is not a whole number"},
        BadInput{{"--sweep", "noise=50:10:5"}, "--sweep noise: FROM 50 is above TO 10"},
        BadInput{{"--sweep", "noise=0:10:0"}, "--sweep noise step: 0 is out of range (allowed: 1..100)"},
        BadInput{{"--sweep", "zoom=10:20:1"}, "'zoom' cannot be swept (sweepable: n, speed, noise, radius"},
        BadInput{{"--sweep", "seed=1:5:1"}, "'seed' cannot be swept"},
        BadInput{{"--sweep", "nois=1:5:1"}, "'nois' cannot be swept"},
        BadInput{{"--sweep", "noise=0:10:5", "--sweep", "noise=0:20:5"}, "--sweep: noise is swept twice"},
        BadInput{{"--sweep", "noise=0:10:5", "--sweep", "n=500:600:100", "--sweep", "radius=1:2:1"},
                 "at most two"},
        BadInput{{"--noise", "5", "--sweep", "noise=0:10:5"}, "--sweep: noise is also given as --noise"},
        BadInput{{"--sweep", "n,radius=500,4;1000"}, "--sweep: '1000' has 1 values for the 2 flags n,radius"},
        BadInput{{"--sweep", "n,radius=500,4,2"}, "--sweep: '500,4,2' has more values than the 2 flags n,radius"},
        BadInput{{"--sweep", "n,radius=500,40"}, "--sweep radius: 40 is out of range (allowed: 0..20)"},
        BadInput{{"--sweep", "n,zoom=500,12"}, "'zoom' cannot be swept"},
        BadInput{{"--sweep", "n,n=500,500"}, "--sweep: n is swept twice"},
        BadInput{{"--sweep", "speed,radius=10,4;12,4;10,4"}, "--sweep: '10,4' is listed twice"},
        BadInput{{"--sweep", "speed,radius=10,4", "--sweep", "radius=1:2:1"}, "--sweep: radius is swept twice"},
        BadInput{{"--radius", "4", "--sweep", "speed,radius=10,4"}, "--sweep: radius is also given as --radius"},
        BadInput{{"--sweep", "n,radius=500,x"}, "--sweep radius: 'x' is not a whole number"},
        BadInput{{"--sweep", "=500"}, "is not NAME=FROM:TO:STEP nor NAMES=VALUES;VALUES;..."},
        BadInput{{"--repeats", "2"}, "--repeats: only with --sweep"},
        BadInput{{"--summary", "s.csv"}, "--summary: only with --sweep"},
        BadInput{with(kSweep, {"--repeats", "0"}), "--repeats: 0 is out of range (allowed: 1..1000)"},
        BadInput{with(kSweep, {"--jobs", "0"}), "(allowed: 1..1024)"},
        BadInput{with(kSweep, {"--threads", "1025"}), "--threads: 1025 is out of range (allowed: 1..1024)"},
        BadInput{with(kSweep, {"--threads", "1024"}), "1 jobs x 1024 threads are more than the"},
        BadInput{with(kSweep, {"--jobs", "1024", "--threads", "2"}), "1024 jobs x 2 threads are more than the"},
        BadInput{with(kSweep, {"--warmup", "-1"}), "--warmup"},
        BadInput{with(kSweep, {"--ticks", "0"}), "--ticks: a sweep measures 1 tick or more"},
        BadInput{with(kSweep, {"--frame", "f.png"}), "--frame: not with --sweep"},
        BadInput{with(kSweep, {"--plot", "-"}), "--plot: a PNG picture cannot go to standard output"},
        BadInput{{"--shard", "1/2"}, "--shard: only with --sweep"},
        BadInput{with(kSweep, {"--shard", "1/2"}), "--shard: needs --seed"},
        BadInput{with(kSweep, {"--seed", "1", "--shard", "3/2"}), "--shard: 3 is out of range (allowed: 1..2)"},
        BadInput{with(kSweep, {"--seed", "1", "--shard", "2"}), "--shard: '2' is not K/M"},
        BadInput{with(kSweep, {"--merge", "a.csv"}), "--merge: needs --seed"},
        BadInput{with(kSweep, {"--seed", "1", "--merge", "a.csv", "b.csv", "--shard", "1/2"}),
                 "--shard: not with --merge"},
        BadInput{with(kSweep, {"--seed", "1", "--merge"}), "--merge: a value is missing"},
        BadInput{with(kSweep, {"--plot-quantity", "chi"}), "--plot-quantity: 'chi' is not order, susceptibility"},
        BadInput{with(kSweep, {"--plot", "p.png", "--plot-style", "bars"}), "--plot-style: 'bars' is not map or curves"},
        BadInput{with(kSweep, {"--plot-style", "curves"}), "--plot-style: only with --plot"},
        BadInput{with(kSweep, {"--plot", "missing/dir/p.png"}), "--plot: cannot write 'missing/dir/p.png'"}));

// A run too short for its correlation time is marked in the runs table and
// its grid point named in one warning line; a long enough one is not.
TEST(SweepShortRuns, AreMarkedAndTheirPointsNamedOnce) {
    struct Case {
        const char* noise;
        const char* ticks;
        const char* shortRun;  // of the one run
        bool warned;
    };
    // ordering from the start correlates the ticks for long; at the
    // highest noise they hardly are
    for (const Case& c : {Case{"0", "8", "1", true}, Case{"100", "300", "0", false}}) {
        SCOPED_TRACE(c.ticks);
        const RunResult r = run({"--sweep", "radius=3:3:1", "--n", "500", "--noise", c.noise, "--ticks", c.ticks,
                                 "--seed", "2", "--csv", "-"});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto rows = lines(r.out);
        ASSERT_EQ(rows.size(), 2u);
        const auto row = fields(rows[1]);
        EXPECT_EQ(row[row.size() - 5], c.shortRun);  // before run, shard, sweep_id and checksum
        if (c.warned) {
            EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
            EXPECT_THAT(r.err, ::testing::HasSubstr("warning: runs measured fewer than 50 times their correlation "
                                                    "time (or too few ticks to tell it) at radius=3:"));
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST(SweepProgress, TimeLeftReadsAsMinutesOrHours) {
    EXPECT_EQ(durationText(std::chrono::seconds(0)), "0:00");
    EXPECT_EQ(durationText(std::chrono::seconds(83)), "1:23");
    EXPECT_EQ(durationText(std::chrono::seconds(3605)), "1:00:05");
}

}  // namespace
}  // namespace nyajkor::batch
