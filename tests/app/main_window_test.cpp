// The main window driven as a user drives it: buttons clicked, menu items
// chosen, scroll bars moved; then the state, the check marks, the enabled
// states, the hints and the captions are read back.
//
// Each case gets a fresh window (and so a fresh flock), shown on the
// offscreen platform, before Start unless the case presses it.

#include <QAction>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <memory>
#include <stdexcept>

#include "app/colour.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "tests/app/window_test_support.h"
#include "app/order_history.h"
#include "app/order_plot.h"
#include "app/scroll_bar.h"
#include "model/controls.h"
#include "surface/dx_draw.h"
#include "surface/dx_timer.h"

using nyajkor::Flock;
using nyajkor::app::OrderHistory;
using nyajkor::app::OrderPlot;
using nyajkor::app::ScrollBar;
using nyajkor::app::TForm1;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void launchStateAndCaptions();
    void everyCaptionFitsItsPanel();
    void everyScrollBarTakesItsControlsRange();
    void windowSnapsBackToItsPlace();
    void runButtonsFollowTheStateTable();
    void restartSeedsAFreshFlock();
    void tickShowsTheStatistics();
    void egyedszamHaltsTheRunUntilRestart();
    void restartBeforeStartRunsWithZeroDefaults();
    void distanceKeepingItemsAreExclusive();
    void customModeOpensAtTheStrengthInEffect();
    void centreItemsAreExclusive();
    void centreOfMassTogglesItsStrength();
    void elhelyezShowsTheCentreOnTheBars();
    void coordinatePanelToggles();
    void atMostFivePredators();
    void equilibriumDistanceFollowsThePerceptionRadius();
    void turningTheViewRedrawsWhileStopped();
    void colourDialogRemembersAndCancels();
    void glassesSwapTheColourMenus();
    void creditsOpenAndClose();
    void errorsAreShownAndTheProgramGoesOn();
    void newDisplayItemsFollowTheOldOnes();
    void orderPlotFollowsTheRun();
    void orderPlotShowsTheLastTicksOnly();
    void savedPictureIsTheBackSurface();
    void failedSaveIsShownAndChangesNothing();

private:
    template <class T>
    T* child(const char* name) {
        return nyajkor::app::test::control<T>(form.get(), name);
    }
    ScrollBar* bar(const char* name) { return child<ScrollBar>(name); }
    QAction* item(const char* name) { return child<QAction>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QMenu* menu(const char* name) { return child<QMenu>(name); }
    Flock& f() { return form->flock(); }
    const nyajkor::View& v() { return form->view(); }
    OrderPlot* plot() { return child<OrderPlot>("idosorablak"); }
    // Answers the next modal dialog once it is open.
    template <class Dialog, class Answer>
    void answer(Answer answer) {
        QTimer::singleShot(0, form.get(), [answer] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            answer(dialog);
        });
    }
    // Types `path` into the open file dialog and presses its Save button.
    static void typeFileName(QFileDialog* dialog, const QString& path) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();  // (the button's slot; protected in QFileDialog)
    }
    // Chooses "Kép mentése…" and answers the file dialog with `path`, or
    // cancels it given an empty path.
    void savePicture(const QString& path) {
        answer<QFileDialog>([path](QFileDialog* dialog) {
            if (path.isEmpty()) return dialog->reject();
            typeFileName(dialog, path);
        });
        choose("kepmentes");
    }

    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void choose(const char* name) { item(name)->trigger(); }
    // Drags the scroll bar's thumb to `position`, as a user would.
    void drag(const char* name, int position) {
        ScrollBar* b = bar(name);
        QVERIFY2(b->isEnabled(), name);
        b->setSliderPosition(position);
    }
    // The run buttons' enabled states and the timer, as one line.
    QString runState() { return nyajkor::app::test::runState(form.get()); }
    bool timerRunning() { return nyajkor::app::test::timerRunning(form.get()); }
    // Which of the named controls are enabled, as one line.
    QString enabled(std::initializer_list<const char*> names) {
        QStringList on;
        for (const char* name : names) {
            QObject* o = form->findChild<QObject*>(QString::fromLatin1(name));
            const bool e = qobject_cast<QWidget*>(o) ? static_cast<QWidget*>(o)->isEnabled()
                                                     : static_cast<QAction*>(o)->isEnabled();
            if (e) on << QString::fromLatin1(name);
        }
        return on.join(QLatin1Char(' '));
    }
    // Which of the named menu items are checked, as one line.
    QString checked(std::initializer_list<const char*> names) {
        QStringList on;
        for (const char* name : names)
            if (item(name)->isChecked()) on << QString::fromLatin1(name);
        return on.join(QLatin1Char(' '));
    }

    std::unique_ptr<TForm1> form;
};

