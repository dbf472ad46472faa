// The window on a real X server, seen as a user sees it.
//
// Opens the window, presses Start, waits for the timer to move the flock,
// screenshots the screen and checks the picture: captions drawn in the
// column of panels, a white view with blue individuals inside the red box,
// and the live plot drawing its two curves.
// Then it switches to the view for 3D glasses and checks the red and green
// pair on black. Last it measures the pace with every mode on at the
// largest settings, after the flock has collapsed. The screenshots are kept in the directory given as the
// argument. Exit status 0 when every check holds, 1 otherwise.
//
// scripts/screenshot-check runs it under a virtual X server.

#include <QApplication>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdio>

#include "app/main_window.h"
#include "app/scroll_bar.h"
#include "model/simulation.h"

using nyajkor::app::ScrollBar;
using nyajkor::app::TForm1;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

// Counts of the exact colours of interest inside one rectangle of the screen,
// and where the blue and the red pixels lie.
struct Census {
    long total = 0, white = 0, black = 0, blue = 0, red = 0, green = 0, dark = 0;
    QRect blueBounds, redBounds;
};

Census census(const QImage& screen, const QRect& area) {
    Census c;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = screen.pixel(x, y) & 0xFFFFFF;
            ++c.total;
            if (p == 0xFFFFFF) ++c.white;
            if (p == 0x000000) ++c.black;
            if (p == 0x0000FF) {
                ++c.blue;
                c.blueBounds |= QRect(x, y, 1, 1);
            }
            if (p == 0xFF0000) {
                ++c.red;
                c.redBounds |= QRect(x, y, 1, 1);
            }
            if (p == 0x008000) ++c.green;
            if (qGray(p) < 100) ++c.dark;
        }
    return c;
}

QImage screenshot(const QString& file) {
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    image.save(file);
    std::printf("     screenshot %s\n", qPrintable(file));
    return image;
}

QRect onScreen(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

struct Pace {
    int steps;
    long long ms;
};

// Counts the steps of one individual for `ms` milliseconds: the timer
// allows one every 40 ms at most.
Pace measurePace(TForm1& form, int ms) {
    int steps = 0;
    double last = form.flock().x[1];
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(5);
        if (form.flock().x[1] != last) ++steps;
        last = form.flock().x[1];
    }
    const Pace pace{steps, static_cast<long long>(clock.elapsed())};
    std::printf("     %d steps in %lld ms\n", pace.steps, pace.ms);
    return pace;
}

