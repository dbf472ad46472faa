// The portable build of the lane kernel, and the choice among the builds.
#include "model/lane_search.h"

#include "model/invariants.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/lane_types.h"
#include "model/rounding.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace nyajkor {

#if defined(__x86_64__)
void searchLanesAvx2(const LaneSource& s, const std::int32_t* members, int count, Neighbours* out);
void searchLanesAvx512(const LaneSource& s, const std::int32_t* members, int count, Neighbours* out);
#endif

namespace {

// two doubles: what SSE2, which every x86-64 processor has, holds at once
constexpr int kPortableLanes = 2;

using lanes::LaneTypes;
using PortableReal = LaneTypes<kPortableLanes>::Real;

using PortableMask = LaneTypes<kPortableLanes>::Mask;

#if defined(__x86_64__)
unsigned lanesAtMost(PortableReal a, PortableReal b) {
    return static_cast<unsigned>(_mm_movemask_pd(_mm_cmple_pd(__m128d(a), __m128d(b))));
}
unsigned laneBits(PortableMask m) { return static_cast<unsigned>(_mm_movemask_pd(_mm_castsi128_pd(__m128i(m)))); }
#else
unsigned lanesAtMost(PortableReal a, PortableReal b) {
    unsigned bits = 0;
    for (int l = 0; l < kPortableLanes; ++l) bits |= unsigned{a[l] <= b[l]} << l;
    return bits;
}
unsigned laneBits(PortableMask m) {
    unsigned bits = 0;
    for (int l = 0; l < kPortableLanes; ++l) bits |= unsigned{m[l] != 0} << l;
    return bits;
}
#endif

// Two roundings: the quick test that uses it allows for either.
PortableReal mulAdd(PortableReal a, PortableReal b, PortableReal c) { return a * b + c; }

}  // namespace

#include "model/lane_kernel.h"

bool lanePathAvailable(LanePath path) {
    switch (path) {
        case LanePath::portable: return true;
#if defined(__x86_64__)
        case LanePath::avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case LanePath::avx512: return __builtin_cpu_supports("avx512f");
#else
        default: return false;
#endif
    }
    return false;
}

LanePath fastestLanePath() {
    static const LanePath fastest = lanePathAvailable(LanePath::avx512) ? LanePath::avx512
                                    : lanePathAvailable(LanePath::avx2) ? LanePath::avx2
                                                                        : LanePath::portable;
    return fastest;
}

int laneCount(LanePath path) {
    switch (path) {
        case LanePath::avx512: return 8;
        case LanePath::avx2: return 4;
        default: return kPortableLanes;
    }
}

void searchLanes([[maybe_unused]] LanePath path, const LaneSource& s, const std::int32_t* members, int count,
                 Neighbours* out) {
    // the walk indexes the columns and the radius tables with these
    NYAJKOR_INVARIANT(s.r >= 0 && s.r <= kLargestRadius);
    for (int m = 0; m < count; ++m)
        NYAJKOR_INVARIANT(roundsIntoLattice(s.x[members[m]], s.xmeret) &&
                          roundsIntoLattice(s.y[members[m]], s.xmeret) && roundsIntoLattice(s.z[members[m]], kRacsZ));
#if defined(__x86_64__)
    if (path == LanePath::avx512) return searchLanesAvx512(s, members, count, out);
    if (path == LanePath::avx2) return searchLanesAvx2(s, members, count, out);
#endif
    searchLaneGroup<kPortableLanes>(s, members, count, out);
}

}  // namespace nyajkor
