// Distance keeping from the nearest neighbour and the pull towards the
// centre of mass.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

enum class Item { autotaszito, egyenitaszito, autovonzo, egyenivonzo };
enum class Effect { none, push, pull, rawPush };

const char* itemName(Item m) {
    switch (m) {
        case Item::autotaszito: return "autotaszito";
        case Item::egyenitaszito: return "egyenitaszito";
        case Item::autovonzo: return "autovonzo";
        case Item::egyenivonzo: return "egyenivonzo";
    }
    return "";
}

Inputs checked(Item m, int tavolsag) {
    Inputs in;
    in.tavolsag = tavolsag;
    in.autotaszito = m == Item::autotaszito;
    in.egyenitaszito = m == Item::egyenitaszito;
    in.autovonzo = m == Item::autovonzo;
    in.egyenivonzo = m == Item::egyenivonzo;
    return in;
}

struct KeepCase {
    Item item;
    double distance;  // of the one neighbour, along x; D = 3, r = 5
    int strength;     // T
    Effect effect;
};

// the test's name: item, distance and strength
std::ostream& operator<<(std::ostream& os, const KeepCase& c) {
    return os << itemName(c.item) << " at " << c.distance << ", T " << c.strength;
}

class DistanceKeeping : public FlockTestWithParam<KeepCase> {};

TEST_P(DistanceKeeping, PushesOrPullsAlongTheOffsetToTheNearest) {
    const KeepCase c = GetParam();
    const double ks = 1.5;
    // 1 heads up, its neighbour 2 sideways; 2 is registered (higher index)
    // even when the two share a cell
    const V3 own{0, 0, ks}, other{0, ks, 0};
    handScene(f, {{100, 100, 100}, {100 + c.distance, 100, 100}}, {own, other},
              {.kozossebesseg = ks, .latotav = 5, .tavtartaserosseg = c.strength});
    updateOne(f, checked(c.item, 3), allPerceive(f), 1);

    // the base is the neighbour's heading when perceived, else the own one
    const double d = f.x[2] - f.x[1];
    V3 u = d > 0 && d < 5 ? other : own;
    const double mintav = std::sqrt(d * d + 0.0 * 0.0 + 0.0 * 0.0);
    switch (c.effect) {
        case Effect::none: break;
        case Effect::push: u.x -= d / mintav * ks * c.strength / 100; break;
        case Effect::pull: u.x += d / mintav * ks * c.strength / 100; break;
        case Effect::rawPush: u.x -= d; break;
    }
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, ks));
}

// With D = 3 and r = 5: the repulsive rule acts below D only; the
// attractive-repulsive one pushes up to and including D, pulls beyond it up
// to (not including) r. Below 0.0001 the raw offset is subtracted, even at T = 0.
INSTANTIATE_TEST_SUITE_P(
    Distances, DistanceKeeping,
    ::testing::Values(
        KeepCase{Item::autotaszito, 2, 10, Effect::push},
        KeepCase{Item::egyenitaszito, 2, 10, Effect::push},
        KeepCase{Item::autotaszito, 3, 10, Effect::none},
        KeepCase{Item::egyenitaszito, 3, 10, Effect::none},
        KeepCase{Item::autotaszito, 4, 10, Effect::none},
        KeepCase{Item::autotaszito, 0.5, 20, Effect::push},
        KeepCase{Item::autotaszito, 0.00005, 10, Effect::rawPush},
        KeepCase{Item::autotaszito, 0.00005, 0, Effect::rawPush},
        KeepCase{Item::autotaszito, 2, 0, Effect::none},
        KeepCase{Item::autotaszito, 0, 10, Effect::none},  // coincident: mintav 0
        KeepCase{Item::autovonzo, 2, 10, Effect::push},
        KeepCase{Item::egyenivonzo, 2, 10, Effect::push},
        KeepCase{Item::autovonzo, 3, 10, Effect::push},
        KeepCase{Item::egyenivonzo, 3, 10, Effect::push},
        KeepCase{Item::autovonzo, 3.01, 10, Effect::pull},
        KeepCase{Item::autovonzo, 4, 10, Effect::pull},
        KeepCase{Item::egyenivonzo, 4.9, 7, Effect::pull},
        KeepCase{Item::autovonzo, 5, 10, Effect::none},  // at r
        KeepCase{Item::autovonzo, 5.4, 10, Effect::none},  // found (cell 105), beyond r
        KeepCase{Item::egyenivonzo, 0.00005, 10, Effect::rawPush},
        KeepCase{Item::egyenivonzo, 0.00005, 0, Effect::rawPush},
        KeepCase{Item::autovonzo, 4, 0, Effect::none},
        KeepCase{Item::autovonzo, 0, 10, Effect::none}));

using NearestNeighbourRules = FlockTest;

TEST_F(NearestNeighbourRules, PushAwayFromTheNearestOnlyNotTheOthers) {
    // 2 is nearest (diagonal offset); 3 is also within D but farther
    handScene(f, {{100, 100, 100}, {101, 101, 100}, {100, 98.5, 100}},
              {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {.latotav = 5, .tavtartaserosseg = 20});
    updateOne(f, checked(Item::egyenitaszito, 5), allPerceive(f), 1);
    // base: mean of (0,0,1) twice; push: (1,1,0)/sqrt2 * 1 * 20/100 away
    const double m = std::sqrt(1.0 * 1.0 + 1.0 * 1.0 + 0.0 * 0.0);
    const V3 u{0 - 1.0 / m * 1 * 20 / 100, 0 - 1.0 / m * 1 * 20 / 100, (0.0 + 1 + 1) / 2};
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, 1));
}

