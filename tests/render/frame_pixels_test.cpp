// Whole frames through the real rasteriser: what the composition tests
// establish call by call, checked here where it shows, in the pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "render/frame.h"
#include "render_fixture.h"
#include "surface/pixel_canvas.h"

namespace nyajkor::testing {
namespace {

class PixelHost : public ViewHost {
public:
    PixelHost(int width, int height) : surface(width, height) {}
    int width() const override { return surface.width(); }
    int height() const override { return surface.height(); }
    Canvas* canvas() override { return &surface; }
    void flip() override {}

    PixelCanvas surface;
};

class FramePixels : public RenderTest {
protected:
    // screen centre (500, 350); at zoom 1.5 with no rotation the box corners
    // lie 440 and 187 pixels to the sides and 315 and 134 above and below
    PixelHost host{1000, 700};

    std::set<Color> coloursIn(int x1, int y1, int x2, int y2) const {
        std::set<Color> seen;
        for (int y = y1; y < y2; ++y) {
            for (int x = x1; x < x2; ++x) seen.insert(host.surface.pixel(x, y));
        }
        return seen;
    }
    std::set<Color> allColours() const { return coloursIn(0, 0, host.width(), host.height()); }
};

TEST_F(FramePixels, NormalFrameShowsTheDefaultColoursWithTheCubeOnTop) {
    in.kozepenvonzo = true;  // the centre at the box centre, in front of nobody
    placeIndividuals({{175, 175, 85}, {350, 350, 0}});  // 2 sits on corner C1
    placePredators({{175, 175, 165}});
    rajzolasvezerlo(f, in, v, host);

    EXPECT_EQ(allColours(), (std::set<Color>{clWhite, clBlue, clGreen, clRed}));
    EXPECT_TRUE(coloursIn(496, 346, 504, 354).contains(clGreen));                 // centre
    EXPECT_EQ(coloursIn(498, 289, 501, 292), (std::set<Color>{clWhite, clBlue}));  // individual 1
    // every corner of the outline is red, also where individual 2 lies under it
    for (auto [kx, ky] : {std::pair{440, -315}, {187, -134}, {-187, -134}, {-440, -315},
                          {440, 315}, {187, 134}, {-187, 134}, {-440, 315}}) {
        EXPECT_EQ(host.surface.pixel(500 + kx, 350 + ky), clRed) << kx << ", " << ky;
    }
    EXPECT_TRUE(coloursIn(938, 34, 941, 37).contains(clBlue));  // the rest of individual 2
}

TEST_F(FramePixels, AnaglyphFrameIsBlackWithTheRightEyeOverTheLeft) {
    in.szemuveg = true;
    in.befoglalokocka = false;
    // 1 on the plane through the box centre: both images in one place;
    // 2 nearer: its images apart
    placeIndividuals({{135, 175, 125}, {235, 275, 125}});
    rajzolasvezerlo(f, in, v, host);

    EXPECT_EQ(allColours(), (std::set<Color>{clBlack, clRed, clGreen}));
    EXPECT_EQ(coloursIn(438, 349, 441, 352), (std::set<Color>{clBlack, clGreen}));
    // 2 at zoomed (90, 150): the left (red) image lies to the right
    // of the right (green) one; the whole pair within a few pixels
    int lastGreen = -1, firstRed = 100000;
    for (int x = 590; x < 640; ++x) {
        for (int y = 347; y < 354; ++y) {
            const Color c = host.surface.pixel(x, y);
            if (c == clGreen) lastGreen = std::max(lastGreen, x);
            if (c == clRed) firstRed = std::min(firstRed, x);
        }
    }
    EXPECT_GE(lastGreen, 0);
    EXPECT_LT(firstRed, 100000);
    EXPECT_LT(lastGreen, firstRed);
}

TEST_F(FramePixels, ClearingCoversTheWholeSurfaceInTheBackground) {
    in.szemuveg = true;
    placeIndividuals({{175, 175, 125}});
    rajzolasvezerlo(f, in, v, host);
    v.szinhatter = 0x00336699;
    torles(v, host);
    EXPECT_EQ(allColours(), (std::set<Color>{0x00336699}));
}

}  // namespace
}  // namespace nyajkor::testing
