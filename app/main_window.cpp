#include "app/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include "app/colour.h"
#include "app/error_box.h"
#include "app/order_plot.h"
#include "app/picture_file.h"
#include "app/scroll_bar.h"
#include "files/whole_file.h"
#include "model/captions.h"
#include "model/random.h"
#include "model/rounding.h"
#include "model/simulation.h"
#include "record/movie.h"
#include "record/trajectory.h"
#include "render/frame.h"
#include "surface/dx_draw.h"
#include "surface/dx_timer.h"

namespace nyajkor::app {

namespace {

// The window is held at this size and place: the view's proportions and the
// column of panels are laid out for it.
constexpr QPoint kWindowPlace{50, 5};
constexpr QSize kWindowSize{1221, 758};

// The font of every caption: the platform's sans-serif at 11 pixels. The
// panels are 103 pixels wide, laid out for a narrow bitmap font; the common
// Linux sans-serifs need condensing by a fifth for the longest captions
// ("Tömegközépponthoz", "Egyensúlyi távolság") to fit.
QFont captionFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStretch(80);
    return font;
}

char decimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? char(point[0].unicode()) : '.';
}

}  // namespace

// What the view needs of the window: holding it in place, the size of the
// view control, its canvas and its present step.
class TForm1::Host : public ViewHost {
public:
    explicit Host(TForm1& form) : form_(form) {}
    void holdWindow() override { form_.holdWindow(); }
    int width() const override { return form_.DX->width(); }
    int height() const override { return form_.DX->height(); }
    Canvas* canvas() override { return form_.viewCanvas(); }
    void flip() override { form_.flipView(); }

private:
    TForm1& form_;
};

