// The runner's research setups: boxes of any size, periodic faces, the
// vectorial noise and a density that sets N.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch::test {
namespace {

using ::testing::HasSubstr;

class ResearchBadInput : public BatchFiles, public ::testing::WithParamInterface<BadInput> {};

TEST_P(ResearchBadInput, RefusedWithOneLineAndNothingRun) {
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"--seed", "1", "--ticks", "1", "--csv", path("out.csv")});
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(GetParam().message));
    EXPECT_TRUE(entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Setups, ResearchBadInput,
    ::testing::Values(
        BadInput{{"--n", "100"}, "--n: 100 is out of range (allowed: 500..5000; with --box or --boundary periodic"},
        BadInput{{"--n", "6000"}, "--n: 6000 is out of range"},
        BadInput{{"--sweep", "n=100:600:100"}, "--n: 100 is out of range (allowed: 500..5000;"},
        BadInput{{"--box", "30", "--boundary", "periodic", "--sweep", "n=1:5:1"},
                 "--sweep n: 1 is out of range (allowed: 2..1000000)"},
        BadInput{{"--box", "30", "--n", "1000001"}, "--n: 1000001 is out of range"},
        BadInput{{"--box", "9"}, "--box: 9 is out of range (allowed: 10..4096)"},
        BadInput{{"--box", "10,20"}, "--box: '10,20' is not X,Y,Z"},
        BadInput{{"--box", "50"}, "--box: 50,50,50 is too small for walls"},
        BadInput{{"--box", "20", "--boundary", "periodic", "--radius", "10"},
                 "--radius: 10 is too large for the periodic box 20,20,20"},
        BadInput{{"--boundary", "periodic", "--cohesion", "5"}, "a centre of mass is not defined on a torus"},
        BadInput{{"--boundary", "periodic", "--predators", "1"}, "--predators: not with --boundary periodic"},
        BadInput{{"--boundary", "periodic", "--centre", "middle"}, "--centre: not with --boundary periodic"},
        BadInput{{"--box", "100", "--centre", "middle"}, "--centre: only in the window's box 350,350,250"},
        BadInput{{"--box", "100", "--predators", "2"}, "--predators: only in the window's box"},
        BadInput{{"--boundary", "torus"}, "--boundary: 'torus' is not one of walls, periodic"},
        BadInput{{"--noise-model", "gaussian"}, "--noise-model: 'gaussian' is not one of cube, vectorial"},
        BadInput{{"--density", "2"}, "--density: needs --box"},
        BadInput{{"--density", "0.5", "--box", "100"}, "--density: 0.5 is out of range (allowed: 1..1000000"},
        BadInput{{"--density", "nan", "--box", "100"}, "--density: 'nan' is not a number"},
        BadInput{{"--density", "2", "--box", "100", "--n", "10"}, "--n: not with --density"},
        BadInput{{"--density", "2", "--box", "100", "--radius", "0"}, "the radius must be 1 or more"},
        BadInput{{"--density", "1000", "--box", "4096", "--radius", "1"}, "make more than 1000000 individuals"},
        BadInput{{"--density", "1", "--box", "10", "--boundary", "periodic", "--radius", "9"},
                 "make 1 individual (allowed: 500..5000; with --box or --boundary periodic 2..1000000)"},
        BadInput{{"--box", "30", "--boundary", "periodic", "--n", "100", "--frame", "x.png"}, "--frame: pictures show"},
        BadInput{{"--noise-model", "vectorial", "--checkpoint", "c.ckpt"}, "--checkpoint: a checkpoint holds"},
        BadInput{{"--box", "30", "--boundary", "periodic", "--sweep", "radius=10:15:5"},
                 "--radius: 15 is too large for the periodic box"},
        BadInput{{"--box", "100", "--density", "2", "--sweep", "n=500:600:100"}, "n is set by --density"}));

