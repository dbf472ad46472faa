// The recording menu: the view as a movie, the whole state saved and loaded
// in the runner's checkpoint files, and a trajectory of the runner replayed
// in the view.

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <sstream>
#include <stdexcept>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/picture_file.h"
#include "app/scroll_bar.h"
#include "model/checkpoint.h"
#include "model/rounding.h"
#include "model/simulation.h"
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

QString checkpointReason(const CheckpointError& e) {
    switch (e.problem()) {
        case CheckpointProblem::unreadable: return QStringLiteral("a fájl nem olvasható");
        case CheckpointProblem::foreign: return QStringLiteral("nem ennek a programnak az állapotfájlja");
        case CheckpointProblem::truncated: return QStringLiteral("a fájl csonka");
        case CheckpointProblem::newerVersion: return QStringLiteral("a program újabb változatának állapotfájlja");
        case CheckpointProblem::outOfRange:
            return QStringLiteral("a fájlban olyan érték áll, amely a program tartományain kívül esik");
        case CheckpointProblem::corrupted: break;
    }
    return QStringLiteral("a fájl sérült");
}

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
}

// ---- the movie ------------------------------------------------------------------

void TForm1::startRecordingClick() {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        showErrorBox(this, QStringLiteral("A felvételhez az ffmpeg program kell, de nincs telepítve."));
        return;
    }
    const QString path = askFileName(QStringLiteral("Felvétel indítása"), QStringLiteral("MP4-videó (*.mp4)"),
                                     QStringLiteral("mp4"), true);
    if (path.isEmpty()) return;
    try {
        movie_ = std::make_unique<MovieEncoder>(ffmpeg, DX->width(), DX->height());
    } catch (const MovieError& e) {
        fail(QStringLiteral("A felvétel nem indult el"), path, QString::fromStdString(e.what()));
    }
    moviePath_ = path;
    updateRecordingItems();
}

// One frame per tick, as the view shows it; the encoder takes it on another thread.
void TForm1::recordFrame() {
    const PixelCanvas& canvas = DX->Surface.Canvas;
    if (movie_ && canvas.width() == movie_->width() && canvas.height() == movie_->height())
        movie_->addFrame(canvas.bits());
}

void TForm1::stopRecordingClick() {
    const std::unique_ptr<MovieEncoder> movie = std::move(movie_);
    updateRecordingItems();
    if (!movie) return;
    std::ostringstream bytes;
    try {
        movie->finish(bytes);
    } catch (const MovieError& e) {
        fail(QStringLiteral("A felvétel mentése nem sikerült"), moviePath_, QString::fromStdString(e.what()));
    }
    writeWhole(QStringLiteral("A felvétel mentése nem sikerült"), moviePath_, bytes.str());
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
    setTimerEnabled(false);
    // Moving the bars runs their handlers, which set the strength, the zoom
    // and the centre from them; the file has the run's own values, so it
    // is read once more after.
    showControlsOf(in);
    restoreState(bytes, in, ticks);
    ticks_ = ticks;
    enableControlsOfTheModes();
    start->setEnabled(false);
    stop->setEnabled(false);
    tovabb->setEnabled(true);
    ujraindit->setEnabled(true);
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

// The trajectory plays at the pace of the ticks; Stop and Tovább pause and
// resume it, and the view's bars and check marks work as in a run.
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
    setTimerEnabled(false);
    if (f_->egyeddb == 0) {
        // before the first Start the view has no colours yet
        setStartDefaults(*f_);
        setViewDefaults(view_);
        view_.nagyitasszorzo = nagyitas->value() / 10.0;
    }
    replay_ = std::move(reader);
    for (ScrollBar* bar : {nagyitas, Xalfa, Zbeta}) bar->setEnabled(true);
    stop->setEnabled(true);
    tovabb->setEnabled(true);
    ujraindit->setEnabled(true);
    history_.clear();
    updateRecordingItems();
    showReplayFrame(first);
    setTimerEnabled(true);
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
        setWindowTitle(windowTitle() + QStringLiteral(" (vége)"));
        return;
    }
    showReplayFrame(frame);
}

// The frame goes into the flock the view draws; the run it replaced is
// gone, so leaving replay restarts or loads a state.
void TForm1::showReplayFrame(const TrajectoryFrame& frame) {
    Flock& f = *f_;
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
    showStatistics();
    showPredatorCount();
    setWindowTitle(QStringLiteral("%1 – visszajátszás, %2. lépés").arg(kTitle).arg(frame.tick));
    redraw();
    recordFrame();
}

void TForm1::leaveReplay() {
    if (!replay_) return;
    replay_.reset();
    replayCentre_ = false;
    setWindowTitle(kTitle);
    updateRecordingItems();
}

Inputs TForm1::viewInputs() const {
    Inputs in = inputs();
    if (replay_) {
        in.kozepenvonzo = replayCentre_;
        in.mozgovonzo = in.elhelyez = false;
    }
    return in;
}

}  // namespace nyajkor::app
