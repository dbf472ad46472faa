#include "render/depth_order.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "model/scenes.h"
#include "render_fixture.h"

namespace nyajkor::testing {
namespace {

using ::testing::ElementsAre;

class DepthOrder : public RenderTest {
protected:
    std::vector<int> order() const {
        return {v.sorrend.begin() + 1, v.sorrend.begin() + f.egyeddb + 1};
    }
};

// --- the counting sort ------------------------------------------------------

TEST_F(DepthOrder, SortsByWholeUnitsOfDepthFarthestFirst) {
    // 1 and 2 share a bucket, so 2 comes first although it is nearer
    setDepths({2.5, 2.7, 1.2});
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(3, 2, 1));
}

TEST_F(DepthOrder, OneBucketGivesDescendingIndex) {
    setDepths({40.1, 40.9, 40.5, 40.0, 40.7});
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(5, 4, 3, 2, 1));
}

TEST_F(DepthOrder, BucketsSplitBelowZeroAtWholeNumbers) {
    // -1.0 falls one bucket below -0.5, so ascending index survives
    setDepths({-1.0, -0.5});
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(1, 2));
    // 0.0 and 0.99 share a bucket, and so do -0.5 and -0.01
    setDepths({0.0, 0.99});
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(2, 1));
    setDepths({-0.5, -0.01});
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(2, 1));
}

// A depth's bucket, worked out apart from the code: the floor, except that
// whole negative depths go one lower.
double bucketOf(double depth) { return depth >= 0 ? std::floor(depth) : std::ceil(depth) - 1; }

TEST_F(DepthOrder, WholeFlockIsOrderedByBucketThenDescendingIndex) {
    const Inputs scene = plainInputs(5000, 5);
    startScene(f, scene, 12345);
    for (int xalfa : {0, 36, 90}) {
        in.Xalfa = xalfa;
        in.Zbeta = 3 * xalfa + 7;
        rotationPass(f, in, v);
        rendezes(f, in, v);

        std::vector<int> sorted = order();
        std::sort(sorted.begin(), sorted.end());
        std::vector<int> all(5000);
        std::iota(all.begin(), all.end(), 1);
        ASSERT_EQ(sorted, all) << "not a permutation at Xalfa " << xalfa;

        for (int r = 1; r < 5000; ++r) {
            const int a = v.sorrend[r], b = v.sorrend[r + 1];
            const double ka = bucketOf(v.py[a]), kb = bucketOf(v.py[b]);
            ASSERT_TRUE(ka < kb || (ka == kb && a > b))
                << "positions " << r << ", " << r + 1 << " at Xalfa " << xalfa;
        }
    }
}

TEST_F(DepthOrder, DepthsFarOutsideTheBoxStillGiveEveryIndexOnce) {
    // No such depths arise from the box; set up by hand they must neither be
    // lost from the order nor reach past the buckets.
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    setDepths({0, 1000, -1e9, 5.5, kNaN, kInf, 599.5, -kInf, 1e300});
    rendezes(f, in, v);
    std::vector<int> sorted = order();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_THAT(sorted, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9));
    // the farthest first, within reach of the buckets in order
    EXPECT_EQ(v.sorrend[1], 8);
}

TEST_F(DepthOrder, LiveCountBeyondTheArraysIsHeldToThem) {
    setDepths({1.0, 2.0});
    f.egyeddb = kMaxEgyed + 100;
    rendezes(f, in, v);  // reads and writes within 1..kMaxEgyed only
    f.egyeddb = 2;
    rendezes(f, in, v);
    EXPECT_THAT(order(), ElementsAre(1, 2));
}

// --- ranks of the attracting centre and the predators -------------------------

TEST_F(DepthOrder, CentreRanksByExactDepthAmongTheIndividuals) {
    in.kozepenvonzo = true;
    setDepths({2.5, 2.7, 1.2});
    v.pvonzoy = 2.6;  // 2.5 and 1.2 are farther
    rendezes(f, in, v);
    EXPECT_EQ(v.vonzosorszam, 3);  // drawn last, over individual 2 although that one is nearer
}

struct RankCase {
    double depth;
    int rank;
};

std::ostream& operator<<(std::ostream& os, const RankCase& c) {
    return os << "depth " << c.depth << " -> rank " << c.rank;
}

class CentreRank : public DepthOrder, public ::testing::WithParamInterface<RankCase> {};

TEST_P(CentreRank, CountsStrictlyFartherIndividualsCappedAtN) {
    in.mozgovonzo = true;
    setDepths({1.0, 2.0, 3.0, 4.0});
    v.pvonzoy = GetParam().depth;
    rendezes(f, in, v);
    EXPECT_EQ(v.vonzosorszam, GetParam().rank);
}

INSTANTIATE_TEST_SUITE_P(DepthOrder, CentreRank,
                         ::testing::Values(RankCase{-200, 1},   // behind everyone
                                           RankCase{1.0, 1},    // level does not count
                                           RankCase{2.0, 2}, RankCase{2.5, 3},
                                           RankCase{4.0, 4},
                                           RankCase{200, 4}));  // would be N + 1

TEST_F(DepthOrder, PredatorsRankOneByOneAndLevelOnesShareARank) {
    setDepths({1.0, 2.0, 3.0, 4.0});
    f.ragadozodb = 3;
    v.pragy[1] = 2.5;
    v.pragy[2] = 2.5;
    v.pragy[3] = 99;
    v.ragadozosorszam[4] = 77;  // not live
    rendezes(f, in, v);
    EXPECT_EQ(v.ragadozosorszam[1], 3);
    EXPECT_EQ(v.ragadozosorszam[2], 3);
    EXPECT_EQ(v.ragadozosorszam[3], 4);
    EXPECT_EQ(v.ragadozosorszam[4], 77);
}

TEST_F(DepthOrder, RanksKeepTheirValuesWhileTheirObjectsAreAbsent) {
    setDepths({1.0, 2.0});
    v.vonzosorszam = 77;
    v.ragadozosorszam[1] = 78;
    v.pvonzoy = 1.5;
    v.pragy[1] = 1.5;
    rendezes(f, in, v);  // no centre active, no predators
    EXPECT_EQ(v.vonzosorszam, 77);
    EXPECT_EQ(v.ragadozosorszam[1], 78);
}

TEST_F(DepthOrder, EmptyFlockOrdersNothing) {
    in.elhelyez = true;
    v.sorrend[1] = 77;
    rendezes(f, in, v);
    EXPECT_EQ(v.sorrend[1], 77);
}

}  // namespace
}  // namespace nyajkor::testing
