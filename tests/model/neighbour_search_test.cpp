// The fast neighbour search and the parallel update against the plain cube
// scan on one thread: whole runs must agree bit for bit.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "model/lane_search.h"
#include "model/scenes.h"
#include "model/simulation.h"
#include "model/velocity_update.h"
#include "model/workers.h"

namespace nyajkor {
namespace {

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// The first difference between two flocks, or "" when they agree bit for bit.
std::string firstDifference(const Flock& a, const Flock& b) {
    auto scalar = [](const char* name, double u, double v) {
        return sameBits(u, v) ? std::string() : std::string(name) + " differs";
    };
    for (const auto& d : {scalar("atlagtav", a.atlagtav, b.atlagtav),
                          scalar("atlagszomszed", a.atlagszomszed, b.atlagszomszed),
                          scalar("rendparameter", a.rendparameter, b.rendparameter),
                          scalar("vonzox", a.vonzox, b.vonzox), scalar("vonzoy", a.vonzoy, b.vonzoy),
                          scalar("vonzoz", a.vonzoz, b.vonzoz)})
        if (!d.empty()) return d;
    if (a.rng.state() != b.rng.state()) return "generator state differs";
    if (a.tavtartaserosseg != b.tavtartaserosseg) return "strength differs";
    for (int p = 1; p <= a.ragadozodb; ++p)
        if (!sameBits(a.ragx[p], b.ragx[p]) || !sameBits(a.ragy[p], b.ragy[p]) || !sameBits(a.ragz[p], b.ragz[p]))
            return "predator " + std::to_string(p) + " differs";
    for (int i = 1; i <= a.egyeddb; ++i) {
        const double u[] = {a.x[i], a.y[i], a.z[i], a.vx[i], a.vy[i], a.vz[i]};
        const double v[] = {b.x[i], b.y[i], b.z[i], b.vx[i], b.vy[i], b.vz[i]};
        for (int k = 0; k < 6; ++k)
            if (!sameBits(u[k], v[k])) return "individual " + std::to_string(i) + " differs";
    }
    return "";
}

// The lane widths this processor can run, each of which must give the same bits.
std::vector<LanePath> availableLanePaths() {
    std::vector<LanePath> paths;
    for (LanePath p : {LanePath::portable, LanePath::avx2, LanePath::avx512})
        if (lanePathAvailable(p)) paths.push_back(p);
    return paths;
}

const char* lanePathName(LanePath p) {
    return p == LanePath::avx512 ? "AVX-512" : p == LanePath::avx2 ? "AVX2" : "portable";
}

enum class Scene { spread, clumped };

struct Case {
    int radius;
    Scene scene;
    int mode;   // index into modeInputs()
    int ticks;
};

Inputs modeInputs(int mode, int n, int radius) {
    Inputs in = plainInputs(n, radius);
    switch (mode) {
        case 0: break;  // alignment and noise only
        case 1: in = everyModeInputs(n, radius); break;
        case 2:
            in.egyenitaszito = true;
            in.elhelyez = true;
            in.eszlelok = 50;
            break;
        case 3:
            in.autotaszito = true;
            in.kozepenvonzo = true;
            in.tkpvonzas = true;
            in.parameter = 100;
            break;
        case 4:  // the vectorial noise, with distance keeping
            in.egyenitaszito = true;
            in.parameter = 45;
            break;
    }
    return in;
}

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << "r " << c.radius << (c.scene == Scene::spread ? ", spread" : ", clumped") << ", mode "
              << c.mode;
}

class FastSearchEquivalence : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        for (auto& f : flocks_) f = std::make_unique<Flock>();
        paths_ = availableLanePaths();
        for (int k = 0; k < 3; ++k) workers_[k] = std::make_unique<Workers>(1 << k);
    }
    static void TearDownTestSuite() {
        for (auto& f : flocks_) f.reset();
        for (auto& w : workers_) w.reset();
    }

    // The same scene in every flock: Start from `seed`, predators, clumping.
    void prepare(const Case& c, const Inputs& in, std::uint32_t seed) {
        for (auto& f : flocks_) {
            f->noiseModel = c.mode == 4 ? NoiseModel::vectorial : NoiseModel::cube;
            startScene(*f, in, seed, c.mode == 1 ? 5 : 0);
            if (c.scene == Scene::clumped) clumpFlock(*f, 6, seed);
        }
    }

    // flocks_[0] runs the plain scan; 1 + 3p + k the lane path p on 2^k
    // threads; 10 + k the cell list on 2^k threads
    static inline std::unique_ptr<Flock> flocks_[12];
    static inline std::unique_ptr<Workers> workers_[3];
    static inline std::vector<LanePath> paths_;
};

