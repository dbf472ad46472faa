// The runner's C(r) (--correlation), its correlation length in a sweep's
// tables, and the series of the order parameter (--series).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "cli/batch.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;

const std::vector<std::string> kRun = {"--seed", "9", "--n", "500", "--radius", "6", "--noise", "10", "--ticks", "12"};

// Four runs: two noise levels, two repeats.
const std::vector<std::string> kSweep = {"--sweep", "noise=10:60:50", "--repeats", "2", "--n", "500",
                                         "--radius", "6", "--warmup", "2", "--ticks", "9", "--seed", "21"};

// kSweep with C(r) at every third measured tick, in FILE.
std::vector<std::string> correlated(const std::string& file) {
    return with(kSweep, {"--every", "3", "--bin", "2.5", "--correlation", file});
}

TEST_F(BatchFiles, CorrelationTableHasABinPerWidthUpToHalfTheSmallestExtent) {
    const RunResult r = run(with(kRun, {"--correlation", path("c.csv"), "--bin", "2", "--every", "4"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(slurp(path("c.csv")));
    // the window's box: 250 / 2 = 125, bins of 2, the last 124..125
    ASSERT_EQ(rows.size(), 1u + 63);
    EXPECT_EQ(rows[0], "r_low,r_high,pairs,uu_mean,C");
    EXPECT_EQ(fields(rows.back())[0], "124");
    EXPECT_EQ(fields(rows.back())[1], "125");
    long pairs = 0;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto f = fields(rows[k]);
        ASSERT_EQ(f.size(), 5u) << rows[k];
        pairs += std::stol(f[2]);
        EXPECT_EQ(f[3].empty(), f[2] == "0") << rows[k];  // an empty mean only without pairs
    }
    // three ticks (4, 8, 12) of ordered pairs, a good part of the 500 x 499 within the cut-off
    EXPECT_EQ(pairs % 2, 0);
    EXPECT_GT(pairs, 3 * 500 * 499 / 10);
    EXPECT_LE(pairs, 3 * 500 * 499);
}

TEST_F(BatchFiles, CorrelationBinsReachHalfTheSmallestExtentOfTheRunsBox) {
    struct Case {
        std::vector<std::string> box;
        std::string bin;
        std::size_t bins;
        std::string last;  // the last bin's edges
    };
    const Case cases[] = {
        {{"--box", "60", "--boundary", "periodic"}, "1", 30, "29,30"},
        {{"--box", "90,70,64", "--boundary", "periodic"}, "3", 11, "30,32"},
        {{"--box", "80,120,100"}, "0.5", 80, "39.5,40"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box[1]);
        const RunResult r = run(with(c.box, {"--n", "300", "--radius", "5", "--ticks", "3", "--seed", "2", "--bin",
                                             c.bin, "--correlation", path("c.csv")}));
        ASSERT_EQ(r.status, 0) << r.err;
        const auto rows = lines(slurp(path("c.csv")));
        ASSERT_EQ(rows.size(), 1 + c.bins);
        EXPECT_EQ(rows.back().substr(0, c.last.size() + 1), c.last + ",");
    }
}

// A sweep over the box's side: each point's table has its own box's bins,
// and its numbers are its runs' own.
TEST_F(BatchFiles, SweptBoxesKeepTheirOwnBinsPointByPoint) {
    const RunResult r = run({"--boundary", "periodic", "--density", "2", "--radius", "3", "--sweep", "box=12;16",
                             "--repeats", "2", "--ticks", "4", "--seed", "2", "--correlation", path("c.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(slurp(path("c.csv")));
    ASSERT_EQ(rows.size(), 1u + 6u + 8u);  // half the side in bins of 1 at each point
    EXPECT_EQ(rows[6].substr(0, 9), "12,2,5,6,");
    EXPECT_EQ(rows[14].substr(0, 9), "16,2,7,8,");
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const auto f = fields(rows[k]);
        ASSERT_EQ(f.size(), 7u) << rows[k];
        EXPECT_LE(std::stod(f[4]), 1e6) << rows[k];  // pairs a flock of at most 108 can have
        if (!f[6].empty()) {
            EXPECT_LE(std::abs(std::stod(f[6])), 1.0 + 1e-9) << rows[k];
        }
    }
}

TEST_F(BatchFiles, CorrelationIsTheSameBytesWhateverTheThreads) {
    for (const std::string threads : {"1", "2"}) {
        const RunResult single = run(with(kRun, {"--correlation", path("single-" + threads + ".csv"), "--threads",
                                                 threads}));
        ASSERT_EQ(single.status, 0) << single.err;
        const RunResult sweep = run(with(correlated(path("sweep-" + threads + ".csv")), {"--csv",
                                                  path("runs-" + threads + ".csv"), "--threads", threads, "--jobs",
                                                  "1"}));
        ASSERT_EQ(sweep.status, 0) << sweep.err;
    }
    EXPECT_EQ(slurp(path("single-1.csv")), slurp(path("single-2.csv")));
    EXPECT_EQ(slurp(path("sweep-1.csv")), slurp(path("sweep-2.csv")));
    EXPECT_EQ(slurp(path("runs-1.csv")), slurp(path("runs-2.csv")));
}

TEST_F(BatchFiles, SweepPointOfOneRunHasTheSingleRunsTable) {
    const RunResult sweep = run({"--sweep", "noise=10:10:1", "--seed", "9", "--n", "500", "--radius", "6", "--ticks",
                                 "12", "--every", "4", "--correlation", path("sweep.csv"), "--jobs", "1"});
    ASSERT_EQ(sweep.status, 0) << sweep.err;
    const RunResult single = run(with(kRun, {"--every", "4", "--correlation", path("single.csv")}));
    ASSERT_EQ(single.status, 0) << single.err;
    const auto swept = lines(slurp(path("sweep.csv"))), alone = lines(slurp(path("single.csv")));
    ASSERT_EQ(swept.size(), alone.size());
    EXPECT_EQ(swept[0], "noise,runs," + alone[0]);
    for (std::size_t k = 1; k < alone.size(); ++k) EXPECT_EQ(swept[k], "10,1," + alone[k]);
}

TEST_F(BatchFiles, SweepAddsXiToEachRunAndEachPoint) {
    const RunResult r = run(with(correlated(path("c.csv")), {"--csv", path("runs.csv"), "--summary",
                                                              path("summary.csv")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto runs = lines(slurp(path("runs.csv")));
    const auto header = fields(runs[0]);
    const auto xi = std::find(header.begin(), header.end(), "xi") - header.begin();
    ASSERT_LT(xi + 1, static_cast<long>(header.size()));
    EXPECT_EQ(header[xi + 1], "xi_err");
    EXPECT_EQ(header[xi - 1], "order_err");
    ASSERT_EQ(runs.size(), 5u);
    double sum = 0;
    for (std::size_t k = 1; k <= 2; ++k) sum += std::stod(fields(runs[k])[xi]);  // the first point's repeats
    const auto summary = lines(slurp(path("summary.csv")));
    EXPECT_THAT(summary[0], ::testing::EndsWith(",xi_mean,xi_se"));
    EXPECT_DOUBLE_EQ(std::stod(fields(summary[1])[fields(summary[0]).size() - 2]), sum / 2);
    // C(r): one table per point over its two runs, 125 / 2.5 = 50 bins each
    const auto c = lines(slurp(path("c.csv")));
    EXPECT_EQ(c[0], "noise,runs,r_low,r_high,pairs,uu_mean,C");
    ASSERT_EQ(c.size(), 1u + 2 * 50);
    EXPECT_EQ(c[1].substr(0, 5), "10,2,");
    EXPECT_EQ(c[51].substr(0, 5), "60,2,");
}

TEST_F(BatchFiles, ShardsWithXiMergeIntoTheWholeSweepsTables) {
    const RunResult whole = run(with(correlated(path("c.csv")), {"--csv", path("whole.csv"), "--summary", path("whole-sum.csv")}));
    ASSERT_EQ(whole.status, 0) << whole.err;
    for (const std::string k : {"1", "2"}) {
        const RunResult shard = run(with(correlated(path("c-" + k + ".csv")), {"--shard", k + "/2", "--csv",
                                                                                path("shard-" + k + ".csv")}));
        ASSERT_EQ(shard.status, 0) << shard.err;
    }
    fs::remove(path("c.csv"));
    const RunResult merged = run(with(correlated(path("c.csv")), {"--csv", path("merged.csv"), "--summary", path("merged-sum.csv"),
                                                   "--merge", path("shard-1.csv"), path("shard-2.csv")}));
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(slurp(path("merged.csv")), slurp(path("whole.csv")));
    EXPECT_EQ(slurp(path("merged-sum.csv")), slurp(path("whole-sum.csv")));
    EXPECT_THAT(merged.err, HasSubstr("hold each run's xi but not its C(r)"));
    EXPECT_FALSE(fs::exists(path("c.csv")));
    // a table without xi is another sweep's, and the other way round
    const RunResult plain = run(with(kSweep, {"--csv", path("plain.csv")}));
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(run(with(correlated(path("c.csv")), {"--merge", path("plain.csv")})).status, 2);
    EXPECT_EQ(run(with(kSweep, {"--merge", path("shard-1.csv"), path("shard-2.csv")})).status, 2);
}

TEST_F(BatchFiles, SeriesHasEachRunsOrderAndEachPointsHistogram) {
    const RunResult r = run(with(kSweep, {"--series", path("series"), "--csv", path("runs.csv")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entries(), (std::vector<std::string>{"runs.csv", "series"}));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path("series"))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"histogram_noise=10.csv", "histogram_noise=60.csv",
                                               "series_noise=10_seed=21.csv", "series_noise=10_seed=22.csv",
                                               "series_noise=60_seed=21.csv", "series_noise=60_seed=22.csv"}));
    // the measured ticks after the two of warm-up, their mean the run's order_mean
    const auto series = lines(slurp(path("series/series_noise=60_seed=22.csv")));
    ASSERT_EQ(series.size(), 1u + 9);
    EXPECT_EQ(series[0], "tick,order");
    EXPECT_EQ(fields(series[1])[0], "3");
    EXPECT_EQ(fields(series[9])[0], "11");
    double sum = 0;
    for (std::size_t k = 1; k < series.size(); ++k) sum += std::stod(fields(series[k])[1]);
    EXPECT_NEAR(sum / 9, std::stod(fields(lines(slurp(path("runs.csv")))[4])[2]), 1e-15);
    // both runs' ticks counted, each in the bin of its value
    const auto histogram = lines(slurp(path("series/histogram_noise=60.csv")));
    ASSERT_EQ(histogram.size(), 1u + 100);
    EXPECT_EQ(histogram[0], "phi_low,phi_high,count");
    EXPECT_EQ(histogram[100], "0.99,1,0");
    long counted = 0;
    for (std::size_t k = 1; k < histogram.size(); ++k) counted += std::stol(fields(histogram[k])[2]);
    EXPECT_EQ(counted, 2 * 9);
    const double phi = std::stod(fields(series[1])[1]);
    EXPECT_NE(fields(histogram[1 + static_cast<int>(phi * 100)])[2], "0");
}

// A command line that must be refused with exit status 2, "{dir}" standing
// for the test's folder, and a piece of its message.
class CorrelationBadInput : public BatchFiles, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CorrelationBadInput, RefusedWithOneLineAndNoFileMade) {
    std::ofstream(path("file")) << "precious\n";
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args)
        if (const auto at = a.find("{dir}"); at != std::string::npos) a.replace(at, 5, dir_.string());
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(GetParam().message));
    EXPECT_EQ(entries(), std::vector<std::string>{"file"});
    EXPECT_EQ(slurp(path("file")), "precious\n");
}

const std::vector<std::string> kSmallSweep = {"--sweep", "noise=10:20:10", "--ticks", "2", "--seed", "1"};

INSTANTIATE_TEST_SUITE_P(
    EveryKind, CorrelationBadInput,
    ::testing::Values(
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "0"}, "--bin: 0 is out of range (allowed: 0.01..4096)"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "4097"}, "out of range (allowed: 0.01..4096)"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "-1"}, "out of range"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "wide"}, "--bin: 'wide' is not a number"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "nan"}, "'nan' is not a number"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "inf"}, "'inf' is not a number"},
        BadInput{{"--correlation", "{dir}/c.csv", "--bin", "1.5x"}, "'1.5x' is not a number"},
        BadInput{{"--bin", "2"}, "--bin: only with --correlation"},
        BadInput{{"--correlation", ""}, "--correlation: the file name is empty"},
        BadInput{{"--correlation", "{dir}/missing/c.csv"}, "--correlation: cannot write"},
        BadInput{{"--correlation", "{dir}"}, "it is a directory"},
        BadInput{{"--correlation", "{dir}/c.csv", "--csv", "{dir}/c.csv"}, "the same file as --csv"},
        BadInput{{"--series", "{dir}/s"}, "--series: only with --sweep"},
        BadInput{with(kSmallSweep, {"--series", ""}), "--series: the folder name is empty"},
        BadInput{with(kSmallSweep, {"--series", "{dir}/missing/s"}), "--series: cannot make the folder"},
        BadInput{with(kSmallSweep, {"--series", "{dir}/file"}), "--series: cannot write in '"},
        BadInput{with(kSmallSweep, {"--series", "{dir}/s", "--merge", "{dir}/file"}), "--series: not with --merge"},
        BadInput{with(kSmallSweep, {"--series", "{dir}/s", "--csv", "{dir}/missing/r.csv"}), "--csv: cannot write"},
        BadInput{with(kSmallSweep, {"--every", "2"}), "--every: only with"}));

}  // namespace
}  // namespace nyajkor::batch
