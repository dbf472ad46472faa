#include "render/frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "recording_canvas.h"
#include "render_fixture.h"

namespace nyajkor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// An ellipse as drawn: its box and the pen and brush it was drawn with.
struct Mark {
    int x1, y1, x2, y2;
    PenStyle style;
    Color pen, brush;
    bool operator==(const Mark&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Mark& m) {
    return os << "(" << m.x1 << "," << m.y1 << "," << m.x2 << "," << m.y2 << " "
              << (m.style == PenStyle::psDot ? "dot" : "solid") << " pen " << std::hex << m.pen
              << " brush " << m.brush << std::dec << ")";
}

constexpr PenStyle kDot = PenStyle::psDot;
constexpr PenStyle kSolid = PenStyle::psSolid;
constexpr int kWidth = 600, kHeight = 700;  // screen centre (300, 350)

class Frame : public RenderTest {
protected:
    RecordingCanvas canvas;
    RecordingHost host{kWidth, kHeight, &canvas};

    // Front view (no rotation), zoom 1.5. Individual i sits 10 i units right
    // of the box centre; their depths make the order 2, 4, 1, 3. The centre
    // (depth 5) ranks 3, predator 1 (behind all) 1, predator 2 (in front of
    // all, and lower) N = 4.
    void SetUp() override {
        RenderTest::SetUp();
        placeIndividuals({{185, 185, 125}, {195, 165, 125}, {205, 195, 125}, {215, 175, 125}});
        in.kozepenvonzo = true;
        f.vonzox = 175;
        f.vonzoy = 180;
        f.vonzoz = 125;
        placePredators({{175, 100, 125}, {175, 300, 135}});
    }

    std::vector<Mark> marks() const {
        std::vector<Mark> drawn;
        for (const Call& c : canvas.only(Op::Ellipse)) {
            drawn.push_back({c.x1, c.y1, c.x2, c.y2, c.pen.style, c.pen.color, c.brush.color});
        }
        return drawn;
    }

    std::vector<Op> ops() const {
        std::vector<Op> all;
        for (const Call& c : canvas.calls) all.push_back(c.op);
        return all;
    }

