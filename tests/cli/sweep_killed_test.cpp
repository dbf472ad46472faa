// A sweep killed outright (SIGKILL, as the out-of-memory killer or a batch
// system's time limit would) keeps the runs that finished in its runs table:
// resumed from it, only the runs it lacks run again, and the files are
// those of the sweep never interrupted, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <chrono>
#include <thread>

#include "cli/batch.h"
#include "tests/cli/child_program.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::Each;
using ::testing::EndsWith;

// 42 runs of a few hundred ticks each: a few seconds on two jobs.
const std::vector<std::string> kSweep = {"--sweep", "noise=0:100:5", "--repeats", "2",  "--n",     "500",
                                         "--radius", "4",            "--warmup", "100", "--ticks", "300",
                                         "--seed",  "3",             "--jobs",   "2"};
constexpr std::size_t kRuns = 42;

class SweepKilled : public BatchFiles {
protected:
    // the rows of the runs table written so far, once it has some
    std::size_t rowsIn(const std::string& name) const {
        const auto rows = lines(slurp(path(name)));
        return rows.empty() ? 0 : rows.size() - 1;
    }
    std::vector<std::string> leftOver() const {
        std::vector<std::string> names;
        for (const std::string& name : entries())
            if (name.rfind(".nyajkor-", 0) == 0) names.push_back(name);
        return names;
    }
};

TEST_F(SweepKilled, ResumesFromTheRowsItLeftAndGivesTheSweepsFiles) {
    const auto files = [&](const std::string& name) {
        return with(kSweep, {"--csv", path(name + ".csv"), "--summary", path(name + "-summary.csv")});
    };
    {
        Program sweep(dir_, files("cut"));
        // killed once some runs are in its table, before the last
        while (rowsIn("cut.csv") < 3)
            if (sweep.ended()) FAIL() << "the sweep ended before it could be killed: " << sweep.wait().err;
            else std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sweep.signal(SIGKILL);
        EXPECT_EQ(sweep.wait().status, 128 + SIGKILL);
    }
    const std::string cut = slurp(path("cut.csv"));
    const std::size_t kept = rowsIn("cut.csv");
    ASSERT_LT(kept, kRuns) << "the sweep finished before it was killed";
    EXPECT_THAT(cut, EndsWith("\n"));  // whole rows only
    EXPECT_FALSE(fs::exists(path("cut-summary.csv")));
    EXPECT_FALSE(leftOver().empty()) << "a killed sweep leaves its temporary files";

    // resumed: the runs it lacks, and only those, run; what the dead one left is removed
    int ran = 0;
    const std::atomic<int> never{0};
    std::ostringstream out, err;
    const auto resumed = with(files("cut"), {"--resume-from", path("cut.csv")});
    ASSERT_EQ(runBatch(resumed, out, err, false, &never, [&] { ++ran; }), 0) << err.str();
    EXPECT_EQ(static_cast<std::size_t>(ran), kRuns - kept);
    EXPECT_TRUE(leftOver().empty()) << ::testing::PrintToString(leftOver());

    const RunResult whole = run(files("whole"));
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(slurp(path("cut.csv")), slurp(path("whole.csv")));
    EXPECT_EQ(slurp(path("cut-summary.csv")), slurp(path("whole-summary.csv")));
    EXPECT_EQ(out.str(), whole.out);
}

TEST_F(SweepKilled, TableIsAsItWasUntilTheFirstRunFinishes) {
    // killed at once: the old table is kept, as every output is until replaced whole
    std::ofstream(path("old.csv")) << "an earlier table\n";
    auto args = with(kSweep, {"--csv", path("old.csv")});
    *std::find(args.begin(), args.end(), "300") = "10000000";  // --ticks: runs that never end here
    {
        Program sweep(dir_, args);
        while (leftOver().empty())
            if (sweep.ended()) FAIL() << sweep.wait().err;
            else std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sweep.signal(SIGKILL);
        sweep.wait();
    }
    EXPECT_EQ(slurp(path("old.csv")), "an earlier table\n");
}

}  // namespace
}  // namespace nyajkor::batch