void MainWindowTest::init() {
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void MainWindowTest::cleanup() { form.reset(); }

void MainWindowTest::launchStateAndCaptions() {
    QCOMPARE(form->objectName(), QStringLiteral("Form1"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D"));

    QStringList bar;
    for (QAction* a : form->menuBar()->actions())
        if (a->isVisible()) bar << nyajkor::app::test::visibleCaption(a->text());
    QCOMPARE(bar.join(QLatin1Char('|')), QStringLiteral("Névjegy|Igazodás módja|Ábrázolás módja|Színek|Rögzítés"));
    QCOMPARE(nyajkor::app::test::visibleCaption(menu("ragadozo")->title()), QStringLiteral("0 ragadozó"));

    QCOMPARE(checked({"autotaszito", "egyenitaszito", "autovonzo", "egyenivonzo", "tkpvonzas",
                      "kozepenvonzo", "mozgovonzo", "elhelyez", "szemuveg", "befoglalokocka"}),
             QStringLiteral("befoglalokocka"));
    QCOMPARE(runState(), QStringLiteral("timer off, start on, stop off, tovabb off, ujraindit off"));
    QCOMPARE(enabled({"egyedszam", "vkozos", "parameter", "sugar", "egyensulyerosseg", "tavolsag",
                      "tkpvonzaserosseg", "vonzaserosseg", "eszlelok", "ragadozoeszleles",
                      "reakcioerosseg", "Xalfa", "Zbeta", "nagyitas", "Button1"}),
             QStringLiteral("egyedszam vkozos parameter egyensulyerosseg tavolsag tkpvonzaserosseg "
                            "vonzaserosseg eszlelok ragadozoeszleles reakcioerosseg nagyitas"));
    for (ScrollBar* b : form->findChildren<ScrollBar*>())
        QCOMPARE(b->toolTip(), QString::number(b->value()));
    QCOMPARE(child<QLabel>("Label7")->text(), QStringLiteral("..."));
    QVERIFY(!child<QWidget>("Panel14")->isVisible());
    QVERIFY(!child<QWidget>("Memo1")->isVisible());
}

// Each bar stands at its control's start with its steps, reaches exactly
// the ends of its range, and feeds its own field of the inputs.
void MainWindowTest::everyScrollBarTakesItsControlsRange() {
    QCOMPARE(form->findChildren<ScrollBar*>().size(), qsizetype(std::size(nyajkor::kControls)));
    for (const nyajkor::Control& c : nyajkor::kControls) {
        QCOMPARE(bar(c.name)->value(), c.start);
        QCOMPARE(form->inputs().*c.position, c.start);
        QCOMPARE(bar(c.name)->singleStep(), c.smallChange);
        QCOMPARE(bar(c.name)->largeChange(), c.largeChange);
    }
    // (a bar's handler may move another, so the ends come after every start is seen)
    for (const nyajkor::Control& c : nyajkor::kControls) {
        ScrollBar* b = bar(c.name);
        b->setEnabled(true);
        for (auto [end, expected] : {std::pair{QAbstractSlider::SliderToMinimum, c.min},
                                     std::pair{QAbstractSlider::SliderToMaximum, c.max}}) {
            b->triggerAction(end);
            QVERIFY2(b->value() == expected, c.name);
            QVERIFY2(form->inputs().*c.position == expected, c.name);
        }
    }
}

void MainWindowTest::everyCaptionFitsItsPanel() {
    // the run-time captions at their widest too
    child<QLabel>("Label7")->setText(QStringLiteral("100"));
    child<QLabel>("Label22")->setText(QStringLiteral("1,2E2"));
    QWidget* column = child<QWidget>("Panel2");
    for (QWidget* panel : column->findChildren<QFrame*>(Qt::FindDirectChildrenOnly)) {
        const QRect inside = panel->contentsRect();
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            QVERIFY2(inside.contains(w->geometry()), qPrintable(w->objectName()));
            QString text;
            int room = w->width();
            if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
            if (auto* push = qobject_cast<QPushButton*>(w)) {
                text = push->text();
                room -= 4;  // the button's bevel
            }
            QVERIFY2(w->fontMetrics().horizontalAdvance(text) <= room, qPrintable(text));
        }
    }
    QWidget* panel14 = child<QWidget>("Panel14");
    for (QLabel* label : panel14->findChildren<QLabel*>()) {
        QVERIFY2(panel14->contentsRect().contains(label->geometry()), qPrintable(label->text()));
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));
    }
}

