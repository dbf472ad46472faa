// Pixel tests of the rasteriser: every primitive's shape, the pen and brush
// rules, and clipping at the edges and far beyond them.
#include "surface/pixel_canvas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace nyajkor {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr Color kPen = clRed;
constexpr Color kBrush = clGreen;

// The canvas as text, one string per row: '.' black, 'W' white, 'P' the pen
// colour and 'B' the brush colour of these tests, '?' anything else.
std::vector<std::string> picture(const PixelCanvas& c) {
    const std::map<Color, char> legend{{clBlack, '.'}, {clWhite, 'W'}, {kPen, 'P'}, {kBrush, 'B'}};
    std::vector<std::string> rows;
    for (int y = 0; y < c.height(); ++y) {
        std::string row;
        for (int x = 0; x < c.width(); ++x) {
            const auto it = legend.find(c.pixel(x, y));
            row += it == legend.end() ? '?' : it->second;
        }
        rows.push_back(row);
    }
    return rows;
}

using Points = std::set<std::pair<int, int>>;

// Every pixel that is not black.
Points painted(const PixelCanvas& c) {
    Points points;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixel(x, y) != clBlack) points.insert({x, y});
    return points;
}

void setPen(Canvas& c, Color color, PenStyle style = PenStyle::psSolid, int width = 1) {
    c.Pen.color = color;
    c.Pen.style = style;
    c.Pen.width = width;
}

void fillWhite(PixelCanvas& c) {
    const Color brush = c.Brush.color;
    c.Brush.color = clWhite;
    c.FillRect(0, 0, c.width(), c.height());
    c.Brush.color = brush;
}

// ---------------------------------------------------------------- buffer

TEST(PixelCanvasBuffer, StartsBlackInBothLayouts) {
    const PixelCanvas c(3, 2);
    EXPECT_EQ(c.width(), 3);
    EXPECT_EQ(c.height(), 2);
    EXPECT_EQ(c.bytesPerLine(), 12);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(c.bits()[i], 0xFF000000u);
    EXPECT_EQ(c.pixel(2, 1), clBlack);
}

TEST(PixelCanvasBuffer, StoresQtRgb32AndAnswersBgr) {
    PixelCanvas c(1, 1);
    c.Brush.color = 0x00563412;  // blue 0x56, green 0x34, red 0x12
    c.FillRect(0, 0, 1, 1);
    EXPECT_EQ(c.bits()[0], 0xFF123456u);
    EXPECT_EQ(c.pixel(0, 0), 0x00563412u);
}

TEST(PixelCanvasBuffer, CopiesAsOpaqueRgbaBytesInRowOrder) {
    PixelCanvas c(2, 1);
    c.Brush.color = 0x00563412;  // blue 0x56, green 0x34, red 0x12
    c.FillRect(1, 0, 2, 1);
    std::uint8_t rgba[8] = {};
    c.copyAsRgba(rgba);
    const std::uint8_t expected[8] = {0, 0, 0, 0xFF, 0x12, 0x34, 0x56, 0xFF};
    EXPECT_TRUE(std::equal(rgba, rgba + 8, expected));
}

TEST(PixelCanvasBuffer, ColourBitsAboveTheLowThreeBytesAreIgnored) {
    PixelCanvas c(1, 1);
    c.Brush.color = 0x02FFFFFF;
    c.FillRect(0, 0, 1, 1);
    EXPECT_EQ(c.pixel(0, 0), clWhite);
}

TEST(PixelCanvasBuffer, ResizeClearsToBlackAndKeepsTheDrawingState) {
    PixelCanvas c(2, 2);
    setPen(c, kPen, PenStyle::psDot, 3);
    c.Brush.color = kBrush;
    c.FillRect(0, 0, 2, 2);
    c.MoveTo(5, 6);
    c.resize(4, 3);
    EXPECT_THAT(picture(c), ElementsAre("....", "....", "...."));
    EXPECT_EQ(c.Pen.color, kPen);
    EXPECT_EQ(c.Pen.style, PenStyle::psDot);
    EXPECT_EQ(c.Pen.width, 3);
    EXPECT_EQ(c.Brush.color, kBrush);
    EXPECT_EQ(c.penX(), 5);
    EXPECT_EQ(c.penY(), 6);
}