TEST_P(FastSearchEquivalence, WholeRunsAgreeWithThePlainScanAtEveryThreadCountAndLaneWidth) {
    const Case c = GetParam();
    const int n = 500;
    const Inputs in = modeInputs(c.mode, n, c.radius);
    for (std::uint32_t seed : {1u, 77u, 4000000000u}) {
        prepare(c, in, seed);
        for (int t = 1; t <= c.ticks; ++t) {
            tick(*flocks_[0], in, {NeighbourSearch::plainCube, workers_[0].get()});
            for (std::size_t p = 0; p < paths_.size(); ++p)
                for (int k = 0; k < 3; ++k) {
                    Flock& fast = *flocks_[1 + 3 * p + k];
                    tick(fast, in, {NeighbourSearch::columns, workers_[k].get(), paths_[p]});
                    ASSERT_EQ(firstDifference(*flocks_[0], fast), "")
                        << "seed " << seed << ", tick " << t << ", " << lanePathName(paths_[p]) << ", "
                        << (1 << k) << " thread(s)";
                }
            for (int k = 0; k < 2; ++k) {
                Flock& cells = *flocks_[10 + k];
                tick(cells, in, {NeighbourSearch::cells, workers_[k].get()});
                ASSERT_EQ(firstDifference(*flocks_[0], cells), "")
                    << "seed " << seed << ", tick " << t << ", cell list, " << (1 << k) << " thread(s)";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    RadiiScenesModes, FastSearchEquivalence,
    ::testing::Values(Case{0, Scene::spread, 0, 20}, Case{1, Scene::clumped, 0, 20},
                      Case{2, Scene::clumped, 1, 20}, Case{2, Scene::spread, 3, 20},
                      Case{5, Scene::spread, 1, 12}, Case{5, Scene::clumped, 2, 12},
                      Case{10, Scene::clumped, 3, 4}, Case{10, Scene::spread, 2, 4},
                      Case{20, Scene::spread, 1, 2}, Case{20, Scene::clumped, 0, 2},
                      Case{4, Scene::spread, 4, 12}, Case{3, Scene::clumped, 4, 12}));

TEST(FastSearch, CoincidentAndSharedCellsAgreeWithThePlainScan) {
    // Many individuals on few cells: several share a cell (only the last
    // writer is registered), some sit exactly on one another (distance 0).
    auto f = std::make_unique<Flock>();
    Inputs in = plainInputs(500, 3);
    startScene(*f, in, 5);
    for (int i = 1; i <= f->egyeddb; ++i) {
        f->x[i] = 100 + (i % 4) * 0.5;
        f->y[i] = 100 + (i % 3) * 0.7;
        f->z[i] = 100 + (i % 5) * 0.4;
        f->vx[i] = f->vy[i] = f->vz[i] = 0;
    }
    f->latotav = 3;
    moveAndFillLattice(*f);
    ColumnIndex index;
    index.rebuild(*f);
    for (int i = 1; i <= f->egyeddb; ++i) {
        const Neighbours plain = searchPlainCube(*f, i), fast = index.search(*f, i);
        ASSERT_EQ(plain.szomszeddb, fast.szomszeddb) << i;
        ASSERT_TRUE(sameBits(plain.mintav, fast.mintav)) << i;
        ASSERT_TRUE(sameBits(plain.kozelx, fast.kozelx) && sameBits(plain.kozely, fast.kozely) &&
                    sameBits(plain.kozelz, fast.kozelz)) << i;
        ASSERT_TRUE(sameBits(plain.sumvx, fast.sumvx)) << i;
    }
}

TEST(FastSearch, IndividualsBesideTheLatticeAgreeWithThePlainScan) {
    // An individual a few units outside the box (a state the walls never
    // make, but one a tick must survive) is searched alone; where its cube
    // misses the lattice in a or b it finds nobody, without indexing past
    // the columns.
    auto f = std::make_unique<Flock>();
    startScene(*f, plainInputs(500, 0), 3);
    const double beside[][3] = {{0, -3, 10}, {-3, 0, 10}, {-3, -3, -3}, {349, 352.4, 10}, {352.4, 349, 10},
                                {10, 10, -2.6}, {10, 10, 251.6}, {0.2, -1.2, 10}, {-1.2, 348.7, 249.3}};
    for (int r : {0, 1, 2, 5}) {
        for (const auto& p : beside) {
            for (int i = 1; i <= f->egyeddb; ++i) {
                // a row of individuals along the edges, 1 unit apart
                f->x[i] = (i % 2) ? (i % 350) : 0;
                f->y[i] = (i % 2) ? 0 : (i % 350);
                f->z[i] = 10;
                f->vx[i] = f->vy[i] = f->vz[i] = 0;
            }
            f->x[1] = p[0];
            f->y[1] = p[1];
            f->z[1] = p[2];
            f->latotav = r;
            moveAndFillLattice(*f);
            ColumnIndex index;
            index.rebuild(*f);
            const Neighbours plain = searchPlainCube(*f, 1), fast = index.search(*f, 1);
            const std::string where = "r " + std::to_string(r) + " at " + std::to_string(p[0]) + ", " +
                                      std::to_string(p[1]) + ", " + std::to_string(p[2]);
            ASSERT_EQ(plain.szomszeddb, fast.szomszeddb) << where;
            ASSERT_TRUE(sameBits(plain.mintav, fast.mintav)) << where;
            ASSERT_TRUE(sameBits(plain.kozelx, fast.kozelx) && sameBits(plain.kozely, fast.kozely)) << where;
        }
    }
}

TEST(FastSearch, PerceptionAtTheRadiusMatchesTheRootExactly) {
    // Distances a hair either side of r: the fast search decides on squares
    // and must still agree with comparing sqrt(d*d) against r.
    auto f = std::make_unique<Flock>();
    startScene(*f, plainInputs(500, 0), 3);
    f->egyeddb = 500;
    for (int r = 1; r <= 20; ++r) {
        f->latotav = r;
        for (int i = 1; i <= f->egyeddb; ++i) {
            // pairs along x: the odd one at 20, the even one just about r beyond it
            const int pair = (i - 1) / 2;
            const double base = 30 + (pair % 12) * 25;
            const double offset = std::nextafter(static_cast<double>(r), (i / 2) % 2 ? 0.0 : 100.0);
            f->x[i] = (i % 2) ? base : base + offset;
            f->y[i] = 30 + (pair / 12) * 7 % 290;
            f->z[i] = 20 + (pair / 12) % 200;
            f->vx[i] = f->vy[i] = f->vz[i] = 0;
        }
        moveAndFillLattice(*f);
        ColumnIndex index;
        index.rebuild(*f);
        for (int i = 1; i <= f->egyeddb; ++i) {
            const Neighbours plain = searchPlainCube(*f, i), fast = index.search(*f, i);
            ASSERT_EQ(plain.szomszeddb, fast.szomszeddb) << "r " << r << ", individual " << i;
            ASSERT_TRUE(sameBits(plain.mintav, fast.mintav)) << "r " << r << ", individual " << i;
        }
    }
}

// Everything a tick reads, from one flock to another.
void copyRunState(const Flock& from, Flock& to) {
    to.x = from.x;
    to.y = from.y;
    to.z = from.z;
    to.vx = from.vx;
    to.vy = from.vy;
    to.vz = from.vz;
    to.xmeret = from.xmeret;
    to.zmeret = from.zmeret;
    to.xkozep = from.xkozep;
    to.zkozep = from.zkozep;
    to.egyeddb = from.egyeddb;
    to.kozossebesseg = from.kozossebesseg;
    to.zaj = from.zaj;
    to.latotav = from.latotav;
    to.tavtartaserosseg = from.tavtartaserosseg;
    to.hangolasszamlalo = from.hangolasszamlalo;
    to.vonzox = from.vonzox;
    to.vonzoy = from.vonzoy;
    to.vonzoz = from.vonzoz;
    to.ragadozodb = from.ragadozodb;
    to.ragx = from.ragx;
    to.ragy = from.ragy;
    to.ragz = from.ragz;
    to.rng = from.rng;
}

// A real collapsed flock: N 5000, r 20, Start from seed 1, with cohesion
// at `cohesion`, `ticks` ticks; then, if `collapse`, pulled together further
// until everyone is within r of everyone, and checked once more.
struct DenseCase {
    const char* name;
    int cohesion, noise, ticks;
    bool collapse;
};

std::ostream& operator<<(std::ostream& os, const DenseCase& c) { return os << c.name; }

class DenseSceneEquivalence : public ::testing::TestWithParam<DenseCase> {
protected:
    // The tick from `scene` with the plain scan on one thread, and with every
    // lane width on 1, 2 and 4 threads: the same flock, bit for bit.
    static void expectTheNextTickAgrees(const Flock& scene, const Inputs& in, const char* what) {
        auto plain = std::make_unique<Flock>(), fast = std::make_unique<Flock>();
        copyRunState(scene, *plain);
        Workers one(1);
        tick(*plain, in, {NeighbourSearch::plainCube, &one});
        // dense indeed: hundreds of neighbours each, and shared cells
        EXPECT_GT(plain->atlagszomszed, 500) << what;
        EXPECT_LT(plain->racs.occupiedCells(), 5000) << what;
        for (LanePath path : availableLanePaths())
            for (int threads : {1, 2, 4}) {
                Workers workers(threads);
                copyRunState(scene, *fast);
                tick(*fast, in, {NeighbourSearch::columns, &workers, path});
                EXPECT_EQ(firstDifference(*plain, *fast), "")
                    << what << ", " << lanePathName(path) << ", " << threads << " thread(s)";
            }
    }
};

TEST_P(DenseSceneEquivalence, TheNextTickAgreesWithThePlainScanAtEveryThreadCountAndLaneWidth) {
    const DenseCase c = GetParam();
    const Inputs in = cohesionInputs(5000, 20, c.cohesion, c.noise);
    auto scene = std::make_unique<Flock>();
    startScene(*scene, in, 1);
    for (int t = 0; t < c.ticks; ++t) tick(*scene, in);
    expectTheNextTickAgrees(*scene, in, "as run");
    if (c.collapse) {
        collapseFlock(*scene, 9.5);
        expectTheNextTickAgrees(*scene, in, "collapsed");
    }
}

INSTANTIATE_TEST_SUITE_P(RealRuns, DenseSceneEquivalence,
                         ::testing::Values(DenseCase{"cohesion 10, 750 ticks", 10, 10, 750, false},
                                           DenseCase{"cohesion 20, no noise, 1050 ticks, then collapsed", 20,
                                                     0, 1050, true}));

struct LaneScene {
    const char* name;
    int n, radius;
    void (*place)(Flock& f);
};

std::ostream& operator<<(std::ostream& os, const LaneScene& s) { return os << s.name; }

class LaneSearch : public ::testing::TestWithParam<LaneScene> {};

// 11 x 11 x 11 individuals `step` apart, still.
void placeLattice(Flock& f, double step) {
    for (int i = 1; i <= 1331; ++i) {
        f.vx[i] = f.vy[i] = f.vz[i] = 0;  // stay put when the lattice is filled
        f.x[i] = 100.25 + (i - 1) % 11 * step;
        f.y[i] = 100.25 + (i - 1) / 11 % 11 * step;
        f.z[i] = 100.25 + (i - 1) / 121 * step;
    }
}

TEST_P(LaneSearch, EveryWidthFindsWhatThePlainScanFindsForEveryMemberOfAGroup) {
    // Groups of every size up to the widest lane count, members near and
    // far apart: each member's result is the plain scan's, field by field.
    const LaneScene& scene = GetParam();
    auto f = std::make_unique<Flock>();
    startScene(*f, plainInputs(scene.n, scene.radius), 11);
    scene.place(*f);
    moveAndFillLattice(*f);
    // velocities of every sign and size, to sum
    for (int i = 1; i <= f->egyeddb; ++i) {
        f->vx[i] = std::sin(i);
        f->vy[i] = std::cos(0.7 * i);
        f->vz[i] = std::sin(1.3 * i);
    }
    ColumnIndex index;
    index.rebuild(*f);
    const LaneSource source = index.laneSource(*f);
    std::vector<Neighbours> plain(kMaxEgyed + 1), out(kMaxEgyed + 1);
    for (int i = 1; i <= f->egyeddb; ++i) plain[i] = searchPlainCube(*f, i);
    // Each width three times: with no guesses at the nearest neighbours,
    // with the last pass's (good ones), and with wrong ones of every kind
    // (themselves, unregistered, far away, out of range).
    const char* guesses[] = {"no guesses", "last found", "wrong guesses"};
    for (LanePath path : availableLanePaths()) {
        for (const char* guess : guesses) {
            const std::string where = std::string(lanePathName(path)) + ", " + guess;
            for (int i = 0; i <= kMaxEgyed; ++i) {
                if (guess == guesses[0]) source.nearestGuesses[i] = 0;
                if (guess == guesses[2]) source.nearestGuesses[i] = i % 5 == 0 ? i : (i * 7919) % (kMaxEgyed + 9) - 3;
            }
            const int width = laneCount(path);
            const std::int32_t* order = f->racs.cellOrder();
            for (int first = 0, size = 1; first < f->racs.cellOrderCount(); first += size, size = size % width + 1) {
                const int count = std::min(size, f->racs.cellOrderCount() - first);
                searchLanes(path, source, order + first, count, out.data());
                for (int m = first; m < first + count; ++m) {
                    const int i = order[m];
                    ASSERT_EQ(out[i].szomszeddb, plain[i].szomszeddb) << where << ", individual " << i;
                    for (auto [got, want] : {std::pair{out[i].sumvx, plain[i].sumvx}, {out[i].sumvy, plain[i].sumvy},
                                             {out[i].sumvz, plain[i].sumvz}, {out[i].mintav, plain[i].mintav},
                                             {out[i].kozelx, plain[i].kozelx}, {out[i].kozely, plain[i].kozely},
                                             {out[i].kozelz, plain[i].kozelz}})
                        ASSERT_TRUE(sameBits(got, want)) << where << ", individual " << i;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, LaneSearch,
    ::testing::Values(
        LaneScene{"spread and clumped", 3000, 7,
                  [](Flock& f) {
                      clumpFlock(f, 20, 11);
                      for (int i = 1; i <= 1000; ++i) f.x[i] = 20 + (i % 300);  // a spread third
                  }},
        // Whole-cell steps: many squares are exactly r^2 (3-4-5), not
        // perceived, and every nearest neighbour is a tie of six at 1. A
        // hair shorter steps make those squares perceived by a hair. Either
        // way the quick test cannot tell, and the exact one must.
        LaneScene{"integer lattice at r 5", 1331, 5, [](Flock& f) { placeLattice(f, 1.0); }},
        LaneScene{"lattice a hair finer at r 5", 1331, 5, [](Flock& f) { placeLattice(f, 1.0 - 0x1p-40); }},
        // 60 spots for 500, still: most individuals are not registered, and
        // the one registered in their cell may sit exactly on them (nearest
        // at 0) or half a cell away.
        LaneScene{"individuals on one another at r 3", 500, 3,
                  [](Flock& f) {
                      for (int i = 1; i <= f.egyeddb; ++i) {
                          f.x[i] = 100 + (i % 4) * 0.5;
                          f.y[i] = 100 + (i % 3) * 0.7;
                          f.z[i] = 100 + (i % 5) * 0.4;
                          f.vx[i] = f.vy[i] = f.vz[i] = 0;
                      }
                  }}),
    [](const ::testing::TestParamInfo<LaneScene>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(Workers, EveryPartRunsOnceAndTheGeneratorEndsWhereOneThreadLeavesIt) {
    Workers four(4);
    std::atomic<int> ran[4] = {0, 0, 0, 0};
    for (int round = 0; round < 50; ++round) four.run([&](int part) { ++ran[part]; });
    for (auto& r : ran) EXPECT_EQ(r.load(), 50);

    auto a = std::make_unique<Flock>(), b = std::make_unique<Flock>();
    const Inputs in = plainInputs(777, 2);  // N not a multiple of the part count
    startScene(*a, in, 9);
    startScene(*b, in, 9);
    Workers one(1);
    for (int t = 0; t < 3; ++t) {
        tick(*a, in, {NeighbourSearch::columns, &one});
        tick(*b, in, {NeighbourSearch::columns, &four});
    }
    EXPECT_EQ(a->rng.state(), b->rng.state());
    EXPECT_EQ(firstDifference(*a, *b), "");
}

}  // namespace
}  // namespace nyajkor
