// A sweep made in pieces: shards merged, and runs cut short and resumed,
// must give the very files of the sweep made in one piece.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "cli/batch.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;

// Six runs of a small flock: three noise levels, two repeats.
const std::vector<std::string> kSweep = {"--sweep", "noise=0:100:50", "--repeats", "2", "--n",    "500",
                                         "--radius", "3",            "--warmup",  "3", "--ticks", "8",
                                         "--seed",  "40"};

class SweepShards : public BatchFiles {
protected:
    // Shard K of M of kSweep into "shard-K-of-M.csv".
    std::string shard(std::size_t k, std::size_t m, const std::vector<std::string>& more = {}) {
        const std::string name = path("shard-" + std::to_string(k) + "-of-" + std::to_string(m) + ".csv");
        const RunResult r = run(with(with(kSweep, {"--shard", std::to_string(k) + "/" + std::to_string(m), "--csv",
                                                   name}),
                                     more));
        EXPECT_EQ(r.status, 0) << r.err;
        return name;
    }
    RunResult merge(const std::vector<std::string>& files, const std::vector<std::string>& sweep = kSweep) {
        auto args = with(sweep, {"--summary", path("merged.csv"), "--merge"});
        return run(with(args, files));
    }
};

TEST_F(SweepShards, MergedShardsGiveTheWholeSweepsFilesForEveryShardCount) {
    const RunResult whole =
        run(with(kSweep, {"--csv", path("whole-runs.csv"), "--summary", path("whole.csv")}));
    ASSERT_EQ(whole.status, 0) << whole.err;
    for (std::size_t m : {1, 2, 4, 6, 9}) {
        SCOPED_TRACE(m);
        std::vector<std::string> files;
        for (std::size_t k = m; k >= 1; --k) files.push_back(shard(k, m));  // any order will do
        const RunResult merged = run(with(with(kSweep, {"--csv", path("merged-runs.csv"), "--summary",
                                                        path("merged.csv"), "--merge"}),
                                          files));
        ASSERT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(slurp(path("merged.csv")), slurp(path("whole.csv")));
        EXPECT_EQ(slurp(path("merged-runs.csv")), slurp(path("whole-runs.csv")));
        EXPECT_EQ(merged.out, whole.out);
        // each shard holds just the runs p with p mod M = K - 1: the table's run column
        const auto rows = lines(slurp(files.back()));
        ASSERT_EQ(rows.size(), 1 + (6 + m - 1) / m);
        for (std::size_t r = 1; r < rows.size(); ++r) EXPECT_EQ(fields(rows[r])[15], std::to_string((r - 1) * m));
    }
}

struct RefusedMerge {
    std::string name;
    // the files to merge, from the three shards of kSweep and what the test makes of them
    std::function<std::vector<std::string>(const std::vector<std::string>& shards, const std::string& dir)> files;
    std::string message, file;  // a piece of the one line, and the file it names ("" for none)
};

void copyWith(const std::string& from, const std::string& to, const std::function<std::string(std::string)>& edit) {
    std::ofstream(to, std::ios::binary) << edit(slurp(from));
}

std::string withoutLastRow(std::string text) {
    text.pop_back();
    return text.substr(0, text.rfind('\n') + 1);
}

class SweepMergeRefused : public SweepShards, public ::testing::WithParamInterface<RefusedMerge> {};

TEST_P(SweepMergeRefused, WithOneLineNamingItAndNoFileWritten) {
    const std::vector<std::string> shards = {shard(1, 3), shard(2, 3), shard(3, 3)};
    const auto files = GetParam().files(shards, dir_.string());
    const RunResult r = merge(files);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(GetParam().message));
    if (!GetParam().file.empty()) {
        EXPECT_THAT(r.err, HasSubstr(path(GetParam().file)));
    }
    EXPECT_FALSE(fs::exists(path("merged.csv")));
}

