// The main window: the view, the control panel and the menus.
//
// TForm1 is the program a user sees. Its left column holds the run buttons,
// one scroll bar for every parameter and the two statistics; the rest is the
// view DX. The menus choose the behaviour modes, the predators, the display
// mode and the colours; a floating panel places the attracting centre and a
// hidden memo holds the credits.
// Beyond that, a tool window plots the two statistics over the last ticks,
// the view can be saved as a PNG picture, and the window can be used from
// the keyboard alone: Tab goes through the scroll bars top to bottom, and
// Space, F5, Insert and Ctrl+S stand for the run buttons and menu items
// used most. The recording menu records the view as a movie, saves and
// loads the whole state in the runner's checkpoint files, and replays a
// trajectory the runner wrote.
//
// The window owns the one flock of the program and drives it: Start and the
// restart seed it, the frame timer ticks it, and each tick and each redraw
// reads the controls into an Inputs record, so the model and the view never
// see a widget. Most parameters need nothing more; the handlers exist to
// keep the menu modes exclusive, to enable exactly the scroll bars the
// chosen modes use, to place predators and the centre, to pick colours and
// to redraw at once when the view is turned or zoomed.
//
// The controls carry the names of the program's historical layout (object
// names too), and so do the handlers: a control's name followed by Click or
// Change.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/order_history.h"
#include "model/flock.h"
#include "render/camera.h"
#include "render/view.h"
#include "render/view_host.h"

class QColorDialog;
class QFileDialog;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTextEdit;
class QTimer;

namespace nyajkor {
namespace files {
class WholeFile;
}
class MovieEncoder;
class TDXDraw;
class TDXTimer;
class TrajectoryReader;
struct TrajectoryFrame;
}  // namespace nyajkor

namespace nyajkor::app {

class OrderPlot;
class ScrollBar;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    TForm1();
    ~TForm1() override;

    // The simulation state the view shows (a replay's, while one is shown),
    // for tests.
    Flock& flock() { return shownFlock(); }
    // The view's own record: colours, zoom, eye offset, screen centre.
    const View& view() const { return view_; }
    // The controls' positions and check marks as the model and view read them.
    Inputs inputs() const;

    // The tick of the frame timer: one step of the flock and its frame.
    void timer();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Handler = void (TForm1::*)();
    class Host;

    // What the window adds to the rows of its layout (model/window_layout.h),
    // found by the control's name: the handler it runs and the member that
    // holds its widget.
    struct ButtonRow {
        const char* name;
        Handler onClick;
        QPushButton* TForm1::*widget;
    };
    struct ScrollBarRow {
        int Inputs::*feeds;  // the control's position in Inputs, which keys its row
        Handler onChange;    // nullptr: the hint is all there is to keep
        ScrollBar* TForm1::*widget;
    };
    struct MenuRow {
        const char* name;
        Handler onClick;           // nullptr: the check mark is all
        QAction* TForm1::*action;  // nullptr: no handler touches it
    };
    static const ButtonRow kButtons[];
    static const ScrollBarRow kScrollBars[];
    static const MenuRow kMenus[];
    static constexpr int kMemoLeft = 106;

    // building the window, in this order
    void createPanels();
    void createLabels();
    void createButtons();
    void createScrollBars();
    void createActions();
    void createMenus();
    void createMemo();
    void createShortcuts();
    void openMenuBar();
    void orderTabsTopToBottom();
    QWidget* panel(const char* name) const;
    static QString creditsText();
    // runs a handler, showing whatever escapes it in the error box
    void run(Handler handler);

    // the view control and the frame timer
    QWidget* createView(QWidget* parent);
    void createTimer();
    void setTimerEnabled(bool enabled);
    Canvas* viewCanvas();
    void flipView();
    void holdWindow();

    // run control and the window's own events
    void FormResize();
    void startClick();
    void ujrainditClick();
    void beginRun(void (*startModel)(Flock&, const Inputs&, std::uint32_t));
    void stopClick();
    void tovabbClick();
    void spacePressed();
    void step();
    void redraw();
    // the flock in the view: the live run's, or the replay's
    Flock& shownFlock() const;

    // scroll bars
    void egyedszamChange();
    void sugarChange();
    void tavolsagChange();
    void egyensulyerossegChange();
    void XalfaChange();
    void ZbetaChange();
    void nagyitasChange();
    void xvonzokordChange();
    void yvonzokordChange();
    void zvonzokordChange();

    // menus and buttons
    void autotaszitoClick();
    void egyenitaszitoClick();
    void autovonzoClick();
    void egyenivonzoClick();
    void distanceKeepingClicked(QAction* clicked, bool automatic);
    void kozepenvonzoClick();
    void mozgovonzoClick();
    void elhelyezClick();
    void centreItemClicked(QAction* clicked);
    void Button1Click();
    void Panel15Click();
    void tkpvonzasClick();
    void ujragadozoClick();
    void ragadozotorlesClick();
    void szemuvegClick();
    void rendparameteridosorClick();
    void kepmentesClick();
    QFileDialog* pictureDialog();
    void reszecskeszinClick();
    void hatterszinClick();
    void kockaszinClick();
    void vonzoszinClick();
    void ragadozoszinClick();
    void balszemClick();
    void jobbszemClick();
    void chooseColour(Color& colour);
    void Nvjegy1Click();
    void Memo1Click();

