// The attracting centre and the predators: how they move, whom they
// affect, and adding and deleting predators.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "model/simulation.h"
#include "model/velocity_update.h"
#include "tests/model/hand_scenes.h"

namespace nyajkor {
namespace {

using testing::allPerceive;
using testing::FlockTest;
using testing::FlockTestWithParam;
using testing::handScene;
using testing::renormalised;
using testing::ujv;
using testing::updateOne;
using testing::V3;

void placePredator(Flock& f, int p, V3 at) {
    f.ragx[p] = at.x;
    f.ragy[p] = at.y;
    f.ragz[p] = at.z;
}

V3 predator(const Flock& f, int p) { return {f.ragx[p], f.ragy[p], f.ragz[p]}; }

// ---------------------------------------------------------------- who perceives the centre

struct ShareCase {
    int eszlelok, n, perceivers;
};

std::ostream& operator<<(std::ostream& os, const ShareCase& c) {
    return os << c.eszlelok << "% of " << c.n << " -> " << c.perceivers;
}

class CentrePerceivers : public FlockTestWithParam<ShareCase> {};

TEST_P(CentrePerceivers, AreTheFirstShareOfTheIndices) {
    const ShareCase c = GetParam();
    // everybody at one point, heading along y, the centre 75 units away along x and y
    handScene(f, std::vector<V3>(c.n, V3{100, 100, 125}), std::vector<V3>(c.n, V3{0, 1, 0}),
              {.latotav = 0});
    Inputs in;
    in.kozepenvonzo = true;
    in.eszlelok = c.eszlelok;
    ujsebessegek(f, in);
    for (int i = 1; i <= c.n; ++i) {
        if (i <= c.perceivers)
            ASSERT_GT(f.vx[i], 0.0) << i;
        else
            ASSERT_EQ(f.vx[i], 0.0) << i;
    }
}

// eszlelok * N div 100
INSTANTIATE_TEST_SUITE_P(Shares, CentrePerceivers,
                         ::testing::Values(ShareCase{50, 2000, 1000}, ShareCase{0, 2000, 0},
                                           ShareCase{100, 2000, 2000}, ShareCase{33, 999, 329},
                                           ShareCase{1, 500, 5}, ShareCase{99, 501, 495}));

// ---------------------------------------------------------------- the pull of the centre

struct PullCase {
    const char* name;
    V3 offset;    // centre relative to the individual at (100, 100, 100)
    int strength;  // A
    int item;     // 0 none, 1 kozepenvonzo, 2 mozgovonzo, 3 elhelyez
    bool pulled;
};

std::ostream& operator<<(std::ostream& os, const PullCase& c) { return os << c.name; }

class CentrePull : public FlockTestWithParam<PullCase> {};

TEST_P(CentrePull, FixedLengthTowardsTheCentreBeyondOneUnit) {
    const PullCase c = GetParam();
    const double ks = 1.5;
    handScene(f, {{100, 100, 100}}, {{0, ks, 0}}, {.kozossebesseg = ks, .latotav = 2});
    f.vonzox = 100 + c.offset.x;
    f.vonzoy = 100 + c.offset.y;
    f.vonzoz = 100 + c.offset.z;
    Inputs in;
    in.vonzaserosseg = c.strength;
    in.kozepenvonzo = c.item == 1;
    in.mozgovonzo = c.item == 2;
    in.elhelyez = c.item == 3;
    updateOne(f, in, allPerceive(f), 1);

    // (A/100) * d * ks / L added, a pull of length A ks / 100
    V3 u{0, ks, 0};
    const V3 d{f.vonzox - 100, f.vonzoy - 100, f.vonzoz - 100};
    const double l = testing::length(d);
    if (c.pulled) {
        u.x += c.strength / 100.0 * d.x * ks / l;
        u.y += c.strength / 100.0 * d.y * ks / l;
        u.z += c.strength / 100.0 * d.z * ks / l;
    }
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, ks));
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, CentrePull,
    ::testing::Values(PullCase{"far", {30, 0, 40}, 10, 1, true},
                      PullCase{"farMoving", {30, 0, 40}, 10, 2, true},
                      PullCase{"farPlaced", {-3, 4, 0}, 20, 3, true},
                      PullCase{"awkward", {3.7, -1.9, 2.3}, 13, 1, true},
                      PullCase{"noItem", {30, 0, 40}, 10, 0, false},
                      PullCase{"zeroStrength", {30, 0, 40}, 0, 1, false},
                      PullCase{"justBeyondOne", {0.6, 0.6, 0.6}, 10, 1, true},  // 1.039
                      PullCase{"exactlyOne", {0, 0, 1}, 10, 1, false},
                      PullCase{"withinOne", {0.5, 0.5, 0.5}, 10, 1, false},  // 0.866
                      PullCase{"onTheCentre", {0, 0, 0}, 10, 3, false}),
    [](const ::testing::TestParamInfo<PullCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the moving centre

struct WanderCase {
    const char* name;
    double ks;
    V3 centre, tkp;
    V3 expected;  // worked by hand
};

std::ostream& operator<<(std::ostream& os, const WanderCase& c) { return os << c.name; }

class MovingCentre : public FlockTestWithParam<WanderCase> {};

TEST_P(MovingCentre, FleesTheCentreOfMassAndIsPulledToTheMiddle) {
    const WanderCase c = GetParam();
    handScene(f, {{100, 100, 100}}, {}, {.kozossebesseg = c.ks});
    f.vonzox = c.centre.x;
    f.vonzoy = c.centre.y;
    f.vonzoz = c.centre.z;
    UpdateContext ctx;
    ctx.tkpx = c.tkp.x;
    ctx.tkpy = c.tkp.y;
    ctx.tkpz = c.tkp.z;
    moveCentre(f, ctx);

    // the formula in its order: flee, then the pull from the moved centre
    V3 v = c.centre;
    const V3 d{c.tkp.x - v.x, c.tkp.y - v.y, c.tkp.z - v.z};
    const double l = testing::length(d);
    if (l > 1) {
        v = {v.x - d.x * c.ks / (2 * l), v.y - d.y * c.ks / (2 * l), v.z - d.z * c.ks / (2 * l)};
    } else {
        v = {v.x - d.x * c.ks, v.y - d.y * c.ks, v.z - d.z * c.ks};
    }
    const V3 toMiddle{175 - v.x, 175 - v.y, 125 - v.z};
    v = {v.x + toMiddle.x / 250 * c.ks, v.y + toMiddle.y / 250 * c.ks, v.z + toMiddle.z / 250 * c.ks};
    EXPECT_V3_EQ((V3{f.vonzox, f.vonzoy, f.vonzoz}), v);

    EXPECT_NEAR(f.vonzox, c.expected.x, 1e-9);
    EXPECT_NEAR(f.vonzoy, c.expected.y, 1e-9);
    EXPECT_NEAR(f.vonzoz, c.expected.z, 1e-9);
}

// Middle of the box (175, 175, 125). Flight: ks/2 away from the centre of mass
// when farther than 1, else the whole offset times ks; then (middle - centre) ks / 250.
INSTANTIATE_TEST_SUITE_P(
    Cases, MovingCentre,
    ::testing::Values(
        // +1 on x, then (175 - 176) * 2 / 250 = -0.008
        WanderCase{"far", 2, {175, 175, 125}, {100, 175, 125}, {175.992, 175, 125}},
        // offset (-3, -4, 0), length 5: +(0.3, 0.4, 0); then -(0.3, 0.4) / 250
        WanderCase{"diagonal", 1, {175, 175, 125}, {172, 171, 125}, {175.2988, 175.3984, 125}},
        // offset -0.3: +0.3; then -0.6 / 250 = -0.0024
        WanderCase{"near", 1, {175.3, 175, 125}, {175, 175, 125}, {175.5976, 175, 125}},
        // length exactly 1 is not beyond 1: +1 * 1.5; then -2.5 * 1.5 / 250 = -0.015
        WanderCase{"exactlyOne", 1.5, {176, 175, 125}, {175, 175, 125}, {177.485, 175, 125}},
        // 130 from the middle: +0.5 away, -130.5 / 250 = -0.522 back, a net step inwards
        WanderCase{"farFromMiddle", 1, {305, 175, 125}, {175, 175, 125}, {304.978, 175, 125}},
        // on the centre of mass: no flight, only the pull, (175 - 75) / 250 = 0.4
        WanderCase{"onCentreOfMass", 1, {75, 175, 125}, {75, 175, 125}, {75.4, 175, 125}},
        // offset (-11.3, 14.1, -11.1), length 21.206: flee by 0.65, then the pull
        WanderCase{"awkward", 1.3, {181.7, 166.2, 131.9}, {170.4, 180.3, 120.8},
                   {182.0097171800, 165.8158258197, 132.2025788228}},
        // near the origin, where the small terms are not lost in the coordinates
        WanderCase{"nearOrigin", 1.3, {2.1, 1.8, 4.2}, {4.2, 2.9, 3.4},
                   {2.4563532079, 2.4163545375, 5.0349130637}}),
    [](const ::testing::TestParamInfo<WanderCase>& info) { return std::string(info.param.name); });

using CentreInUpdate = FlockTest;

TEST_F(CentreInUpdate, MovesOnlyInTheMovingModeAndBeforeTheIndividualsReact) {
    const std::vector<V3> pos{{100, 100, 100}, {110, 100, 100}};
    const std::vector<V3> v{{0, 1, 0}, {0, 1, 0}};
    for (int item = 0; item < 4; ++item) {
        handScene(f, pos, v, {.latotav = 2});
        f.vonzox = 150;
        Inputs in;
        in.kozepenvonzo = item == 1;
        in.mozgovonzo = item == 2;
        in.elhelyez = item == 3;
        in.vonzaserosseg = 0;  // the centre still moves, but pulls nobody
        ujsebessegek(f, in);
        if (item == 2) {
            // centre of mass (105, 100, 100): flee by 0.5 along the offset, then the pull
            const double dx = 105 - 150.0, dy = 100 - 175.0, dz = 100 - 125.0;
            const double l = std::sqrt(dx * dx + dy * dy + dz * dz);
            EXPECT_NEAR(f.vonzox, 150 - dx / (2 * l) + (175 - (150 - dx / (2 * l))) / 250, 1e-12);
        } else {
            EXPECT_EQ(f.vonzox, 150.0) << item;
            EXPECT_EQ(f.vonzoy, 175.0) << item;
            EXPECT_EQ(f.vonzoz, 125.0) << item;
        }
        EXPECT_EQ(f.vx[1], 0.0) << item;
        EXPECT_EQ(f.vy[1], 1.0) << item;
    }
}

// ---------------------------------------------------------------- predators chase

class PredatorChase : public FlockTestWithParam<bool> {};

TEST_P(PredatorChase, EquallyNearPreyGoesToTheLowestIndex) {
    const bool lowerOnTheRight = GetParam();
    // individuals 2 and 3 are both 10 from the predator, one on each side
    const V3 right{110, 100, 100}, left{90, 100, 100};
    handScene(f, {{150, 150, 150}, lowerOnTheRight ? right : left, lowerOnTheRight ? left : right,
                  {100, 100, 111}},
              {});
    f.ragadozodb = 1;
    placePredator(f, 1, {100, 100, 100});
    movePredators(f, UpdateContext{});
    // 1 per cent of the way to individual 2: 100 +- 10 * 1 / 100
    EXPECT_EQ(f.ragx[1], lowerOnTheRight ? 100 + (110.0 - 100) * 1.0 / 100 : 100 + (90.0 - 100) * 1.0 / 100);
    EXPECT_NEAR(f.ragx[1], lowerOnTheRight ? 100.1 : 99.9, 1e-12);
    EXPECT_EQ(f.ragy[1], 100.0);
    EXPECT_EQ(f.ragz[1], 100.0);
}

INSTANTIATE_TEST_SUITE_P(BothSides, PredatorChase, ::testing::Bool());

using Predators = FlockTest;

TEST_F(Predators, CoverTheSpeedInPerCentOfTheWayEachTick) {
    handScene(f, {{110, 60, 100}}, {}, {.kozossebesseg = 2});
    f.ragadozodb = 1;
    placePredator(f, 1, {10, 10, 300});
    movePredators(f, UpdateContext{});
    // offset (100, 50, -200), times 2 / 100
    EXPECT_V3_EQ(predator(f, 1), (V3{12, 11, 296}));
}

TEST_F(Predators, OnlyTheLowerNumberedOfAPairIsPushed) {
    handScene(f, {{200, 100, 100}}, {});
    f.ragadozodb = 2;
    placePredator(f, 1, {100, 100, 100});
    placePredator(f, 2, {120, 100, 100});
    movePredators(f, UpdateContext{});
    // 1 chases to x = 101, then 2 (still at 120) is 19 away: pushed back by
    // 10 / 19; 2 only chases: 120 + 80 / 100
    EXPECT_NEAR(f.ragx[1], 101 - 10.0 / 19, 1e-12);
    EXPECT_EQ(f.ragy[1], 100.0);
    EXPECT_NEAR(f.ragx[2], 120.8, 1e-12);
    EXPECT_EQ(f.ragy[2], 100.0);
}

TEST_F(Predators, PushesUseTheMovedPositionOfPAndTheUnmovedPositionsOfTheOthers) {
    const double ks = 1.3;
    // near the origin, where the small terms are not lost in the coordinates
    // (predators are not bound to the box)
    const V3 prey{5.1, 3.5, 2.1};
    const V3 start[4] = {{}, {1.3, 1.8, 5.0}, {21.6, 3.2, 3.7}, {2.3, 32.5, 5.5}};
    handScene(f, {prey}, {}, {.kozossebesseg = ks});
    f.ragadozodb = 3;
    for (int p = 1; p <= 3; ++p) placePredator(f, p, start[p]);
    movePredators(f, UpdateContext{});

    // worked in the written order: p chases (its prey is the one individual),
    // then is pushed by q = p+1.., each q where it stood before its own turn
    V3 want[4] = {{}, start[1], start[2], start[3]};
    for (int p = 1; p <= 3; ++p) {
        V3& w = want[p];
        w = {w.x + (prey.x - w.x) * ks / 100, w.y + (prey.y - w.y) * ks / 100,
             w.z + (prey.z - w.z) * ks / 100};
        for (int q = p + 1; q <= 3; ++q) {
            const V3 e{start[q].x - w.x, start[q].y - w.y, start[q].z - w.z};
            const double m = testing::length(e);
            w = {w.x - e.x / m * ks * 10 / m, w.y - e.y / m * ks * 10 / m,
                 w.z - e.z / m * ks * 10 / m};
        }
        EXPECT_V3_EQ(predator(f, p), w) << p;
    }
}

TEST_F(Predators, WithinOneUnitTheLowerNumberedGetsARandomJolt) {
    std::set<double> seen;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        for (double gap : {0.5, 1.0}) {  // a distance of exactly 1 is not beyond 1
            handScene(f, {{100, 100, 100}}, {}, {.kozossebesseg = 1.5});
            f.ragadozodb = 2;
            placePredator(f, 1, {100, 100, 100});
            placePredator(f, 2, {100 + gap, 100, 100});
            f.rng.seed(seed);
            movePredators(f, UpdateContext{});

            // three integer draws in {0, 1, 2}, X then Y then Z: -(k - 1) * ks each
            Random r(seed);
            const int kx = r.integer(3), ky = r.integer(3), kz = r.integer(3);
            EXPECT_EQ(f.ragx[1], 100 - (kx - 1) * 1.5);
            EXPECT_EQ(f.ragy[1], 100 - (ky - 1) * 1.5);
            EXPECT_EQ(f.ragz[1], 100 - (kz - 1) * 1.5);
            EXPECT_EQ(f.rng.state(), r.state());
            // predator 2 only chases
            EXPECT_NEAR(f.ragx[2], 100 + gap - gap * 1.5 / 100, 1e-12);
            EXPECT_EQ(f.ragy[2], 100.0);
            seen.insert(f.ragx[1]);
        }
    }
    EXPECT_EQ(seen, (std::set<double>{98.5, 100, 101.5}));
}

TEST_F(Predators, SinglePredatorDrawsNothing) {
    handScene(f, {{100, 100, 100}}, {});
    f.ragadozodb = 1;
    placePredator(f, 1, {100, 100, 100});
    f.rng.seed(9);
    movePredators(f, UpdateContext{});
    EXPECT_EQ(f.rng.state(), 9u);
    EXPECT_V3_EQ(predator(f, 1), (V3{100, 100, 100}));
}

// ---------------------------------------------------------------- flight

struct FlightCase {
    const char* name;
    double distance;  // predator along +x from the individual
    int reach;        // R
    int strength;     // K
    bool flees;
};

std::ostream& operator<<(std::ostream& os, const FlightCase& c) { return os << c.name; }

class Flight : public FlockTestWithParam<FlightCase> {};

TEST_P(Flight, PushAwayGrowsAsThePredatorComesCloser) {
    const FlightCase c = GetParam();
    const double ks = 0.8;
    handScene(f, {{100, 100, 100}}, {{0, ks, 0}}, {.kozossebesseg = ks, .latotav = 2});
    f.ragadozodb = 1;
    placePredator(f, 1, {100 + c.distance, 100, 100});
    Inputs in;
    in.ragadozoeszleles = c.reach;
    in.reakcioerosseg = c.strength;
    updateOne(f, in, allPerceive(f), 1);
    // subtract (d / L) * K * ks / L
    V3 u{0, ks, 0};
    const double d = f.ragx[1] - 100;
    if (c.flees) u.x -= d / d * c.strength * ks / d;
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, ks));
}

