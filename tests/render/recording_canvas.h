// A canvas and a view host that draw nothing but record, in one timeline,
// every primitive with the pen and brush in force at that moment, and the
// host's window pinning and presents. Composition tests read the timeline.
#pragma once

#include <vector>

#include "render/view_host.h"
#include "render/canvas.h"

namespace nyajkor::testing {

enum class Op { HoldWindow, FillRect, Ellipse, MoveTo, LineTo, Release, Flip };

struct Call {
    Op op;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Canvas::PenState pen;
    Canvas::BrushState brush;
};

class RecordingCanvas : public Canvas {
public:
    std::vector<Call> calls;

    void FillRect(int x1, int y1, int x2, int y2) override { record(Op::FillRect, x1, y1, x2, y2); }
    void Ellipse(int x1, int y1, int x2, int y2) override { record(Op::Ellipse, x1, y1, x2, y2); }
    void MoveTo(int x, int y) override { record(Op::MoveTo, x, y); }
    void LineTo(int x, int y) override { record(Op::LineTo, x, y); }
    void Release() override { record(Op::Release); }

    void record(Op op, int x1 = 0, int y1 = 0, int x2 = 0, int y2 = 0) {
        calls.push_back({op, x1, y1, x2, y2, Pen, Brush});
    }

    std::vector<Call> only(Op op) const {
        std::vector<Call> picked;
        for (const Call& c : calls) {
            if (c.op == op) picked.push_back(c);
        }
        return picked;
    }
};

class RecordingHost : public ViewHost {
public:
    RecordingHost(int width, int height, RecordingCanvas* canvas)
        : width_(width), height_(height), canvas_(canvas) {}

    void holdWindow() override { log(Op::HoldWindow); }
    int width() const override { return width_; }
    int height() const override { return height_; }
    Canvas* canvas() override { return canvas_; }
    void flip() override { log(Op::Flip); }

    int holds = 0;
    int presents = 0;

private:
    void log(Op op) {
        ++(op == Op::Flip ? presents : holds);
        if (canvas_) canvas_->record(op);
    }

    int width_, height_;
    RecordingCanvas* canvas_;
};

}  // namespace nyajkor::testing
