#include "cli/batch.h"

#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/batch_options.h"
#include "model/controls.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(BatchRun, SameSeedGivesTheSameBytes) {
    const std::vector<std::string> args = {"--seed", "11", "--n", "500", "--radius", "3", "--ticks", "30",
                                           "--csv", "-", "--predators", "2", "--centre", "moving",
                                           "--distance-mode", "auto-attractive", "--cohesion", "5"};
    const RunResult a = run(args), b = run(args);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    const RunResult other = run({"--seed", "12", "--n", "500", "--radius", "3", "--ticks", "30", "--csv", "-",
                           "--predators", "2", "--centre", "moving", "--distance-mode", "auto-attractive",
                           "--cohesion", "5"});
    EXPECT_NE(a.out, other.out);
}

TEST(BatchRun, StatisticsHaveOneRowPerTickAndReadBackExactly) {
    const RunResult r = run({"--seed", "5", "--n", "500", "--radius", "2", "--ticks", "12", "--csv", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], "tick,order_percent,order,avg_neighbours,mean_nn_distance,strength");
    for (std::size_t t = 1; t < rows.size(); ++t) {
        const auto f = fields(rows[t]);
        ASSERT_EQ(f.size(), 6u) << rows[t];
        EXPECT_EQ(f[0], std::to_string(t));
        const double order = std::stod(f[2]);
        EXPECT_EQ(realText(order), f[2]);
        EXPECT_EQ(std::stoi(f[1]), static_cast<int>(std::nearbyint(100 * order)));
        EXPECT_EQ(f[5], "5");
    }
}

TEST(BatchRun, RadiusZeroPerceivesNobody) {
    const RunResult r = run({"--seed", "9", "--n", "500", "--radius", "0", "--ticks", "20", "--csv", "-"});
    ASSERT_EQ(r.status, 0);
    const auto rows = lines(r.out);
    for (std::size_t t = 1; t < rows.size(); ++t) {
        EXPECT_EQ(fields(rows[t])[3], "0") << rows[t];
        EXPECT_EQ(fields(rows[t])[4], "0") << rows[t];
    }
}

TEST(BatchRun, RealTextIsShortestRoundTrip) {
    for (double v : {0.1, 1.0 / 3.0, 2.0, 1e-300, 123456.789, 0.0})
        EXPECT_EQ(std::stod(realText(v)), v);
    EXPECT_EQ(realText(0.1), "0.1");
    EXPECT_EQ(realText(2.0), "2");
}

TEST(BatchRun, SummaryWithoutCsvOnStandardOutput) {
    const RunResult r = run({"--seed", "3", "--n", "500", "--ticks", "2"});
    ASSERT_EQ(r.status, 0);
    EXPECT_THAT(r.out, StartsWith("seed 3\nticks 2\nindividuals 500\n"));
    EXPECT_THAT(r.out, HasSubstr("order_percent "));
}

TEST(BatchRun, HelpListsEveryFlagWithItsRange) {
    const RunResult r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* flag : {"--seed", "--ticks", "--n ", "--speed", "--noise", "--radius", "--equilibrium",
                             "--distance-mode", "--strength", "--cohesion", "--centre ", "--centre-at",
                             "--centre-strength", "--perceivers", "--predators", "--predator-range",
                             "--reaction", "--csv", "--dump"})
        EXPECT_THAT(r.out, HasSubstr(flag));
    EXPECT_THAT(r.out, HasSubstr("500..5000"));
}

TEST(BatchRun, VersionIsOneLine) {
    const RunResult r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "nyajkor3d-batch " NYAJKOR_VERSION "\n");
}

