// Helpers for tests that build small flocks by hand.
//
// Each test suite shares one Flock (FlockTest) and every test rebuilds the
// part of the state it reads with handScene(): the box constants, N individuals at given positions with
// given velocities, the run parameters, no predators. The lattice is filled
// the way the tick fills it (moveAndFillLattice with zero velocities, so the
// positions stay as given), which also drops the cells a previous test left.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

#include "model/flock.h"
#include "model/simulation.h"
#include "model/velocity_update.h"

namespace nyajkor::testing {

struct V3 {
    double x = 0, y = 0, z = 0;
};

// Test names show the vector.
inline std::ostream& operator<<(std::ostream& os, V3 v) { return os << "(" << v.x << ", " << v.y << ", " << v.z << ")"; }

inline double length(V3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// ujv scaled to the common speed, as the renormalisation does it: each
// component times ks, divided by the length (1 when the length is below 0.0001).
inline V3 renormalised(V3 ujv, double ks) {
    double n = length(ujv);
    if (n < 0.0001) n = 1;
    return {ujv.x * ks / n, ujv.y * ks / n, ujv.z * ks / n};
}

struct SceneParams {
    double kozossebesseg = 1.0;
    double zaj = 0.0;
    int latotav = 3;
    int tavtartaserosseg = 5;
};

inline void handScene(Flock& f, const std::vector<V3>& pos, const std::vector<V3>& vel,
                      SceneParams p = {}) {
    setBoxConstants(f);
    f.egyeddb = static_cast<int>(pos.size());
    f.kozossebesseg = p.kozossebesseg;
    f.zaj = p.zaj;
    f.latotav = p.latotav;
    f.tavtartaserosseg = p.tavtartaserosseg;
    f.ragadozodb = 0;
    f.vonzox = f.xkozep;
    f.vonzoy = f.xkozep;
    f.vonzoz = f.zkozep;
    f.rng.seed(1);
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.x[i] = pos[i - 1].x;
        f.y[i] = pos[i - 1].y;
        f.z[i] = pos[i - 1].z;
        f.vx[i] = f.vy[i] = f.vz[i] = 0;
    }
    moveAndFillLattice(f);
    for (int i = 1; i <= f.egyeddb; ++i) {
        const V3 v = i - 1 < static_cast<int>(vel.size()) ? vel[i - 1] : V3{};
        f.vx[i] = v.x;
        f.vy[i] = v.y;
        f.vz[i] = v.z;
    }
}

// Step 5 for individual i alone: the plain cube search, then the rules.
inline IndividualResult updateOne(Flock& f, const Inputs& in, const UpdateContext& ctx, int i) {
    return updateIndividual(f, in, ctx, i, searchPlainCube(f, i), f.rng);
}

// The context the update gives every individual when no mode needs more:
// everybody may perceive the centre, the centre of mass at the origin.
inline UpdateContext allPerceive(const Flock& f) {
    UpdateContext ctx;
    ctx.eszlelodb = f.egyeddb;
    return ctx;
}

inline V3 ujv(const Flock& f, int i) { return {f.ujvx[i], f.ujvy[i], f.ujvz[i]}; }
inline V3 vel(const Flock& f, int i) { return {f.vx[i], f.vy[i], f.vz[i]}; }

// One flock per test suite, set up once.
class FlockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared_ = std::make_unique<Flock>();
        setBoxConstants(*shared_);
    }
    static void TearDownTestSuite() { shared_.reset(); }

    Flock& f = *shared_;

private:
    static inline std::unique_ptr<Flock> shared_;
};

inline ::testing::AssertionResult v3Equal(const char* actualText, const char* expectedText,
                                          V3 a, V3 e) {
    if (a.x == e.x && a.y == e.y && a.z == e.z) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actualText << " is (" << ::testing::PrintToString(a.x) << ", "
           << ::testing::PrintToString(a.y) << ", " << ::testing::PrintToString(a.z) << "), "
           << expectedText << " is (" << ::testing::PrintToString(e.x) << ", "
           << ::testing::PrintToString(e.y) << ", " << ::testing::PrintToString(e.z) << ")";
}

template <typename Param>
class FlockTestWithParam : public FlockTest, public ::testing::WithParamInterface<Param> {};

}  // namespace nyajkor::testing

// Component by component, exactly: use as EXPECT_V3_EQ(actual, expected) << "context".
#define EXPECT_V3_EQ(actual, expected) \
    EXPECT_PRED_FORMAT2(::nyajkor::testing::v3Equal, actual, expected)