    // The marks of individuals in the normal view around screen x = 300 + dx.
    static Mark individual(int dx) { return {298 + dx, 349, 301 + dx, 352, kDot, clBlue, clNone}; }
};

// --- the controller and the clearing ------------------------------------------

TEST_F(Frame, ControllerPinsClearsDrawsReleasesAndPresentsInThatOrder) {
    RecordingHost oddHost{601, 701, &canvas};
    v.kepkozepx = v.kepkozepy = 0;
    rajzolasvezerlo(f, in, v, oddHost);

    ASSERT_GE(canvas.calls.size(), 4u);
    EXPECT_EQ(canvas.calls.front().op, Op::HoldWindow);
    const Call& clear = canvas.calls[1];
    EXPECT_EQ(clear.op, Op::FillRect);
    EXPECT_EQ(clear.brush.color, clWhite);
    EXPECT_EQ((std::vector{clear.x1, clear.y1, clear.x2, clear.y2}), (std::vector{0, 0, 601, 701}));
    EXPECT_EQ(canvas.calls[canvas.calls.size() - 2].op, Op::Release);
    EXPECT_EQ(canvas.calls.back().op, Op::Flip);
    EXPECT_THAT(canvas.only(Op::FillRect), SizeIs(1));
    EXPECT_THAT(canvas.only(Op::Flip), SizeIs(1));
    EXPECT_EQ(v.kepkozepx, 300);
    EXPECT_EQ(v.kepkozepy, 350);
}

TEST_F(Frame, AnaglyphBackgroundIsBlackWhateverTheBackgroundColour) {
    in.szemuveg = true;
    v.szinhatter = 0x123456;
    rajzolasvezerlo(f, in, v, host);
    const Call& clear = canvas.calls[1];
    EXPECT_EQ(clear.op, Op::FillRect);
    EXPECT_EQ(clear.brush.color, clBlack);
}

TEST_F(Frame, ClearingUsesTheBackgroundColourWithoutPinningOrRecentring) {
    v.szinhatter = 0x123456;
    v.kepkozepx = 11;
    v.kepkozepy = 12;
    torles(v, host);
    EXPECT_THAT(ops(), ElementsAre(Op::FillRect, Op::Release, Op::Flip));
    const Call& clear = canvas.calls[0];
    EXPECT_EQ(clear.brush.color, 0x123456u);
    EXPECT_EQ((std::vector{clear.x1, clear.y1, clear.x2, clear.y2}), (std::vector{0, 0, kWidth, kHeight}));
    EXPECT_EQ(v.kepkozepx, 11);
    EXPECT_EQ(v.kepkozepy, 12);
}

TEST_F(Frame, WithoutASurfaceNothingIsDrawnOrPresented) {
    RecordingHost bare{kWidth, kHeight, nullptr};
    rajzolasvezerlo(f, in, v, bare);
    torles(v, bare);
    EXPECT_EQ(bare.holds, 1);
    EXPECT_EQ(bare.presents, 0);
}

TEST_F(Frame, EmptyFlockBeforeStartDrawsOnlyTheBackgroundAndTheCube) {
    f.egyeddb = 0;
    f.ragadozodb = 0;
    v.nagyitasszorzo = 0;
    rajzolasvezerlo(f, in, v, host);
    EXPECT_THAT(canvas.only(Op::Ellipse), IsEmpty());
    EXPECT_THAT(canvas.only(Op::LineTo), SizeIs(12));
    EXPECT_EQ(canvas.calls.back().op, Op::Flip);
}

// --- the normal view ----------------------------------------------------------

TEST_F(Frame, NormalViewDrawsBackToFrontWithEachObjectOnceAfterItsRank) {
    rajzolas(f, in, v, canvas);
    EXPECT_THAT(marks(), ElementsAre(individual(29),                                 // 2
                                     Mark{298, 348, 303, 353, kSolid, clRed, clRed},  // predator 1
                                     individual(60),                                 // 4
                                     individual(15),                                 // 1
                                     Mark{296, 346, 304, 354, kSolid, clGreen, clGreen},  // centre
                                     individual(47),                                  // 3
                                     Mark{298, 369, 303, 374, kSolid, clRed, clRed}));  // predator 2
}

TEST_F(Frame, CubeIsDrawnOverEverythingInItsColour) {
    v.szinkocka = 0x00ABCDEF;
    rajzolas(f, in, v, canvas);
    const std::vector<Call>& calls = canvas.calls;
    std::size_t firstLine = 0;
    while (firstLine < calls.size() && calls[firstLine].op == Op::Ellipse) ++firstLine;
    EXPECT_EQ(firstLine, 7u);
    ASSERT_EQ(calls.size(), firstLine + 18);
    for (std::size_t k = firstLine; k < calls.size(); ++k) {
        EXPECT_NE(calls[k].op, Op::Ellipse);
        EXPECT_EQ(calls[k].pen.color, 0x00ABCDEFu);
        EXPECT_EQ(calls[k].pen.style, kSolid);
    }
}

TEST_F(Frame, AbsentObjectsAndTheCubeAreNotDrawn) {
    in.kozepenvonzo = false;
    in.befoglalokocka = false;
    f.ragadozodb = 0;
    v.vonzosorszam = 1;  // stale ranks that would match a drawing position
    v.ragadozosorszam[1] = 1;
    rajzolas(f, in, v, canvas);
    EXPECT_THAT(marks(), ElementsAre(individual(29), individual(60), individual(15), individual(47)));
    EXPECT_THAT(ops(), ElementsAre(Op::Ellipse, Op::Ellipse, Op::Ellipse, Op::Ellipse));
}

TEST_F(Frame, EveryCentreModeShowsTheCentre) {
    for (bool Inputs::*mode : {&Inputs::kozepenvonzo, &Inputs::mozgovonzo, &Inputs::elhelyez}) {
        Inputs only;
        only.*mode = true;
        canvas.calls.clear();
        rajzolas(f, only, v, canvas);
        int centres = 0;
        for (const Mark& m : marks()) centres += m.pen == clGreen;
        EXPECT_EQ(centres, 1);
    }
}

// --- the anaglyph view --------------------------------------------------------

TEST_F(Frame, AnaglyphDrawsEachObjectLeftThenRightInTheEyeColours) {
    in.szemuveg = true;
    rajzolasszemuveghez(f, in, v, canvas);
    auto pair = [](int dxLeft, int dxRight) {
        return std::vector<Mark>{{298 + dxLeft, 349, 301 + dxLeft, 352, kDot, clRed, clNone},
                                 {298 + dxRight, 349, 301 + dxRight, 352, kDot, clGreen, clNone}};
    };
    std::vector<Mark> expected;
    auto add = [&expected](const std::vector<Mark>& ms) { expected.insert(expected.end(), ms.begin(), ms.end()); };
    add(pair(29, 30));  // 2, behind the centre plane: left image to the left
    add({{294, 347, 300, 353, kSolid, clRed, clRed}, {300, 347, 306, 353, kSolid, clGreen, clGreen}});
    add(pair(60, 60));  // 4, on the centre plane: both images in one place
    add(pair(16, 15));  // 1, in front: crossed
    add({{295, 345, 305, 355, kSolid, clRed, clNone}, {296, 346, 304, 354, kSolid, clGreen, clNone}});
    add(pair(48, 46));  // 3
    add({{305, 368, 311, 374, kSolid, clRed, clRed}, {289, 368, 295, 374, kSolid, clGreen, clGreen}});
    EXPECT_THAT(marks(), ElementsAreArray(expected));
    EXPECT_EQ(v.szemx, 20);
}

TEST_F(Frame, AnaglyphCubeIsDrawnOncePerEyeLeftFirst) {
    in.szemuveg = true;
    rajzolasszemuveghez(f, in, v, canvas);
    const std::vector<Call> lines = [&] {
        std::vector<Call> picked;
        for (const Call& c : canvas.calls) {
            if (c.op == Op::MoveTo || c.op == Op::LineTo) picked.push_back(c);
        }
        return picked;
    }();
    ASSERT_THAT(lines, SizeIs(36));
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].pen.color, k < 18 ? clRed : clGreen) << "call " << k;
    }
    // C1 lies in front of the centre plane: the left eye sees it farther right
    EXPECT_GT(lines[0].x1, lines[18].x1);
    EXPECT_EQ(canvas.calls.back().op, Op::LineTo);
}

