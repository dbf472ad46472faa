// The lane kernel built for AVX2 (with FMA): four individuals at once. Only the code
// after the target line uses AVX2, so nothing shared with the rest of the
// program (inline functions of the headers) is built for it.
#include <immintrin.h>

#include "model/lane_search.h"
#include "model/lane_types.h"
#include "model/rounding.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC target("avx2,fma")
#endif

namespace nyajkor {

namespace {

using lanes::LaneTypes;

unsigned lanesAtMost(LaneTypes<4>::Real a, LaneTypes<4>::Real b) {
    return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(__m256d(a), __m256d(b), _CMP_LE_OQ)));
}

unsigned laneBits(LaneTypes<4>::Mask m) { return static_cast<unsigned>(_mm256_movemask_pd(__m256d(m))); }

LaneTypes<4>::Real mulAdd(LaneTypes<4>::Real a, LaneTypes<4>::Real b, LaneTypes<4>::Real c) {
    return LaneTypes<4>::Real(_mm256_fmadd_pd(__m256d(a), __m256d(b), __m256d(c)));
}

}  // namespace

#include "model/lane_kernel.h"

void searchLanesAvx2(const LaneSource& s, const std::int32_t* members, int count, Neighbours* out) {
    searchLaneGroup<4>(s, members, count, out);
}

}  // namespace nyajkor

#if defined(__clang__)
#pragma clang attribute pop
#endif
