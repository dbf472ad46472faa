#include "model/checkpoint.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/simulation.h"
#include "model/workers.h"

namespace nyajkor {
namespace {

// A run's mode set: the check marks and the predators.
struct ModeSet {
    const char* name;
    void (*set)(Inputs&);
    int predators;
};

const ModeSet kModeSets[] = {
    {"plain", [](Inputs&) {}, 0},
    {"auto_repulsive", [](Inputs& in) { in.autotaszito = true; }, 0},
    {"custom_repulsive_cohesion", [](Inputs& in) { in.egyenitaszito = in.tkpvonzas = true; }, 1},
    {"auto_attractive_middle", [](Inputs& in) { in.autovonzo = in.kozepenvonzo = true; }, 0},
    {"custom_attractive_moving", [](Inputs& in) { in.egyenivonzo = in.mozgovonzo = true; }, 3},
    {"placed_predators", [](Inputs& in) { in.elhelyez = in.tkpvonzas = true; }, 5},
};

// The view's settings a checkpoint carries, each field distinct so that a
// field written or read in the wrong place shows.
constexpr ViewSettings kView = {2.1, 23, 0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112, 0x131415};

// Two flocks for the whole suite (each holds the full lattice). The second
// is reused from case to case, so it also shows that a flock that ran
// before takes a checkpoint as a fresh one does.
class CheckpointTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        straight_ = std::make_unique<Flock>();
        resumed_ = std::make_unique<Flock>();
        one_ = std::make_unique<Workers>(1);
        two_ = std::make_unique<Workers>(2);
    }
    static void TearDownTestSuite() {
        straight_.reset();
        resumed_.reset();
    }

    static void runTicks(Flock& f, const Inputs& in, int ticks, Workers& workers) {
        for (int t = 0; t < ticks; ++t) tick(f, in, {NeighbourSearch::columns, &workers});
    }

    static void startRun(Flock& f, const ModeSet& modes, Inputs& in) {
        in = Inputs{};
        in.egyedszam = 500;
        in.sugar = 6;
        in.egyensulyerosseg = 9;
        modes.set(in);
        setBoxConstants(f);
        start(f, in, 20261209);
        for (int p = 0; p < modes.predators; ++p) ujragadozo(f);
    }

    static inline std::unique_ptr<Flock> straight_, resumed_;
    static inline std::unique_ptr<Workers> one_, two_;
};

// The split run takes its state from the file alone and ends with the same
// checkpoint, byte for byte, as the straight run; the threads of the two
// halves differ from the straight run's. 120 ticks pass the auto-tune step
// at 100 after the split.
TEST_F(CheckpointTest, ResumedRunEqualsTheStraightRunInEveryModeSetAndThreadCount) {
    for (const ModeSet& modes : kModeSets) {
        for (const bool straightOnOne : {true, false}) {
            SCOPED_TRACE(std::string(modes.name) + (straightOnOne ? ", straight on 1 thread" : ", straight on 2"));
            Workers& straightThreads = straightOnOne ? *one_ : *two_;
            Workers& resumedThreads = straightOnOne ? *two_ : *one_;
            Inputs in;
            startRun(*straight_, modes, in);
            runTicks(*straight_, in, 60, straightThreads);
            const std::string middle = checkpointBytes(*straight_, kView, in, 60);
            runTicks(*straight_, in, 60, straightThreads);

            ViewSettings resumedView;
            Inputs resumedIn;
            long ticks = 0;
            restoreCheckpoint(middle, *resumed_, resumedView, resumedIn, ticks);
            ASSERT_EQ(ticks, 60);
            setBoxConstants(*resumed_);
            runTicks(*resumed_, resumedIn, 60, resumedThreads);
            EXPECT_EQ(checkpointBytes(*resumed_, resumedView, resumedIn, 120),
                      checkpointBytes(*straight_, kView, in, 120));
            EXPECT_EQ(resumed_->x[500], straight_->x[500]);
            EXPECT_EQ(resumed_->tavtartaserosseg, straight_->tavtartaserosseg);
        }
    }
}

TEST_F(CheckpointTest, HoldsTheControlsAndTheStatistics) {
    Inputs in;
    startRun(*straight_, kModeSets[4], in);
    in.Zbeta = 123;
    in.szemuveg = true;
    runTicks(*straight_, in, 3, *one_);
    ViewSettings backView;
    Inputs back;
    long ticks = 0;
    restoreCheckpoint(checkpointBytes(*straight_, kView, in, 77), *resumed_, backView, back, ticks);
    EXPECT_EQ(ticks, 77);
    EXPECT_EQ(back.Zbeta, 123);
    EXPECT_TRUE(back.szemuveg && back.egyenivonzo && back.mozgovonzo);
    EXPECT_FALSE(back.autotaszito);
    EXPECT_EQ(resumed_->rng.state(), straight_->rng.state());
    EXPECT_EQ(resumed_->atlagtav, straight_->atlagtav);
    EXPECT_EQ(resumed_->ragadozodb, 3);
    EXPECT_EQ(backView, kView);
}

// Every damaged file is refused with its reason, and the flock and the
// controls stay exactly as they were.
TEST_F(CheckpointTest, DamagedFilesAreRefusedAndChangeNothing) {
    Inputs in;
    startRun(*straight_, kModeSets[2], in);
    runTicks(*straight_, in, 2, *one_);
    const std::string good = checkpointBytes(*straight_, kView, in, 2);
    auto flipped = [&good](std::size_t at) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x10);
        return bad;
    };
    auto newer = good;
    newer[8] = 2;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "not a checkpoint"},
        {"foreign", "kind,index,x,y,z,vx,vy,vz\nindividual,1,2,3,4,5,6,7\n", "not a checkpoint"},
        {"magic only", good.substr(0, 8), "truncated"},
        {"cut in the payload", good.substr(0, good.size() / 2), "truncated"},
        {"checksum cut", good.substr(0, good.size() - 1), "truncated"},
        {"one byte more", good + '\0', "length does not add up"},
        {"newer version", newer, "newer format (version 2)"},
        {"payload bit", flipped(good.size() / 2), "checksum"},
        {"length bit", flipped(14), "truncated"},
        {"checksum bit", flipped(good.size() - 3), "checksum"},
    };
    Inputs kept;
    kept.sugar = 17;
    ViewSettings keptView = {1.0, 7, 1, 2, 3, 4, 5, 6, 7};
    Flock& target = *resumed_;
    startRun(target, kModeSets[0], kept);
    kept.sugar = 17;
    const std::string before = checkpointBytes(target, keptView, kept, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long ticks = 5;
        try {
            restoreCheckpoint(c.bytes, target, keptView, kept, ticks);
            ADD_FAILURE() << "accepted";
        } catch (const CheckpointError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(checkpointBytes(target, keptView, kept, ticks), before);
    }
}

}  // namespace
}  // namespace nyajkor