void MainWindowTest::windowSnapsBackToItsPlace() {
    QCOMPARE(form->size(), QSize(1221, 758));
    form->resize(800, 600);
    QCOMPARE(form->size(), QSize(1221, 758));
    QCOMPARE(form->pos(), QPoint(50, 5));
    // the resize also set the box and the screen centre of the view
    QCOMPARE(f().xmeret, 350);
    QCOMPARE(f().zkozep, 125);
    QCOMPARE(v().kepkozepx, child<QWidget>("DX")->width() / 2);
}

void MainWindowTest::runButtonsFollowTheStateTable() {
    click("start");
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
    QCOMPARE(enabled({"egyedszam", "vkozos", "parameter", "sugar", "nagyitas", "Xalfa", "Zbeta"}),
             QStringLiteral("egyedszam vkozos parameter sugar nagyitas Xalfa Zbeta"));
    QCOMPARE(f().egyeddb, 2000);
    QCOMPARE(v().szinhatter, nyajkor::clWhite);
    QCOMPARE(v().nagyitasszorzo, 1.5);

    click("stop");
    QCOMPARE(runState(), QStringLiteral("timer off, start off, stop on, tovabb on, ujraindit on"));
    click("stop");
    QCOMPARE(runState(), QStringLiteral("timer off, start off, stop on, tovabb on, ujraindit on"));
    click("tovabb");
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
    click("tovabb");
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
    click("stop");
    click("ujraindit");
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
}

void MainWindowTest::restartSeedsAFreshFlock() {
    click("start");
    click("stop");
    form->timer();
    form->timer();
    // after ticks hardly any coordinate is whole; a seeded flock has only whole ones
    auto wholeAndInBox = [this] {
        for (int i = 1; i <= f().egyeddb; ++i)
            if (f().x[i] != std::floor(f().x[i]) || f().x[i] < 10 || f().x[i] > 339 ||
                f().z[i] != std::floor(f().z[i]) || f().z[i] < 10 || f().z[i] > 239)
                return false;
        return true;
    };
    QVERIFY(!wholeAndInBox());
    click("ujraindit");
    QVERIFY(wholeAndInBox());
    QVERIFY(timerRunning());
}

void MainWindowTest::tickShowsTheStatistics() {
    click("start");
    click("stop");
    drag("sugar", 10);
    form->timer();
    bool isNumber = false;
    const int percent = child<QLabel>("Label7")->text().toInt(&isNumber);
    QVERIFY(isNumber);
    QCOMPARE(percent, f().rendszazalek);
    QVERIFY(child<QLabel>("Label22")->text() != QStringLiteral("..."));
    // the tick picks up the radius from its scroll bar
    QCOMPARE(f().latotav, 10);
}