INSTANTIATE_TEST_SUITE_P(
    EveryCase, SweepMergeRefused,
    ::testing::Values(
        RefusedMerge{"Missing", [](auto s, auto) { return std::vector{s[0], s[2]}; }, "shard 2/3 is missing", ""},
        RefusedMerge{"SameFileTwice", [](auto s, auto) { return std::vector{s[0], s[1], s[2], s[1]}; },
                     "is given twice", "shard-2-of-3.csv"},
        RefusedMerge{"SameShardTwice",
                     [](auto s, auto dir) {
                         copyWith(s[1], dir + "/copy.csv", [](std::string t) { return t; });
                         return std::vector{s[0], s[1], s[2], dir + "/copy.csv"};
                     },
                     "is shard 2/3 again", "copy.csv"},
        RefusedMerge{"OtherShardCount",
                     [](auto s, auto dir) {
                         const RunResult r = run(with(kSweep, {"--shard", "2/2", "--csv", dir + "/two.csv"}));
                         EXPECT_EQ(r.status, 0) << r.err;
                         return std::vector{s[0], dir + "/two.csv", s[2]};
                     },
                     "is shard 2/2, but", "two.csv"},
        RefusedMerge{"CutShort",
                     [](auto s, auto dir) {
                         copyWith(s[2], dir + "/short.csv", withoutLastRow);
                         return std::vector{s[0], s[1], dir + "/short.csv"};
                     },
                     "lacks run 5 (noise=100 seed 41): shard 3/3 was cut short", "short.csv"},
        RefusedMerge{"OtherSweepsFlags",
                     [](auto s, auto dir) {
                         auto longer = kSweep;
                         longer[9] = "9";  // --ticks
                         const RunResult r = run(with(longer, {"--shard", "2/3", "--csv", dir + "/foreign.csv"}));
                         EXPECT_EQ(r.status, 0) << r.err;
                         return std::vector{s[0], dir + "/foreign.csv", s[2]};
                     },
                     "is a run of another sweep", "foreign.csv"},
        RefusedMerge{"NotARunsTable",
                     [](auto s, auto dir) {
                         std::ofstream(dir + "/ticks.csv") << "tick,order_percent,order\n1,50,0.5\n";
                         return std::vector{s[0], s[1], s[2], dir + "/ticks.csv"};
                     },
                     "is not a table of this sweep's runs", "ticks.csv"},
        RefusedMerge{"RowEditedToAnotherSeed",
                     [](auto s, auto dir) {
                         copyWith(s[0], dir + "/edited.csv", [](std::string t) {
                             return t.replace(t.find("\n0,40,") + 1, 5, "0,47,");
                         });
                         return std::vector{dir + "/edited.csv", s[1], s[2]};
                     },
                     "line 2 does not match its checksum", "edited.csv"},
        RefusedMerge{"Unreadable", [](auto s, auto dir) { return std::vector{s[0], s[1], s[2], dir + "/none.csv"}; },
                     "cannot be read", "none.csv"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SweepShards, MergeNeedsTheSweepsFlags) {
    const std::vector<std::string> shards = {shard(1, 2), shard(2, 2)};
    // another swept flag: another header
    auto other = kSweep;
    other[1] = "radius=1:3:1";
    EXPECT_EQ(merge(shards, other).status, 2);
    // the same grid with other repeats: another sweep
    auto repeats = kSweep;
    repeats[3] = "1";
    const RunResult r = merge(shards, repeats);
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("another sweep"));
}

TEST_F(SweepShards, ResumeRunsExactlyTheRunsTheTableLacks) {
    const std::string whole = shard(1, 2);  // runs 0, 2, 4
    // the same shard stopped after its first run
    std::atomic<int> interrupted{0};
    int ran = 0;
    std::ostringstream out, err;
    const auto args = with(kSweep, {"--shard", "1/2", "--jobs", "1", "--csv", path("cut.csv")});
    EXPECT_EQ(runBatch(args, out, err, false, &interrupted, [&] {
        if (++ran == 1) interrupted = SIGINT;
    }), stoppedStatus(SIGINT));
    ASSERT_EQ(lines(slurp(path("cut.csv"))).size(), 2u);
    // resumed into the file it read: the two runs left, and the table of the uninterrupted shard
    ran = 0;
    const std::atomic<int> never{0};
    const auto resumed = with(kSweep, {"--shard", "1/2", "--resume-from", path("cut.csv"), "--csv", path("cut.csv")});
    EXPECT_EQ(runBatch(resumed, out, err, false, &never, [&] { ++ran; }), 0) << err.str();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(slurp(path("cut.csv")), slurp(whole));
    // a finished table leaves nothing to run
    ran = 0;
    EXPECT_EQ(runBatch(resumed, out, err, false, &never, [&] { ++ran; }), 0);
    EXPECT_EQ(ran, 0);
    // but a table of another shard is not this one's
    const RunResult r = run(with(kSweep, {"--shard", "2/2", "--resume-from", whole, "--csv", path("x.csv")}));
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("holds runs of shard 1/2, not 2/2"));
}

}  // namespace
}  // namespace nyajkor::batch