INSTANTIATE_TEST_SUITE_P(
    Distances, Flight,
    ::testing::Values(FlightCase{"inside", 49, 50, 15, true},
                      FlightCase{"atReach", 50, 50, 15, false},
                      FlightCase{"beyondReach", 50.5, 50, 15, false},
                      FlightCase{"farReach", 150, 200, 20, true},
                      FlightCase{"close", 3, 50, 15, true},
                      FlightCase{"zeroStrength", 10, 50, 0, false},
                      FlightCase{"justAboveGuard", 0.0002, 50, 15, true},
                      FlightCase{"onThePredator", 0.00005, 50, 15, false},
                      FlightCase{"coincident", 0, 50, 15, false}),
    [](const ::testing::TestParamInfo<FlightCase>& info) { return std::string(info.param.name); });

TEST_F(Predators, FlightFromSeveralPredatorsAddsUp) {
    handScene(f, {{100, 100, 100}}, {{0, 0, 1}}, {.latotav = 2});
    f.ragadozodb = 2;
    placePredator(f, 1, {110, 100, 100});
    placePredator(f, 2, {100, 105, 100});
    Inputs in;  // R 50, K 15
    updateOne(f, in, allPerceive(f), 1);
    // 15 / 10 = 1.5 away along -x, 15 / 5 = 3 away along -y
    const V3 u{0 - 10.0 / 10 * 15 * 1 / 10, 0 - 5.0 / 5 * 15 * 1 / 5, 1};
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, 1));
}