TEST(PixelCanvasBuffer, EmptyAndNegativeSizesHoldNoPixelsAndDrawNothing) {
    PixelCanvas c(-4, 3);
    EXPECT_EQ(c.width(), 0);
    EXPECT_EQ(c.height(), 3);
    PixelCanvas empty;
    setPen(empty, kPen);
    empty.FillRect(-10, -10, 10, 10);
    empty.Ellipse(-10, -10, 10, 10);
    empty.LineTo(10, 10);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_THROW(empty.pixel(0, 0), std::out_of_range);
}

TEST(PixelCanvasBuffer, PixelOutsideTheCanvasThrows) {
    const PixelCanvas c(3, 2);
    EXPECT_THROW(c.pixel(-1, 0), std::out_of_range);
    EXPECT_THROW(c.pixel(3, 0), std::out_of_range);
    EXPECT_THROW(c.pixel(0, 2), std::out_of_range);
}

// ---------------------------------------------------------------- FillRect

TEST(PixelCanvasFillRect, CoversTheHalfOpenRectangle) {
    PixelCanvas c(5, 4);
    c.Brush.color = kBrush;
    c.FillRect(1, 1, 4, 3);
    EXPECT_THAT(picture(c), ElementsAre(".....", ".BBB.", ".BBB.", "....."));
}

TEST(PixelCanvasFillRect, EmptyOrInvertedRectanglesFillNothing) {
    PixelCanvas c(4, 4);
    c.Brush.color = kBrush;
    c.FillRect(2, 1, 2, 3);
    c.FillRect(1, 2, 3, 2);
    c.FillRect(3, 1, 1, 3);
    c.FillRect(1, 3, 3, 1);
    EXPECT_TRUE(painted(c).empty());
}

TEST(PixelCanvasFillRect, ClipsAtEveryEdgeAndWithHugeCoordinates) {
    PixelCanvas c(4, 3);
    c.Brush.color = kBrush;
    c.FillRect(-5, -5, 2, 1);
    c.FillRect(3, 2, 100, 100);
    EXPECT_THAT(picture(c), ElementsAre("BB..", "....", "...B"));
    c.FillRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_THAT(picture(c), ElementsAre("BBBB", "BBBB", "BBBB"));
    c.Brush.color = clWhite;
    c.FillRect(INT_MIN, INT_MIN, INT_MIN + 1, INT_MAX);
    c.FillRect(4, 0, INT_MAX, INT_MAX);
    c.FillRect(0, INT_MIN, 4, 0);
    EXPECT_THAT(picture(c), ElementsAre("BBBB", "BBBB", "BBBB"));
}

TEST(PixelCanvasFillRect, NoneBrushPaintsNothing) {
    PixelCanvas c(2, 2);
    c.Brush.color = clNone;
    c.FillRect(0, 0, 2, 2);
    EXPECT_TRUE(painted(c).empty());
}

// ---------------------------------------------------------------- Ellipse: the view's marks

// An individual: box (sx-2, sy-1, sx+1, sy+2), dotted pen, brush clNone.
TEST(PixelCanvasEllipse, IndividualMarkIsFourDotsLeavingGapsAndInsideAlone) {
    PixelCanvas c(6, 5);
    fillWhite(c);
    setPen(c, kPen, PenStyle::psDot);
    c.Brush.color = clNone;
    const int sx = 3, sy = 2;
    c.Ellipse(sx - 2, sy - 1, sx + 1, sy + 2);
    EXPECT_THAT(picture(c), ElementsAre("WWWWWW",  //
                                        "WWPWWW",  //
                                        "WPWPWW",  //
                                        "WWPWWW",  //
                                        "WWWWWW"));
}

