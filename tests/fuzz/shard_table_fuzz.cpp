// Runs tables as --merge and --resume-from read them, for a small sweep of
// two noise values and two repeats. Every row's checksum (FNV-1a 64 of the
// row up to its last field, in hexadecimal) is made to match first, as
// anyone can make it, so that the checks of the cells are what is tried.
#include <cstdio>
#include <string>

#include "cli/batch_options.h"
#include "model/fnv1a.h"
#include "cli/sweep.h"
#include "study/sweep_tables.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

std::string withMatchingChecksums(const std::string& table) {
    std::string out;
    std::size_t begin = 0;
    while (begin < table.size()) {
        std::size_t end = table.find('\n', begin);
        if (end == std::string::npos) end = table.size();
        std::string line = table.substr(begin, end - begin);
        const bool crlf = !line.empty() && line.back() == '\r';
        if (crlf) line.pop_back();
        const std::size_t last = line.rfind(',');
        if (last != std::string::npos && begin > 0) {
            char hex[17];
            const auto h = nyajkor::fnv1a(std::string_view(line).substr(0, last + 1));
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
            line = line.substr(0, last + 1) + hex;
        }
        out += line + (crlf ? "\r" : "") + (end < table.size() ? "\n" : "");
        begin = end + 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace nyajkor::batch;
    static const SweepPlan plan(
        parseOptions({"--sweep", "noise=0:10:10", "--repeats", "2", "--seed", "1", "--ticks", "5"}));
    const std::string table = withMatchingChecksums(std::string(reinterpret_cast<const char*>(data), size));
    const std::string path = nyajkor::fuzz::inputFile(reinterpret_cast<const std::uint8_t*>(table.data()),
                                                      table.size(), "runs.csv");
    nyajkor::fuzz::refusalIsFine([&] { readRuns(path, plan); });
    nyajkor::fuzz::refusalIsFine([&] { mergeShards(plan, {path}); });
    return 0;
}
