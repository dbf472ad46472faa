#include "model/checkpoint.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "model/simulation.h"
#include "model/workers.h"
#include "tests/model/forged_checkpoint.h"

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

// The payload's word `index` set to `word`, the checksum made to match: a
// well-formed file with one value changed, as a crafted one would be.
std::string withWord(std::string bytes, std::size_t index, std::uint64_t word) {
    constexpr std::size_t kHeader = 20;
    for (int k = 0; k < 8; ++k) bytes[kHeader + 8 * index + k] = static_cast<char>((word >> (8 * k)) & 0xFF);
    return testing::withMatchingChecksum(bytes);
}
std::uint64_t realWord(double v) { return std::bit_cast<std::uint64_t>(v); }

// Words of the payload, by their place in the file.
constexpr std::size_t kTicks = 0, kEgyeddb = 2, kRagadozodb = 3, kHangolas = 4, kLatotav = 6, kZaj = 8,
                      kNagyitasszorzo = 9, kSzemtav = 10, kOsszvx = 11, kRendparameter = 14, kAtlagtav = 16,
                      kVonzox = 18, kSzinegyed = 21, kVkozos = 29, kSugar = 31, kNagyitas = 41,
                      kAutotaszito = 45, kKozepenvonzo = 50, kMozgovonzo = 51, kPredators = 55, kIndividuals = 70;
constexpr std::size_t individualWord(int i, int field) { return kIndividuals + 6 * (i - 1) + field; }
constexpr std::size_t predatorWord(int p, int axis) { return kPredators + 3 * (p - 1) + axis; }

// A whole, well-formed file whose values no run can reach is refused by
// name, and nothing of it is loaded; values at the edges of their ranges
// load.
TEST_F(CheckpointTest, ValuesOutOfRangeAreRefusedByNameAndChangeNothing) {
    Inputs in;
    startRun(*straight_, kModeSets[2], in);  // custom repulsive distance keeping, cohesion, a predator
    runTicks(*straight_, in, 2, *one_);
    const std::string good = checkpointBytes(*straight_, kView, in, 2);
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::size_t word;
        std::uint64_t value;
        const char* named;  // in the message; nullptr: accepted
    };
    const Case cases[] = {
        {individualWord(17, 1), realWord(1e6), "individual 17's y is 1000000"},
        {individualWord(1, 0), realWord(nan), "individual 1's x is nan"},
        {individualWord(3, 2), realWord(249.5), "individual 3's z is 249.5"},
        {individualWord(3, 0), realWord(-0.51), "individual 3's x"},
        {individualWord(500, 1), realWord(-inf), "individual 500's y"},
        {individualWord(2, 3), realWord(inf), "individual 2's vx"},
        {individualWord(2, 5), realWord(1e300), "individual 2's vz"},
        {individualWord(2, 4), realWord(-2.1), "individual 2's vy"},
        {predatorWord(2, 2), realWord(1e9), "predator 2's z"},
        {predatorWord(5, 0), realWord(nan), "predator 5's x"},
        {kTicks, static_cast<std::uint64_t>(std::numeric_limits<long>::max()), "the tick count"},
        {kTicks, static_cast<std::uint64_t>(-1), "the tick count is -1"},
        {kEgyeddb, 6000, "egyeddb is 6000"},
        {kEgyeddb, 499, "egyeddb is 499"},
        {kRagadozodb, 6, "ragadozodb"},
        {kHangolas, 100, "hangolasszamlalo"},
        {kLatotav, 21, "latotav"},
        {kZaj, realWord(1.5), "zaj"},
        {kNagyitasszorzo, realWord(nan), "nagyitasszorzo"},
        {kSzemtav, static_cast<std::uint64_t>(-20), "szemtav"},
        {kOsszvx, realWord(inf), "osszvx"},
        {kRendparameter, realWord(-0.25), "rendparameter is -0.25"},
        {kAtlagtav, realWord(nan), "atlagtav"},
        {kVonzox, realWord(-1e7), "vonzox"},
        {kSzinegyed, 0x1FFFFFFF, "szinegyed"},
        {kVkozos, 1000000, "vkozos is 1000000, not 5..20"},
        {kSugar, 25, "sugar is 25, not 0..20"},
        {kNagyitas, 9, "nagyitas"},
        {kAutotaszito, 2, "autotaszito is 2, not 0 or 1"},
        {kAutotaszito, 1, "2 distance-keeping modes"},  // egyenitaszito is checked too
        {kKozepenvonzo, 1, nullptr},
        {kMozgovonzo, 1, nullptr},
        // the edges of the lattice and of the speed
        {individualWord(3, 0), realWord(-0.5), nullptr},
        {individualWord(3, 1), realWord(std::nextafter(349.5, 0.0)), nullptr},
        {individualWord(3, 3), realWord(-2.0), nullptr},
    };
    Inputs kept;
    ViewSettings keptView = {1.0, 7, 1, 2, 3, 4, 5, 6, 7};
    Flock& target = *resumed_;
    startRun(target, kModeSets[0], kept);
    const std::string before = checkpointBytes(target, keptView, kept, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE("word " + std::to_string(c.word) + (c.named ? std::string(": ") + c.named : ": accepted"));
        const std::string bytes = withWord(good, c.word, c.value);
        long ticks = 5;
        if (!c.named) {
            EXPECT_NO_THROW(restoreCheckpoint(bytes, target, keptView, kept, ticks));
            startRun(target, kModeSets[0], kept);
            keptView = {1.0, 7, 1, 2, 3, 4, 5, 6, 7};
            continue;
        }
        try {
            restoreCheckpoint(bytes, target, keptView, kept, ticks);
            ADD_FAILURE() << "accepted";
        } catch (const CheckpointError& e) {
            EXPECT_EQ(e.problem(), CheckpointProblem::outOfRange);
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
        }
        EXPECT_EQ(checkpointBytes(target, keptView, kept, ticks), before);
    }
    // two of the centre's modes at once
    try {
        long ticks = 5;
        restoreCheckpoint(withWord(withWord(good, kKozepenvonzo, 1), kMozgovonzo, 1), target, keptView, kept, ticks);
        ADD_FAILURE() << "two centre modes accepted";
    } catch (const CheckpointError& e) {
        EXPECT_NE(std::string(e.what()).find("2 modes of the attracting centre"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace nyajkor
