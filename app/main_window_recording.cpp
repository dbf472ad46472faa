// The recording menu: the view as a movie, the whole state saved and loaded
// in the runner's checkpoint files, and a trajectory of the runner replayed
// in the view.

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <sstream>
#include <stdexcept>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/order_plot.h"
#include "app/picture_file.h"
#include "app/scroll_bar.h"
#include "app/system_reason.h"
#include "files/whole_file.h"
#include "model/checkpoint.h"
#include "model/rounding.h"
#include "model/simulation.h"
#include "model/window_layout.h"
#include "record/movie.h"
#include "record/trajectory.h"
#include "render/frame.h"
#include "surface/dx_draw.h"
#include "surface/dx_timer.h"

namespace nyajkor::app {

namespace {

const QString kTitle = QStringLiteral("Nyajkor mozgás 3D");
const QString kStateFilter = QStringLiteral("Nyajkor-állapot (*.ckpt)");

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw std::runtime_error(
        QStringLiteral("%1: %2: %3").arg(what, QDir::toNativeSeparators(path), reason).toStdString());
}

// Writes `bytes` to `path` whole or not at all, as pictures are written.
void writeWhole(const QString& failure, const QString& path, const std::string& bytes) {
    saveWhole(failure, path, bytes.data(), bytes.size());
}

QString checkpointReason(const CheckpointError& e) { return QString::fromUtf8(layout::checkpointReason(e.problem())); }

QString trajectoryReason(const TrajectoryError& e) {
    if (e.line() == 0) return QStringLiteral("a fájl nem nyitható meg");
    return QStringLiteral("a fájl %1. sora hibás").arg(e.line());
}

}  // namespace

