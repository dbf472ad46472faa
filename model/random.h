// The one pseudo-random generator of the simulation.
//
// A 32-bit linear congruential generator, s := s * 134775813 + 1 (mod 2^32),
// advanced before every draw. Seeding, predator placement and the velocity
// update all draw from one instance in program order, so a seed fixes a run.
// jump() moves the state ahead by any number of steps in O(log k); it lets a
// worker start exactly where a sequential run would be.
#pragma once

#include <cstdint>

namespace nyajkor {

class Random {
public:
    static constexpr std::uint32_t kMultiplier = 134775813u;
    static constexpr std::uint32_t kIncrement = 1u;

    explicit Random(std::uint32_t seed = 0) : s_(seed) {}

    void seed(std::uint32_t s) { s_ = s; }
    std::uint32_t state() const { return s_; }

    // Advances the state once and returns a real in [0, 1): s / 2^32.
    double real() {
        advance();
        return static_cast<double>(s_) / 4294967296.0;
    }

    // Advances the state once and returns an integer in 0..n-1: the high
    // 32 bits of the 64-bit product s * n.
    std::int32_t integer(std::int32_t n) {
        advance();
        return static_cast<std::int32_t>((static_cast<std::uint64_t>(s_) *
                                          static_cast<std::uint32_t>(n)) >> 32);
    }

    // Moves the state ahead by k steps, as k calls of real() would.
    void jump(std::uint64_t k);

private:
    void advance() { s_ = s_ * kMultiplier + kIncrement; }

    std::uint32_t s_;
};

// A seed from the high-resolution clock: its low 32 bits, as the window uses
// at every Start and restart.
std::uint32_t clockSeed();

}  // namespace nyajkor