    void showPredatorCount();

    // recording, saved states and replay (main_window_recording.cpp)
    void startRecordingClick();
    void stopRecordingClick();
    void saveStateClick();
    void loadStateClick();
    void replayClick();
    QString askFileName(const QString& title, const QString& filter, const QString& suffix, bool saving);
    void updateRecordingItems();
    void updateTitle();
    void recordFrame();
    void abandonRecording();
    void endRecording();
    void showControlsOf(const Inputs& in);
    void enableControlsOfTheModes();
    void showStatistics();
    void showCaptions();
    void showReplayFrame(const TrajectoryFrame& frame);
    void replayStep();
    void holdLiveRun();
    static void disableMenu(QMenu* menu);
    void endReplayClick();
    void leaveReplay();
    // sets the flock and the view's settings from a checkpoint's bytes
    void restoreState(const std::string& bytes, Inputs& in, long& ticks);
    // the controls as the view reads them: in replay, the centre shows where the frame has one
    Inputs viewInputs() const;

    std::unique_ptr<Flock> f_;
    View view_;
    std::unique_ptr<Host> host_;
    Color lastChosenColour_ = clBlack;
    // the statistics of the run's last ticks, for the plot
    OrderHistory history_;

    // the view and the frame timer
    TDXDraw* DX = nullptr;
    TDXTimer* Timer1 = nullptr;

    // panels and labels the handlers touch
    QFrame* Panel2 = nullptr;
    QFrame* Panel14 = nullptr;
    QTextEdit* Memo1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label22 = nullptr;
    QColorDialog* CD = nullptr;
    QFileDialog* SD = nullptr;  // made at its first use
    OrderPlot* idosorablak = nullptr;
    bool plotPlaced_ = false;
    bool framePlaced_ = false;  // the window was placed with its frame once shown  // the plot opens beside the window the first time

    // recording, saved states and replay
    long ticks_ = 0;                          // ticks since the last restart, kept in saved states
    std::unique_ptr<MovieEncoder> movie_;     // the recording under way, if any
    std::unique_ptr<files::WholeFile> movieFile_;  // where it goes, made when it starts
    QString moviePath_;
    QElapsedTimer recordingSince_;
    QTimer* recordingClock_ = nullptr;        // the caption's recording time, once a second
    std::unique_ptr<TrajectoryReader> replay_;  // the trajectory being replayed, if any
    std::unique_ptr<Flock> replayFlock_;      // its frame, drawn instead of the live flock
    long replayTick_ = 0;                     // the tick of the frame shown
    bool replayEnded_ = false;                // the last frame is shown
    bool replayCentre_ = false;               // the frame shown has an attracting centre
    // what a replay changes of the live run, put back when it ends
    struct LiveRun {
        bool timer = false;
        OrderHistory history;
        std::vector<std::pair<QWidget*, bool>> widgets;  // enabled states
        std::vector<std::pair<QAction*, bool>> actions;
    } live_;
    QString lastFolder_;                      // where the last recording, state or trajectory was

    // buttons
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* tovabb = nullptr;
    QPushButton* ujraindit = nullptr;
    QPushButton* Button1 = nullptr;

    // scroll bars
    ScrollBar* egyedszam = nullptr;
    ScrollBar* vkozos = nullptr;
    ScrollBar* parameter = nullptr;
    ScrollBar* sugar = nullptr;
    ScrollBar* egyensulyerosseg = nullptr;
    ScrollBar* tavolsag = nullptr;
    ScrollBar* tkpvonzaserosseg = nullptr;
    ScrollBar* vonzaserosseg = nullptr;
    ScrollBar* eszlelok = nullptr;
    ScrollBar* ragadozoeszleles = nullptr;
    ScrollBar* reakcioerosseg = nullptr;
    ScrollBar* Xalfa = nullptr;
    ScrollBar* Zbeta = nullptr;
    ScrollBar* nagyitas = nullptr;
    ScrollBar* xvonzokord = nullptr;
    ScrollBar* yvonzokord = nullptr;
    ScrollBar* zvonzokord = nullptr;

    // menu items; a submenu is held by its menu action
    QAction* autotaszito = nullptr;
    QAction* egyenitaszito = nullptr;
    QAction* autovonzo = nullptr;
    QAction* egyenivonzo = nullptr;
    QAction* tkpvonzas = nullptr;
    QAction* kozepenvonzo = nullptr;
    QAction* mozgovonzo = nullptr;
    QAction* elhelyez = nullptr;
    QAction* ragadozo = nullptr;
    QAction* szemuveg = nullptr;
    QAction* befoglalokocka = nullptr;
    QAction* rendparameteridosor = nullptr;
    QAction* szemuvegszinek = nullptr;
    QAction* szinek = nullptr;
    QAction* startRecording = nullptr;
    QAction* stopRecording = nullptr;
    QAction* saveState = nullptr;
    QAction* endReplay = nullptr;
};

}  // namespace nyajkor::app
