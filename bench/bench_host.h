// A view host for benchmarks: the real rasteriser on a surface the size of
// the window's view, presenting nothing.
#pragma once

#include <benchmark/benchmark.h>

#include "render/view_host.h"
#include "surface/pixel_canvas.h"

namespace nyajkor {

class BenchHost : public ViewHost {
public:
    static constexpr int kViewWidth = 1100;  // the view's share of the 1221 x 758 window
    static constexpr int kViewHeight = 700;

    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override { benchmark::DoNotOptimize(canvas_.bits()); }

private:
    PixelCanvas canvas_{kViewWidth, kViewHeight};
};

}  // namespace nyajkor
