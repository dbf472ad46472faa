#include "model/velocity_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/simulation.h"
#include "tests/model/hand_scenes.h"

namespace nyajkor {
namespace {

using testing::FlockTest;
using testing::FlockTestWithParam;
using testing::allPerceive;
using testing::handScene;
using testing::renormalised;
using testing::ujv;
using testing::updateOne;
using testing::V3;
using testing::vel;

// ---------------------------------------------------------------- perception and the nearest neighbour

struct PerceptionCase {
    const char* name;
    V3 offset;        // neighbour 2 relative to individual 1 at (100, 100, 100)
    bool perceived;   // strictly inside r = 3 and not coincident
    bool found;       // in the search cube and nearer than 2r = 6
};

std::ostream& operator<<(std::ostream& os, const PerceptionCase& c) { return os << c.name; }

class Perception : public FlockTestWithParam<PerceptionCase> {};

TEST_P(Perception, StrictlyInsideTheRadiusAndNearestWithinTheCube) {
    const PerceptionCase c = GetParam();
    const V3 own{0, 0, 1}, other{1, 0, 0};
    handScene(f, {{100, 100, 100}, {100 + c.offset.x, 100 + c.offset.y, 100 + c.offset.z}},
              {own, other}, {.latotav = 3});
    const Neighbours n = searchPlainCube(f, 1);
    EXPECT_EQ(n.szomszeddb, c.perceived ? 1 : 0);
    if (c.found) {
        const double dx = f.x[2] - f.x[1], dy = f.y[2] - f.y[1], dz = f.z[2] - f.z[1];
        EXPECT_EQ(n.mintav, std::sqrt(dx * dx + dy * dy + dz * dz));
        EXPECT_EQ(n.kozelx, f.x[2]);
        EXPECT_EQ(n.kozely, f.y[2]);
        EXPECT_EQ(n.kozelz, f.z[2]);
    } else {
        EXPECT_EQ(n.mintav, 6.0);
        EXPECT_EQ(n.kozelx, 0.0);
        EXPECT_EQ(n.kozely, 0.0);
        EXPECT_EQ(n.kozelz, 0.0);
    }
    // the new velocity starts from the neighbour's heading, or from the own one
    updateOne(f, Inputs{}, allPerceive(f), 1);
    EXPECT_V3_EQ(ujv(f, 1), (c.perceived ? other : own));
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, Perception,
    ::testing::Values(PerceptionCase{"inside", {2.9, 0, 0}, true, true},
                      PerceptionCase{"atRadius", {3, 0, 0}, false, true},
                      PerceptionCase{"atRadiusDiagonal", {1, 2, 2}, false, true},  // 1+4+4 = 9
                      PerceptionCase{"beyondRadiusInCube", {3.4, 0, 0}, false, true},
                      PerceptionCase{"cubeCorner", {3, 3, 3}, false, true},  // 5.196 < 6
                      PerceptionCase{"outsideCube", {3.6, 0, 0}, false, false},  // cell 104
                      PerceptionCase{"outsideCubeDiagonal", {-2.4, 3.51, 0}, false, false},
                      PerceptionCase{"sameCell", {0.2, 0, 0}, true, true},
                      PerceptionCase{"coincident", {0, 0, 0}, false, true}));  // mintav 0

using NeighbourSearch = FlockTest;

TEST_F(NeighbourSearch, EquallyNearCandidatesGoToTheFirstVisitedCell) {
    // 2 and 3 are both 2 units from 1; the cube is scanned with a (x) outermost,
    // so the one at x = 98 is visited first although it has the higher index
    handScene(f, {{100, 100, 100}, {102, 100, 100}, {98, 100, 100}}, {}, {.latotav = 3});
    EXPECT_EQ(searchPlainCube(f, 1).kozelx, 98);

    // same along z, the innermost loop: z = 98 comes before z = 102
    handScene(f, {{100, 100, 100}, {100, 100, 102}, {100, 100, 98}}, {}, {.latotav = 3});
    EXPECT_EQ(searchPlainCube(f, 1).kozelz, 98);

    // b before c: (100, 98, 100) is visited before (100, 100, 98)
    handScene(f, {{100, 100, 100}, {100, 100, 98}, {100, 98, 100}}, {}, {.latotav = 3});
    EXPECT_EQ(searchPlainCube(f, 1).kozely, 98);
}

TEST_F(NeighbourSearch, ZeroRadiusPerceivesNobody) {
    // 2 shares 1's cell and is registered there, yet r = 0 finds nothing
    handScene(f, {{100, 100, 100}, {100.3, 100, 100}, {101, 100, 100}},
              {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {.latotav = 0});
    const Neighbours n = searchPlainCube(f, 1);
    EXPECT_EQ(n.szomszeddb, 0);
    EXPECT_EQ(n.mintav, 0.0);
    ujsebessegek(f, Inputs{});
    EXPECT_EQ(f.atlagszomszed, 0.0);
    EXPECT_EQ(f.atlagtav, 0.0);
    EXPECT_V3_EQ(vel(f, 1), (V3{0, 0, 1}));
}

// params: a corner of the lattice (the search cube is cut there, nothing wraps)
class SearchAtFaces : public FlockTestWithParam<V3> {};

TEST_P(SearchAtFaces, StaysInsideTheLattice) {
    const V3 corner = GetParam();
    // a neighbour one unit inwards on every axis, and one at the opposite
    // corner, which a wrapped-around cube would reach
    const V3 in{corner.x < 1 ? 1.0 : -1.0, corner.y < 1 ? 1.0 : -1.0, corner.z < 1 ? 1.0 : -1.0};
    handScene(f,
              {corner, {corner.x + in.x, corner.y + in.y, corner.z + in.z},
               {349 - corner.x, 349 - corner.y, 249 - corner.z}},
              {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {.latotav = 5});
    const Neighbours n = searchPlainCube(f, 1);
    EXPECT_EQ(n.szomszeddb, 1);
    EXPECT_EQ(n.mintav, std::sqrt(3.0));
    EXPECT_EQ(searchPlainCube(f, 3).szomszeddb, 0);
}

INSTANTIATE_TEST_SUITE_P(Corners, SearchAtFaces,
                         ::testing::Values(V3{0, 0, 0}, V3{349, 349, 249}, V3{0, 349, 0},
                                           V3{349, 0, 249}));

// ---------------------------------------------------------------- alignment

using Alignment = FlockTest;

TEST_F(Alignment, MeanHeadingOfThePerceivedNeighboursAtTheCommonSpeed) {
    // 1 perceives 2 and 3 (its own heading is not part of the mean); 4 is out of reach
    handScene(f, {{100, 100, 100}, {101, 100, 100}, {100, 102, 100}, {110, 100, 100}},
              {{0, 0, 1.5}, {1.5, 0, 0}, {0, 1.5, 0}, {0, -1.5, 0}},
              {.kozossebesseg = 1.5, .latotav = 3});
    updateOne(f, Inputs{}, allPerceive(f), 1);
    // mean (0.75, 0.75, 0), length 0.75 * sqrt 2, scaled to 1.5
    const V3 got = ujv(f, 1);
    EXPECT_V3_EQ(got, renormalised({1.5 / 2, 1.5 / 2, 0}, 1.5));
    EXPECT_NEAR(got.x, 1.5 / std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(got.y, 1.5 / std::sqrt(2.0), 1e-15);
    EXPECT_EQ(got.z, 0.0);
}

TEST_F(Alignment, NeighboursAreReadFromThePreviousTick) {
    // 1 and 2 perceive each other: each takes the other's old heading,
    // whichever is processed first
    handScene(f, {{100, 100, 100}, {101, 100, 100}}, {{1, 0, 0}, {0, 1, 0}}, {.latotav = 2});
    ujsebessegek(f, Inputs{});
    EXPECT_V3_EQ(vel(f, 1), (V3{0, 1, 0}));
    EXPECT_V3_EQ(vel(f, 2), (V3{1, 0, 0}));
}

TEST_F(Alignment, StatisticsCountNeighboursAndTwiceTheRadiusForTheLonely) {
    // 1 and 2 are 1 apart and see each other; 3 finds nobody and counts 2r = 6
    handScene(f, {{100, 100, 100}, {101, 100, 100}, {200, 100, 100}},
              {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}}, {.latotav = 3});
    ujsebessegek(f, Inputs{});
    EXPECT_EQ(f.atlagszomszed, 2.0 / 3);
    EXPECT_EQ(f.atlagtav, (1.0 + 1.0 + 6.0) / 3);
}

// ---------------------------------------------------------------- noise

using Noise = FlockTest;

TEST_F(Noise, ThreeDrawsPerIndividualInTheOrderXYZ) {
    handScene(f, {{100, 100, 100}, {150, 100, 100}, {200, 100, 100}},
              {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}, {.kozossebesseg = 2, .zaj = 0.37, .latotav = 3});
    f.rng.seed(777);
    ujsebessegek(f, Inputs{});

    Random r(777);
    const V3 own[3] = {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}};
    for (int i = 1; i <= 3; ++i) {
        V3 u = own[i - 1];
        u.x += (0.5 - r.real()) * 0.37 * 2;
        u.y += (0.5 - r.real()) * 0.37 * 2;
        u.z += (0.5 - r.real()) * 0.37 * 2;
        EXPECT_V3_EQ(vel(f, i), renormalised(u, 2));
    }
    EXPECT_EQ(f.rng.state(), r.state());
}

TEST_F(Noise, FullNoiseStaysWithinHalfTheSpeedPerComponent) {
    // zaj = 1: before the renormalisation each component moves by at most
    // ks/2 either way; with a heading of (ks, 0, 0) the x part stays >= ks/2
    // and the other two within ks/2, which bounds the direction
    std::vector<V3> pos, v;
    for (int i = 0; i < 400; ++i) {
        pos.push_back({50.0 + (i % 20) * 10, 50.0 + (i / 20) * 10, 100});
        v.push_back({0.8, 0, 0});
    }
    handScene(f, pos, v, {.kozossebesseg = 0.8, .zaj = 1.0, .latotav = 2});
    f.rng.seed(4242);
    ujsebessegek(f, Inputs{});
    double most = 0;
    for (int i = 1; i <= 400; ++i) {
        // tan of the angle to x is at most sqrt(2) * 0.5 / 0.5
        ASSERT_GT(f.vx[i], 0) << i;
        ASSERT_LE(std::hypot(f.vy[i], f.vz[i]) / f.vx[i], std::sqrt(2.0) + 1e-12) << i;
        most = std::max(most, std::abs(f.vy[i] / f.vx[i]));
    }
    EXPECT_GT(most, 0.5);  // and the perturbation does reach towards its bound
}

// ---------------------------------------------------------------- walls

struct WallCase {
    int axis;       // 0 x, 1 y, 2 z
    double p;       // coordinate on that axis
    double push;    // expected addition to that component, before renormalisation
};

const char* axisName(int axis) { return axis == 0 ? "x" : axis == 1 ? "y" : "z"; }

std::ostream& operator<<(std::ostream& os, const WallCase& c) { return os << axisName(c.axis) << " at " << c.p; }

class WallPush : public FlockTestWithParam<WallCase> {};

TEST_P(WallPush, InverseDistanceWithinTheBandAndNothingNearTheWall) {
    const WallCase c = GetParam();
    double pos[3] = {100, 100, 100};
    pos[c.axis] = c.p;
    // heading along the next axis, so the push is the only part on this one
    double v[3] = {0, 0, 0};
    v[(c.axis + 1) % 3] = 1.5;
    handScene(f, {{pos[0], pos[1], pos[2]}}, {{v[0], v[1], v[2]}},
              {.kozossebesseg = 1.5, .latotav = 2});
    updateOne(f, Inputs{}, allPerceive(f), 1);
    v[c.axis] += c.push;
    EXPECT_V3_EQ(ujv(f, 1), renormalised({v[0], v[1], v[2]}, 1.5));
}

// ks = 1.5: the push is 2 ks / p near 0 and -2 ks / (E - p) near E, for
// 1 < p < 25 and E - 25 < p < E - 1, E = 350 on x and y, 250 on z
INSTANTIATE_TEST_SUITE_P(
    Bands, WallPush,
    ::testing::Values(WallCase{0, 1.0, 0}, WallCase{0, 1.5, 3.0 / 1.5}, WallCase{0, 10, 3.0 / 10},
                      WallCase{0, 24.99, 3.0 / 24.99}, WallCase{0, 25, 0}, WallCase{0, 175, 0},
                      WallCase{0, 325, 0}, WallCase{0, 325.5, -3.0 / 24.5},
                      WallCase{0, 340, -3.0 / 10}, WallCase{0, 349, 0},
                      WallCase{1, 4, 3.0 / 4}, WallCase{1, 346, -3.0 / 4},
                      WallCase{2, 10, 3.0 / 10}, WallCase{2, 225, 0},
                      WallCase{2, 226, -3.0 / 24}, WallCase{2, 240, -3.0 / 10},
                      WallCase{2, 249, 0}));

struct ReflectCase {
    int axis;
    double p;
    double w, expected;  // committed component before and after the reflection
};

std::ostream& operator<<(std::ostream& os, const ReflectCase& c) {
    return os << axisName(c.axis) << " at " << c.p << ", " << c.w << " -> " << c.expected;
}

class WallReflection : public FlockTestWithParam<ReflectCase> {};

TEST_P(WallReflection, TurnsTheComponentAwayWithinFiveUnits) {
    const ReflectCase c = GetParam();
    double pos[3] = {100, 100, 100};
    pos[c.axis] = c.p;
    handScene(f, {{pos[0], pos[1], pos[2]}}, {});
    double w[3] = {0.1, 0.2, 0.3};
    w[c.axis] = c.w;
    f.ujvx[1] = w[0];
    f.ujvy[1] = w[1];
    f.ujvz[1] = w[2];
    commitVelocities(f);
    w[c.axis] = c.expected;
    EXPECT_V3_EQ(vel(f, 1), (V3{w[0], w[1], w[2]}));
}

INSTANTIATE_TEST_SUITE_P(
    Coordinates, WallReflection,
    ::testing::Values(ReflectCase{0, 4, -0.7, 0.7}, ReflectCase{0, 4, 0.7, 0.7},
                      ReflectCase{0, 4.99, -0.7, 0.7}, ReflectCase{0, 5, -0.7, -0.7},
                      ReflectCase{0, 345, 0.7, 0.7}, ReflectCase{0, 345.01, 0.7, -0.7},
                      ReflectCase{0, 346, -0.7, -0.7}, ReflectCase{1, 3, -2, 2},
                      ReflectCase{1, 347, 2, -2}, ReflectCase{2, 4, -0.5, 0.5},
                      ReflectCase{2, 245, 0.5, 0.5}, ReflectCase{2, 246, 0.5, -0.5},
                      ReflectCase{0, 300, 0.5, 0.5}));

using Walls = FlockTest;

TEST_F(Walls, CoordinateFourLeavesTheStepMovingAwayWhateverPushedIt) {
    // heading into the wall at x = 0, with a predator behind it pushing it on
    handScene(f, {{4, 100, 100}}, {{-2, 0, 0}}, {.kozossebesseg = 2, .latotav = 2});
    f.ragadozodb = 1;
    f.ragx[1] = 10;
    f.ragy[1] = 100;
    f.ragz[1] = 100;
    Inputs in;
    in.reakcioerosseg = 20;
    ujsebessegek(f, in);
    EXPECT_GE(f.vx[1], 0.0);
    EXPECT_NEAR(std::hypot(f.vx[1], f.vy[1], f.vz[1]), 2.0, 1e-12);
}

// ---------------------------------------------------------------- renormalisation

struct GuardCase {
    double a, b;  // headings (a, 0, 0) and (b, 0, 0) of the two perceived neighbours
};

std::ostream& operator<<(std::ostream& os, const GuardCase& c) { return os << c.a << " and " << c.b; }

class Renormalisation : public FlockTestWithParam<GuardCase> {};

TEST_P(Renormalisation, ShortSumsAreOnlyScaledBySpeed) {
    const GuardCase c = GetParam();
    // 2 (x = 99) is visited before 3 (x = 101)
    handScene(f, {{100, 100, 100}, {99, 100, 100}, {101, 100, 100}},
              {{0, 0, 2}, {c.a, 0, 0}, {c.b, 0, 0}}, {.kozossebesseg = 2, .latotav = 2});
    updateOne(f, Inputs{}, allPerceive(f), 1);
    const double mean = (0.0 + c.a + c.b) / 2;
    const double n = std::sqrt(mean * mean);
    EXPECT_EQ(f.ujvx[1], n < 0.0001 ? mean * 2 : mean * 2 / n);
    EXPECT_EQ(f.ujvy[1], 0.0);
    EXPECT_EQ(f.ujvz[1], 0.0);
    EXPECT_FALSE(std::isnan(f.ujvx[1]));
}

// mean 0, about 1e-5 (below the guard), about 2e-4 (above it)
INSTANTIATE_TEST_SUITE_P(Sums, Renormalisation,
                         ::testing::Values(GuardCase{1, -1}, GuardCase{1, -0.99998},
                                           GuardCase{1, -0.9996}, GuardCase{-1, 0.99998}));

}  // namespace
}  // namespace nyajkor
