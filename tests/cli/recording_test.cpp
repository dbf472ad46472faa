// The runner's outputs along the run and its checkpoints.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "cli/batch_options.h"
#include "model/checkpoint.h"
#include "record/real_text.h"
#include "record/trajectory.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;

const std::vector<std::string> kRun = {"--seed", "3", "--n", "500", "--radius", "10", "--predators", "2",
                                       "--centre", "middle"};

TEST_F(BatchFiles, TrajectoryFramesEndWithTheDumpedState) {
    const RunResult r = run(with(kRun, {"--ticks", "30", "--trajectory", path("t.xyz.gz"), "--every", "10",
                                        "--dump", path("d.csv")}));
    ASSERT_EQ(r.status, 0) << r.err;
    TrajectoryReader reader(path("t.xyz.gz"));
    TrajectoryFrame frame;
    std::vector<long> ticks;
    while (reader.next(frame)) ticks.push_back(frame.tick);
    EXPECT_EQ(ticks, (std::vector<long>{0, 10, 20, 30}));
    // the dump: 500 individuals, the centre, two predators; the frame: the
    // individuals, two predators, the centre
    const auto dump = lines(slurp(path("d.csv")));
    ASSERT_EQ(dump.size(), 1u + 500u + 1u + 2u);
    ASSERT_EQ(frame.particles.size(), 503u);
    auto text = [](const TrajectoryParticle& p) {
        return realText(p.x) + ',' + realText(p.y) + ',' + realText(p.z);
    };
    for (std::size_t i = 1; i <= 500; ++i) {
        const TrajectoryParticle& p = frame.particles[i - 1];
        ASSERT_EQ("individual," + std::to_string(i) + ',' + text(p) + ',' + realText(p.vx) + ',' +
                      realText(p.vy) + ',' + realText(p.vz),
                  dump[i]);
    }
    EXPECT_EQ("centre,0," + text(frame.particles[502]) + ",,,", dump[501]);
    EXPECT_EQ("predator,2," + text(frame.particles[501]) + ",,,", dump[503]);
}

