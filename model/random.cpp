#include "model/random.h"

#include <chrono>

namespace nyajkor {

void Random::jump(std::uint64_t k) {
    // k steps of s := a*s + c compose to s := A*s + C with A = a^k and
    // C = c*(a^(k-1) + ... + a + 1). Square-and-multiply over the bits of k,
    // composing affine maps (all arithmetic mod 2^32).
    std::uint32_t accMul = 1, accAdd = 0;           // the identity map
    std::uint32_t stepMul = kMultiplier, stepAdd = kIncrement;  // 2^bit steps
    while (k != 0) {
        if (k & 1u) {
            accMul = accMul * stepMul;
            accAdd = accAdd * stepMul + stepAdd;
        }
        stepAdd = stepAdd * stepMul + stepAdd;
        stepMul = stepMul * stepMul;
        k >>= 1;
    }
    s_ = accMul * s_ + accAdd;
}

std::uint32_t clockSeed() {
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks);
}

}  // namespace nyajkor
