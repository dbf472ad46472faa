// The pictures of a sweep: the chart of one swept flag, the phase diagram of two.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <map>

#include "cli/phase_diagram.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;

const std::vector<std::string> kTinySweep = {"--n", "500", "--radius", "3", "--warmup", "2", "--ticks", "12",
                                             "--seed", "5"};

// How many pixels of each colour the picture has.
std::map<QRgb, int> colours(const QImage& image) {
    std::map<QRgb, int> count;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++count[image.pixel(x, y) & 0xffffff];
    return count;
}

// Pixels clearly red: the susceptibility's line and bars.
int reddish(const QImage& image) {
    int n = 0;
    for (const auto& [rgb, count] : colours(image)) {
        const QColor c(rgb);
        if (c.red() > 150 && c.green() < 90 && c.blue() < 90) n += count;
    }
    return n;
}

TEST(PhaseDiagram, ScaleRunsFromDarkBlueToYellowThroughItsStops) {
    EXPECT_EQ(scaleColour(0).rgb() & 0xffffff, 0x440154u);
    EXPECT_EQ(scaleColour(0.5).rgb() & 0xffffff, 0x21918cu);
    EXPECT_EQ(scaleColour(1).rgb() & 0xffffff, 0xfde725u);
    // beyond the ends it keeps the ends' colours; between stops it mixes them
    EXPECT_EQ(scaleColour(-3), scaleColour(0));
    EXPECT_EQ(scaleColour(7), scaleColour(1));
    EXPECT_EQ(scaleColour(0.125).rgb() & 0xffffff, qRgb(0x40, 0x2a, 0x70) & 0xffffffu);
}

TEST(PhaseDiagram, OrderErrorIsOverTheRepeatsOrElseFromTheCorrelationTime) {
    PointSummary s;
    s.order = {0.4, 0.05};
    s.orderError = 0.01;
    s.binder = {0.6, 0.02};
    EXPECT_EQ(plottedEstimate(s, PlotQuantity::order).se, 0.05);
    EXPECT_EQ(plottedEstimate(s, PlotQuantity::binder).mean, 0.6);
    s.order.se = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(plottedEstimate(s, PlotQuantity::order).se, 0.01);
}

class SweepPictures : public BatchFiles {};

TEST_F(SweepPictures, TwoFlagsDrawEachPointInTheColourOfItsValue) {
    for (const std::string quantity : {"order", "binder"}) {
        SCOPED_TRACE(quantity);
        const RunResult r =
            run(with(kTinySweep, {"--sweep", "noise=0:100:50", "--sweep", "speed=5:15:10", "--summary",
                                  path("s.csv"), "--plot", path("map.png"), "--plot-quantity", quantity}));
        ASSERT_EQ(r.status, 0) << r.err;
        const QImage map(QString::fromStdString(path("map.png")));
        ASSERT_FALSE(map.isNull());
        const auto count = colours(map);
        const auto rows = lines(slurp(path("s.csv")));
        ASSERT_EQ(rows.size(), 1u + 6);
        // the values the colours span: the order parameter's 0..1, the Binder cumulant's lowest..highest
        const std::size_t column = quantity == "order" ? 3 : 15;
        double lo = 0, hi = 1;
        if (quantity == "binder") {
            lo = 1e300, hi = -1e300;
            for (std::size_t k = 1; k < rows.size(); ++k) {
                lo = std::min(lo, std::stod(fields(rows[k])[column]));
                hi = std::max(hi, std::stod(fields(rows[k])[column]));
            }
        }
        for (std::size_t k = 1; k < rows.size(); ++k) {
            const double v = std::stod(fields(rows[k])[column]);
            const QRgb expected = scaleColour((v - lo) / (hi - lo)).rgb() & 0xffffff;
            // a cell is about 230 by 250 pixels
            EXPECT_GT(count.count(expected) ? count.at(expected) : 0, 20000) << rows[k];
        }
    }
}

TEST_F(SweepPictures, OneFlagDrawsTheSusceptibilityBesideTheQuantity) {
    const auto args = with(kTinySweep, {"--sweep", "noise=0:100:25", "--repeats", "2", "--plot", path("c.png")});
    ASSERT_EQ(run(args).status, 0);
    EXPECT_GT(reddish(QImage(QString::fromStdString(path("c.png")))), 200);
    // the susceptibility itself is drawn once, in the quantity's colour
    ASSERT_EQ(run(with(args, {"--plot-quantity", "susceptibility"})).status, 0);
    EXPECT_EQ(reddish(QImage(QString::fromStdString(path("c.png")))), 0);
}

// Curves: one a step of the first axis, in colours of their own, and no map.
TEST_F(SweepPictures, TwoAxesAsCurvesDrawACurveForEachStepOfTheFirst) {
    const RunResult r = run(with(kTinySweep, {"--sweep", "speed=5;10;15", "--sweep", "noise=0:100:50", "--plot",
                                              path("curves.png"), "--plot-style", "curves",
                                              "--plot-quantity", "binder"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto count = colours(QImage(QString::fromStdString(path("curves.png"))));
    // blue, red and green lines and bars, drawn smoothed: pixels near each colour
    auto near = [&count](QColor curve) {
        int n = 0;
        for (const auto& [rgb, pixels] : count) {
            const QColor c(rgb);
            if (std::abs(c.red() - curve.red()) + std::abs(c.green() - curve.green()) +
                    std::abs(c.blue() - curve.blue()) < 60)
                n += pixels;
        }
        return n;
    };
    for (const QRgb curve : {0x1f77b4u, 0xd62728u, 0x2ca02cu}) EXPECT_GT(near(QColor(curve)), 150) << std::hex << curve;
    EXPECT_EQ(count.count(scaleColour(0).rgb() & 0xffffff), 0u);  // nothing of the map's scale
}

}  // namespace
}  // namespace nyajkor::batch
