// The sweep plan's memory, counted by construction: every allocation of
// the program goes through the counting operator new below, so a plan that
// listed its runs or points would show it at once, whatever the time taken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "cli/batch.h"
#include "cli/sweep.h"

namespace {
std::atomic<std::size_t> allocatedBytes{0};
}

void* operator new(std::size_t size) {
    allocatedBytes += size;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace nyajkor::batch {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The largest grid allowed: 4501 x 101 points x 21 repeats, 9546621 runs.
const std::vector<std::string> kLargest = {"--sweep", "n=500:5000:1", "--sweep", "noise=0:100:1", "--repeats", "21",
                                           "--seed", "7"};

std::size_t bytesToPlan(const Options& o) {
    const std::size_t before = allocatedBytes;
    const SweepPlan plan(o);
    return allocatedBytes - before;
}

TEST(SweepPlanMemory, TenMillionRunsTakeNoMoreThanOne) {
    const Options largest = parseOptions(kLargest);
    const Options single = parseOptions({"--sweep", "n=500:500:1", "--sweep", "noise=0:0:1", "--seed", "7"});
    EXPECT_EQ(bytesToPlan(largest), bytesToPlan(single));
    EXPECT_LT(bytesToPlan(largest), 1024u);
}

TEST(SweepPlanMemory, RunsAreWorkedOutFromTheirNumber) {
    const SweepPlan plan(parseOptions(kLargest));
    ASSERT_EQ(plan.runs(), 9546621u);
    ASSERT_EQ(plan.points(), 4501u * 101u);
    EXPECT_THAT(plan.values(0), ElementsAre(500, 0));
    EXPECT_THAT(plan.values(100), ElementsAre(500, 100));
    EXPECT_THAT(plan.values(101), ElementsAre(501, 0));
    EXPECT_THAT(plan.values(plan.points() - 1), ElementsAre(5000, 100));
    const std::size_t last = plan.runs() - 1;
    EXPECT_EQ(plan.seedOf(last), 7u + 20u);
    const Settings o = plan.settingsOf(last);
    EXPECT_EQ(o.controls.egyedszam, 5000);
    EXPECT_EQ(o.controls.parameter, 100);
}

TEST(SweepPlanMemory, LargerGridsAreRefusedWithTheirCount) {
    auto args = kLargest;
    args[5] = "22";
    try {
        parseOptions(args);
        FAIL() << "a grid of 10001222 runs was accepted";
    } catch (const UsageError& e) {
        EXPECT_THAT(e.what(), HasSubstr("4501 values x 101 values x 22 repeats make 10001222 runs"));
    }
}

std::size_t bytesToRun(const std::vector<std::string>& args, int expectedStatus) {
    std::ostringstream out, err;
    const std::size_t before = allocatedBytes;
    EXPECT_EQ(runBatch(args, out, err), expectedStatus) << err.str();
    return allocatedBytes - before;
}

// What the results of every run of the largest grid would take.
const std::size_t kEveryRunsResults = 9546621 * sizeof(std::optional<RunStatistics>);

std::vector<std::string> largest(const std::vector<std::string>& more) {
    auto args = kLargest;
    for (const char* a : {"--ticks", "1", "--radius", "0", "--jobs", "1"}) args.push_back(a);
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(SweepMemory, AShardHoldsTheResultsOfItsOwnRunsOnly) {
    const std::string folder =
        std::filesystem::temp_directory_path() / ("nyajkor-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    // one run of the 9.5 million (its flock, about 2 MB, and the files' buffers), then a shard
    // with none, whose table is its header alone
    const std::size_t oneRun = 16 << 20;
    ASSERT_LT(oneRun, kEveryRunsResults / 32);
    EXPECT_LT(bytesToRun(largest({"--shard", "1/10000000", "--csv", folder + "/one.csv"}), 0), oneRun);
    EXPECT_LT(bytesToRun(largest({"--shard", "10000000/10000000", "--csv", folder + "/none.csv"}), 0), oneRun);
    // merging what holds no run is refused before the memory for every run is taken
    EXPECT_LT(bytesToRun(largest({"--merge", folder + "/none.csv"}), 2), oneRun);
    // nor does a file without a newline take more than a line's worth
    { std::ofstream(folder + "/long") << std::string(64 << 20, '7'); }
    EXPECT_LT(bytesToRun(largest({"--merge", folder + "/long"}), 2), 1u << 20);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nyajkor::batch