void MainWindowTest::egyedszamHaltsTheRunUntilRestart() {
    click("start");
    bar("egyedszam")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar("egyedszam")->toolTip(), QStringLiteral("2010"));
    QCOMPARE(runState(), QStringLiteral("timer off, start off, stop off, tovabb off, ujraindit on"));
    QCOMPARE(f().egyeddb, 2000);
    click("tovabb");  // disabled: nothing happens
    QVERIFY(!timerRunning());
    click("ujraindit");
    QCOMPARE(f().egyeddb, 2010);
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
}

void MainWindowTest::restartBeforeStartRunsWithZeroDefaults() {
    drag("egyedszam", 600);
    QCOMPARE(runState(), QStringLiteral("timer off, start on, stop off, tovabb off, ujraindit on"));
    click("ujraindit");
    QCOMPARE(runState(), QStringLiteral("timer on, start on, stop on, tovabb on, ujraindit on"));
    QCOMPARE(f().egyeddb, 600);
    QCOMPARE(v().szinegyed, nyajkor::Color{0});
    QCOMPARE(v().szinhatter, nyajkor::Color{0});
    QCOMPARE(v().nagyitasszorzo, 0.0);
    QCOMPARE(f().tavtartaserosseg, 0);
    QCOMPARE(f().vonzox, 0.0);
    QCOMPARE(v().szemtav, 0);
    form->timer();  // a tick with nothing set runs too
    click("start");
    QCOMPARE(v().szinhatter, nyajkor::clWhite);
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
}

void MainWindowTest::distanceKeepingItemsAreExclusive() {
    const auto group = {"autotaszito", "egyenitaszito", "autovonzo", "egyenivonzo"};
    choose("autotaszito");
    QCOMPARE(checked(group), QStringLiteral("autotaszito"));
    QCOMPARE(enabled({"egyensulyerosseg", "tavolsag"}), QStringLiteral("tavolsag"));
    choose("egyenivonzo");
    QCOMPARE(checked(group), QStringLiteral("egyenivonzo"));
    QCOMPARE(enabled({"egyensulyerosseg", "tavolsag"}), QStringLiteral("egyensulyerosseg tavolsag"));
    choose("autovonzo");
    QCOMPARE(checked(group), QStringLiteral("autovonzo"));
    QCOMPARE(enabled({"egyensulyerosseg", "tavolsag"}), QStringLiteral("tavolsag"));
    choose("autovonzo");
    QCOMPARE(checked(group), QString());
    QCOMPARE(enabled({"egyensulyerosseg", "tavolsag"}), QString());
}

void MainWindowTest::customModeOpensAtTheStrengthInEffect() {
    click("start");
    choose("autotaszito");
    f().tavtartaserosseg = 13;  // where the tuning has taken it
    choose("egyenitaszito");
    QCOMPARE(bar("egyensulyerosseg")->value(), 13);
    QCOMPARE(bar("egyensulyerosseg")->toolTip(), QStringLiteral("13"));
    // from then on the scroll bar sets the strength
    bar("egyensulyerosseg")->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(f().tavtartaserosseg, 12);
    QCOMPARE(bar("egyensulyerosseg")->toolTip(), QStringLiteral("12"));
}

