// The view's colours.
#pragma once

#include <cstdint>

namespace nyajkor {

// Colours are 0x00BBGGRR, red in the low byte.
using Color = std::uint32_t;
constexpr Color clBlack = 0x000000;
constexpr Color clWhite = 0xFFFFFF;
constexpr Color clRed = 0x0000FF;
constexpr Color clGreen = 0x008000;
constexpr Color clBlue = 0xFF0000;
constexpr Color clNone = 0x1FFFFFFF;

}  // namespace nyajkor
