#include "bench/web/tick_and_draw.h"

#include "model/checkpoint.h"
#include "model/simulation.h"
#include "render/frame.h"

namespace nyajkor::bench {

TickAndDraw::TickAndDraw(const std::string& checkpoint) {
    ViewSettings settings;
    TickCount ticks = 0;
    restoreCheckpoint(checkpoint, *flock_, settings, inputs_, ticks);
    setBoxConstants(*flock_);
    setViewDefaults(view_);
    applyViewSettings(view_, settings);
}

void TickAndDraw::run(int count) {
    for (int t = 0; t < count; ++t) {
        tick(*flock_, inputs_);
        rajzolasvezerlo(*flock_, inputs_, view_, *this);
    }
}

// The rasteriser's 0xAARRGGBB words as a canvas's R, G, B, A bytes.
void TickAndDraw::flip() {
    const PixelCanvas::Pixel* pixels = canvas_.bits();
    std::uint8_t* out = rgba_.data();
    for (std::size_t i = 0, n = std::size_t{1} * kWidth * kHeight; i < n; ++i, out += 4) {
        const PixelCanvas::Pixel p = pixels[i];
        out[0] = static_cast<std::uint8_t>(p >> 16);
        out[1] = static_cast<std::uint8_t>(p >> 8);
        out[2] = static_cast<std::uint8_t>(p);
        out[3] = static_cast<std::uint8_t>(p >> 24);
    }
}

}  // namespace nyajkor::bench