void MainWindowTest::centreItemsAreExclusive() {
    click("start");
    const auto group = {"kozepenvonzo", "mozgovonzo", "elhelyez"};
    f().vonzox = 20;
    choose("kozepenvonzo");
    QCOMPARE(checked(group), QStringLiteral("kozepenvonzo"));
    QCOMPARE(f().vonzox, 175.0);
    QCOMPARE(f().vonzoz, 125.0);
    QCOMPARE(enabled({"vonzaserosseg", "Button1"}), QStringLiteral("vonzaserosseg"));
    choose("elhelyez");
    QCOMPARE(checked(group), QStringLiteral("elhelyez"));
    QCOMPARE(enabled({"vonzaserosseg", "Button1"}), QStringLiteral("vonzaserosseg Button1"));
    // another centre item leaves the coordinates button usable
    choose("mozgovonzo");
    QCOMPARE(checked(group), QStringLiteral("mozgovonzo"));
    QCOMPARE(enabled({"vonzaserosseg", "Button1"}), QStringLiteral("vonzaserosseg Button1"));
    choose("mozgovonzo");
    QCOMPARE(checked(group), QString());
    QCOMPARE(enabled({"vonzaserosseg", "Button1"}), QStringLiteral("Button1"));
    choose("elhelyez");
    choose("elhelyez");
    QCOMPARE(enabled({"vonzaserosseg", "Button1"}), QString());
}

void MainWindowTest::centreOfMassTogglesItsStrength() {
    choose("tkpvonzas");
    QVERIFY(item("tkpvonzas")->isChecked());
    QCOMPARE(enabled({"tkpvonzaserosseg"}), QStringLiteral("tkpvonzaserosseg"));
    choose("tkpvonzas");
    QVERIFY(!item("tkpvonzas")->isChecked());
    QCOMPARE(enabled({"tkpvonzaserosseg"}), QString());
}

void MainWindowTest::elhelyezShowsTheCentreOnTheBars() {
    click("start");
    f().vonzox = 40.2;
    f().vonzoy = 175.0;
    f().vonzoz = 130.6;
    choose("elhelyez");
    QCOMPARE(bar("xvonzokord")->value(), 50);
    QCOMPARE(bar("yvonzokord")->value(), 175);
    QCOMPARE(bar("zvonzokord")->value(), 131);
    QCOMPARE(bar("zvonzokord")->toolTip(), QStringLiteral("131"));
    QCOMPARE(f().vonzox, 50.0);
    QCOMPARE(f().vonzoy, 175.0);
    QCOMPARE(f().vonzoz, 131.0);
    QVERIFY(child<QWidget>("Panel14")->isVisible());

    // a bar already at the rounded coordinate leaves the coordinate alone
    choose("elhelyez");
    drag("xvonzokord", 150);
    f().vonzox = 150.3;
    choose("elhelyez");
    QCOMPARE(f().vonzox, 150.3);
    QCOMPARE(bar("xvonzokord")->value(), 150);

    // the panel was open, so checking the item once more closed it
    QVERIFY(!child<QWidget>("Panel14")->isVisible());
}

void MainWindowTest::coordinatePanelToggles() {
    choose("elhelyez");
    QWidget* panel = child<QWidget>("Panel14");
    QVERIFY(panel->isVisible());
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 100));
    QVERIFY(!panel->isVisible());
    click("Button1");
    QVERIFY(panel->isVisible());
    // unchecking the item leaves the panel as it is; its bars still move the centre
    choose("elhelyez");
    QVERIFY(panel->isVisible());
    drag("yvonzokord", 80);
    QCOMPARE(f().vonzoy, 80.0);
}

void MainWindowTest::atMostFivePredators() {
    click("start");
    for (int n = 1; n <= 5; ++n) choose("ujragadozo");
    QCOMPARE(f().ragadozodb, 5);
    QCOMPARE(nyajkor::app::test::visibleCaption(menu("ragadozo")->title()), QStringLiteral("5 ragadozó"));
    QCOMPARE(enabled({"ragadozoeszleles", "reakcioerosseg"}),
             QStringLiteral("ragadozoeszleles reakcioerosseg"));
    for (int j = 1; j <= 5; ++j)
        for (double c : {f().ragx[j], f().ragy[j], f().ragz[j]}) QVERIFY(c == 10 || c == 300);

    const auto ragx = f().ragx, ragy = f().ragy, ragz = f().ragz;
    const auto generator = f().rng.state();
    choose("ujragadozo");
    QCOMPARE(f().ragadozodb, 5);
    QCOMPARE(nyajkor::app::test::visibleCaption(menu("ragadozo")->title()), QStringLiteral("5 ragadozó"));
    QCOMPARE(f().rng.state(), generator);
    QVERIFY(f().ragx == ragx && f().ragy == ragy && f().ragz == ragz);

    choose("ragadozotorles");
    QCOMPARE(f().ragadozodb, 0);
    QCOMPARE(nyajkor::app::test::visibleCaption(menu("ragadozo")->title()), QStringLiteral("0 ragadozó"));
    QCOMPARE(enabled({"ragadozoeszleles", "reakcioerosseg"}), QString());
    choose("ujragadozo");
    QCOMPARE(nyajkor::app::test::visibleCaption(menu("ragadozo")->title()), QStringLiteral("1 ragadozó"));
}

