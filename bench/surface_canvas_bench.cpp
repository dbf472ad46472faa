// Cost of the rasteriser's primitives as the view uses them: the marks of a
// frame of 5000 individuals, the predator and centre marks, the cube's lines
// and the clearing fill, on a canvas of the view's size. The reference is the
// least any mark can cost: storing its four pixels directly.
#include <benchmark/benchmark.h>

#include <vector>

#include "surface/pixel_canvas.h"

namespace {

using nyajkor::PenStyle;
using nyajkor::PixelCanvas;

constexpr int kWidth = 599, kHeight = 698, kMarks = 5000;

// Mark positions spread over the canvas, a few of them across its edges.
std::vector<std::pair<int, int>> positions() {
    std::vector<std::pair<int, int>> p;
    std::uint32_t s = 12345;
    for (int i = 0; i < kMarks; ++i) {
        s = s * 134775813u + 1;
        const int x = static_cast<int>((s >> 8) % (kWidth + 8)) - 4;
        s = s * 134775813u + 1;
        const int y = static_cast<int>((s >> 8) % (kHeight + 8)) - 4;
        p.emplace_back(x, y);
    }
    return p;
}

void referenceFourPixels(benchmark::State& state) {
    PixelCanvas c(kWidth, kHeight);
    std::vector<PixelCanvas::Pixel> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    const auto where = positions();
    for (auto _ : state) {
        for (auto [x, y] : where) {
            if (x < 1 || y < 1 || x >= kWidth - 1 || y >= kHeight - 1) continue;
            PixelCanvas::Pixel* p = pixels.data() + static_cast<std::size_t>(y) * kWidth + x;
            p[-kWidth] = p[-1] = p[1] = p[kWidth] = 0xFF0000FFu;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * kMarks);
}

void marks(benchmark::State& state, PenStyle style, nyajkor::Color brush, int x1, int y1, int x2, int y2) {
    PixelCanvas c(kWidth, kHeight);
    c.Pen.style = style;
    c.Pen.color = nyajkor::clBlue;
    c.Brush.color = brush;
    const auto where = positions();
    for (auto _ : state) {
        for (auto [x, y] : where) c.Ellipse(x + x1, y + y1, x + x2, y + y2);
        benchmark::DoNotOptimize(c.bits());
    }
    state.SetItemsProcessed(state.iterations() * kMarks);
}

void individualMarks(benchmark::State& state) {
    marks(state, PenStyle::psDot, nyajkor::clNone, -2, -1, 1, 2);
}
void predatorMarks(benchmark::State& state) {
    marks(state, PenStyle::psSolid, nyajkor::clRed, -2, -2, 3, 3);
}
void centreMarks(benchmark::State& state) {
    marks(state, PenStyle::psSolid, nyajkor::clGreen, -4, -4, 4, 4);
}

void clearFrame(benchmark::State& state) {
    PixelCanvas c(kWidth, kHeight);
    c.Brush.color = nyajkor::clWhite;
    for (auto _ : state) {
        c.FillRect(0, 0, kWidth, kHeight);
        benchmark::DoNotOptimize(c.bits());
    }
}

void cubeLines(benchmark::State& state) {
    PixelCanvas c(kWidth, kHeight);
    c.Pen.color = nyajkor::clRed;
    for (auto _ : state) {
        c.MoveTo(-300, 20);
        c.LineTo(900, 680);
        c.LineTo(30, 600);
        c.LineTo(560, -4000);
        c.LineTo(-300, 20);
        benchmark::DoNotOptimize(c.bits());
    }
    state.SetItemsProcessed(state.iterations() * 4);
}

BENCHMARK(referenceFourPixels);
BENCHMARK(individualMarks);
BENCHMARK(predatorMarks);
BENCHMARK(centreMarks);
BENCHMARK(clearFrame);
BENCHMARK(cubeLines);

}  // namespace

BENCHMARK_MAIN();
