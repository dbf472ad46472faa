#include "model/random.h"

#include <chrono>

namespace nyajkor {

namespace {

// The affine maps of 2^bit steps, bit = 0..63: s := mul * s + add.
struct Steps {
    std::uint32_t mul[64], add[64];
};

constexpr Steps powersOfTwoSteps() {
    Steps t{};
    std::uint32_t mul = Random::kMultiplier, add = Random::kIncrement;
    for (int bit = 0; bit < 64; ++bit) {
        t.mul[bit] = mul;
        t.add[bit] = add;
        add = add * mul + add;
        mul = mul * mul;
    }
    return t;
}

constexpr Steps kSteps = powersOfTwoSteps();

}  // namespace

void Random::jump(std::uint64_t k) {
    // k steps of s := a*s + c compose to s := A*s + C with A = a^k and
    // C = c*(a^(k-1) + ... + a + 1): the maps of k's bits composed (all
    // arithmetic mod 2^32).
    std::uint32_t accMul = 1, accAdd = 0;  // the identity map
    for (int bit = 0; k != 0; ++bit, k >>= 1) {
        if (k & 1u) {
            accMul = accMul * kSteps.mul[bit];
            accAdd = accAdd * kSteps.mul[bit] + kSteps.add[bit];
        }
    }
    s_ = accMul * s_ + accAdd;
}

std::uint32_t clockSeed() {
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks);
}

}  // namespace nyajkor