void MainWindowTest::equilibriumDistanceFollowsThePerceptionRadius() {
    click("start");
    drag("sugar", 10);
    choose("autotaszito");
    drag("tavolsag", 8);
    choose("autotaszito");
    QCOMPARE(enabled({"tavolsag"}), QString());

    drag("sugar", 6);
    QCOMPARE(bar("tavolsag")->value(), 6);
    QCOMPARE(bar("tavolsag")->toolTip(), QStringLiteral("6"));
    QCOMPARE(enabled({"tavolsag"}), QStringLiteral("tavolsag"));
    drag("sugar", 1);
    QCOMPARE(bar("tavolsag")->value(), 2);
    drag("sugar", 0);
    QCOMPARE(bar("tavolsag")->value(), 2);
    // nor can the distance be set above the radius
    drag("sugar", 4);
    drag("tavolsag", 9);
    QCOMPARE(bar("tavolsag")->value(), 4);
}

void MainWindowTest::turningTheViewRedrawsWhileStopped() {
    click("start");
    click("stop");
    QWidget* view = child<QWidget>("DX");
    const double x1 = f().x[1];
    drag("Zbeta", 10);
    const QImage before = view->grab().toImage();
    drag("Zbeta", 60);
    const QImage after = view->grab().toImage();
    QVERIFY(before != after);
    QCOMPARE(f().x[1], x1);  // the flock stood still
    drag("nagyitas", 20);
    QCOMPARE(v().nagyitasszorzo, 2.0);
    QVERIFY(view->grab().toImage() != after);
}

void MainWindowTest::colourDialogRemembersAndCancels() {
    click("start");
    auto* dialog = child<QColorDialog>("CD");
    QColor offered;
    // answers the dialog once it is open: notes what it offers, picks and confirms or cancels
    auto answer = [&](QColor pick, bool confirm) {
        QTimer::singleShot(0, dialog, [=, &offered] {
            offered = dialog->currentColor();
            dialog->setCurrentColor(pick);
            confirm ? dialog->accept() : dialog->reject();
        });
    };
    answer(Qt::yellow, false);
    choose("hatterszin");
    QCOMPARE(offered, QColor(Qt::black));
    QCOMPARE(v().szinhatter, nyajkor::clWhite);

    answer(QColor(0x12, 0x34, 0x56), true);
    choose("kockaszin");
    QCOMPARE(v().szinkocka, nyajkor::Color{0x563412});

    answer(Qt::yellow, false);
    choose("reszecskeszin");
    QCOMPARE(offered, QColor(0x12, 0x34, 0x56));  // the last confirmed, not the individuals'
    QCOMPARE(v().szinegyed, nyajkor::clBlue);
}

void MainWindowTest::glassesSwapTheColourMenus() {
    QAction* fiveColours = menu("szinek")->menuAction();
    QAction* twoEyes = menu("szemuvegszinek")->menuAction();
    choose("szemuveg");
    QVERIFY(twoEyes->isVisible() && !fiveColours->isVisible());
    choose("szemuveg");
    QVERIFY(!twoEyes->isVisible() && fiveColours->isVisible());
}

