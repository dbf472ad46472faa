#include "render/cube.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "recording_canvas.h"
#include "render_fixture.h"

namespace nyajkor::testing {
namespace {

class Cube : public RenderTest {
protected:
    RecordingCanvas canvas;

    struct Step {
        Op op;
        int x, y;
        bool operator==(const Step&) const = default;
    };

    std::vector<Step> path() const {
        std::vector<Step> steps;
        for (const Call& c : canvas.calls) steps.push_back({c.op, c.x1, c.y1});
        return steps;
    }
};

TEST_F(Cube, FrontViewOutlinesTheBoxFaceByFaceThenTheUprights) {
    // screen centre (300, 350); zoom 1.5 from Start; no rotation
    canvas.Pen = {clRed, PenStyle::psDot, 1};
    kockarajzolo(f, in, v, canvas);

    const int cx = 300, cy = 350;
    auto at = [&](Op op, int kepx, int kepy) { return Step{op, cx + kepx, cy + kepy}; };
    const std::vector<Step> expected = {
        at(Op::MoveTo, 440, -315), at(Op::LineTo, 187, -134), at(Op::LineTo, -187, -134),
        at(Op::LineTo, -440, -315), at(Op::LineTo, 440, -315),
        at(Op::MoveTo, 440, 315), at(Op::LineTo, 187, 134), at(Op::LineTo, -187, 134),
        at(Op::LineTo, -440, 315), at(Op::LineTo, 440, 315),
        at(Op::MoveTo, 440, -315), at(Op::LineTo, 440, 315),
        at(Op::MoveTo, 187, -134), at(Op::LineTo, 187, 134),
        at(Op::MoveTo, -187, -134), at(Op::LineTo, -187, 134),
        at(Op::MoveTo, -440, -315), at(Op::LineTo, -440, 315),
    };
    EXPECT_EQ(path(), expected);

    // solid, in the colour the caller chose
    for (const Call& c : canvas.calls) {
        EXPECT_EQ(c.pen.style, PenStyle::psSolid);
        EXPECT_EQ(c.pen.color, clRed);
    }
}

TEST_F(Cube, TheEyeShiftsTheOutlineSideways) {
    v.szemx = 20;
    kockarajzolo(f, in, v, canvas);
    // C3 at depth -262.5 (zoomed): (-262.5 - 20) * 650 / 912.5 + 20 = -181.2
    EXPECT_EQ(canvas.calls[2].x1, 300 - 181);
    EXPECT_EQ(canvas.calls[2].y1, 350 - 134);
}

TEST_F(Cube, EdgesWithACornerBehindTheEyeAreLeftOut) {
    // At zoom 2.5, Xalfa 36, Zbeta 39 the corner C1 (+175, +175, -125) comes
    // to zoomed depth 693, behind the eye at 650; its three edges go.
    v.nagyitasszorzo = 2.5;
    in.Xalfa = 36;
    in.Zbeta = 39;
    kockarajzolo(f, in, v, canvas);

    std::vector<Op> ops;
    for (const Call& c : canvas.calls) {
        ops.push_back(c.op);
        EXPECT_LT(std::abs(c.x1), 5000);
        EXPECT_LT(std::abs(c.y1), 5000);
    }
    using enum Op;
    const std::vector<Op> expected = {
        MoveTo, LineTo, LineTo,                  // C2-C3-C4
        MoveTo, LineTo, LineTo, LineTo, LineTo,  // the whole far face
        MoveTo, LineTo, MoveTo, LineTo, MoveTo, LineTo,  // uprights at C2, C3, C4
    };
    EXPECT_EQ(ops, expected);
}

}  // namespace
}  // namespace nyajkor::testing
