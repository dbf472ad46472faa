// The recording menu driven as a user drives it: the movie, saved and
// loaded states, and a trajectory replayed in the view.

#include <QAction>
#include <QFile>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "tests/app/window_test_support.h"
#include "app/scroll_bar.h"
#include "model/captions.h"
#include "surface/dx_draw.h"
#include "surface/dx_timer.h"

using nyajkor::Flock;
using nyajkor::app::ScrollBar;
using nyajkor::app::TForm1;

class RecordingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuComesAfterTheColours();
    void loadedStateGoesOnAsTheSavedRun();
    void damagedStateIsRefusedAndChangesNothing();  // and a state that cannot be saved
    void replayStepsThroughTheFrames();
    void replayLeavesTheLiveRunAsItWas();
    void recordingMakesOneFramePerTick();
    void recordingWithoutFfmpegOnlySaysSo();
    void recordingThatCannotBeSavedDoesNotStart_data();
    void recordingThatCannotBeSavedDoesNotStart();
    void recordingThatBreaksOffSaysSoAtOnce();

private:
    template <class T>
    T* child(const char* name) {
        return nyajkor::app::test::control<T>(form.get(), name);
    }
    QAction* item(const char* name) { return child<QAction>(name); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    Flock& f() { return form->flock(); }
    QString caption(const char* label) { return child<QLabel>(label)->text(); }
    bool timerRunning() { return nyajkor::app::test::timerRunning(form.get()); }
    QString runState() { return nyajkor::app::test::runState(form.get()); }
    // Chooses the menu item and answers its file dialog with `path`; a
    // message box that follows is answered too, and its text returned.
    QString chooseFile(const char* name, const QString& path) {
        QString shown;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTimer::singleShot(0, form.get(), [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    shown = box->text();
                    box->accept();
                }
            });
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        item(name)->trigger();
        return shown;
    }
    // What ffprobe counts in the movie.
    QByteArray frameCount(const QString& movie);
    // The state of the flock that the next tick reads, for comparing runs.
    std::vector<double> trail() {
        std::vector<double> v;
        for (int i = 1; i <= f().egyeddb; ++i) v.insert(v.end(), {f().x[i], f().y[i], f().z[i], f().vx[i]});
        v.push_back(f().rng.state());
        v.push_back(f().tavtartaserosseg);
        return v;
    }

    // Every control's enabled state, check mark and position, the menu
    // caption, the run buttons and the live flock, as one text.
    QString liveRun();
    void writeTrajectory(const QString& path, int frames);
    static bool haveFfmpeg() { return std::system("ffprobe -version > /dev/null 2>&1") == 0; }

    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
};