// ---------------------------------------------------------------- adding and deleting

using PredatorMenu = FlockTest;

TEST_F(PredatorMenu, NewPredatorsTakeThreeDrawsAndSitAtCornersUpToFive) {
    handScene(f, {{100, 100, 100}}, {});
    f.rng.seed(31337);
    Random r(31337);
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(ujragadozo(f));
        EXPECT_EQ(f.ragadozodb, n);
        // Random(2) * 290 + 10 per coordinate, x then y then z
        EXPECT_EQ(f.ragx[n], r.integer(2) * 290 + 10) << n;
        EXPECT_EQ(f.ragy[n], r.integer(2) * 290 + 10) << n;
        EXPECT_EQ(f.ragz[n], r.integer(2) * 290 + 10) << n;
        for (double p : {f.ragx[n], f.ragy[n], f.ragz[n]}) EXPECT_TRUE(p == 10 || p == 300) << p;
        EXPECT_EQ(f.rng.state(), r.state());
    }
    // a sixth changes nothing and draws nothing
    const std::vector<double> x = f.ragx, y = f.ragy, z = f.ragz;
    EXPECT_FALSE(ujragadozo(f));
    EXPECT_EQ(f.ragadozodb, 5);
    EXPECT_EQ(f.ragx, x);
    EXPECT_EQ(f.ragy, y);
    EXPECT_EQ(f.ragz, z);
    EXPECT_EQ(f.rng.state(), r.state());

    // deleting keeps the old positions but reads none; a new one is placed afresh
    ragadozotorles(f);
    EXPECT_EQ(f.ragadozodb, 0);
    EXPECT_EQ(f.ragx, x);
    ujsebessegek(f, Inputs{});
    EXPECT_EQ(f.ragx, x);  // not moved while deleted
    ASSERT_TRUE(ujragadozo(f));
    EXPECT_EQ(f.ragadozodb, 1);
    EXPECT_TRUE(f.ragx[1] == 10 || f.ragx[1] == 300);
    EXPECT_EQ(f.ragx[2], x[2]);
}

TEST_F(PredatorMenu, DrawsOfManyNewPredatorsCoverEveryCorner) {
    std::set<std::tuple<double, double, double>> corners;
    handScene(f, {{100, 100, 100}}, {});
    f.rng.seed(5);
    for (int k = 0; k < 40; ++k) {
        ragadozotorles(f);
        ujragadozo(f);
        corners.insert({f.ragx[1], f.ragy[1], f.ragz[1]});
    }
    EXPECT_EQ(corners.size(), 8u);
}

}  // namespace
}  // namespace nyajkor
