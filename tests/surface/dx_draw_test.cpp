// The view control on the offscreen platform: when its back surface is made
// and re-made, what it shows, and how it reports a surface that cannot be
// made.
#include "surface/dx_draw.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

namespace nyajkor {
namespace {

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

bool allBlack(const PixelCanvas& c) {
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixel(x, y) != clBlack) return false;
    return true;
}

QSize surfaceSize(const TDXDraw& dx) {
    return {dx.Surface.Canvas.width(), dx.Surface.Canvas.height()};
}

// Fills the whole back surface.
void fill(TDXDraw& dx, Color color) {
    PixelCanvas& c = dx.Surface.Canvas;
    c.Brush.color = color;
    c.FillRect(0, 0, c.width(), c.height());
}

// The control as the main window holds it: a child of a window.
class DXDrawTest : public ::testing::Test {
protected:
    QWidget window;
    TDXDraw* dx = new TDXDraw(&window);

    DXDrawTest() {
        window.resize(200, 150);
        dx->setGeometry(10, 10, 60, 40);
    }
};

TEST_F(DXDrawTest, BeforeTheFirstShowingThereIsNoSurfaceAndDrawingIsSkipped) {
    EXPECT_FALSE(dx->Initialized());
    EXPECT_EQ(surfaceSize(*dx), QSize(0, 0));
    dx->Surface.Canvas.Brush.color = clWhite;
    dx->Surface.Canvas.FillRect(0, 0, 60, 40);
    dx->Surface.Canvas.LineTo(30, 30);
    dx->Flip();
    window.show();
    EXPECT_TRUE(dx->Initialized());
    EXPECT_EQ(surfaceSize(*dx), QSize(60, 40));
    EXPECT_TRUE(allBlack(dx->Surface.Canvas));
}

TEST_F(DXDrawTest, InitialisesOnceSoShowingAgainKeepsTheFrame) {
    window.show();
    fill(*dx, clWhite);
    window.hide();
    window.show();
    EXPECT_EQ(dx->Surface.Canvas.pixel(59, 39), clWhite);
}

TEST_F(DXDrawTest, SurfaceIsAtLeastOnePixelEachWay) {
    dx->resize(0, 7);
    window.show();
    EXPECT_EQ(surfaceSize(*dx), QSize(1, 7));
    dx->resize(5, 0);
    EXPECT_EQ(surfaceSize(*dx), QSize(5, 1));
}

TEST_F(DXDrawTest, RemadeBlackOnlyWhenTheSurfaceSizeReallyChanges) {
    dx->resize(1, 7);
    window.show();
    fill(*dx, clWhite);
    // 1 and 0 pixels wide both need a surface 1 pixel wide
    dx->resize(0, 7);
    EXPECT_EQ(dx->Surface.Canvas.pixel(0, 6), clWhite);
    dx->resize(1, 7);
    EXPECT_EQ(dx->Surface.Canvas.pixel(0, 6), clWhite);
    dx->resize(1, 8);
    EXPECT_EQ(surfaceSize(*dx), QSize(1, 8));
    EXPECT_TRUE(allBlack(dx->Surface.Canvas));
}

TEST_F(DXDrawTest, TheCanvasAndItsSettingsOutliveARemaking) {
    window.show();
    PixelCanvas* canvas = &dx->Surface.Canvas;
    canvas->Pen.color = clRed;
    canvas->Pen.style = PenStyle::psDot;
    canvas->Brush.color = clGreen;
    dx->resize(30, 20);
    EXPECT_EQ(&dx->Surface.Canvas, canvas);
    EXPECT_EQ(canvas->Pen.color, clRed);
    EXPECT_EQ(canvas->Pen.style, PenStyle::psDot);
    EXPECT_EQ(canvas->Brush.color, clGreen);
}

TEST_F(DXDrawTest, FlipPresentsTheBackSurfaceAtOnce) {
    PaintCounter counter;
    dx->installEventFilter(&counter);
    window.show();
    QCoreApplication::processEvents();
    const int before = counter.paints;
    fill(*dx, clBlue);
    dx->Surface.Canvas.Brush.color = clWhite;
    dx->Surface.Canvas.FillRect(59, 39, 60, 40);
    dx->Flip();
    EXPECT_EQ(counter.paints, before + 1);
    const QImage shown = dx->grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(shown.pixel(59, 39), 0xFFFFFFFFu);
}

TEST_F(DXDrawTest, RepaintAfterARemakingShowsBlack) {
    window.show();
    fill(*dx, clWhite);
    dx->Flip();
    dx->resize(50, 30);
    EXPECT_EQ(dx->grab().toImage().pixel(49, 29), 0xFF000000u);
}

TEST_F(DXDrawTest, UninitialisedControlShowsItsBackground) {
    const QImage shown = dx->grab().toImage();
    EXPECT_EQ(shown.pixel(5, 5), dx->palette().window().color().rgb());
}

TEST_F(DXDrawTest, SurfaceThatCannotBeMadeIsReportedAndLeavesNoSurface) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer aborts on an impossible allocation instead of throwing std::bad_alloc";
#endif
    PaintCounter counter;
    dx->installEventFilter(&counter);
    QSignalSpy failures(dx, &TDXDraw::failed);
    window.show();
    QCoreApplication::processEvents();
    // larger than any memory: 16777215 x 16777215 pixels of 4 bytes
    dx->resize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().first().toString(), QStringLiteral("Surface cannot be made"));
    EXPECT_FALSE(dx->Initialized());
    EXPECT_EQ(surfaceSize(*dx), QSize(0, 0));
    // nothing presents, nothing draws, and initialisation is not tried again
    QCoreApplication::processEvents();
    const int before = counter.paints;
    dx->Flip();
    EXPECT_EQ(counter.paints, before);
    fill(*dx, clWhite);
    dx->resize(20, 20);
    window.hide();
    window.show();
    EXPECT_FALSE(dx->Initialized());
    EXPECT_EQ(surfaceSize(*dx), QSize(0, 0));
}

TEST(DXDrawCentring, OffsetIsHalfTheDifferenceTruncatedTowardZero) {
    EXPECT_EQ(centerOffset(60, 60), 0);
    EXPECT_EQ(centerOffset(10, 4), 3);
    EXPECT_EQ(centerOffset(11, 4), 3);
    EXPECT_EQ(centerOffset(4, 11), -3);
    EXPECT_EQ(centerOffset(2, 5), -1);
    EXPECT_EQ(centerOffset(0, 1), 0);
}

}  // namespace
}  // namespace nyajkor
