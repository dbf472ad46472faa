// The window's side of the view control DX and the frame timer Timer1.

#include "app/error_box.h"
#include "app/main_window.h"
#include "surface/dx_draw.h"
#include "surface/dx_timer.h"

namespace nyajkor::app {

namespace {
constexpr int kFrameInterval = 40;  // ms: at most 25 ticks a second
}

QWidget* TForm1::createView(QWidget* parent) {
    DX = new TDXDraw(parent);
    DX->setObjectName(QStringLiteral("DX"));
    // a failure to set the surface up is shown; the view then stays empty
    connect(DX, &TDXDraw::failed, this, [this](const QString& message) { showErrorBox(this, message); });
    return DX;
}

void TForm1::createTimer() {
    Timer1 = new TDXTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setEnabled(false);
    Timer1->setInterval(kFrameInterval);
    Timer1->setActiveOnly(true);
    Timer1->OnTimer = [this](TDXTimer&, int /*LagCount: each tick is one step*/) { timer(); };
    connect(Timer1, &TDXTimer::failed, this, [this](const QString& message) { showErrorBox(this, message); });
}

void TForm1::setTimerEnabled(bool enabled) { Timer1->setEnabled(enabled); }

Canvas* TForm1::viewCanvas() { return DX->Initialized() ? &DX->Surface.Canvas : nullptr; }

void TForm1::flipView() { DX->Flip(); }

}  // namespace nyajkor::app