// A run split by a checkpoint gives the straight run's bytes, in every mode set.
TEST_F(BatchFiles, SplitRunEqualsTheStraightRun) {
    const std::vector<std::vector<std::string>> modeSets = {
        {},
        {"--distance-mode", "auto-repulsive", "--cohesion", "4"},
        {"--distance-mode", "custom-attractive", "--strength", "13", "--centre", "moving", "--predators", "3"},
        {"--distance-mode", "auto-attractive", "--centre", "placed", "--centre-at", "100,200,90"},
        {"--distance-mode", "custom-repulsive", "--anaglyph", "--noise", "40"},
    };
    for (const auto& modes : modeSets) {
        SCOPED_TRACE(::testing::PrintToString(modes));
        const auto base = with({"--seed", "8", "--n", "500", "--radius", "5"}, modes);
        ASSERT_EQ(run(with(base, {"--ticks", "120", "--csv", path("a.csv"), "--dump", path("d1.csv"),
                                  "--checkpoint", path("c1")})).status, 0);
        ASSERT_EQ(run(with(base, {"--ticks", "60", "--checkpoint", path("half")})).status, 0);
        const RunResult r = run({"--resume", path("half"), "--ticks", "60", "--csv", path("b.csv"), "--dump",
                                 path("d2.csv"), "--checkpoint", path("c2")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(slurp(path("d1.csv")), slurp(path("d2.csv")));
        EXPECT_EQ(slurp(path("c1")), slurp(path("c2")));
        const auto a = lines(slurp(path("a.csv"))), b = lines(slurp(path("b.csv")));
        ASSERT_EQ(b.size(), 61u);
        EXPECT_EQ(std::vector(a.begin() + 61, a.end()), std::vector(b.begin() + 1, b.end()));
        EXPECT_EQ(fields(b[1])[0], "61");
    }
}

// Flags given with --resume move their controls as the user would between
// ticks; the rest stay as the checkpoint has them.
TEST_F(BatchFiles, FlagsGivenWithResumeMoveTheirControls) {
    ASSERT_EQ(run({"--seed", "2", "--n", "500", "--radius", "10", "--equilibrium", "8", "--noise", "30",
                   "--distance-mode", "auto-repulsive", "--ticks", "3", "--checkpoint", path("c")})
                  .status,
              0);
    const RunResult r = run({"--resume", path("c"), "--ticks", "0", "--radius", "4", "--distance-mode",
                             "custom-attractive", "--strength", "12", "--zoom", "20", "--predators", "1",
                             "--checkpoint", path("moved")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto f = std::make_unique<Flock>();
    ViewSettings view;
    Inputs in;
    long ticks = 0;
    restoreCheckpoint(readCheckpointFile(path("moved")), *f, view, in, ticks);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(in.sugar, 4);
    EXPECT_EQ(in.tavolsag, 4);  // pulled down with the radius
    EXPECT_EQ(in.parameter, 30);
    EXPECT_TRUE(in.egyenivonzo);
    EXPECT_FALSE(in.autotaszito);
    EXPECT_EQ(in.egyensulyerosseg, 12);
    EXPECT_EQ(f->tavtartaserosseg, 12);
    EXPECT_EQ(view.nagyitasszorzo, 2.0);
    EXPECT_EQ(f->ragadozodb, 1);
}

TEST_F(BatchFiles, DamagedCheckpointIsRefusedWithOneLine) {
    ASSERT_EQ(run({"--seed", "2", "--n", "500", "--ticks", "1", "--checkpoint", path("c")}).status, 0);
    std::string bytes = slurp(path("c"));
    bytes[bytes.size() / 2] ^= 1;
    std::ofstream(path("c"), std::ios::binary | std::ios::trunc) << bytes;
    const RunResult r = run({"--resume", path("c"), "--ticks", "1", "--csv", path("x.csv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, kMessagePrefix + ("--resume: '" + path("c") + "' is corrupted: its checksum does not match\n"));
    EXPECT_EQ(entries(), std::vector<std::string>{"c"});
}

TEST(BatchOptions, RecordingIsNotForSweeps) {
    for (const char* flag : {"--trajectory", "--movie", "--frames", "--checkpoint", "--resume"})
        EXPECT_THROW(parseOptions({"--sweep", "noise=0:10:5", flag, "x"}), UsageError) << flag;
}

bool haveProgram(const char* name) {
    return std::system((std::string(name) + " -version > /dev/null 2>&1").c_str()) == 0;
}

// 300 ticks, a frame at the start and after every second tick: 151 frames,
// in the movie and as pictures.
TEST_F(BatchFiles, MovieAndPicturesHaveAFrameEveryKTicks) {
    if (!haveProgram("ffmpeg") || !haveProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe are needed (Debian package ffmpeg)";
    fs::create_directory(path("frames"));
    const RunResult r = run(with(kRun, {"--ticks", "300", "--every", "2", "--movie", path("m.mp4"), "--frames",
                                        path("frames"), "--size", "161x121"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of csv=p=0 '" +
                                path("m.mp4") + "' > '" + path("probe.txt") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(slurp(path("probe.txt")), "h264,160,120,25/1,151\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("frames")), fs::directory_iterator()), 151);
    EXPECT_TRUE(fs::exists(path("frames/frame-000150.png")));
}

TEST_F(BatchFiles, MovieWithoutFfmpegIsRefusedBeforeAnyWork) {
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", "/nonexistent", 1);
    const RunResult r = run({"--ticks", "5", "--movie", path("m.mp4"), "--csv", path("s.csv")});
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string(kMessagePrefix) +
                         "--movie: the ffmpeg program is not installed (Debian package ffmpeg)\n");
    EXPECT_TRUE(entries().empty());
}

// A folder of pictures takes one run's: another run's are refused, or
// removed first when asked, so a shorter run never leaves a mix of both.
TEST_F(BatchFiles, FramesFolderNeverMixesTwoRuns) {
    fs::create_directory(path("frames"));
    const auto pictures = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path("frames"))) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto picturesRun = [&](const std::string& ticks, const std::vector<std::string>& more) {
        return run(with(kRun, with({"--ticks", ticks, "--every", "2", "--frames", path("frames"), "--size", "40x30"},
                                   more)));
    };
    ASSERT_EQ(picturesRun("8", {}).status, 0);
    std::ofstream(path("frames/notes.txt")) << "the user's own file\n";
    const auto first = pictures();
    ASSERT_EQ(first.size(), 6u);

    const RunResult refused = picturesRun("2", {});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, kMessagePrefix + ("--frames: '" + path("frames") +
                                             "' already holds pictures of a run (frame-*.png); "
                                             "--overwrite-frames removes them first\n"));
    EXPECT_EQ(pictures(), first);

    const RunResult replaced = picturesRun("2", {"--overwrite-frames"});
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(pictures(), (std::vector<std::string>{"frame-000000.png", "frame-000001.png", "notes.txt"}));

    EXPECT_THROW(parseOptions({"--ticks", "2", "--overwrite-frames"}), UsageError);
}

// Encoders that stand in for ffmpeg, first on the PATH while the test runs.
class FakeFfmpeg : public BatchFiles {
protected:
    void SetUp() override {
        BatchFiles::SetUp();
        fs::create_directory(path("bin"));
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (path("bin") + ":" + savedPath_).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        BatchFiles::TearDown();
    }
    // The fake's body; it writes its process id into bin/pid first.
    void encoder(const std::string& body) {
        std::ofstream(path("bin/ffmpeg")) << "#!/bin/sh\necho $$ > '" << path("bin/pid") << "'\n" << body << "\n";
        fs::permissions(path("bin/ffmpeg"), fs::perms::owner_all);
    }
    pid_t encoderPid() const {
        long pid = 0;
        std::ifstream(path("bin/pid")) >> pid;
        return static_cast<pid_t>(pid);
    }
    std::string savedPath_;
};

// An encoder that ends well without writing a movie fails the run, and
// leaves no empty movie behind.
TEST_F(FakeFfmpeg, EncoderWithoutAMovieFailsTheRun) {
    encoder("cat > /dev/null\nexit 0");
    const RunResult r = run(with(kRun, {"--ticks", "4", "--movie", path("m.mp4"), "--size", "40x30"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kMessagePrefix + std::string("ffmpeg wrote no movie: no reason given\n"));
    EXPECT_FALSE(fs::exists(path("m.mp4")));
}

// The first signal stops a run whose encoder no longer reads its frames;
// the encoder is killed and reaped, not left behind.
TEST_F(FakeFfmpeg, StuckEncoderDoesNotHoldTheStop) {
    encoder("exec sleep 60");
    std::atomic<int> stop{0};
    std::thread signal([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stop = SIGTERM;
    });
    std::ostringstream out, err;
    const int status = runBatch(with(kRun, {"--ticks", "100000", "--movie", path("m.mp4"), "--size", "1024x1024"}),
                                out, err, false, &stop);
    signal.join();
    EXPECT_EQ(status, stoppedStatus(SIGTERM)) << err.str();
    const pid_t pid = encoderPid();
    ASSERT_GT(pid, 0);
    EXPECT_NE(::kill(pid, 0), 0) << "the encoder is still there";
    EXPECT_FALSE(fs::exists(path("m.mp4")));
}

}  // namespace
}  // namespace nyajkor::batch
