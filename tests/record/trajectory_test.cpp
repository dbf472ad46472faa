#include "record/trajectory.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "model/simulation.h"
#include "record/real_text.h"

namespace nyajkor {
namespace {

namespace fs = std::filesystem;

class TrajectoryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { flock_ = std::make_unique<Flock>(); }
    static void TearDownTestSuite() { flock_.reset(); }

    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("nyajkor-trajectory-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Three frames of a small run with two predators, each written after its tick.
    void writeRun(const fs::path& path, bool centre) {
        Flock& f = *flock_;
        Inputs in;
        in.egyedszam = 500;
        in.sugar = 4;
        in.mozgovonzo = centre;
        setBoxConstants(f);
        start(f, in, 77);
        ujragadozo(f);
        ujragadozo(f);
        std::ofstream out(path, std::ios::binary);
        TrajectoryWriter writer(out, isCompressedName(path.string()));
        for (long t = 0; t <= 10; ++t) {
            if (t > 0) tick(f, in);
            if (t % 5 == 0) writer.write(f, t, centre);
        }
        writer.finish();
    }

    static inline std::unique_ptr<Flock> flock_;
    fs::path folder_;
};

// The last frame read back holds the flock's state exactly, particle by
// particle, whether the file is plain or compressed.
TEST_F(TrajectoryTest, ReadsBackTheFlockExactly) {
    for (const char* name : {"run.xyz", "run.xyz.gz"}) {
        for (const bool centre : {false, true}) {
            SCOPED_TRACE(std::string(name) + (centre ? " with the centre" : ""));
            const fs::path path = folder_ / name;
            writeRun(path, centre);
            TrajectoryReader reader(path.string());
            TrajectoryFrame frame;
            std::vector<long> ticks;
            while (reader.next(frame)) ticks.push_back(frame.tick);
            EXPECT_EQ(ticks, (std::vector<long>{0, 5, 10}));
            const Flock& f = *flock_;
            ASSERT_EQ(frame.particles.size(), 500u + 2u + (centre ? 1u : 0u));
            EXPECT_EQ(frame.order, f.rendparameter);
            EXPECT_EQ(frame.avgNeighbours, f.atlagszomszed);
            for (int i = 1; i <= 500; ++i) {
                const TrajectoryParticle& p = frame.particles[i - 1];
                ASSERT_EQ(p.species, 'I');
                ASSERT_TRUE(p.x == f.x[i] && p.y == f.y[i] && p.z == f.z[i] && p.vx == f.vx[i] &&
                            p.vy == f.vy[i] && p.vz == f.vz[i])
                    << "individual " << i;
            }
            EXPECT_EQ(frame.particles[500].species, 'P');
            EXPECT_EQ(frame.particles[501].x, f.ragx[2]);
            if (centre) {
                EXPECT_EQ(frame.particles[502].species, 'C');
                EXPECT_EQ(frame.particles[502].z, f.vonzoz);
            }
        }
    }
}

TEST_F(TrajectoryTest, CommentLineIsTheExtendedXyzHeader) {
    writeRun(folder_ / "run.xyz", false);
    std::ifstream in(folder_ / "run.xyz");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u * 504u);
    EXPECT_EQ(lines[2 * 504], "502");
    EXPECT_EQ(lines[2 * 504 + 1],
              "Lattice=\"350 0 0 0 350 0 0 0 250\" Properties=species:S:1:pos:R:3:velo:R:3 pbc=\"F F F\" "
              "tick=10 order=" + realText(flock_->rendparameter) +
                  " avg_neighbours=" + realText(flock_->atlagszomszed));
}

TEST_F(TrajectoryTest, MalformedFramesAreRefusedWithTheirLine) {
    const auto header = [](const std::string& tick, const std::string& order) {
        return "Lattice=\"350 0 0 0 350 0 0 0 250\" Properties=species:S:1:pos:R:3:velo:R:3 pbc=\"F F F\" tick=" +
               tick + " order=" + order + " avg_neighbours=2\n";
    };
    const std::string good = header("3", "0.5");
    const std::string endless(20'000'000, '7');  // a line that never ends, a few kilobytes compressed
    struct Case {
        const char* name;
        std::string text;
        const char* message;
        bool compressed = false;
    };
    const Case cases[] = {
        {"count", "two\n", "line 1: not a number of particles"},
        {"short", "2\n" + good + "I 1 2 3 0.4 0.5 0.6\n", "line 4: the frame ends early"},
        {"species", "1\n" + good + "X 1 2 3 0.4 0.5 0.6\n", "line 3: not a particle"},
        {"real", "1\n" + good + "I 1 2 3 4 5 six\n", "line 3: not a particle"},
        {"extra", "1\n" + good + "I 1 2 3 0.4 0.5 0.6 7\n", "line 3: not a particle"},
        {"columns", "1\nProperties=species:S:1:pos:R:3 tick=1 order=0 avg_neighbours=0\nI 1 2 3\n",
         "line 2: not a trajectory"},
        {"tick", "0\nLattice=\"350 0 0 0 350 0 0 0 250\" Properties=species:S:1:pos:R:3:velo:R:3 pbc=\"F F F\" "
                 "order=0 avg_neighbours=0\n",
         "line 2: the frame's tick"},
        {"periodic box", "0\nLattice=\"30 0 0 0 30 0 0 0 30\" Properties=species:S:1:pos:R:3:velo:R:3 pbc=\"T T T\" "
                         "tick=1 order=0 avg_neighbours=0\n",
         "line 2: a box other than the window's"},
        {"negative tick", "0\n" + header("-1", "0.5"), "line 2: the frame's tick, order or avg_neighbours is out"},
        {"order above 1", "0\n" + header("1", "1.5"), "line 2: the frame's tick, order or avg_neighbours is out"},
        {"order nan", "0\n" + header("1", "nan"), "line 2: the frame's tick, order or avg_neighbours is out"},
        {"far off", "1\n" + good + "I 1 1e6 3 0 0 0\n", "line 3: a position outside the box"},
        {"past the wall", "1\n" + good + "I 349.5 1 3 0 0 0\n", "line 3: a position outside the box"},
        {"below the floor", "1\n" + good + "I 1 1 -0.6 0 0 0\n", "line 3: a position outside the box"},
        {"nan position", "1\n" + good + "I 1 nan 3 0 0 0\n", "line 3: a position outside the box, or not"},
        {"predator far off", "1\n" + good + "P 1 2 1e9 0 0 0\n", "line 3: a position outside the box"},
        {"infinite velocity", "1\n" + good + "I 1 2 3 inf 0 0\n", "line 3: a velocity out of range"},
        {"faster than any speed", "1\n" + good + "I 1 2 3 0 -2.5 0\n", "line 3: a velocity out of range"},
        {"number cut at the end", "1\n" + good + "I 1 2 3 0.4 0.5 0.6",
         "line 3: the file ends in the middle of a line"},
        {"no newline at all", endless, "line 1: longer than any line of a trajectory"},
        {"inflates to one line", endless, "line 1: longer than any line of a trajectory", true},
        {"long particle line", "1\n" + good + "I 1 2 3 0.4 0.5 0.6" + std::string(2000, ' ') + "\n",
         "line 3: longer than any line"},
        {"zero bytes", std::string(100, '\0'), "line 1: not text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder_ / (c.compressed ? "bad.xyz.gz" : "bad.xyz");
        if (c.compressed) {
            gzFile gz = gzopen(path.c_str(), "wb");
            gzwrite(gz, c.text.data(), static_cast<unsigned>(c.text.size()));
            gzclose(gz);
        } else {
            std::ofstream(path, std::ios::binary) << c.text;
        }
        TrajectoryReader reader(path.string());
        TrajectoryFrame frame;
        try {
            reader.next(frame);
            ADD_FAILURE() << "accepted";
        } catch (const TrajectoryError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(TrajectoryReader((folder_ / "missing.xyz").string()), TrajectoryError);
}

// A compressed trajectory cut short is refused, not taken for a shorter run.
TEST_F(TrajectoryTest, CompressedFileCutShortIsRefused) {
    const fs::path path = folder_ / "run.xyz.gz";
    writeRun(path, false);
    fs::resize_file(path, fs::file_size(path) - 20);
    TrajectoryReader reader(path.string());
    TrajectoryFrame frame;
    EXPECT_THROW(while (reader.next(frame)) {}, TrajectoryError);
}

}  // namespace
}  // namespace nyajkor