TEST(PixelCanvasEllipse, DottedGapsAndInsideTakeTheBrush) {
    PixelCanvas c(3, 3);
    setPen(c, kPen, PenStyle::psDot);
    c.Brush.color = kBrush;
    c.Ellipse(0, 0, 3, 3);
    EXPECT_THAT(picture(c), ElementsAre("BPB", "PBP", "BPB"));
}

// The anaglyph attracting centre: rings of 8 and 10 pixels, brush clNone.
TEST(PixelCanvasEllipse, EightAndTenPixelRings) {
    PixelCanvas eight(8, 8);
    setPen(eight, kPen);
    eight.Brush.color = clNone;
    eight.Ellipse(0, 0, 8, 8);
    EXPECT_THAT(picture(eight), ElementsAre("..PPPP..",  //
                                            ".P....P.",  //
                                            "P......P",  //
                                            "P......P",  //
                                            "P......P",  //
                                            "P......P",  //
                                            ".P....P.",  //
                                            "..PPPP.."));
    PixelCanvas ten(10, 10);
    setPen(ten, kPen);
    ten.Brush.color = clNone;
    ten.Ellipse(0, 0, 10, 10);
    EXPECT_THAT(picture(ten), ElementsAre("...PPPP...",  //
                                          ".PP....PP.",  //
                                          ".P......P.",  //
                                          "P........P",  //
                                          "P........P",  //
                                          "P........P",  //
                                          "P........P",  //
                                          ".P......P.",  //
                                          ".PP....PP.",  //
                                          "...PPPP..."));
}

// Predators: discs of 5 and 6 pixels; the outline is drawn with the pen, the
// inside with the brush.
TEST(PixelCanvasEllipse, FiveAndSixPixelDiscs) {
    PixelCanvas five(5, 5);
    setPen(five, kPen);
    five.Brush.color = kBrush;
    five.Ellipse(0, 0, 5, 5);
    EXPECT_THAT(picture(five), ElementsAre(".PPP.", "PBBBP", "PBBBP", "PBBBP", ".PPP."));
    PixelCanvas six(6, 6);
    setPen(six, kPen);
    six.Brush.color = kBrush;
    six.Ellipse(0, 0, 6, 6);
    EXPECT_THAT(picture(six), ElementsAre(".PPPP.", "PBBBBP", "PBBBBP", "PBBBBP", "PBBBBP", ".PPPP."));
}

TEST(PixelCanvasEllipse, FlatTallAndTinyBoxes) {
    PixelCanvas flat(7, 4);
    setPen(flat, kPen);
    flat.Brush.color = kBrush;
    flat.Ellipse(0, 0, 7, 4);
    EXPECT_THAT(picture(flat), ElementsAre(".PPPPP.", "PBBBBBP", "PBBBBBP", ".PPPPP."));
    PixelCanvas tiny(4, 5);
    setPen(tiny, kPen);
    tiny.Brush.color = kBrush;
    tiny.Ellipse(0, 0, 1, 1);
    tiny.Ellipse(2, 0, 4, 2);
    tiny.Ellipse(0, 2, 1, 5);
    EXPECT_THAT(picture(tiny), ElementsAre("P.PP", "..PP", "P...", "P...", "P..."));
}

TEST(PixelCanvasEllipse, EmptyOrInvertedBoxesDrawNothing) {
    PixelCanvas c(6, 6);
    setPen(c, kPen);
    c.Brush.color = kBrush;
    c.Ellipse(1, 1, 1, 5);
    c.Ellipse(1, 1, 5, 1);
    c.Ellipse(5, 5, 1, 1);
    EXPECT_TRUE(painted(c).empty());
}

TEST(PixelCanvasEllipse, WidePenThickensTheOutlineInsideTheBox) {
    PixelCanvas c(9, 9);
    setPen(c, kPen, PenStyle::psSolid, 2);
    c.Brush.color = kBrush;
    c.Ellipse(0, 0, 9, 9);
    EXPECT_THAT(picture(c), ElementsAre("..PPPPP..",  //
                                        ".PPPPPPP.",  //
                                        "PPBBBBBPP",  //
                                        "PPBBBBBPP",  //
                                        "PPBBBBBPP",  //
                                        "PPBBBBBPP",  //
                                        "PPBBBBBPP",  //
                                        ".PPPPPPP.",  //
                                        "..PPPPP.."));
}

