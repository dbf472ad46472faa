// What the window's timer does every 40 ms, for the benchmarks of the web
// edition: one tick and one frame of the view into the rasteriser, then the
// frame's pixels as the RGBA bytes a browser's canvas takes. The same source
// is timed natively (bench/web/native_bench.cpp) and in a browser
// (bench/web/page_bench.cpp), from the same checkpoint.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/flock.h"
#include "render/view.h"
#include "render/view_host.h"
#include "surface/pixel_canvas.h"

namespace nyajkor::bench {

class TickAndDraw : private ViewHost {
public:
    // The page's view: the window's view control, the runner's default picture.
    static constexpr int kWidth = 599, kHeight = 698;

    // Starts from a checkpoint's bytes; throws CheckpointError for others.
    explicit TickAndDraw(const std::string& checkpoint);

    // `count` ticks, each with its frame and its RGBA bytes.
    void run(int count);

    const std::uint8_t* rgba() const { return rgba_.data(); }
    double order() const { return flock_->rendparameter; }
    double meanNeighbours() const { return flock_->atlagszomszed; }

private:
    int width() const override { return canvas_.width(); }
    int height() const override { return canvas_.height(); }
    Canvas* canvas() override { return &canvas_; }
    void flip() override;

    std::unique_ptr<Flock> flock_ = std::make_unique<Flock>();
    Inputs inputs_;
    View view_;
    PixelCanvas canvas_{kWidth, kHeight};
    std::vector<std::uint8_t> rgba_ = std::vector<std::uint8_t>(std::size_t{4} * kWidth * kHeight);
};

}  // namespace nyajkor::bench
