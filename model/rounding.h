// Rounding as the whole program uses it: to the nearest integer, halves to
// the even neighbour (round(2.5) = 2, round(3.5) = 4).
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nyajkor {

// The caller keeps v within the 32-bit range. Both ways round in the
// default mode, which is to nearest with ties to even; the conversion
// instruction does it in one step, where nearbyint is a library call.
#if defined(__SSE2__)
inline std::int32_t roundHalfEven(double v) { return _mm_cvtsd_si32(_mm_set_sd(v)); }
#else
inline std::int32_t roundHalfEven(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }
#endif

}  // namespace nyajkor
