// Reinterpreting the bits of one trivially copyable value as another type.
//
// std::bit_cast where the standard library has it; older libraries (the
// WebAssembly toolchain's libc++ among them) lack it, and there the
// compiler's own builtin, which std::bit_cast is made of, does the same.
#pragma once

#include <bit>

namespace nyajkor {

template <typename To, typename From>
constexpr To bitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "bitCast keeps the size");
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    return __builtin_bit_cast(To, from);
#endif
}

}  // namespace nyajkor