TEST(PixelCanvasEllipse, WideDottedPenDrawsSolid) {
    PixelCanvas c(5, 5);
    setPen(c, kPen, PenStyle::psDot, 2);
    c.Brush.color = kBrush;
    c.Ellipse(0, 0, 5, 5);
    EXPECT_THAT(picture(c), ElementsAre(".PPP.", "PPPPP", "PPBPP", "PPPPP", ".PPP."));
}

TEST(PixelCanvasEllipse, NonePenLeavesTheOutlineAlone) {
    PixelCanvas c(5, 5);
    setPen(c, clNone);
    c.Brush.color = kBrush;
    c.Ellipse(0, 0, 5, 5);
    EXPECT_THAT(picture(c), ElementsAre(".....", ".BBB.", ".BBB.", ".BBB.", "....."));
}

// ---------------------------------------------------------------- Ellipse: the rule for every box

// The shape by its definition, pixel by pixel: inside when the pixel centre
// lies in the inscribed ellipse; outline when a pixel outside lies within
// pen-width steps along a row or column; dots by the local direction.
std::vector<std::string> ellipseByDefinition(int w, int h, int penWidth, bool dotted) {
    auto inside = [&](long k, long j) {
        if (k < 0 || k >= w || j < 0 || j >= h) return false;
        const long u = 2 * k + 1 - w, v = 2 * j + 1 - h;
        return u * u * h * h + v * v * w * w <= long{w} * w * h * h;
    };
    std::vector<std::string> rows;
    for (long j = 0; j < h; ++j) {
        std::string row;
        for (long k = 0; k < w; ++k) {
            bool outline = false;
            for (long d = 1; d <= penWidth; ++d)
                outline = outline || !inside(k + d, j) || !inside(k - d, j) || !inside(k, j + d) ||
                          !inside(k, j - d);
            char pixel = !inside(k, j) ? '.' : outline ? 'P' : 'B';
            if (pixel == 'P' && dotted) {
                const long u = std::labs(2 * k + 1 - w), v = std::labs(2 * j + 1 - h);
                const bool flat = v * w * w >= u * h * h;
                pixel = ((flat ? k : j) % 2 == 1) ? 'P' : 'B';
            }
            row += pixel;
        }
        rows.push_back(row);
    }
    return rows;
}

class PixelCanvasEllipseRule : public ::testing::TestWithParam<int> {};

