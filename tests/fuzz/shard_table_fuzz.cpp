// Runs tables as --merge and --resume-from read them, for a small sweep of
// two noise values and two repeats: the table of a finished shard mutated.
#include "cli/batch_options.h"
#include "cli/sweep.h"
#include "cli/sweep_tables.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nyajkor::batch;
    static const SweepPlan plan(
        parseOptions({"--sweep", "noise=0:10:10", "--repeats", "2", "--seed", "1", "--ticks", "5"}));
    const std::string path = nyajkor::fuzz::inputFile(data, size, "runs.csv");
    nyajkor::fuzz::refusalIsFine([&] { readRuns(path, plan); });
    nyajkor::fuzz::refusalIsFine([&] { mergeShards(plan, {path}); });
    return 0;
}
