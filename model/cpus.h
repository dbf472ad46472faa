// How many CPUs this process may use.
//
// Not the machine's count: a batch system gives a job a slot of a node (an
// affinity mask, `taskset -c 1`), a container a share of it (a control
// group's CPU quota), and threads beyond that only take turns on the same
// CPUs, which costs the pool's watching threads dearly. The count is the
// smaller of the CPUs in the affinity mask and the quota rounded up, at
// least 1; where neither can be read, the machine's count.
#pragma once

#include <optional>
#include <string>

namespace nyajkor {

// Whether this build can start threads at all. WebAssembly without shared
// memory (the web edition, served from any host) cannot: there every job
// runs on the caller, one after another, with the same results.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
inline constexpr bool kThreadsAvailable = false;
#else
inline constexpr bool kThreadsAvailable = true;
#endif

// 1 where no threads can be started.
int usableCpus();

// The CPUs a control group's cpu.max allows ("max 100000" none, "150000
// 100000" two: a quota is rounded up), or nothing when the text is no quota.
std::optional<int> cpusOfQuota(const std::string& cpuMax);

}  // namespace nyajkor