TEST_P(PixelCanvasEllipseRule, EveryBoxUpTo24MatchesTheDefinition) {
    const int penWidth = GetParam();
    for (int w = 1; w <= 24; ++w) {
        for (int h = 1; h <= 24; ++h) {
            for (bool dotted : {false, true}) {
                PixelCanvas c(w, h);
                setPen(c, kPen, dotted ? PenStyle::psDot : PenStyle::psSolid, penWidth);
                c.Brush.color = kBrush;
                c.Ellipse(0, 0, w, h);
                ASSERT_EQ(picture(c), ellipseByDefinition(w, h, penWidth, dotted && penWidth == 1))
                    << w << " x " << h << (dotted ? " dotted" : "");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PenWidths, PixelCanvasEllipseRule, ::testing::Values(1, 2, 3));

// ---------------------------------------------------------------- Ellipse: clipping

// An ellipse drawn across an edge shows exactly the part of the whole one
// that lies on the canvas; small marks and larger boxes alike.
class PixelCanvasEllipseClipping : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(PixelCanvasEllipseClipping, AcrossEveryEdgeShowsItsVisiblePart) {
    const auto [w, h] = GetParam();
    PixelCanvas whole(80, 80);
    for (int dotted = 0; dotted < 2; ++dotted) {
        for (int left = -w; left <= 5; ++left) {
            for (int top = -h; top <= 4; ++top) {
                PixelCanvas clipped(5, 4);
                for (PixelCanvas* c : {&whole, &clipped}) {
                    setPen(*c, kPen, dotted ? PenStyle::psDot : PenStyle::psSolid);
                    c->Brush.color = kBrush;
                }
                whole.resize(80, 80);
                whole.Ellipse(40 + left, 40 + top, 40 + left + w, 40 + top + h);
                clipped.Ellipse(left, top, left + w, top + h);
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 5; ++x)
                        ASSERT_EQ(clipped.pixel(x, y), whole.pixel(40 + x, 40 + y))
                            << "box at " << left << ", " << top << " pixel " << x << ", " << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, PixelCanvasEllipseClipping,
                         ::testing::Values(std::pair{3, 3}, std::pair{10, 7}, std::pair{23, 18}));

TEST(PixelCanvasEllipseClipping, HugeBoxAroundTheCanvasFillsItWithTheBrush) {
    PixelCanvas c(4, 3);
    setPen(c, kPen);
    c.Brush.color = kBrush;
    c.Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_THAT(picture(c), ElementsAre("BBBB", "BBBB", "BBBB"));
}

TEST(PixelCanvasEllipseClipping, HugeBoxEdgesPassingThroughTheCanvas) {
    // a circle of radius r = 2^30 whose right edge is column 0: there the
    // doubled row offset v must satisfy (2r - 1)^2 + v^2 <= (2r)^2, so
    // |v| <= 65535 is in and 65537 out; rows 0 and 1 are the last two in
    PixelCanvas c(3, 3);
    setPen(c, kPen);
    c.Brush.color = kBrush;
    const int r = 1 << 30;
    const int top = 1 - r - 32767;
    c.Ellipse(1 - r - r, top, 1, 1 + r - 32767);
    EXPECT_THAT(picture(c), ElementsAre("P..", "P..", "..."));
    c.resize(3, 3);
    c.Ellipse(INT_MIN, 1, INT_MAX, 2);
    EXPECT_THAT(picture(c), ElementsAre("...", "PPP", "..."));
}

// In this circle of 1978923665 pixels, row 757423514 starts at column
// 27592332; the square root in double precision lands one column short.
TEST(PixelCanvasEllipseClipping, RowEndsOfHugeBoxesAreExact) {
    PixelCanvas c(2, 1);
    setPen(c, kPen);
    c.Brush.color = kBrush;
    const int size = 1978923665, row = 757423514, firstColumn = 27592332;
    const int left = 1 - firstColumn, top = -row;
    c.Ellipse(left, top, left + size, top + size);
    EXPECT_THAT(picture(c), ElementsAre(".P"));
}

TEST(PixelCanvasEllipseClipping, MarksFarAwayDrawNothing) {
    PixelCanvas c(4, 4);
    setPen(c, kPen, PenStyle::psDot);
    c.Brush.color = kBrush;
    c.Ellipse(INT_MAX - 3, 0, INT_MAX, 3);
    c.Ellipse(INT_MIN, INT_MIN, INT_MIN + 3, INT_MIN + 3);
    c.Ellipse(0, INT_MAX - 10, 10, INT_MAX);
    EXPECT_TRUE(painted(c).empty());
}

// ---------------------------------------------------------------- lines

// The pixels of a line from the middle of a 21 x 21 canvas by (dx, dy),
// relative to its start.
Points lineFromCentre(int dx, int dy) {
    PixelCanvas c(21, 21);
    setPen(c, kPen);
    c.MoveTo(10, 10);
    c.LineTo(10 + dx, 10 + dy);
    Points relative;
    for (auto [x, y] : painted(c)) relative.insert({x - 10, y - 10});
    return relative;
}

TEST(PixelCanvasLine, EveryOctantStopsBeforeTheEndPixel) {
    EXPECT_THAT(lineFromCentre(6, 1), ElementsAre(std::pair{0, 0}, std::pair{1, 0}, std::pair{2, 0},
                                                   std::pair{3, 1}, std::pair{4, 1}, std::pair{5, 1}));
    EXPECT_THAT(lineFromCentre(1, 6), ElementsAre(std::pair{0, 0}, std::pair{0, 1}, std::pair{0, 2},
                                                   std::pair{1, 3}, std::pair{1, 4}, std::pair{1, 5}));
    // the other six octants mirror these two
    for (int sx : {1, -1}) {
        for (int sy : {1, -1}) {
            Points shallow, steep;
            for (auto [x, y] : lineFromCentre(6, 1)) shallow.insert({sx * x, sy * y});
            for (auto [x, y] : lineFromCentre(1, 6)) steep.insert({sx * x, sy * y});
            EXPECT_EQ(lineFromCentre(6 * sx, sy), shallow) << sx << ", " << sy;
            EXPECT_EQ(lineFromCentre(sx, 6 * sy), steep) << sx << ", " << sy;
        }
    }
}

TEST(PixelCanvasLine, AxesDiagonalsAndTiesRoundAwayFromTheStart) {
    EXPECT_THAT(lineFromCentre(3, 0), ElementsAre(std::pair{0, 0}, std::pair{1, 0}, std::pair{2, 0}));
    EXPECT_THAT(lineFromCentre(0, -3), ElementsAre(std::pair{0, -2}, std::pair{0, -1}, std::pair{0, 0}));
    EXPECT_THAT(lineFromCentre(-3, 3), ElementsAre(std::pair{-2, 2}, std::pair{-1, 1}, std::pair{0, 0}));
    EXPECT_THAT(lineFromCentre(4, 2),
                ElementsAre(std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 1}, std::pair{3, 2}));
    EXPECT_THAT(lineFromCentre(-4, -2),
                ElementsAre(std::pair{-3, -2}, std::pair{-2, -1}, std::pair{-1, -1}, std::pair{0, 0}));
}

TEST(PixelCanvasLine, ZeroLengthDrawsNothingButMoves) {
    PixelCanvas c(4, 4);
    setPen(c, kPen);
    c.MoveTo(2, 2);
    c.LineTo(2, 2);
    EXPECT_TRUE(painted(c).empty());
    EXPECT_EQ(c.penX(), 2);
    EXPECT_EQ(c.penY(), 2);
}

TEST(PixelCanvasLine, ConsecutiveLinesJoinAndClosePaths) {
    PixelCanvas c(5, 5);
    setPen(c, kPen);
    c.MoveTo(0, 0);
    c.LineTo(4, 0);
    c.LineTo(4, 4);
    c.LineTo(0, 4);
    c.LineTo(0, 0);
    EXPECT_THAT(picture(c), ElementsAre("PPPPP", "P...P", "P...P", "P...P", "PPPPP"));
    EXPECT_EQ(c.penX(), 0);
    EXPECT_EQ(c.penY(), 0);
}

TEST(PixelCanvasLine, DottedPenAlternatesWithGapsInTheBrush) {
    PixelCanvas c(7, 2);
    setPen(c, kPen, PenStyle::psDot);
    c.Brush.color = kBrush;
    c.MoveTo(0, 0);
    c.LineTo(7, 0);
    c.Brush.color = clNone;
    c.MoveTo(0, 1);
    c.LineTo(7, 1);
    EXPECT_THAT(picture(c), ElementsAre("PBPBPBP", "P.P.P.P"));
}

TEST(PixelCanvasLine, NonePenDrawsOnlyTheGapsOfADottedLine) {
    PixelCanvas c(5, 2);
    setPen(c, clNone);
    c.Brush.color = kBrush;
    c.LineTo(5, 0);
    setPen(c, clNone, PenStyle::psDot);
    c.MoveTo(0, 1);
    c.LineTo(5, 1);
    EXPECT_THAT(picture(c), ElementsAre(".....", ".B.B."));
}

TEST(PixelCanvasLine, WidePensStampSquares) {
    PixelCanvas c(7, 6);
    setPen(c, kPen, PenStyle::psSolid, 3);
    c.MoveTo(1, 1);
    c.LineTo(5, 1);
    setPen(c, kPen, PenStyle::psDot, 2);
    c.MoveTo(0, 4);
    c.LineTo(3, 4);
    EXPECT_THAT(picture(c), ElementsAre("PPPPPP.",  //
                                        "PPPPPP.",  //
                                        "PPPPPP.",  //
                                        ".......",  //
                                        "PPPP...",  //
                                        "PPPP..."));
}

// A line drawn across the edges shows exactly the part of the whole line that
// lies on the canvas, whatever its direction and pen.
TEST(PixelCanvasLineClipping, ClippedLinesMatchTheirVisiblePart) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-30, 36);
    std::uniform_int_distribution<int> width(1, 3);
    for (int n = 0; n < 3000; ++n) {
        const int x0 = coordinate(random), y0 = coordinate(random);
        const int x1 = coordinate(random), y1 = coordinate(random);
        const int penWidth = width(random);
        const PenStyle style = n % 2 ? PenStyle::psDot : PenStyle::psSolid;
        PixelCanvas whole(140, 140), clipped(7, 6);
        for (PixelCanvas* c : {&whole, &clipped}) {
            setPen(*c, kPen, style, penWidth);
            c->Brush.color = kBrush;
        }
        whole.MoveTo(x0 + 50, y0 + 50);
        whole.LineTo(x1 + 50, y1 + 50);
        clipped.MoveTo(x0, y0);
        clipped.LineTo(x1, y1);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(clipped.pixel(x, y), whole.pixel(x + 50, y + 50))
                    << "line " << x0 << "," << y0 << " to " << x1 << "," << y1 << " width " << penWidth
                    << " pixel " << x << "," << y;
    }
}

TEST(PixelCanvasLineClipping, HugeCoordinates) {
    PixelCanvas c(4, 4);
    setPen(c, kPen);
    c.MoveTo(INT_MIN, 1);
    c.LineTo(INT_MAX, 1);
    c.MoveTo(-1000000000, -1000000000);
    c.LineTo(1000000000, 1000000000);
    EXPECT_THAT(picture(c), ElementsAre("P...", "PPPP", "..P.", "...P"));
    // slope 3 / (2^32 - 1): at x = 0, step 2^31, the row is round(1.5000000003) = 2
    c.resize(4, 4);
    c.MoveTo(INT_MIN, 0);
    c.LineTo(INT_MAX, 3);
    EXPECT_THAT(picture(c), ElementsAre("....", "....", "PPPP", "...."));
    c.resize(4, 4);
    c.MoveTo(INT_MIN, INT_MIN);
    c.LineTo(INT_MAX, INT_MIN);
    c.LineTo(INT_MAX, INT_MAX);
    c.LineTo(INT_MIN + 5, INT_MAX);
    EXPECT_TRUE(painted(c).empty());
}

// ---------------------------------------------------------------- drawing state

TEST(PixelCanvasState, ReleaseReturnsToTheOriginAndKeepsPenAndBrush) {
    PixelCanvas c(4, 2);
    setPen(c, kPen, PenStyle::psDot, 1);
    c.Brush.color = kBrush;
    c.MoveTo(3, 1);
    c.Release();
    c.Release();
    EXPECT_EQ(c.penX(), 0);
    EXPECT_EQ(c.penY(), 0);
    EXPECT_EQ(c.Pen.style, PenStyle::psDot);
    EXPECT_EQ(c.Brush.color, kBrush);
    c.LineTo(4, 0);  // starts at (0, 0) in the new pass, dotted over the brush
    EXPECT_THAT(picture(c), ElementsAre("PBPB", "...."));
}

TEST(PixelCanvasState, PrimitivesOverwriteWithoutBlending) {
    PixelCanvas c(3, 1);
    c.Brush.color = clWhite;
    c.FillRect(0, 0, 3, 1);
    setPen(c, kPen);
    c.LineTo(2, 0);
    c.Brush.color = kBrush;
    c.FillRect(1, 0, 3, 1);
    EXPECT_THAT(picture(c), ElementsAre("PBB"));
}

}  // namespace
}  // namespace nyajkor
