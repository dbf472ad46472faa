// Rounding as the whole program uses it: to the nearest integer, halves to
// the even neighbour (round(2.5) = 2, round(3.5) = 4).
#pragma once

#include <cmath>
#include <cstdint>

namespace nyajkor {

// The caller keeps v within the 32-bit range; nearbyint rounds in the
// default mode, which is to nearest with ties to even.
inline std::int32_t roundHalfEven(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }

}  // namespace nyajkor