TEST_F(BatchFiles, DumpHasEveryIndividualTheCentreAndThePredators) {
    const RunResult r = run({"--seed", "4", "--n", "500", "--ticks", "3", "--predators", "3", "--dump", path("s.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(slurp(path("s.csv")));
    ASSERT_EQ(rows.size(), 1u + 500 + 1 + 3);
    EXPECT_EQ(rows[0], "kind,index,x,y,z,vx,vy,vz");
    EXPECT_THAT(rows[1], StartsWith("individual,1,"));
    EXPECT_THAT(rows[500], StartsWith("individual,500,"));
    EXPECT_EQ(rows[501], "centre,0,175,175,125,,,");
    EXPECT_THAT(rows[502], StartsWith("predator,1,"));
    EXPECT_EQ(fields(rows[504]).size(), 8u);
    EXPECT_EQ(entries(), std::vector<std::string>{"s.csv"});  // no temporary file left
}

// Before any tick the order parameter is that of the seeded velocities,
// the length of their sum over N times the speed, not 0.
TEST_F(BatchFiles, TickZeroStatesTheOrderOfTheSeededVelocities) {
    const RunResult r = run({"--seed", "7", "--n", "500", "--ticks", "0", "--dump", path("s.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    double sum[3] = {0, 0, 0};
    for (const auto& row : lines(slurp(path("s.csv")))) {
        const auto f = fields(row);
        if (f[0] != "individual") continue;
        for (int k = 0; k < 3; ++k) sum[k] += std::stod(f[5 + k]);
    }
    const double order = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / (500 * 1.0);
    const auto summary = lines(r.out);
    ASSERT_GE(summary.size(), 5u);
    ASSERT_THAT(summary[4], ::testing::StartsWith("order "));
    EXPECT_GT(order, 0.001);
    EXPECT_NEAR(std::stod(summary[4].substr(6)), order, 1e-12);
}

TEST_F(BatchFiles, PlacedCentreAndCustomStrengthTakeEffectBeforeTheFirstTick) {
    const RunResult r = run({"--seed", "4", "--n", "500", "--ticks", "1", "--centre", "placed", "--centre-at",
                       "60,70,80", "--distance-mode", "custom-repulsive", "--strength", "17", "--csv",
                       path("t.csv"), "--dump", path("s.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(slurp(path("s.csv")), HasSubstr("\ncentre,0,60,70,80,,,\n"));
    EXPECT_EQ(fields(lines(slurp(path("t.csv")))[1])[5], "17");
}

class BatchBadInput : public BatchFiles, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BatchBadInput, RefusedWithOneLineAndNoFileTouched) {
    std::ofstream(path("old.csv")) << "precious\n";
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"--csv", path("old.csv"), "--dump", path("new.csv")});
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(GetParam().message));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(slurp(path("old.csv")), "precious\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"old.csv"});
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, BatchBadInput,
    ::testing::Values(BadInput{{"--bogus"}, "unknown flag '--bogus'"},
                      BadInput{{"--n"}, "--n: a value is missing"},
                      BadInput{{"--n", "4999.5"}, "--n: '4999.5' is not a whole number (allowed: 500..5000;"},
                      BadInput{{"--n", "499"}, "--n: 499 is out of range (allowed: 500..5000; with --box"},
                      BadInput{{"--n", "5001"}, "500..5000"}, BadInput{{"--speed", "4"}, "5..20"},
                      BadInput{{"--noise", "101"}, "0..100"}, BadInput{{"--radius", "-1"}, "0..20"},
                      BadInput{{"--equilibrium", "1"}, "2..20"}, BadInput{{"--strength", "21"}, "0..20"},
                      BadInput{{"--cohesion", "x"}, "--cohesion"}, BadInput{{"--seed", "4294967296"}, "0..4294967295"},
                      BadInput{{"--ticks", "10000001"}, "0..10000000"},
                      BadInput{{"--predators", "6"}, "0..5"}, BadInput{{"--predator-range", "19"}, "20..200"},
                      BadInput{{"--reaction", "99"}, "0..20"}, BadInput{{"--perceivers", ""}, "--perceivers"},
                      BadInput{{"--centre-strength", "+"}, "--centre-strength"},
                      BadInput{{"--distance-mode", "sideways"}, "auto-repulsive"},
                      BadInput{{"--centre", "left"}, "middle, moving, placed"},
                      BadInput{{"--centre", "placed", "--centre-at", "49,100,100"}, "50..250"},
                      BadInput{{"--centre", "placed", "--centre-at", "100,100"}, "X,Y,Z"},
                      BadInput{{"--centre-at", "100,100,100"}, "only with --centre placed"},
                      BadInput{{"stray"}, "unexpected argument 'stray'"},
                      BadInput{{"--help=yes"}, "--help takes no value"},
                      BadInput{{"--alpha", "91"}, "0..90"}, BadInput{{"--beta", "361"}, "0..360"},
                      BadInput{{"--zoom", "9"}, "10..25"}, BadInput{{"--size", "0x10"}, "1..8192"},
                      BadInput{{"--size", "600"}, "WIDTHxHEIGHT"}, BadInput{{"--size", "8193x2"}, "1..8192"},
                      BadInput{{"--anaglyph=1"}, "--anaglyph takes no value"},
                      BadInput{{"--frame", "-"}, "cannot go to standard output"}));

INSTANTIATE_TEST_SUITE_P(
    RecordingAndCheckpoints, BatchBadInput,
    ::testing::Values(BadInput{{"--every", "3"}, "--every: only with --trajectory, --movie, --frames or --correlation"},
                      BadInput{{"--trajectory", "t.xyz", "--every", "0"}, "1..10000000"},
                      BadInput{{"--resume", "c.ckpt", "--seed", "1"}, "--seed: not with --resume"},
                      BadInput{{"--resume", "/nonexistent/c.ckpt"}, "'/nonexistent/c.ckpt' cannot be opened"},
                      BadInput{{"--movie", "-"}, "--movie: cannot go to standard output"},
                      BadInput{{"--checkpoint", "-"}, "--checkpoint: cannot go to standard output"},
                      BadInput{{"--movie", "m.mp4", "--size", "1x5"}, "a movie needs at least 2x2 pixels"},
                      BadInput{{"--frames", "/nonexistent/folder"}, "'/nonexistent/folder' is not a folder"}));

TEST_F(BatchFiles, FrameIsThePictureTheWindowWouldShow) {
    const RunResult r = run({"--seed", "3", "--n", "500", "--radius", "4", "--ticks", "5", "--frame",
                             path("view.png"), "--size", "320x240", "--no-cube"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage view(QString::fromStdString(path("view.png")));
    ASSERT_EQ(view.size(), QSize(320, 240));
    // white background, blue dotted individuals, no red box
    int blue = 0, red = 0;
    for (int y = 0; y < view.height(); ++y)
        for (int x = 0; x < view.width(); ++x) {
            const QRgb p = view.pixel(x, y);
            blue += p == qRgb(0, 0, 255);
            red += p == qRgb(255, 0, 0);
        }
    EXPECT_EQ(view.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_GT(blue, 100);
    EXPECT_EQ(red, 0);

    const RunResult a = run({"--seed", "3", "--n", "500", "--ticks", "5", "--frame", path("glasses.png"),
                             "--anaglyph", "--alpha", "30", "--beta", "45", "--zoom", "10"});
    ASSERT_EQ(a.status, 0) << a.err;
    const QImage glasses(QString::fromStdString(path("glasses.png")));
    EXPECT_EQ(glasses.size(), QSize(599, 698));
    EXPECT_EQ(glasses.pixel(0, 0), qRgb(0, 0, 0));
    int green = 0;
    red = 0;
    for (int y = 0; y < glasses.height(); ++y)
        for (int x = 0; x < glasses.width(); ++x) {
            green += glasses.pixel(x, y) == qRgb(0, 128, 0);
            red += glasses.pixel(x, y) == qRgb(255, 0, 0);
        }
    EXPECT_GT(green, 100);
    EXPECT_GT(red, 100);
}

TEST_F(BatchFiles, UnwritableOutputIsRefusedBeforeAnyWork) {
    std::ofstream(path("old.csv")) << "precious\n";
    const RunResult r = run({"--ticks", "5", "--csv", path("old.csv"), "--dump", path("missing/dir/s.csv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--dump: cannot write"));
    EXPECT_EQ(slurp(path("old.csv")), "precious\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"old.csv"});
}

TEST_F(BatchFiles, OneFileForTwoOutputsIsRefused) {
    const RunResult r = run({"--csv", path("a.csv"), "--dump", path("a.csv")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("is the same file as --csv"));
    EXPECT_TRUE(entries().empty());
}

TEST_F(BatchFiles, InterruptedRunLeavesNoFile) {
    std::ofstream(path("old.csv")) << "precious\n";
    const std::atomic<int> interrupted{SIGINT};
    std::ostringstream out, err;
    const int status =
        runBatch({"--n", "500", "--ticks", "5", "--csv", path("old.csv"), "--dump", path("s.csv")}, out, err,
                 false, &interrupted);
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_THAT(err.str(), HasSubstr("interrupted"));
    EXPECT_EQ(slurp(path("old.csv")), "precious\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"old.csv"});
}

TEST(BatchOptions, EquilibriumFollowsTheRadiusAsTheScrollBarsDo) {
    // the radius moving from 0 to 3 pulls the default 5 down to 3
    EXPECT_EQ(controlsFor(parseOptions({"--radius", "3"})).tavolsag, 3);
    // the radius left at 0 fires nothing: the default stays
    EXPECT_EQ(controlsFor(parseOptions({})).tavolsag, 5);
    // an equilibrium above a radius below 2 goes to the minimum 2
    EXPECT_EQ(controlsFor(parseOptions({"--equilibrium", "8"})).tavolsag, 2);
    EXPECT_EQ(controlsFor(parseOptions({"--radius", "10", "--equilibrium", "15"})).tavolsag, 10);
    EXPECT_EQ(controlsFor(parseOptions({"--radius", "10", "--equilibrium=7"})).tavolsag, 7);
}

// Every scroll bar's flag takes its control's whole range and refuses a
// step beyond either end, naming the range.
TEST(BatchOptions, EveryControlFlagTakesExactlyItsControlsRange) {
    const auto refusal = [](const std::vector<std::string>& args) -> std::string {
        try {
            parseOptions(args);
        } catch (const UsageError& e) {
            return e.what();
        }
        return "accepted";
    };
    for (const Control& c : kControls) {
        if (!c.flag) continue;
        SCOPED_TRACE(c.flag);
        const std::string flag = std::string("--") + c.flag;
        const std::string range = std::to_string(c.min) + ".." + std::to_string(c.max);
        // the view's flags need a picture to shape
        const auto args = [&](int v) { return std::vector<std::string>{flag, std::to_string(v), "--frame", "f.png"}; };
        for (int v : {c.min, c.max}) EXPECT_EQ(parseOptions(args(v)).controls.*c.position, v);
        // N's range widens in a box of a research setup's own, and says so
        const std::string wider = c.position == &Inputs::egyedszam ? "; with --box or --boundary periodic 2..1000000" : "";
        for (int v : {c.min - 1, c.max + 1})
            EXPECT_EQ(refusal(args(v)),
                      flag + ": " + std::to_string(v) + " is out of range (allowed: " + range + wider + ")");
        EXPECT_EQ(parseOptions({"--frame", "f.png"}).controls.*c.position, c.start);
    }
}

TEST(BatchOptions, ModesSetTheirCheckMarks) {
    const Inputs in = controlsFor(parseOptions({"--distance-mode", "custom-attractive", "--cohesion", "0",
                                                "--centre", "middle", "--perceivers", "40"}));
    EXPECT_TRUE(in.egyenivonzo);
    EXPECT_FALSE(in.autovonzo || in.autotaszito || in.egyenitaszito);
    EXPECT_TRUE(in.tkpvonzas);
    EXPECT_EQ(in.tkpvonzaserosseg, 0);
    EXPECT_TRUE(in.kozepenvonzo);
    EXPECT_FALSE(in.mozgovonzo || in.elhelyez);
    EXPECT_EQ(in.eszlelok, 40);
    EXPECT_FALSE(controlsFor(parseOptions({})).tkpvonzas);
}

}  // namespace
}  // namespace nyajkor::batch