// Qt's own dialog, as for pictures; it opens where the last file of the menu was.
QString TForm1::askFileName(const QString& title, const QString& filter, const QString& suffix, bool saving) {
    QFileDialog dialog(this, title, lastFolder_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);  // a name without one gets it
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString path = dialog.selectedFiles().value(0);
    lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

// A recording starts or stops only once; a state can be saved once there is
// one, and not from a replay, which has no generator or controls to keep.
void TForm1::updateRecordingItems() {
    startRecording->setEnabled(!movie_);
    stopRecording->setEnabled(movie_ != nullptr);
    saveState->setEnabled(f_->egyeddb > 0 && !replay_);
    endReplay->setEnabled(replay_ != nullptr);
}

// The caption says what the window shows beyond the run: a replay and its
// step, and a recording under way with its length so far.
void TForm1::updateTitle() {
    QString title = kTitle;
    if (replay_) {
        title += QStringLiteral(" – visszajátszás, %1. lépés").arg(replayTick_);
        if (replayEnded_) title += QStringLiteral(" (vége)");
    }
    if (movie_) {
        const qint64 seconds = recordingSince_.elapsed() / 1000;
        title += QStringLiteral(" – ● Felvétel %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    setWindowTitle(title);
}

// ---- the movie ------------------------------------------------------------------

namespace {

const QString kRecordingRefused = QStringLiteral("A felvétel nem indult el");
const QString kRecordingFailed = QStringLiteral("A felvétel mentése nem sikerült");
const QString kRecordingBroken = QStringLiteral("A felvétel megszakadt");

// What a recording needs free beside its file to start, and below which
// it is ended and saved while it still fits.
constexpr std::uint64_t kRecordingRoom = 64ull << 20;

}  // namespace

// The target is checked, and its temporary file made, before the first
// frame, as for every other file of the window: a recording that could not
// be saved does not start.
void TForm1::startRecordingClick() {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        showErrorBox(this, QStringLiteral("A felvételhez az ffmpeg program kell, de nincs telepítve."));
        return;
    }
    const QString path = askFileName(QStringLiteral("Felvétel indítása"), QStringLiteral("MP4-videó (*.mp4)"),
                                     QStringLiteral("mp4"), true);
    if (path.isEmpty()) return;
    std::unique_ptr<files::WholeFile> file = openWhole(kRecordingRefused, path, kRecordingRoom);
    try {
        movie_ = std::make_unique<MovieEncoder>(ffmpeg, DX->width(), DX->height());
    } catch (const MovieError& e) {
        fail(kRecordingRefused, path, QString::fromStdString(e.what()));
    }
    movieFile_ = std::move(file);
    moviePath_ = path;
    recordingSince_.start();
    recordingClock_->start();
    updateRecordingItems();
    updateTitle();
}

// One frame per tick, as the view shows it; the encoder takes it on another
// thread. A recording that cannot go on ends here, not at Stop.
void TForm1::recordFrame() {
    if (!movie_) return;
    if (movie_->failed()) return abandonRecording();
    if (freeBytes(movieFile_->target().folder) < kRecordingRoom) {
        stopRecordingClick();
        fail(kRecordingBroken, moviePath_,
             QStringLiteral("%1; az eddig felvett rész mentve").arg(systemReason(ENOSPC)));
    }
    const PixelCanvas& canvas = DX->Surface.Canvas;
    if (canvas.width() == movie_->width() && canvas.height() == movie_->height()) movie_->addFrame(canvas.bits());
}

// The encoder has stopped: what it made cannot be finished, and the file
// the recording was to replace stays as it was.
void TForm1::abandonRecording() {
    const std::unique_ptr<MovieEncoder> movie = std::move(movie_);
    movieFile_.reset();
    endRecording();
    std::ostringstream bytes;
    QString reason = QStringLiteral("a videó kódolása leállt");
    try {
        movie->finish(bytes);
    } catch (const MovieError& e) {
        reason += QStringLiteral(" (%1)").arg(QString::fromStdString(e.what()));
    }
    fail(kRecordingBroken, moviePath_, reason);
}

void TForm1::stopRecordingClick() {
    const std::unique_ptr<MovieEncoder> movie = std::move(movie_);
    const std::unique_ptr<files::WholeFile> file = std::move(movieFile_);
    endRecording();
    if (!movie) return;
    std::ostringstream bytes;
    try {
        movie->finish(bytes);
    } catch (const MovieError& e) {
        fail(kRecordingFailed, moviePath_, QString::fromStdString(e.what()));
    }
    const std::string movieBytes = bytes.str();
    commitWhole(kRecordingFailed, moviePath_, *file, movieBytes.data(), movieBytes.size());
}

void TForm1::endRecording() {
    recordingClock_->stop();
    updateRecordingItems();
    updateTitle();
}

// A recording under way is saved when the window closes, not lost.
void TForm1::closeEvent(QCloseEvent* event) {
    if (movie_) run(&TForm1::stopRecordingClick);
    QMainWindow::closeEvent(event);
}

// ---- saved states -------------------------------------------------------------------

void TForm1::saveStateClick() {
    const QString path = askFileName(QStringLiteral("Állapot mentése"), kStateFilter, QStringLiteral("ckpt"), true);
    if (path.isEmpty()) return;
    writeWhole(QStringLiteral("Az állapot mentése nem sikerült"), path,
               checkpointBytes(*f_, viewSettingsOf(view_), inputs(), ticks_));
}

// The state, every control and check mark from the file; the run then waits
// for Tovább. A file that cannot be used changes nothing.
void TForm1::loadStateClick() {
    const QString path = askFileName(QStringLiteral("Állapot betöltése"), kStateFilter, QString(), false);
    if (path.isEmpty()) return;
    std::string bytes;
    Inputs in;
    long ticks = 0;
    try {
        bytes = readCheckpointFile(path.toStdString());
        restoreState(bytes, in, ticks);
    } catch (const CheckpointError& e) {
        fail(QStringLiteral("Az állapot betöltése nem sikerült"), path, checkpointReason(e));
    }
    leaveReplay();
    stopClick();
    // Moving the bars runs their handlers, which set the strength, the zoom
    // and the centre from them; the file has the run's own values, so it
    // is read once more after.
    showControlsOf(in);
    restoreState(bytes, in, ticks);
    ticks_ = ticks;
    enableControlsOfTheModes();
    // a paused run: Tovább goes on, Stop changes nothing but is not refused
    start->setEnabled(false);
    for (QPushButton* button : {stop, tovabb, ujraindit}) button->setEnabled(true);
    history_.clear();
    showStatistics();
    updateRecordingItems();
    redraw();
}

void TForm1::restoreState(const std::string& bytes, Inputs& in, long& ticks) {
    ViewSettings settings;
    restoreCheckpoint(bytes, *f_, settings, in, ticks);
    applyViewSettings(view_, settings);
}

// What the handlers of the check marks and of Start enable, for the marks as they are.
void TForm1::enableControlsOfTheModes() {
    for (ScrollBar* bar : {egyedszam, vkozos, parameter, sugar, nagyitas, Xalfa, Zbeta}) bar->setEnabled(true);
    const bool custom = egyenitaszito->isChecked() || egyenivonzo->isChecked();
    const bool distance = custom || autotaszito->isChecked() || autovonzo->isChecked();
    egyensulyerosseg->setEnabled(custom);
    tavolsag->setEnabled(distance);
    tkpvonzaserosseg->setEnabled(tkpvonzas->isChecked());
    vonzaserosseg->setEnabled(kozepenvonzo->isChecked() || mozgovonzo->isChecked() || elhelyez->isChecked());
    Button1->setEnabled(elhelyez->isChecked());
    ragadozoeszleles->setEnabled(f_->ragadozodb > 0);
    reakcioerosseg->setEnabled(f_->ragadozodb > 0);
    showPredatorCount();
    szemuvegClick();
}

// ---- replay ---------------------------------------------------------------------------

// The trajectory plays in a flock of its own at the pace of the ticks: Stop
// and Tovább (and Space) pause and resume it, and the view's bars and check
// marks work as in a run. The live run waits meanwhile, untouched: its
// controls are disabled, as they do not act on what is shown, and
// "Visszajátszás vége" brings it back as it was. Start and Újraindít, when
// the run allows them, and loading a state end the replay too.
void TForm1::replayClick() {
    const QString filter = QStringLiteral("Pályafájl (*.xyz *.xyz.gz);;Minden fájl (*)");
    const QString path = askFileName(QStringLiteral("Visszajátszás"), filter, QString(), false);
    if (path.isEmpty()) return;
    std::unique_ptr<TrajectoryReader> reader;
    TrajectoryFrame first;
    try {
        reader = std::make_unique<TrajectoryReader>(path.toStdString());
        if (!reader->next(first)) fail(QStringLiteral("A visszajátszás nem sikerült"), path,
                                       QStringLiteral("a fájlban nincs egyetlen kép sem"));
    } catch (const TrajectoryError& e) {
        fail(QStringLiteral("A visszajátszás nem sikerült"), path, trajectoryReason(e));
    }
    if (!replay_) holdLiveRun();
    setTimerEnabled(false);
    if (f_->egyeddb == 0) {
        // before the first Start the view has no colours yet
        setViewDefaults(view_);
        view_.nagyitasszorzo = nagyitas->value() / 10.0;
    }
    replayFlock_ = std::make_unique<Flock>();
    setStartDefaults(*replayFlock_);
    setBoxConstants(*replayFlock_);
    replay_ = std::move(reader);
    replayEnded_ = false;
    history_.clear();
    updateRecordingItems();
    showReplayFrame(first);
    setTimerEnabled(true);
}

// Keeps what the replay changes of the live run (its timer, statistics
// and enabled states) and disables what does not act on the replay: the
// parameters of the column and the menu of the modes and predators.
void TForm1::holdLiveRun() {
    live_.timer = Timer1->Enabled();
    live_.history = history_;
    for (QPushButton* button : findChildren<QPushButton*>()) live_.widgets.emplace_back(button, button->isEnabled());
    for (ScrollBar* bar : findChildren<ScrollBar*>()) {
        live_.widgets.emplace_back(bar, bar->isEnabled());
        bar->setEnabled(bar == nagyitas || bar == Xalfa || bar == Zbeta);
    }
    for (QAction* item : findChildren<QAction*>()) live_.actions.emplace_back(item, item->isEnabled());
    disableMenu(findChild<QMenu*>(QStringLiteral("Figyelsmdja1")));
    Button1->setEnabled(false);
    stop->setEnabled(true);
    tovabb->setEnabled(true);
}

// The menu and every item under it, so that no key reaches them either.
void TForm1::disableMenu(QMenu* menu) {
    menu->menuAction()->setEnabled(false);
    for (QAction* item : menu->actions()) {
        if (item->menu()) disableMenu(item->menu());
        item->setEnabled(false);
    }
}

void TForm1::replayStep() {
    TrajectoryFrame frame;
    bool more = false;
    try {
        more = replay_->next(frame);
    } catch (const TrajectoryError& e) {
        setTimerEnabled(false);
        throw std::runtime_error(
            QStringLiteral("A visszajátszás megszakadt: %1").arg(trajectoryReason(e)).toStdString());
    }
    if (!more) {
        setTimerEnabled(false);  // the last frame stays
        replayEnded_ = true;
        updateTitle();
        return;
    }
    showReplayFrame(frame);
}

void TForm1::showReplayFrame(const TrajectoryFrame& frame) {
    Flock& f = *replayFlock_;
    f.egyeddb = 0;
    f.ragadozodb = 0;
    replayCentre_ = false;
    for (const TrajectoryParticle& p : frame.particles) {
        if (p.species == 'I') {
            const int i = ++f.egyeddb;
            f.x[i] = p.x, f.y[i] = p.y, f.z[i] = p.z;
            f.vx[i] = p.vx, f.vy[i] = p.vy, f.vz[i] = p.vz;
        } else if (p.species == 'P') {
            const int k = ++f.ragadozodb;
            f.ragx[k] = p.x, f.ragy[k] = p.y, f.ragz[k] = p.z;
        } else {
            f.vonzox = p.x, f.vonzoy = p.y, f.vonzoz = p.z;
            replayCentre_ = true;
        }
    }
    f.rendparameter = frame.order;
    f.rendszazalek = roundHalfEven(100 * frame.order);
    f.atlagszomszed = frame.avgNeighbours;
    replayTick_ = frame.tick;
    showStatistics();
    showPredatorCount();
    updateTitle();
    redraw();
    recordFrame();
}

void TForm1::endReplayClick() { leaveReplay(); }

// The live run back as the replay found it; its flock was never touched.
void TForm1::leaveReplay() {
    if (!replay_) return;
    setTimerEnabled(false);
    replay_.reset();
    replayFlock_.reset();
    replayCentre_ = false;
    for (const auto& [widget, enabled] : live_.widgets) widget->setEnabled(enabled);
    for (const auto& [item, enabled] : live_.actions) item->setEnabled(enabled);
    live_.widgets.clear();
    live_.actions.clear();
    history_ = live_.history;
    showCaptions();
    idosorablak->refresh(history_);
    showPredatorCount();
    updateRecordingItems();
    updateTitle();
    redraw();
    setTimerEnabled(live_.timer);
}

Flock& TForm1::shownFlock() const { return replay_ ? *replayFlock_ : *f_; }

Inputs TForm1::viewInputs() const {
    Inputs in = inputs();
    if (replay_) {
        in.kozepenvonzo = replayCentre_;
        in.mozgovonzo = in.elhelyez = false;
    }
    return in;
}

}  // namespace nyajkor::app
