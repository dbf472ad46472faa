#include "model/cpus.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <fstream>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

namespace nyajkor {

namespace {

std::optional<long long> wholeNumber(const std::string& text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, v);
    if (error != std::errc{} || at != end) return std::nullopt;
    return v;
}

#if defined(__linux__)
// At most this many bytes of a control file are read: a cpu.max line is
// two numbers, a /proc/self/cgroup line one path.
constexpr std::streamsize kLongestLine = 4096;

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    char line[kLongestLine] = {};
    file.getline(line, kLongestLine);
    return line;
}
#endif

int machineCpus() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

int affinityCpus() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
#endif
    return machineCpus();
}

// The smallest quota of this process's control group and the groups above
// it (cgroup v2: each level may cap its children).
std::optional<int> quotaCpus() {
#if defined(__linux__)
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    std::optional<int> least;
    while (std::getline(groups, line)) {
        if (line.rfind("0::", 0) != 0) continue;  // the unified hierarchy's line
        std::string dir = line.substr(3);
        for (;;) {
            if (const auto cpus = cpusOfQuota(firstLine("/sys/fs/cgroup" + dir + "/cpu.max")))
                least = std::min(least.value_or(INT_MAX), *cpus);
            if (dir.empty() || dir == "/") break;
            dir.erase(dir.rfind('/'));
        }
    }
    return least;
#else
    return std::nullopt;
#endif
}

}  // namespace

std::optional<int> cpusOfQuota(const std::string& cpuMax) {
    const auto space = cpuMax.find(' ');
    if (space == std::string::npos) return std::nullopt;
    const auto quota = wholeNumber(cpuMax.substr(0, space));
    const auto period = wholeNumber(cpuMax.substr(space + 1));
    if (!quota || !period || *quota <= 0 || *period <= 0) return std::nullopt;
    const long long cpus = *quota / *period + (*quota % *period != 0);
    return static_cast<int>(std::clamp<long long>(cpus, 1, INT_MAX));
}

int usableCpus() {
    if (!kThreadsAvailable) return 1;
    int cpus = affinityCpus();
    if (const auto quota = quotaCpus()) cpus = std::min(cpus, *quota);
    return std::max(cpus, 1);
}

}  // namespace nyajkor