// --- points at or behind the eye ----------------------------------------------

class FrameNearTheEye : public Frame, public ::testing::WithParamInterface<bool> {};

TEST_P(FrameNearTheEye, AnIndividualBehindTheEyeIsNotDrawn) {
    // zoom 2.5, Xalfa 36, Zbeta 39: the box corner (350, 350, 0) comes to
    // zoomed depth 693, behind the eye at 650
    v.nagyitasszorzo = 2.5;
    in.Xalfa = 36;
    in.Zbeta = 39;
    in.szemuveg = GetParam();
    in.kozepenvonzo = false;
    in.befoglalokocka = false;
    f.ragadozodb = 0;
    placeIndividuals({{350, 350, 0}, {175, 175, 125}});
    rajzolasvezerlo(f, in, v, host);
    const auto drawn = marks();
    ASSERT_THAT(drawn, SizeIs(GetParam() ? 2 : 1));
    for (const Mark& m : drawn) {
        EXPECT_NEAR(m.x1, 298, 1);  // only the one at the box centre
        EXPECT_EQ(m.y1, 349);
    }
}

INSTANTIATE_TEST_SUITE_P(NormalAndAnaglyph, FrameNearTheEye, ::testing::Bool());

}  // namespace
}  // namespace nyajkor::testing
