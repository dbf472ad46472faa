#include "model/cpus.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nyajkor {
namespace {

TEST(Cpus, QuotaIsRoundedUpAndAnythingElseIsNoQuota) {
    struct Case {
        const char* cpuMax;
        std::optional<int> cpus;
    };
    const Case cases[] = {
        {"max 100000", std::nullopt}, {"100000 100000", 1},   {"150000 100000", 2}, {"50000 100000", 1},
        {"800000 100000", 8},         {"1 1000000", 1},       {"", std::nullopt},   {"100000", std::nullopt},
        {"-1 100000", std::nullopt},  {"100000 0", std::nullopt}, {"12x 100000", std::nullopt},
        {"99999999999999999999 1", std::nullopt}, {"9223372036854775807 1", 2147483647},
    };
    for (const Case& c : cases) EXPECT_EQ(cpusOfQuota(c.cpuMax), c.cpus) << "'" << c.cpuMax << "'";
}

// A process held to one CPU, as a batch system's one-CPU slot holds it,
// counts one, whatever the machine has (the shared pool takes its parts
// from this count).
TEST(Cpus, AnAffinityMaskOfOneCpuGivesOnePart) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cpu_set_t mask;
        CPU_ZERO(&mask);
        if (sched_getaffinity(0, sizeof mask, &mask) != 0) _exit(10);
        int first = 0;
        while (!CPU_ISSET(first, &mask)) ++first;
        CPU_ZERO(&mask);
        CPU_SET(first, &mask);
        if (sched_setaffinity(0, sizeof mask, &mask) != 0) _exit(11);
        _exit(usableCpus() == 1 ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no mask, 11: not set, 12: counted more";
}

}  // namespace
}  // namespace nyajkor
