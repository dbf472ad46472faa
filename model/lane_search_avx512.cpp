// The lane kernel built for AVX-512: eight individuals at once. Only the
// code after the target line uses AVX-512, so nothing shared with the rest
// of the program (inline functions of the headers) is built for it.
#include <immintrin.h>

#include "model/lane_search.h"
#include "model/lane_types.h"
#include "model/rounding.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC target("avx512f")
#endif

namespace nyajkor {

namespace {

using lanes::LaneTypes;

unsigned lanesAtMost(LaneTypes<8>::Real a, LaneTypes<8>::Real b) {
    return _mm512_cmp_pd_mask(__m512d(a), __m512d(b), _CMP_LE_OQ);
}

unsigned laneBits(LaneTypes<8>::Mask m) { return _mm512_test_epi64_mask(__m512i(m), __m512i(m)); }

LaneTypes<8>::Real mulAdd(LaneTypes<8>::Real a, LaneTypes<8>::Real b, LaneTypes<8>::Real c) {
    return LaneTypes<8>::Real(_mm512_fmadd_pd(__m512d(a), __m512d(b), __m512d(c)));
}

}  // namespace

#include "model/lane_kernel.h"

void searchLanesAvx512(const LaneSource& s, const std::int32_t* members, int count, Neighbours* out) {
    searchLaneGroup<8>(s, members, count, out);
}

}  // namespace nyajkor

#if defined(__clang__)
#pragma clang attribute pop
#endif
