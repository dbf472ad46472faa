// Boxes other than the window's: the periodic rules on hand-built flocks, the
// cell list against a literal cube walk over a lattice of any extents, and
// the vectorial noise on a worked example.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "model/cell_list.h"
#include "model/exact_trig.h"
#include "model/rounding.h"
#include "model/simulation.h"
#include "model/velocity_update.h"
#include "model/workers.h"

namespace nyajkor {
namespace {

struct P3 {
    double x, y, z;
};

Box periodicBox(int x, int y, int z) { return Box{{x, y, z}, Boundary::periodic}; }

// A flock in `box` at the given places and velocities, radius r, speed 1.
std::unique_ptr<Flock> flockIn(const Box& box, const std::vector<P3>& pos, const std::vector<P3>& vel, int r) {
    auto f = std::make_unique<Flock>(static_cast<int>(pos.size()));
    setBox(*f, box);
    f->egyeddb = static_cast<int>(pos.size());
    f->latotav = r;
    f->kozossebesseg = 1;
    f->tavtartaserosseg = 5;
    for (int i = 1; i <= f->egyeddb; ++i) {
        f->x[i] = pos[i - 1].x;
        f->y[i] = pos[i - 1].y;
        f->z[i] = pos[i - 1].z;
        const P3 v = i - 1 < static_cast<int>(vel.size()) ? vel[i - 1] : P3{0, 0, 0};
        f->vx[i] = v.x;
        f->vy[i] = v.y;
        f->vz[i] = v.z;
    }
    return f;
}

// The cube walk written out from the rules, cell by cell: the lattice as a
// map from cell to its highest-indexed occupant, the cube's cells visited a,
// b, c ascending, each taken modulo the extent in a periodic box and skipped
// outside a walled one.
Neighbours literalCubeWalk(const Flock& f, int i) {
    const Box& box = f.box;
    auto cellOf = [&](double p, int e) {
        int c = roundHalfEven(p);
        if (box.periodic() && c == e) c = 0;
        return c;
    };
    std::map<std::array<int, 3>, int> lattice;
    for (int k = 1; k <= f.egyeddb; ++k) {
        const std::array<int, 3> c{cellOf(f.x[k], box.extent[0]), cellOf(f.y[k], box.extent[1]),
                                   cellOf(f.z[k], box.extent[2])};
        bool inside = true;
        for (int a = 0; a < 3; ++a) inside = inside && c[a] >= 0 && c[a] < box.extent[a];
        if (inside) lattice[c] = k;
    }
    const int r = f.latotav;
    const std::array<int, 3> own{cellOf(f.x[i], box.extent[0]), cellOf(f.y[i], box.extent[1]),
                                 cellOf(f.z[i], box.extent[2])};
    Neighbours n;
    n.mintav = 2.0 * r;
    std::array<int, 3> cell{};
    for (int a = own[0] - r; a <= own[0] + r; ++a)
        for (int b = own[1] - r; b <= own[1] + r; ++b)
            for (int c = own[2] - r; c <= own[2] + r; ++c) {
                const int raw[3] = {a, b, c};
                bool inside = true;
                for (int k = 0; k < 3; ++k) {
                    const int e = box.extent[k];
                    cell[k] = box.periodic() ? ((raw[k] % e) + e) % e : raw[k];
                    inside = inside && cell[k] >= 0 && cell[k] < e;
                }
                if (!inside || !lattice.count(cell)) continue;
                const int k = lattice[cell];
                if (k == i) continue;
                double d3[3] = {f.x[k] - f.x[i], f.y[k] - f.y[i], f.z[k] - f.z[i]};
                if (box.periodic())
                    for (int ax = 0; ax < 3; ++ax) d3[ax] = minimumImage(d3[ax], box.extent[ax]);
                const double d = std::sqrt(d3[0] * d3[0] + d3[1] * d3[1] + d3[2] * d3[2]);
                if (d < n.mintav) {
                    n.mintav = d;
                    n.kozelx = box.periodic() ? f.x[i] + d3[0] : f.x[k];
                    n.kozely = box.periodic() ? f.y[i] + d3[1] : f.y[k];
                    n.kozelz = box.periodic() ? f.z[i] + d3[2] : f.z[k];
                }
                if (d < r && d > 0) {
                    n.sumvx += f.vx[k];
                    n.sumvy += f.vy[k];
                    n.sumvz += f.vz[k];
                    n.szomszeddb += 1;
                }
            }
    return n;
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

std::string differenceFrom(const Neighbours& got, const Neighbours& want) {
    if (got.szomszeddb != want.szomszeddb)
        return "szomszeddb " + std::to_string(got.szomszeddb) + " != " + std::to_string(want.szomszeddb);
    const double g[] = {got.sumvx, got.sumvy, got.sumvz, got.mintav, got.kozelx, got.kozely, got.kozelz};
    const double w[] = {want.sumvx, want.sumvy, want.sumvz, want.mintav, want.kozelx, want.kozely, want.kozelz};
    const char* names[] = {"sumvx", "sumvy", "sumvz", "mintav", "kozelx", "kozely", "kozelz"};
    for (int k = 0; k < 7; ++k)
        if (!sameBits(g[k], w[k])) return std::string(names[k]) + " differs";
    return "";
}

// ------------------------------------------------- the cell list's search

struct SearchCase {
    Box box;
    int n, r;
    double crowd;  // share of individuals placed on a face or a few hundredths from one
};

std::ostream& operator<<(std::ostream& os, const SearchCase& c) {
    return os << c.box.extent[0] << "x" << c.box.extent[1] << "x" << c.box.extent[2]
              << (c.box.periodic() ? " periodic" : " walls") << ", n " << c.n << ", r " << c.r;
}

class CellListSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(CellListSearch, FindsWhatTheLiteralCubeWalkFindsForEveryIndividual) {
    const SearchCase c = GetParam();
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937_64 gen(seed);
        std::vector<P3> pos, vel;
        for (int i = 0; i < c.n; ++i) {
            double p[3];
            for (int k = 0; k < 3; ++k) {
                const int e = c.box.extent[k];
                const double lo = c.box.periodic() ? 0 : -0.4, hi = c.box.periodic() ? e : e - 0.6;
                p[k] = std::uniform_real_distribution<double>(lo, hi)(gen);
                // crowd the faces and the cell edges, where wrapping and rounding decide
                if (std::uniform_real_distribution<double>(0, 1)(gen) < c.crowd)
                    p[k] = c.box.periodic() ? (gen() % 2 ? e - 1e-3 * (gen() % 30) : 1e-3 * (gen() % 30))
                                            : std::round(p[k]) + 0.5;
                if (c.box.periodic() && gen() % 50 == 0) p[k] = e;  // exactly at the extent
            }
            pos.push_back({p[0], p[1], p[2]});
            vel.push_back({std::uniform_real_distribution<double>(-1, 1)(gen),
                           std::uniform_real_distribution<double>(-1, 1)(gen),
                           std::uniform_real_distribution<double>(-1, 1)(gen)});
        }
        // some on one another and some sharing cells
        for (int i = 0; i + 1 < c.n; i += 7) pos[i + 1] = pos[i];
        auto f = flockIn(c.box, pos, vel, c.r);
        CellList cells;
        cells.rebuild(*f);
        for (int i = 1; i <= f->egyeddb; ++i)
            ASSERT_EQ(differenceFrom(cells.search(*f, i), literalCubeWalk(*f, i)), "")
                << "seed " << seed << ", individual " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, CellListSearch,
    ::testing::Values(SearchCase{periodicBox(20, 25, 30), 400, 3, 0.2}, SearchCase{periodicBox(9, 12, 15), 300, 4, 0.3},
                      SearchCase{periodicBox(10, 10, 10), 500, 0, 0.2}, SearchCase{periodicBox(40, 40, 40), 60, 6, 0.1},
                      SearchCase{periodicBox(13, 64, 11), 700, 5, 0.3},
                      SearchCase{Box{{60, 70, 80}, Boundary::walls}, 900, 5, 0.3},
                      SearchCase{Box{{60, 60, 60}, Boundary::walls}, 200, 20, 0.1}));

// ------------------------------------------------- the periodic rules, by hand

struct Wrap {
    double p, v;  // position and velocity along one axis of extent 10
    double after;
};

class PeriodicMove : public ::testing::TestWithParam<Wrap> {};

TEST_P(PeriodicMove, WrapsOnceThroughTheOppositeFaceOnEveryAxis) {
    const Wrap w = GetParam();
    for (int axis = 0; axis < 3; ++axis) {
        P3 p{5, 5, 5}, v{0, 0, 0};
        (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = w.p;
        (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = w.v;
        auto f = flockIn(periodicBox(10, 10, 10), {p}, {v}, 1);
        moveAndFillLattice(*f);
        const double got = axis == 0 ? f->x[1] : axis == 1 ? f->y[1] : f->z[1];
        EXPECT_TRUE(sameBits(got, w.after)) << "axis " << axis << ": " << got;
    }
}

INSTANTIATE_TEST_SUITE_P(Faces, PeriodicMove,
                         ::testing::Values(Wrap{9.5, 1, 0.5}, Wrap{0.5, -1, 9.5}, Wrap{9, 1, 0}, Wrap{1, -1, 0},
                                           Wrap{0.25, -2, 8.25}, Wrap{9.75, 2, 1.75},
                                           // a tiny negative plus the extent rounds to the extent
                                           Wrap{0, -1e-17, 10}, Wrap{4, 0.5, 4.5}));

TEST(PeriodicRules, ANeighbourAcrossTheSeamIsPerceivedAtItsMinimumImageDistance) {
    // 1 at x = 0.5, 2 at x = 99.0: 1.5 apart across the seam; 3 across the
    // corner (all three axes) about a unit away on each axis (at 99.5 it
    // would round to the cell at the extent, cell 0, and share 4's cell)
    auto f = flockIn(periodicBox(100, 100, 100), {{0.5, 50, 50}, {99.0, 50, 50}, {99.4, 99.4, 99.4}, {0.3, 0.4, 0.2}},
                     {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5, 0.5, 0}}, 3);
    CellList cells;
    cells.rebuild(*f);
    const Neighbours n1 = cells.search(*f, 1);
    EXPECT_EQ(n1.szomszeddb, 1);
    EXPECT_EQ(n1.mintav, 1.5);
    EXPECT_EQ(n1.kozelx, 0.5 + (99.0 - 0.5 - 100));  // p_i + delta, not the far image
    EXPECT_EQ(n1.sumvy, 1);
    // the nearest across the corner
    const Neighbours n4 = cells.search(*f, 4);
    EXPECT_EQ(n4.szomszeddb, 1);
    const double dx = minimumImage(99.4 - 0.3, 100), dy = minimumImage(99.4 - 0.4, 100),
                 dz = minimumImage(99.4 - 0.2, 100);
    EXPECT_EQ(n4.mintav, std::sqrt(dx * dx + dy * dy + dz * dz));
    EXPECT_EQ(n4.kozelx, 0.3 + dx);
    EXPECT_EQ(n4.kozely, 0.4 + dy);
    EXPECT_EQ(n4.kozelz, 0.2 + dz);
    EXPECT_LT(n4.kozelx, 0);  // the image beside it, outside the box
}

TEST(PeriodicRules, DistanceKeepingPushesAwayFromTheImageAcrossTheSeamAndNoWallActs) {
    // repulsive distance keeping at the equilibrium distance 3: individual
    // 1 at x = 0.5 is pushed towards +x, away from 2 across the seam, and a
    // wall would have pushed it the other way as well
    auto f = flockIn(periodicBox(100, 100, 100), {{0.5, 50, 50}, {99.0, 50, 50}}, {{0, 1, 0}, {0, 1, 0}}, 3);
    Inputs in;
    in.sugar = 3;
    in.tavolsag = 3;
    in.egyenitaszito = true;
    in.parameter = 0;
    f->zaj = 0;
    f->tavtartaserosseg = 50;
    CellList cells;
    cells.rebuild(*f);
    const Neighbours n = cells.search(*f, 1);
    UpdateContext ctx;
    updateIndividual(*f, in, ctx, 1, n, f->rng);
    // the mean heading (0, 1, 0) plus a push of 50% along +x, renormalised
    const double ux = 1.5 / 1.5 * 1 * 50 / 100.0;
    const double norm = std::sqrt(ux * ux + 1);
    EXPECT_EQ(f->ujvx[1], ux * 1 / norm);
    EXPECT_EQ(f->ujvy[1], 1 * 1 / norm);
    commitVelocities(*f);
    EXPECT_GT(f->vx[1], 0);  // no reflection at the face either
}

TEST(VectorialNoise, WorkedExample) {
    // individual 1 perceives 2 and 3; S = v2 + v3 + v1, m = 3
    auto f = flockIn(periodicBox(50, 50, 50), {{10, 10, 10}, {11, 10, 10}, {10, 11.5, 10}},
                     {{1, 0, 0}, {0, 1, 0}, {0.6, 0, 0.8}}, 2);
    f->noiseModel = NoiseModel::vectorial;
    f->zaj = 0.3;
    f->kozossebesseg = 1.5;
    f->rng.seed(12345);
    Random draws(12345);
    const double u1 = draws.real(), u2 = draws.real();
    CellList cells;
    cells.rebuild(*f);
    Inputs in;
    updateIndividual(*f, in, UpdateContext{}, 1, cells.search(*f, 1), f->rng);
    EXPECT_EQ(f->rng.state(), draws.state());  // two draws
    const double z = 1 - 2 * u1, phi = 2 * std::numbers::pi * u2, s = std::sqrt(1 - z * z);
    const double xi[3] = {s * correctlyRoundedCos(phi), s * correctlyRoundedSin(phi), z};
    const double sum[3] = {0 + 0.6 + 1, 1 + 0 + 0, 0 + 0.8 + 0};  // neighbours in visiting order, own last
    const double amp = (0.3 * 3) * 1.5;
    double v[3];
    for (int k = 0; k < 3; ++k) v[k] = sum[k] + amp * xi[k];
    const double norm = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    EXPECT_EQ(f->ujvx[1], v[0] * 1.5 / norm);
    EXPECT_EQ(f->ujvy[1], v[1] * 1.5 / norm);
    EXPECT_EQ(f->ujvz[1], v[2] * 1.5 / norm);
}

// ------------------------------------------------- whole runs

struct RunCase {
    Box box;
    int n, r, noise;
    NoiseModel model;
};

class ResearchRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(ResearchRuns, AreTheSameBitsOnOneAndTwoThreadsAndStayInTheBox) {
    const RunCase c = GetParam();
    Inputs in;
    in.egyedszam = c.n;
    in.sugar = c.r;
    in.tavolsag = c.r;
    in.parameter = c.noise;
    Workers one(1), two(2);
    std::unique_ptr<Flock> f[2];
    for (int k = 0; k < 2; ++k) {
        f[k] = std::make_unique<Flock>(c.n);
        setBox(*f[k], c.box);
        f[k]->noiseModel = c.model;
        start(*f[k], in, 99);
    }
    for (int t = 0; t < 15; ++t) {
        tick(*f[0], in, {NeighbourSearch::columns, &one});
        tick(*f[1], in, {NeighbourSearch::columns, &two});
    }
    for (int i = 1; i <= c.n; ++i) {
        ASSERT_TRUE(sameBits(f[0]->x[i], f[1]->x[i]) && sameBits(f[0]->vz[i], f[1]->vz[i])) << i;
        if (c.box.periodic()) {
            ASSERT_TRUE(f[0]->x[i] >= 0 && f[0]->x[i] <= c.box.extent[0]) << i;
        }
    }
    EXPECT_TRUE(sameBits(f[0]->rendparameter, f[1]->rendparameter));
    EXPECT_EQ(f[0]->rng.state(), f[1]->rng.state());
}

INSTANTIATE_TEST_SUITE_P(Setups, ResearchRuns,
                         ::testing::Values(RunCase{periodicBox(30, 30, 30), 1700, 4, 45, NoiseModel::vectorial},
                                           RunCase{periodicBox(30, 40, 50), 3000, 3, 20, NoiseModel::cube},
                                           RunCase{Box{}, 7000, 6, 20, NoiseModel::cube},
                                           RunCase{Box{{60, 80, 100}, Boundary::walls}, 800, 5, 30,
                                                   NoiseModel::vectorial}));

}  // namespace
}  // namespace nyajkor