TForm1::TForm1() : f_(std::make_unique<Flock>()), host_(std::make_unique<Host>(*this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Nyajkor mozgás 3D"));
    setFont(captionFont());
    createPanels();
    createLabels();
    createButtons();
    createScrollBars();
    createActions();
    createMenus();
    createMemo();
    createShortcuts();
    orderTabsTopToBottom();
    updateRecordingItems();
    Panel14->raise();
    CD = new QColorDialog(this);
    CD->setObjectName(QStringLiteral("CD"));
    // Qt's own dialogs rather than the desktop's, so they speak the window's language
    CD->setOption(QColorDialog::DontUseNativeDialog);
    idosorablak = new OrderPlot(this);
    idosorablak->setObjectName(QStringLiteral("idosorablak"));
    // closed by its own close button: the menu's check mark follows
    connect(idosorablak, &OrderPlot::closed, this, [this] { rendparameteridosor->setChecked(false); });
    createTimer();
    recordingClock_ = new QTimer(this);
    recordingClock_->setInterval(1000);
    connect(recordingClock_, &QTimer::timeout, this, &TForm1::updateTitle);
    resize(kWindowSize);
}

TForm1::~TForm1() = default;

QString TForm1::creditsText() {
    return QStringLiteral(
               "Nyajkor mozgás 3D\n"
               "\n"
               "Önjáró egyedek kollektív\n"
               "mozgása egy 350 × 350 × 250\n"
               "egységnyi, falakkal határolt\n"
               "dobozban.\n"
               "\n"
               "Verzió: %1\n"
               "Licenc: GNU GPL 3 vagy újabb\n"
               "\n"
               "Qt %2")
        .arg(QStringLiteral(NYAJKOR_VERSION), QString::fromLatin1(qVersion()));
}

void TForm1::run(Handler handler) {
    reportingErrors(this, [&] { (this->*handler)(); });
}

// ---- the window ------------------------------------------------------------

// The place is the whole window's, its frame and caption included, so the
// caption stays on the screen where the window can be grabbed. A window
// manager adds the frame as it shows the window, so the window is put in
// place again once it is first drawn, and when it becomes active, before
// anything is pressed.
void TForm1::holdWindow() {
    if (size() != kWindowSize) resize(kWindowSize);
    // The client goes inside the frame as far as the frame is known (not at
    // all before the window is shown).
    QWindow* window = windowHandle();
    if (!window) return move(kWindowPlace);
    if (window->framePosition() == kWindowPlace) return;
    const QMargins frame = window->frameMargins();
    window->setPosition(kWindowPlace + QPoint(frame.left(), frame.top()));
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || (event->type() == QEvent::Paint && !framePlaced_)) {
        framePlaced_ = true;
        QTimer::singleShot(0, this, [this] { holdWindow(); });
    }
    return QMainWindow::event(event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    run(&TForm1::FormResize);
}

void TForm1::FormResize() {
    holdWindow();
    setScreenCentre(view_, DX->width(), DX->height());
    setBoxConstants(*f_);
    if (replayFlock_) setBoxConstants(*replayFlock_);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Panel14) run(&TForm1::Panel15Click);
        if (Memo1 && watched == Memo1->viewport()) run(&TForm1::Memo1Click);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- run control and the tick ----------------------------------------------

void TForm1::startClick() {
    leaveReplay();
    start->setEnabled(false);
    for (ScrollBar* bar : {egyedszam, vkozos, parameter, sugar, nagyitas, Xalfa, Zbeta})
        bar->setEnabled(true);
    setViewDefaults(view_);  // the view's colours, zoom and eye offset, before the model's start
    beginRun(&nyajkor::start);
}

void TForm1::ujrainditClick() {
    leaveReplay();
    beginRun(&nyajkor::restart);
}

// What Start and Újraindít share: the model's half (`startModel`, seeded
// from the clock), then the window's: buttons, a cleared view and plot, the
// timer.
void TForm1::beginRun(void (*startModel)(Flock&, const Inputs&, std::uint32_t)) {
    for (QPushButton* button : {tovabb, ujraindit, stop}) button->setEnabled(true);
    startModel(*f_, inputs(), clockSeed());
    torles(view_, *host_);
    history_.clear();
    idosorablak->refresh(history_);
    ticks_ = 0;
    updateRecordingItems();
    setTimerEnabled(true);
}

void TForm1::stopClick() { setTimerEnabled(false); }

void TForm1::tovabbClick() { setTimerEnabled(true); }

// Space presses a focused button, as it does everywhere. Elsewhere it is the
// run key: Start before the first run, then Stop while the flock moves and
// Tovább while it is stopped; a disabled button does nothing.
void TForm1::spacePressed() {
    if (auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        focused && isAncestorOf(focused)) {
        focused->click();
        return;
    }
    // (a replay pauses and goes on; Start would end it)
    QPushButton* runButton = start->isEnabled() && !replay_ ? start : Timer1->Enabled() ? stop : tovabb;
    runButton->click();
}

void TForm1::timer() {
    // A modal dialog (the colour dialog, an error box) holds the ticks back,
    // so an error cannot pile up boxes and nothing moves under a dialog.
    if (QApplication::activeModalWidget()) return;
    run(&TForm1::step);
}

void TForm1::step() {
    if (replay_) return replayStep();
    const Inputs in = inputs();
    tick(*f_, in);
    ++ticks_;
    showStatistics();
    rajzolasvezerlo(*f_, in, view_, *host_);
    recordFrame();
}

// The captions and the plot follow the statistics of the last tick.
void TForm1::showStatistics() {
    showCaptions();
    const Flock& f = shownFlock();
    history_.record(f.rendszazalek, f.atlagszomszed);
    idosorablak->refresh(history_);
}

void TForm1::showCaptions() {
    const Flock& f = shownFlock();
    Label22->setText(QString::fromStdString(meanNeighboursCaption(f.atlagszomszed, decimalSeparator())));
    Label7->setText(QString::fromStdString(orderPercentCaption(f.rendszazalek)));
}

void TForm1::redraw() { rajzolasvezerlo(shownFlock(), viewInputs(), view_, *host_); }

// ---- scroll bars -------------------------------------------------------------

void TForm1::egyedszamChange() {
    // the run halts; the next restart takes the new N
    stop->setEnabled(false);
    ujraindit->setEnabled(true);
    tovabb->setEnabled(false);
    setTimerEnabled(false);
}

// The equilibrium distance stays at or below the perception radius.
void TForm1::sugarChange() { tavolsag->setPosition(tavegyeztetes(sugar->value(), tavolsag->value())); }
void TForm1::tavolsagChange() { sugarChange(); }

void TForm1::egyensulyerossegChange() { f_->tavtartaserosseg = egyensulyerosseg->value(); }

void TForm1::XalfaChange() { redraw(); }
void TForm1::ZbetaChange() { redraw(); }

void TForm1::nagyitasChange() {
    view_.nagyitasszorzo = nagyitas->value() / 10.0;
    redraw();
}

void TForm1::xvonzokordChange() { f_->vonzox = xvonzokord->value(); }
void TForm1::yvonzokordChange() { f_->vonzoy = yvonzokord->value(); }
void TForm1::zvonzokordChange() { f_->vonzoz = zvonzokord->value(); }

// ---- distance keeping ----------------------------------------------------------

void TForm1::autotaszitoClick() { distanceKeepingClicked(autotaszito, true); }
void TForm1::egyenitaszitoClick() { distanceKeepingClicked(egyenitaszito, false); }
void TForm1::autovonzoClick() { distanceKeepingClicked(autovonzo, true); }
void TForm1::egyenivonzoClick() { distanceKeepingClicked(egyenivonzo, false); }

// At most one of the four items is checked. An automatic item tunes the
// strength itself; a custom one opens its scroll bar at the strength in
// effect, which may be where the tuning has taken it.
void TForm1::distanceKeepingClicked(QAction* clicked, bool automatic) {
    for (QAction* item : {autotaszito, egyenitaszito, autovonzo, egyenivonzo})
        if (item != clicked) item->setChecked(false);
    if (!clicked->isChecked()) {
        egyensulyerosseg->setEnabled(false);
        tavolsag->setEnabled(false);
    } else if (automatic) {
        egyensulyerosseg->setEnabled(false);
        tavolsag->setEnabled(true);
    } else {
        egyensulyerosseg->setEnabled(true);
        egyensulyerosseg->setPosition(f_->tavtartaserosseg);
        tavolsag->setEnabled(true);
    }
}

// ---- the attracting centre ------------------------------------------------------

// At most one of the three centre items is checked; any of them uses the
// strength scroll bar.
void TForm1::centreItemClicked(QAction* clicked) {
    for (QAction* item : {kozepenvonzo, mozgovonzo, elhelyez})
        if (item != clicked) item->setChecked(false);
    vonzaserosseg->setEnabled(clicked->isChecked());
}

void TForm1::kozepenvonzoClick() {
    centreItemClicked(kozepenvonzo);
    if (kozepenvonzo->isChecked()) {
        f_->vonzox = f_->xkozep;
        f_->vonzoy = f_->xkozep;
        f_->vonzoz = f_->zkozep;
    }
}

void TForm1::mozgovonzoClick() { centreItemClicked(mozgovonzo); }

void TForm1::elhelyezClick() {
    centreItemClicked(elhelyez);
    if (!elhelyez->isChecked()) {
        Button1->setEnabled(false);
        return;
    }
    Button1->setEnabled(true);
    // The bars show the centre as far as their range allows; a bar that has
    // to move also moves the centre to its position.
    xvonzokord->setPosition(roundHalfEven(f_->vonzox));
    yvonzokord->setPosition(roundHalfEven(f_->vonzoy));
    zvonzokord->setPosition(roundHalfEven(f_->vonzoz));
    Button1Click();
}

void TForm1::Button1Click() { Panel14->setVisible(!Panel14->isVisible()); }
void TForm1::Panel15Click() { Button1Click(); }

void TForm1::tkpvonzasClick() { tkpvonzaserosseg->setEnabled(tkpvonzas->isChecked()); }

// ---- predators -------------------------------------------------------------------

void TForm1::ujragadozoClick() {
    if (!ujragadozo(*f_)) return;  // five already: nothing changes
    showPredatorCount();
    ragadozoeszleles->setEnabled(true);
    reakcioerosseg->setEnabled(true);
}

void TForm1::ragadozotorlesClick() {
    ragadozotorles(*f_);
    showPredatorCount();
    ragadozoeszleles->setEnabled(false);
    reakcioerosseg->setEnabled(false);
}

void TForm1::showPredatorCount() {
    ragadozo->setText(QStringLiteral("%1 &ragadozó").arg(shownFlock().ragadozodb));
}

// ---- display and colours -----------------------------------------------------------

void TForm1::szemuvegClick() {
    // the colour menu of the view in force: two eyes or five objects
    szemuvegszinek->setVisible(szemuveg->isChecked());
    szinek->setVisible(!szemuveg->isChecked());
}

void TForm1::rendparameteridosorClick() {
    if (rendparameteridosor->isChecked() && !plotPlaced_) {
        const QScreen* screen = this->screen();
        const QRect view(DX->mapToGlobal(QPoint(0, 0)), DX->size());
        idosorablak->move(placeBeside(screen->availableGeometry(), frameGeometry(), view,
                                      idosorablak->frameGeometry().size()));
        plotPlaced_ = true;
    }
    idosorablak->setVisible(rendparameteridosor->isChecked());
    idosorablak->refresh(history_);  // while hidden it did not follow the ticks
}

// The picture is the frame shown; the dialog holds the ticks back meanwhile
// (see timer()), so it is the frame the user chose to save.
void TForm1::kepmentesClick() {
    QFileDialog* dialog = pictureDialog();
    if (dialog->exec() != QDialog::Accepted) return;
    savePicture(DX->Surface.Canvas, dialog->selectedFiles().value(0));
}

// One dialog for the program's life, so it opens where the last picture went.
QFileDialog* TForm1::pictureDialog() {
    if (!SD) {
        SD = new QFileDialog(this, QStringLiteral("Kép mentése"));
        SD->setObjectName(QStringLiteral("SD"));
        SD->setOption(QFileDialog::DontUseNativeDialog);
        SD->setAcceptMode(QFileDialog::AcceptSave);
        SD->setNameFilter(QStringLiteral("PNG-kép (*.png)"));
        SD->setDefaultSuffix(QStringLiteral("png"));  // a name without a suffix gets ".png"
    }
    return SD;
}

void TForm1::reszecskeszinClick() { chooseColour(view_.szinegyed); }
void TForm1::hatterszinClick() { chooseColour(view_.szinhatter); }
void TForm1::kockaszinClick() { chooseColour(view_.szinkocka); }
void TForm1::vonzoszinClick() { chooseColour(view_.szinvonzo); }
void TForm1::ragadozoszinClick() { chooseColour(view_.szinragadozo); }
void TForm1::balszemClick() { chooseColour(view_.szinbalszem); }
void TForm1::jobbszemClick() { chooseColour(view_.szinjobbszem); }

// The dialog opens with the colour last confirmed in it, whichever object
// that was for; cancelling changes nothing.
void TForm1::chooseColour(Color& colour) {
    CD->setCurrentColor(toQColor(lastChosenColour_));
    if (CD->exec() != QDialog::Accepted) return;
    lastChosenColour_ = fromQColor(CD->currentColor());
    colour = lastChosenColour_;
}

// ---- credits ---------------------------------------------------------------------------

void TForm1::Nvjegy1Click() {
    Memo1->move(kMemoLeft, Memo1->y());
    Memo1->setVisible(!Memo1->isVisible());
}

void TForm1::Memo1Click() { Memo1->hide(); }

}  // namespace nyajkor::app