// Root may write anywhere: a folder is closed to it by running as nobody
// meanwhile (the saved user id brings root back).
class AsUnprivileged {
public:
    explicit AsUnprivileged(const QString& folder) : folder_(folder) {
        if (::geteuid() == 0)
            QVERIFY(::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0);
        else
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~AsUnprivileged() {
        if (::getuid() == 65534 || ::geteuid() == 65534) {
            (void)::setresuid(0, 0, 0);
            (void)::setresgid(0, 0, 0);
        } else {
            QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

private:
    QString folder_;
};

void RecordingTest::init() {
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void RecordingTest::cleanup() { form.reset(); }

void RecordingTest::menuComesAfterTheColours() {
    QStringList items;
    for (QAction* a : child<QMenu>("recording")->actions()) items << nyajkor::app::test::visibleCaption(a->text()) + (a->isEnabled() ? "" : " (off)");
    QCOMPARE(items.join(QLatin1Char('|')),
             QStringLiteral("Felvétel indítása…|Felvétel leállítása (off)|Állapot mentése… (off)|"
                            "Állapot betöltése…|Visszajátszás…|Visszajátszás vége (off)"));
    QCOMPARE(form->menuBar()->actions().last(), child<QMenu>("recording")->menuAction());
}

void RecordingTest::loadedStateGoesOnAsTheSavedRun() {
    click("start");
    click("stop");
    child<ScrollBar>("sugar")->setSliderPosition(6);
    item("egyenivonzo")->trigger();
    child<ScrollBar>("egyensulyerosseg")->setSliderPosition(14);
    item("mozgovonzo")->trigger();
    item("ujragadozo")->trigger();
    for (int t = 0; t < 3; ++t) form->timer();
    const QString path = dir.filePath(QStringLiteral("state"));
    QCOMPARE(chooseFile("saveState", path), QString());
    QVERIFY(QFile::exists(path + QStringLiteral(".ckpt")));  // the suffix is added
    for (int t = 0; t < 3; ++t) form->timer();
    const std::vector<double> expected = trail();

    // another run with other controls, then the saved one back
    click("ujraindit");
    click("stop");
    child<ScrollBar>("sugar")->setSliderPosition(2);
    item("autotaszito")->trigger();
    item("ragadozotorles")->trigger();
    QCOMPARE(chooseFile("loadState", path + QStringLiteral(".ckpt")), QString());
    QCOMPARE(runState(), QStringLiteral("timer off, start off, stop on, tovabb on, ujraindit on"));  // paused
    QCOMPARE(child<ScrollBar>("sugar")->value(), 6);
    QCOMPARE(child<ScrollBar>("egyensulyerosseg")->value(), 14);
    QVERIFY(child<ScrollBar>("egyensulyerosseg")->isEnabled());
    QVERIFY(item("egyenivonzo")->isChecked() && item("mozgovonzo")->isChecked());
    QVERIFY(!item("autotaszito")->isChecked());
    QCOMPARE(nyajkor::app::test::visibleCaption(child<QMenu>("ragadozo")->title()), QStringLiteral("1 ragadozó"));
    click("tovabb");
    for (int t = 0; t < 3; ++t) form->timer();
    QVERIFY(trail() == expected);
}

void RecordingTest::damagedStateIsRefusedAndChangesNothing() {
    click("start");
    click("stop");
    const QString path = dir.filePath(QStringLiteral("bad.ckpt"));
    QFile bad(path);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("NYJK3DCP but not much more");
    bad.close();
    const std::vector<double> before = trail();
    const QString shown = chooseFile("loadState", path);
    QCOMPARE(shown, QStringLiteral("Az állapot betöltése nem sikerült: %1: a fájl csonka").arg(path));
    QVERIFY(trail() == before);
    QCOMPARE(runState(), QStringLiteral("timer off, start off, stop on, tovabb on, ujraindit on"));  // as after Stop

    // a state is written as pictures are: no file can be made in /proc, not even by root
    const QString refused = chooseFile("saveState", QStringLiteral("/proc/state.ckpt"));
    QVERIFY2(refused.startsWith(QStringLiteral("Az állapot mentése nem sikerült: /proc/state.ckpt: ")),
             qPrintable(refused));
}

void RecordingTest::replayStepsThroughTheFrames() {
    const QString path = dir.filePath(QStringLiteral("run.xyz"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const char* header = "Lattice=\"350 0 0 0 350 0 0 0 250\" Properties=species:S:1:pos:R:3:velo:R:3 "
                         "pbc=\"F F F\" tick=%1 order=%2 avg_neighbours=%3\n";
    for (int k = 0; k < 3; ++k) {
        const bool centre = k == 1;
        file.write(QByteArray::number(centre ? 5 : 4) + "\n");
        file.write(QString::fromLatin1(header).arg(10 * k).arg(0.25 * (k + 1)).arg(k).toUtf8());
        for (int i = 1; i <= 3; ++i)
            file.write(QStringLiteral("I %1 100 100 1 0 0\n").arg(100 + 10 * i + k).toUtf8());
        file.write("P 50 60 70 0 0 0\n");
        if (centre) file.write("C 175 175 125 0 0 0\n");
    }
    file.close();

    QCOMPARE(chooseFile("replay", path), QString());
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D – visszajátszás, 0. lépés"));
    QCOMPARE(f().egyeddb, 3);
    QCOMPARE(f().x[2], 120.0);
    QCOMPARE(f().ragadozodb, 1);
    QCOMPARE(caption("Label7"), QString::fromStdString(nyajkor::orderPercentCaption(25)));
    QVERIFY(timerRunning());
    QVERIFY(!item("saveState")->isEnabled());

    form->timer();
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D – visszajátszás, 10. lépés"));
    QCOMPARE(f().x[2], 121.0);
    QCOMPARE(caption("Label7"), QString::fromStdString(nyajkor::orderPercentCaption(50)));
    click("stop");
    QVERIFY(!timerRunning());
    // the view turns with its bar while paused
    const nyajkor::PixelCanvas& canvas = child<nyajkor::TDXDraw>("DX")->Surface.Canvas;
    const std::vector<std::uint32_t> before(canvas.bits(), canvas.bits() + canvas.width() * canvas.height());
    child<ScrollBar>("Zbeta")->setSliderPosition(90);
    QVERIFY(!std::equal(before.begin(), before.end(), canvas.bits()));
    click("tovabb");
    form->timer();
    QCOMPARE(f().x[3], 132.0);
    form->timer();  // past the last frame: it stays, and the replay pauses
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D – visszajátszás, 20. lépés (vége)"));
    QVERIFY(!timerRunning());

    click("start");  // back to the simulation, whose first run it starts
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D"));
    QCOMPARE(f().egyeddb, 2000);
    QVERIFY(timerRunning());
}

QString RecordingTest::liveRun() {
    QStringList state;
    for (auto* bar : form->findChildren<ScrollBar*>())
        state << QStringLiteral("%1=%2%3").arg(bar->objectName()).arg(bar->value()).arg(bar->isEnabled() ? "" : " off");
    for (auto* button : form->findChildren<QPushButton*>())
        state << button->objectName() + (button->isEnabled() ? "" : " off");
    for (auto* a : form->findChildren<QAction*>())
        state << a->objectName() + a->text() + (a->isEnabled() ? "" : " off") + (a->isChecked() ? " checked" : "");
    state << runState() << caption("Label7") << caption("Label22");
    QStringList flock;
    for (double v : trail()) flock << QString::number(v, 'g', 17);
    for (int k = 1; k <= f().ragadozodb; ++k)
        flock << QStringLiteral("P%1 %2 %3").arg(f().ragx[k]).arg(f().ragy[k]).arg(f().ragz[k]);
    flock << QStringLiteral("C %1 %2 %3").arg(f().vonzox).arg(f().vonzoy).arg(f().vonzoz);
    return state.join(QLatin1Char('\n')) + QLatin1Char('\n') + flock.join(QLatin1Char(' '));
}

// Frames of three individuals and a predator, one step apart, every tenth tick.
void RecordingTest::writeTrajectory(const QString& path, int frames) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const char* header = "Lattice=\"350 0 0 0 350 0 0 0 250\" Properties=species:S:1:pos:R:3:velo:R:3 "
                         "pbc=\"F F F\" tick=%1 order=%2 avg_neighbours=%3\n";
    for (int k = 0; k < frames; ++k) {
        file.write("4\n");
        file.write(QString::fromLatin1(header).arg(10 * k).arg(0.25).arg(k).toUtf8());
        for (int i = 1; i <= 3; ++i) file.write(QStringLiteral("I %1 100 100 1 0 0\n").arg(100 + 10 * i + k).toUtf8());
        file.write("P 50 60 70 0 0 0\n");
    }
}

void RecordingTest::replayLeavesTheLiveRunAsItWas() {
    click("start");
    item("ujragadozo")->trigger();
    item("ujragadozo")->trigger();
    item("elhelyez")->trigger();
    item("tkpvonzas")->trigger();
    for (int t = 0; t < 3; ++t) form->timer();
    click("stop");
    const QString before = liveRun();
    const QString path = dir.filePath(QStringLiteral("run.xyz"));
    writeTrajectory(path, 2);

    // Ends of the replay: its own menu item, and Újraindít, which restarts
    // the live run with its predators.
    for (const char* end : {"endReplay", "ujraindit"}) {
        QVERIFY(!item("endReplay")->isEnabled());
        QCOMPARE(chooseFile("replay", path), QString());
        QCOMPARE(f().ragadozodb, 1);  // the replay's, shown
        QCOMPARE(nyajkor::app::test::visibleCaption(child<QMenu>("ragadozo")->title()), QStringLiteral("1 ragadozó"));
        // the column's parameters belong to the live run and wait with it; the view's bars work
        for (const char* name : {"egyedszam", "sugar", "tkpvonzaserosseg", "reakcioerosseg", "xvonzokord"})
            QVERIFY2(!child<ScrollBar>(name)->isEnabled(), name);
        for (const char* name : {"nagyitas", "Xalfa", "Zbeta"}) QVERIFY2(child<ScrollBar>(name)->isEnabled(), name);
        QVERIFY(!child<QMenu>("Figyelsmdja1")->menuAction()->isEnabled() && !item("ujragadozo")->isEnabled());
        QVERIFY(!child<QPushButton>("Button1")->isEnabled());
        QVERIFY(item("endReplay")->isEnabled());

        // past the last frame, Space and Tovább only keep it
        form->timer();
        form->timer();
        QTest::keyClick(form.get(), Qt::Key_Space);
        form->timer();
        click("tovabb");
        form->timer();
        QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D – visszajátszás, 10. lépés (vége)"));
        QVERIFY(!timerRunning());

        if (QByteArray(end) == "endReplay") {
            item("endReplay")->trigger();
            QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D"));
            QCOMPARE(liveRun(), before);
        } else {
            click("ujraindit");
            QCOMPARE(f().ragadozodb, 2);
            QCOMPARE(nyajkor::app::test::visibleCaption(child<QMenu>("ragadozo")->title()), QStringLiteral("2 ragadozó"));
            QVERIFY(child<ScrollBar>("ragadozoeszleles")->isEnabled() && child<ScrollBar>("reakcioerosseg")->isEnabled());
            QVERIFY(item("elhelyez")->isChecked() && child<QPushButton>("Button1")->isEnabled());
            QVERIFY(timerRunning());
        }
    }
}

void RecordingTest::recordingMakesOneFramePerTick() {
    if (std::system("ffprobe -version > /dev/null 2>&1") != 0)
        QSKIP("ffmpeg and ffprobe are needed (Debian package ffmpeg)");
    click("start");
    click("stop");
    const QString path = dir.filePath(QStringLiteral("view.mp4"));
    QCOMPARE(chooseFile("startRecording", path), QString());
    QVERIFY(item("stopRecording")->isEnabled() && !item("startRecording")->isEnabled());
    for (int t = 0; t < 7; ++t) form->timer();
    item("stopRecording")->trigger();
    QVERIFY(!item("stopRecording")->isEnabled());
    QCOMPARE(frameCount(path), QByteArray("7"));

    // closing the window saves a recording under way
    const QString last = dir.filePath(QStringLiteral("last.mp4"));
    QCOMPARE(chooseFile("startRecording", last), QString());
    for (int t = 0; t < 2; ++t) form->timer();
    form->close();
    QCOMPARE(frameCount(last), QByteArray("2"));
}

QByteArray RecordingTest::frameCount(const QString& movie) {
    const QString probe = dir.filePath(QStringLiteral("probe.txt"));
    const QString command = QStringLiteral("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                           "stream=nb_read_frames -of csv=p=0 '%1' > '%2'").arg(movie, probe);
    if (std::system(command.toLocal8Bit().constData()) != 0) return "ffprobe failed";
    QFile counted(probe);
    if (!counted.open(QIODevice::ReadOnly)) return "no answer";
    return counted.readAll().trimmed();
}

void RecordingTest::recordingWithoutFfmpegOnlySaysSo() {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QString shown;
    QTimer::singleShot(0, form.get(), [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = box->text();
        box->accept();
    });
    item("startRecording")->trigger();
    qputenv("PATH", path);
    QCOMPARE(shown, QStringLiteral("A felvételhez az ffmpeg program kell, de nincs telepítve."));
    QVERIFY(item("startRecording")->isEnabled() && !item("stopRecording")->isEnabled());
}

void RecordingTest::recordingThatCannotBeSavedDoesNotStart_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "missing" << false << "a mappa nem létezik";
    QTest::newRow("folder that cannot be written") << "closed" << true << "a mappába nem lehet írni";
}

// The target is refused when the recording starts, as a picture's is, not
// when the recording is over.
void RecordingTest::recordingThatCannotBeSavedDoesNotStart() {
    QFETCH(QString, folder);
    QFETCH(bool, closed);
    QFETCH(QString, reason);
    if (!haveFfmpeg()) QSKIP("ffmpeg is needed (Debian package ffmpeg)");
    click("start");
    click("stop");
    if (closed) {
        QVERIFY(QDir(dir.path()).mkdir(folder));
        // open to look into, for whoever runs the test
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::ExeOther));
    }
    const QString path = dir.filePath(folder + QStringLiteral("/view.mp4"));
    QString shown;
    {
        std::unique_ptr<AsUnprivileged> unprivileged;
        if (closed) unprivileged = std::make_unique<AsUnprivileged>(dir.filePath(folder));
        shown = chooseFile("startRecording", path);
    }
    QCOMPARE(shown, QStringLiteral("A felvétel nem indult el: %1: %2").arg(path, reason));
    QVERIFY(item("startRecording")->isEnabled() && !item("stopRecording")->isEnabled());
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D"));
}

// ffmpeg may write no more than a few frames (as on a disk that fills up):
// the window says so while recording, stops, and leaves no file behind.
void RecordingTest::recordingThatBreaksOffSaysSoAtOnce() {
    if (!haveFfmpeg()) QSKIP("ffmpeg is needed (Debian package ffmpeg)");
    click("start");
    click("stop");
    QTemporaryDir own;  // nothing else in it
    const QString path = own.filePath(QStringLiteral("view.mp4"));

    rlimit unlimited{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    rlimit small = unlimited;
    small.rlim_cur = 20000;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);  // ffmpeg, started now, inherits it
    const QString started = chooseFile("startRecording", path);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    QCOMPARE(started, QString());
    QVERIFY(form->windowTitle().startsWith(QStringLiteral("Nyajkor mozgás 3D – ● Felvétel 0:0")));

    QString shown;
    QTimer answer;  // whenever the box comes
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, form.get(), [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    answer.start();
    for (int t = 0; t < 400 && shown.isEmpty(); ++t) {
        form->timer();
        QTest::qWait(5);  // ffmpeg's turn
    }
    QVERIFY2(shown.startsWith(QStringLiteral("A felvétel megszakadt: %1: ").arg(path)), qPrintable(shown));
    QVERIFY(item("startRecording")->isEnabled() && !item("stopRecording")->isEnabled());
    QCOMPARE(form->windowTitle(), QStringLiteral("Nyajkor mozgás 3D"));
    QCOMPARE(QDir(own.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(RecordingTest)
#include "recording_test.moc"
