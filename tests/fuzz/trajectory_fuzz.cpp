// Trajectories, plain or gzip-compressed as their first bytes say, read
// frame by frame to the end or to the first refusal.
#include "record/trajectory.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool gzip = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
    const std::string path = nyajkor::fuzz::inputFile(data, size, gzip ? "input.xyz.gz" : "input.xyz");
    nyajkor::fuzz::refusalIsFine([&] {
        nyajkor::TrajectoryReader reader(path);
        nyajkor::TrajectoryFrame frame;
        while (reader.next(frame)) {
        }
    });
    return 0;
}