// A periodic cube at a density: N from the density, periodic cell in the
// trajectory, the same bytes on one and two threads.
TEST_F(BatchFiles, PeriodicRunAtADensityIsTheSameOnOneAndTwoThreads) {
    const std::vector<std::string> setup = {"--seed", "3", "--ticks", "30", "--box", "20,24,28", "--boundary",
                                            "periodic", "--noise-model", "vectorial", "--density", "2", "--radius",
                                            "4", "--noise", "45", "--speed", "10"};
    for (const std::string threads : {"1", "2"}) {
        const RunResult r = run(with(setup, {"--threads", threads, "--csv", path("ticks-" + threads + ".csv"),
                                             "--trajectory", path("run-" + threads + ".xyz"), "--every", "10",
                                             "--dump", path("dump-" + threads + ".csv")}));
        ASSERT_EQ(r.status, 0) << r.err;
    }
    EXPECT_EQ(slurp(path("ticks-1.csv")), slurp(path("ticks-2.csv")));
    EXPECT_EQ(slurp(path("dump-1.csv")), slurp(path("dump-2.csv")));
    const std::vector<std::string> frame = lines(slurp(path("run-1.xyz")));
    // round(2 * 20 * 24 * 28 / 64) = 420 individuals
    ASSERT_GT(frame.size(), 2u);
    EXPECT_EQ(frame[0], "420");
    EXPECT_THAT(frame[1], HasSubstr("Lattice=\"20 0 0 0 24 0 0 0 28\""));
    EXPECT_THAT(frame[1], HasSubstr("pbc=\"T T T\""));
    for (std::size_t k = 2; k < 2 + 420; ++k) {
        const std::vector<std::string> cells = [&] {
            std::vector<std::string> v;
            std::istringstream in(frame[k]);
            for (std::string c; in >> c;) v.push_back(c);
            return v;
        }();
        const double x = std::stod(cells[1]), y = std::stod(cells[2]), z = std::stod(cells[3]);
        ASSERT_TRUE(x >= 0 && x <= 20 && y >= 0 && y <= 24 && z >= 0 && z <= 28) << frame[k];
    }
}

// The window's runs stay as they were: a research flag at its default
// changes no byte, and the sweep's table gains columns only with a setup.
TEST_F(BatchFiles, DefaultsOfTheNewFlagsChangeNothing) {
    const std::vector<std::string> plain = {"--seed", "5", "--ticks", "20"};
    ASSERT_EQ(run(with(plain, {"--csv", path("plain.csv")})).status, 0);
    ASSERT_EQ(run(with(plain, {"--csv", path("walls.csv"), "--boundary", "walls", "--noise-model", "cube"})).status, 0);
    EXPECT_EQ(slurp(path("plain.csv")), slurp(path("walls.csv")));
    const std::vector<std::string> sweep = {"--seed", "5", "--ticks", "5", "--sweep", "noise=10:20:10"};
    ASSERT_EQ(run(with(sweep, {"--csv", path("window.csv")})).status, 0);
    ASSERT_EQ(run(with(sweep, {"--csv", path("box.csv"), "--box", "350,350,250"})).status, 0);
    const std::string window = lines(slurp(path("window.csv")))[0], box = lines(slurp(path("box.csv")))[0];
    EXPECT_THAT(window, ::testing::Not(HasSubstr("box_x")));
    EXPECT_THAT(box, HasSubstr(",seed,individuals,box_x,box_y,box_z,boundary,noise_model,density,"));
    // the same runs: the window's box given by hand is the window's model
    EXPECT_EQ(fields(lines(slurp(path("window.csv")))[1])[2], fields(lines(slurp(path("box.csv")))[1])[9]);
}

// A large flock in the window's box runs through the cell list.
TEST_F(BatchFiles, TenThousandInABoxOfTheirOwn) {
    const RunResult r = run({"--seed", "2", "--ticks", "3", "--box", "350,350,250", "--n", "10000", "--radius", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("order "));
}

}  // namespace
}  // namespace nyajkor::batch::test