void MainWindowTest::creditsOpenAndClose() {
    auto* memo = child<QTextEdit>("Memo1");
    choose("Nvjegy1");
    QVERIFY(memo->isVisible());
    QCOMPARE(memo->x(), 106);
    QCOMPARE(memo->document()->blockCount(), 11);
    QVERIFY(memo->toPlainText().contains(QString::fromLatin1(qVersion())));
    QTest::mouseClick(memo->viewport(), Qt::LeftButton);
    QVERIFY(!memo->isVisible());
    choose("Nvjegy1");
    choose("Nvjegy1");
    QVERIFY(!memo->isVisible());
}

void MainWindowTest::errorsAreShownAndTheProgramGoesOn() {
    QString shown;
    QTimer::singleShot(0, form.get(), [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    // the exception ends in the box, not here
    nyajkor::app::reportingErrors(form.get(), [] { throw std::runtime_error("Surface cannot be made"); });
    QCOMPARE(shown, QStringLiteral("Surface cannot be made"));
}

void MainWindowTest::newDisplayItemsFollowTheOldOnes() {
    QStringList items;
    for (QAction* a : menu("abrazolasmod")->actions())
        items << nyajkor::app::test::visibleCaption(a->text()) + (a->isCheckable() ? QString::fromLatin1(a->isChecked() ? " [x]" : " [ ]") : QString());
    QCOMPARE(items.join(QLatin1Char('|')),
             QStringLiteral("3D szemüveghez [ ]|Befoglaló kocka ábrázolása [x]|"
                            "Rendparaméter idősora [ ]|Kép mentése…"));
    QVERIFY(!plot()->isVisible());
}

void MainWindowTest::orderPlotFollowsTheRun() {
    click("start");
    click("stop");
    drag("sugar", 10);
    form->timer();
    form->timer();
    choose("rendparameteridosor");
    QVERIFY(plot()->isVisible());
    QCOMPARE(plot()->windowTitle(), QStringLiteral("Rendparaméter és szomszédszám"));
    QVERIFY(plot()->isWindow());
    // the ticks before it opened show at once; each new tick adds its statistics
    auto newest = [](const QLineSeries& curve) { return curve.at(curve.count() - 1); };
    QCOMPARE(plot()->orderCurve().at(0).x(), 1.0);
    QCOMPARE(newest(plot()->orderCurve()).x(), 2.0);
    form->timer();
    QCOMPARE(newest(plot()->orderCurve()), QPointF(3, f().rendszazalek));
    QCOMPARE(newest(plot()->neighbourCurve()), QPointF(3, f().atlagszomszed));
    QVERIFY(f().atlagszomszed > 0);
    QVERIFY(plot()->neighbourAxis().max() >= f().atlagszomszed);

    // Stop and Tovább keep the history, also while the plot is closed
    click("tovabb");
    click("stop");
    plot()->close();
    QVERIFY(!item("rendparameteridosor")->isChecked());
    form->timer();
    choose("rendparameteridosor");
    QCOMPARE(plot()->orderCurve().at(0).x(), 1.0);
    QCOMPARE(newest(plot()->orderCurve()).x(), 4.0);

    // a restart starts it afresh
    click("ujraindit");
    QCOMPARE(plot()->orderCurve().count(), 0);
    QCOMPARE(plot()->neighbourCurve().count(), 0);
    form->timer();
    QCOMPARE(plot()->orderCurve().count(), 1);
    QCOMPARE(plot()->orderCurve().at(0).x(), 1.0);

    choose("rendparameteridosor");
    QVERIFY(!plot()->isVisible());
}

void MainWindowTest::orderPlotShowsTheLastTicksOnly() {
    // per cent jumping about, neighbours rising: ticks 101..2100 are held
    auto percent = [](int tick) { return tick * 37 % 101; };
    OrderHistory history;
    for (int tick = 1; tick <= OrderHistory::kCapacity + 100; ++tick) history.record(percent(tick), tick / 100.0);
    OrderPlot plot(nullptr);
    plot.refresh(history);
    QCOMPARE(plot.orderCurve().count(), 0);  // hidden: nothing to draw
    plot.show();
    plot.refresh(history);
    QCOMPARE(plot.tickAxis().min(), 101.0);
    QCOMPARE(plot.tickAxis().max(), 2100.0);
    QCOMPARE(plot.neighbourAxis().max(), 25.0);  // 21 rounded up
    QCOMPARE(plot.neighbourCurve().at(0), QPointF(101, 1.01));
    QCOMPARE(plot.neighbourCurve().at(plot.neighbourCurve().count() - 1), QPointF(2100, 21));

    // Thinned to a few points a pixel, the curve still runs through every
    // run of ten ticks from its first to its last, over its whole range.
    const QList<QPointF> points = plot.orderCurve().points();
    QVERIFY(points.size() < OrderHistory::kCapacity / 2);
    for (int run = 10; run < 210; ++run) {
        const int first = 10 * run + 1, last = first + 9;
        QList<double> ticks, shown, all;
        for (const QPointF& p : points)
            if (p.x() >= first && p.x() <= last) {
                QCOMPARE(p.y(), double(percent(int(p.x()))));
                ticks << p.x();
                shown << p.y();
            }
        for (int tick = first; tick <= last; ++tick) all << percent(tick);
        QVERIFY(std::is_sorted(ticks.begin(), ticks.end()));
        QCOMPARE(ticks.first(), double(first));
        QCOMPARE(ticks.last(), double(last));
        QCOMPARE(*std::min_element(shown.begin(), shown.end()), *std::min_element(all.begin(), all.end()));
        QCOMPARE(*std::max_element(shown.begin(), shown.end()), *std::max_element(all.begin(), all.end()));
    }
}

void MainWindowTest::savedPictureIsTheBackSurface() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    click("start");
    click("stop");
    form->timer();
    const nyajkor::PixelCanvas& canvas = child<nyajkor::TDXDraw>("DX")->Surface.Canvas;

    savePicture(QString());  // cancelled: nothing written
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);

    savePicture(dir.filePath(QStringLiteral("nyaj")));  // no suffix given: ".png" added
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList(QStringLiteral("nyaj.png")));
    QImage saved(dir.filePath(QStringLiteral("nyaj.png")), "PNG");
    QCOMPARE(saved.size(), QSize(canvas.width(), canvas.height()));
    QCOMPARE(saved.size(), child<QWidget>("DX")->size());
    // the white background, and a row that crosses the flock, pixel by pixel
    QCOMPARE(saved.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    saved = saved.convertToFormat(QImage::Format_RGB32);
    int coloured = 0;
    const int row = canvas.height() / 2;
    for (int x = 0; x < canvas.width(); ++x) {
        const nyajkor::Color c = canvas.pixel(x, row);
        QCOMPARE(saved.pixelColor(x, row), nyajkor::app::toQColor(c));
        coloured += c != nyajkor::clWhite;
    }
    QVERIFY(coloured > 0);
    QVERIFY(saved == QImage(reinterpret_cast<const uchar*>(canvas.bits()), canvas.width(), canvas.height(),
                            canvas.bytesPerLine(), QImage::Format_RGB32));
}

void MainWindowTest::failedSaveIsShownAndChangesNothing() {
    click("start");
    QString shown;
    // no file can be made in /proc, not even by root
    answer<QFileDialog>([&](QFileDialog* dialog) {
        answer<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->accept();
        });
        typeFileName(dialog, QStringLiteral("/proc/nyaj.png"));
    });
    choose("kepmentes");
    QVERIFY2(shown.startsWith(QStringLiteral("A kép mentése nem sikerült: /proc/nyaj.png: ")), qPrintable(shown));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/nyaj.png")));
    QCOMPARE(runState(), QStringLiteral("timer on, start off, stop on, tovabb on, ujraindit on"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
