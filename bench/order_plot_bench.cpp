// The live plot's cost per tick, against its budget of one millisecond.
//
// After every tick the window records the two statistics and refreshes the
// plot. Timed here on a full history (2000 ticks, so every curve has its
// longest list of points), on Qt's offscreen platform: the refresh while the
// plot is closed, while it is open, and while it is open together with the
// event loop's work that follows it (the chart's scene update and repaint).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineSeries>

#include "app/order_history.h"
#include "app/order_plot.h"

namespace nyajkor::app {
namespace {

// A history of a settling flock: ordering rises, neighbours wander.
OrderHistory fullHistory() {
    OrderHistory h;
    for (int t = 0; t < OrderHistory::kCapacity; ++t) h.record(t * 100 / OrderHistory::kCapacity, 8 + (t % 37) / 10.0);
    return h;
}

void nextTick(OrderHistory& h, int t) { h.record(40 + t % 50, 8 + (t % 37) / 10.0); }

void Closed(benchmark::State& state) {
    OrderHistory h = fullHistory();
    OrderPlot plot(nullptr);
    int t = 0;
    for (auto _ : state) {
        nextTick(h, ++t);
        plot.refresh(h);
    }
}

void Open(benchmark::State& state, bool paint) {
    OrderHistory h = fullHistory();
    OrderPlot plot(nullptr);
    plot.show();
    plot.refresh(h);
    QApplication::processEvents();
    int t = 0;
    for (auto _ : state) {
        nextTick(h, ++t);
        plot.refresh(h);
        if (paint) QApplication::processEvents();
    }
    const QLineSeries& curve = plot.orderCurve();
    if (curve.at(0).x() != double(h[0].tick) || curve.at(curve.count() - 1).x() != double(h.newest().tick))
        state.SkipWithError("the curve does not span the history");
}

BENCHMARK(Closed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Open, refresh, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Open, refreshAndPaint, true)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace nyajkor::app

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