TEST_F(NearestNeighbourRules, NobodyFoundMeansNoPushEvenWhenDExceedsTwiceTheRadius) {
    // alone, with r = 2 the search reports mintav = 2r = 4 and the origin as
    // the nearest position; D = 5 > 4, yet there is nobody to keep away from
    handScene(f, {{100, 120, 140}}, {{0, 0, 1}}, {.latotav = 2, .tavtartaserosseg = 20});
    for (Item m : {Item::autotaszito, Item::egyenitaszito, Item::autovonzo, Item::egyenivonzo}) {
        updateOne(f, checked(m, 5), allPerceive(f), 1);
        EXPECT_V3_EQ(ujv(f, 1), (V3{0, 0, 1})) << itemName(m);
    }
}

TEST_F(NearestNeighbourRules, NobodyFoundWithTheRadiusAtTheEquilibriumDistance) {
    handScene(f, {{100, 120, 140}}, {{0, 1, 0}}, {.latotav = 3, .tavtartaserosseg = 20});
    for (Item m : {Item::autotaszito, Item::egyenitaszito, Item::autovonzo, Item::egyenivonzo}) {
        updateOne(f, checked(m, 3), allPerceive(f), 1);
        EXPECT_V3_EQ(ujv(f, 1), (V3{0, 1, 0})) << itemName(m);
    }
}

TEST_F(NearestNeighbourRules, TermsFollowTheirFormulaOrderOnADiagonalOffset) {
    // (dn / mintav) * ks * T / 100 on an offset whose unit vector is inexact,
    // so a different order of the operations rounds differently; the
    // neighbour stands still, so the term alone makes the new heading
    const double ks = 1.3;
    const V3 other{0, 0, 0};
    struct Scene {
        Item item;
        V3 neighbour;
        double sign;  // -1 push, +1 pull
    };
    for (const Scene s : {Scene{Item::egyenitaszito, {101.3, 99.1, 100.7}, -1},   // 1.73 < D
                          Scene{Item::egyenivonzo, {101.3, 99.1, 100.7}, -1},
                          Scene{Item::egyenivonzo, {102.4, 99.5, 101.8}, +1}}) {  // 3.04 > D
        handScene(f, {{100, 100, 100}, s.neighbour}, {{0, 0, ks}, other},
                  {.kozossebesseg = ks, .latotav = 5, .tavtartaserosseg = 13});
        updateOne(f, checked(s.item, 3), allPerceive(f), 1);
        const V3 dn{f.x[2] - f.x[1], f.y[2] - f.y[1], f.z[2] - f.z[1]};
        const double mintav = testing::length(dn);
        const V3 u{other.x + s.sign * (dn.x / mintav * ks * 13 / 100),
                   other.y + s.sign * (dn.y / mintav * ks * 13 / 100),
                   other.z + s.sign * (dn.z / mintav * ks * 13 / 100)};
        EXPECT_V3_EQ(ujv(f, 1), renormalised(u, ks)) << itemName(s.item) << " " << s.sign;
    }
}

// ---------------------------------------------------------------- centre of mass

struct CohesionCase {
    bool checked;
    int strength;  // P
};

std::ostream& operator<<(std::ostream& os, const CohesionCase& c) {
    return os << (c.checked ? "checked" : "unchecked") << ", P " << c.strength;
}

class CentreOfMass : public FlockTestWithParam<CohesionCase> {};

TEST_P(CentreOfMass, PullGrowsWithTheDistance) {
    const CohesionCase c = GetParam();
    // three individuals far apart (r = 2 finds nobody); centre of mass
    // (454 / 3, 150, 100), about (151.33, 150, 100)
    handScene(f, {{100, 100, 100}, {203, 100, 100}, {151, 250, 100}},
              {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {.kozossebesseg = 1.1, .latotav = 2});
    Inputs in;
    in.tkpvonzas = c.checked;
    in.tkpvonzaserosseg = c.strength;
    const UpdateContext ctx = beginUpdate(f, in);
    EXPECT_EQ(ctx.tkpx, (0.0 + 100 + 203 + 151) / 3);
    EXPECT_EQ(ctx.tkpy, 150.0);
    EXPECT_EQ(ctx.tkpz, 100.0);
    updateOne(f, in, ctx, 1);
    // P * (tkp - x) * ks / 100000, in this order (the values are chosen so
    // that another order rounds differently)
    V3 u{0, 0, 1};
    if (c.checked) {
        u.x += c.strength * (ctx.tkpx - 100) * 1.1 / 100000;
        u.y += c.strength * (150.0 - 100) * 1.1 / 100000;
        u.z += c.strength * (100.0 - 100) * 1.1 / 100000;
    }
    EXPECT_V3_EQ(ujv(f, 1), renormalised(u, 1.1));
    if (c.checked && c.strength == 5) {
        // 5 * 51.333... * 1.1 / 100000 against the z component 1
        EXPECT_NEAR(f.ujvx[1] / f.ujvz[1], 0.00282333333333, 1e-13);
    }
}

INSTANTIATE_TEST_SUITE_P(Strengths, CentreOfMass,
                         ::testing::Values(CohesionCase{true, 5}, CohesionCase{true, 20},
                                           CohesionCase{true, 13}, CohesionCase{true, 0},
                                           CohesionCase{false, 20}));

}  // namespace
}  // namespace nyajkor
