#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render_fixture.h"

namespace nyajkor::testing {
namespace {

void setWorkPoint(View& v, double x, double y, double z) {
    v.pontx = x;
    v.ponty = y;
    v.pontz = z;
}

Inputs angles(int xalfa, int zbeta) {
    Inputs in;
    in.Xalfa = xalfa;
    in.Zbeta = zbeta;
    return in;
}

// --- rotation ---------------------------------------------------------------

struct AxisCase {
    int xalfa, zbeta;
    BoxPoint from, to;
};

std::ostream& operator<<(std::ostream& os, const AxisCase& c) {
    return os << "Xalfa " << c.xalfa << ", Zbeta " << c.zbeta << ": " << c.from << " -> " << c.to;
}

class RotationAxes : public ::testing::TestWithParam<AxisCase> {};

TEST_P(RotationAxes, TurnsTheBoxAsTheAnglesSay) {
    const AxisCase& c = GetParam();
    View v;
    setWorkPoint(v, c.from.x, c.from.y, c.from.z);
    forgatas(v, rotationOf(angles(c.xalfa, c.zbeta)));
    EXPECT_NEAR(v.pontx, c.to.x, 1e-12);
    EXPECT_NEAR(v.ponty, c.to.y, 1e-12);
    EXPECT_NEAR(v.pontz, c.to.z, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Camera, RotationAxes,
    ::testing::Values(
        AxisCase{0, 0, {10, 20, 30}, {10, 20, 30}},     // identity
        AxisCase{90, 0, {10, 20, 30}, {10, -30, 20}},   // (y, z) -> (-z, y)
        AxisCase{0, 90, {10, 20, 30}, {-20, 10, 30}},   // (x, y) -> (-y, x)
        AxisCase{0, 360, {10, 20, 30}, {10, 20, 30}},   // a full turn
        // about x first, then about z: (x, y, z) -> (x, -z, y) -> (z, x, y)
        AxisCase{90, 90, {10, 20, 30}, {30, 10, 20}}));

TEST(Camera, WorkedExampleRotatesAndProjects) {
    View v;
    setWorkPoint(v, 175, 175, -125);
    forgatas(v, rotationOf(angles(30, 45)));
    EXPECT_NEAR(v.pontx, -27.62, 0.005);
    EXPECT_NEAR(v.ponty, 275.10, 0.005);
    EXPECT_NEAR(v.pontz, -20.75, 0.005);

    setWorkPoint(v, 1.5 * v.pontx, 1.5 * v.ponty, 1.5 * v.pontz);
    v.szemx = 0;
    ASSERT_TRUE(vetites(v));
    EXPECT_EQ(v.kepx, -113);
    EXPECT_EQ(v.kepy, -85);
}

// --- projection -------------------------------------------------------------

struct TieCase {
    double value;
    int rounded;
};

std::ostream& operator<<(std::ostream& os, const TieCase& c) { return os << c.value << " -> " << c.rounded; }

class ProjectionAtDepthZero
    : public ::testing::TestWithParam<std::tuple<TieCase, int /*szemx*/>> {};

// On the plane through the box centre the perspective factor is exactly 1:
// the pixel is the rounded coordinate, for either eye, and halves go to the
// even neighbour.
TEST_P(ProjectionAtDepthZero, RoundsHalvesToEvenForEveryEye) {
    const auto [tie, eye] = GetParam();
    View v;
    v.szemx = eye;
    setWorkPoint(v, tie.value, 0, tie.value);
    ASSERT_TRUE(vetites(v));
    EXPECT_EQ(v.kepx, tie.rounded);
    EXPECT_EQ(v.kepy, tie.rounded);
}

INSTANTIATE_TEST_SUITE_P(
    Camera, ProjectionAtDepthZero,
    ::testing::Combine(::testing::Values(TieCase{2.5, 2}, TieCase{3.5, 4}, TieCase{-0.5, 0},
                                         TieCase{-1.5, -2}, TieCase{7.2, 7}, TieCase{-7.6, -8}),
                       ::testing::Values(0, -20, 20)));

TEST(Camera, PerspectiveMagnifiesNearerPoints) {
    View v;
    // depth 325 halves the distance to the eye, doubling the offset: 1.25 -> 2.5 -> 2
    setWorkPoint(v, 1.25, 325, 1.75);
    ASSERT_TRUE(vetites(v));
    EXPECT_EQ(v.kepx, 2);
    EXPECT_EQ(v.kepy, 4);
    // farther than the centre plane shrinks: 100 * 650 / 750 = 86.67
    setWorkPoint(v, 100, -100, -100);
    ASSERT_TRUE(vetites(v));
    EXPECT_EQ(v.kepx, 87);
    EXPECT_EQ(v.kepy, -87);
}

class Placing : public RenderTest {};

TEST_F(Placing, AnaglyphEyesSeeANearPointCrossed) {
    v.nagyitasszorzo = 1.0;
    v.szemx = -20;
    ASSERT_TRUE(place(v, 100, 100, 0));
    EXPECT_EQ(v.kepx, 122);
    EXPECT_EQ(v.kepy, 0);
    v.szemx = 20;
    ASSERT_TRUE(place(v, 100, 100, 0));
    EXPECT_EQ(v.kepx, 115);
    EXPECT_EQ(v.kepy, 0);
}

TEST_F(Placing, ZoomsAllThreeCoordinatesAndAddsTheScreenCentre) {
    setScreenCentre(v, 601, 701);
    v.nagyitasszorzo = 2.0;
    // x: 200 * 650 / (650 - 200) = 288.9; y: -100 * 650 / 450 = -144.4
    const auto p = place(v, 100, 100, -50);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->x, 300 + 289);
    EXPECT_EQ(p->y, 350 - 144);
    EXPECT_EQ(v.pontx, 200);
    EXPECT_EQ(v.ponty, 200);
    EXPECT_EQ(v.pontz, -100);
}

// --- points at or behind the eye --------------------------------------------

class ProjectionRefuses : public ::testing::TestWithParam<BoxPoint> {};

TEST_P(ProjectionRefuses, LeavesThePixelUntouched) {
    View v;
    v.kepx = 12345;
    v.kepy = -54321;
    const BoxPoint p = GetParam();
    setWorkPoint(v, p.x, p.y, p.z);
    EXPECT_FALSE(vetites(v));
    EXPECT_EQ(v.kepx, 12345);
    EXPECT_EQ(v.kepy, -54321);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Camera, ProjectionRefuses,
    ::testing::Values(BoxPoint{10, 650, 10},           // on the eye plane
                      BoxPoint{10, 693.15, 10},        // behind it
                      BoxPoint{0, 650, 0},             // 0 / 0
                      BoxPoint{10, 1e300, 10},         // far behind
                      BoxPoint{10, 650 - 1e-9, 10},    // just in front: beyond any pixel
                      BoxPoint{1e300, 0, 10},          // thrown out sideways
                      BoxPoint{10, 0, -1e300},         // and vertically
                      BoxPoint{kNaN, 0, 0}, BoxPoint{0, kNaN, 0}, BoxPoint{0, 0, kNaN},
                      BoxPoint{kInf, 0, 0}));

TEST(Camera, PointsJustInFrontOfTheEyeStillProject) {
    View v;
    setWorkPoint(v, 100, 649, -1);
    ASSERT_TRUE(vetites(v));
    EXPECT_EQ(v.kepx, 65000);
    EXPECT_EQ(v.kepy, -650);
}

// --- the rotation pass ------------------------------------------------------

class RotationPass : public RenderTest {};

TEST_F(RotationPass, RotatesLiveObjectsAboutTheBoxCentre) {
    in.Zbeta = 90;  // (x, y) -> (-y, x)
    in.kozepenvonzo = true;
    f.vonzox = 185;  // centred: (10, -15, 5)
    f.vonzoy = 160;
    f.vonzoz = 130;
    placeIndividuals({{175, 175, 125}, {185, 160, 130}});
    placePredators({{175, 195, 100}});

    rotationPass(f, in, v);

    EXPECT_NEAR(v.pvonzox, 15, 1e-12);
    EXPECT_NEAR(v.pvonzoy, 10, 1e-12);
    EXPECT_NEAR(v.pvonzoz, 5, 1e-12);
    EXPECT_NEAR(v.pragx[1], -20, 1e-12);
    EXPECT_NEAR(v.pragy[1], 0, 1e-12);
    EXPECT_NEAR(v.pragz[1], -25, 1e-12);
    EXPECT_NEAR(v.px[1], 0, 1e-12);
    EXPECT_NEAR(v.py[1], 0, 1e-12);
    EXPECT_NEAR(v.pz[1], 0, 1e-12);
    EXPECT_NEAR(v.px[2], 15, 1e-12);
    EXPECT_NEAR(v.py[2], 10, 1e-12);
    EXPECT_NEAR(v.pz[2], 5, 1e-12);
}

TEST_F(RotationPass, LeavesInactiveCentreAndDeadEntriesAlone) {
    placeIndividuals({{185, 160, 130}});
    placePredators({{175, 195, 100}});
    v.pvonzoy = 42;
    v.pragy[2] = 43;
    v.py[2] = 44;
    rotationPass(f, in, v);
    EXPECT_EQ(v.pvonzoy, 42);
    EXPECT_EQ(v.pragy[2], 43);
    EXPECT_EQ(v.py[2], 44);
}

}  // namespace
}  // namespace nyajkor::testing