void trigger(TForm1& form, const char* item) { form.findChild<QAction*>(QString::fromLatin1(item))->trigger(); }

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    TForm1 form;
    form.show();
    form.activateWindow();
    check(QTest::qWaitForWindowActive(&form), "the window is shown and active");
    check(form.geometry().size() == QSize(1221, 758), "the window is 1221 x 758");

    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("start")), Qt::LeftButton);
    auto* order = form.findChild<QLabel*>(QStringLiteral("Label7"));
    check(QTest::qWaitFor([&] { return order->text() != QStringLiteral("..."); }, 10000),
          "Start sets the timer ticking");
    const Pace pace = measurePace(form, 2000);
    check(pace.steps > 0, "the flock moves");
    check(pace.steps <= pace.ms / 40 + 1, "at the timer's pace, at most one step in 40 ms");

    const QWidget* view = form.findChild<QWidget*>(QStringLiteral("DX"));
    QImage normal = screenshot(out + QStringLiteral("/normal.png"));
    const Census v = census(normal, onScreen(view));
    check(v.white > v.total / 2, "the view is white");
    check(v.blue > 500, "blue individuals are drawn");
    check(v.red > 500, "the red box is drawn");
    check(v.redBounds.contains(v.blueBounds), "the individuals lie inside the box");

    // every caption of the column shows as dark text on its panel (a lone
    // digit such as the order parameter's "1" has only a handful of pixels)
    bool captions = true;
    for (const QLabel* label : form.findChild<QWidget*>(QStringLiteral("Panel2"))->findChildren<QLabel*>())
        if (census(normal, onScreen(label)).dark < 4) {
            std::printf("     no text seen for %s\n", qPrintable(label->objectName()));
            captions = false;
        }
    check(captions, "the captions of the panels are drawn");

    // the live plot, opened after the ticks so far, placed over the view's corner
    form.findChild<QAction*>(QStringLiteral("rendparameteridosor"))->trigger();
    auto* plot = form.findChild<QWidget*>(QStringLiteral("idosorablak"));
    plot->move(form.geometry().right() - plot->width() - 20, form.geometry().bottom() - plot->height() - 20);
    check(QTest::qWaitForWindowExposed(plot), "the plot window opens");
    QTest::qWait(1000);
    const QImage plotted = screenshot(out + QStringLiteral("/plot.png"));
    long orderPixels = 0, neighbourPixels = 0;
    const QRect plotArea = onScreen(plot);
    for (int y = plotArea.top(); y <= plotArea.bottom(); ++y)
        for (int x = plotArea.left(); x <= plotArea.right(); ++x) {
            const QRgb p = plotted.pixel(x, y) & 0xFFFFFF;
            orderPixels += p == 0x1F5FBF;
            neighbourPixels += p == 0xD06010;
        }
    std::printf("     plot: %ld order pixels, %ld neighbour pixels\n", orderPixels, neighbourPixels);
    check(orderPixels > 100 && neighbourPixels > 100, "the plot draws both curves");
    form.findChild<QAction*>(QStringLiteral("rendparameteridosor"))->trigger();
    check(!plot->isVisible(), "the plot window closes from the menu");

    form.findChild<QAction*>(QStringLiteral("szemuveg"))->trigger();
    QTest::qWait(500);
    QImage glasses = screenshot(out + QStringLiteral("/glasses.png"));
    const Census g = census(glasses, onScreen(view));
    check(g.black > g.total / 2, "the anaglyph view is black");
    check(g.red > 500 && g.green > 500, "the red and green images are drawn");
    check(g.white == 0 && g.blue == 0, "nothing of the normal view is left");

    // the floating panels: the centre's coordinates and the credits
    form.findChild<QAction*>(QStringLiteral("elhelyez"))->trigger();
    form.findChild<QAction*>(QStringLiteral("Nvjegy1"))->trigger();
    QTest::qWait(200);
    QImage panels = screenshot(out + QStringLiteral("/panels.png"));
    const QWidget* memo = form.findChild<QWidget*>(QStringLiteral("Memo1"));
    const Census m = census(panels, onScreen(memo).adjusted(0, 0, 0, -memo->height() / 2));
    check(m.dark > 50, "the credits show over the view");

    // the largest settings with every mode on: 5000 individuals, radius 20,
    // distance keeping, cohesion, the wandering centre, five predators, the
    // anaglyph view (still on); the timer must keep its pace
    form.findChild<ScrollBar*>(QStringLiteral("egyedszam"))->setPosition(5000);
    form.findChild<ScrollBar*>(QStringLiteral("sugar"))->setPosition(20);
    trigger(form, "autovonzo");
    trigger(form, "tkpvonzas");
    trigger(form, "mozgovonzo");
    for (int p = 0; p < 5; ++p) trigger(form, "ujragadozo");
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("ujraindit")), Qt::LeftButton);
    // two minutes of ticks at the timer's pace, run at once: the flock
    // collapses into one dense ball, the costliest state a user reaches
    const nyajkor::Inputs controls = form.inputs();
    for (int t = 0; t < 3000; ++t) nyajkor::tick(form.flock(), controls);
    std::printf("     %.0f neighbours each after 3000 ticks\n", form.flock().atlagszomszed);
    const Pace busy = measurePace(form, 4000);
    std::printf("     mean step %.1f ms at 5000 individuals, radius 20, every mode, collapsed\n",
                busy.steps ? double(busy.ms) / busy.steps : 0.0);
    check(busy.steps >= busy.ms / 40 * 9 / 10, "every mode at the largest settings keeps the 40 ms pace");
    screenshot(out + QStringLiteral("/busiest.png"));

    return failures == 0 ? 0 : 1;
}
