// The frame timer that paces the simulation, driven by Qt's event loop.
//
// FrameTimerCore decides when a tick is due; this class only wakes the event
// loop at that moment with a single-shot precise QTimer and calls OnTimer.
// Nothing spins: between ticks the loop sleeps. The wake-up is re-armed only
// after the handler has returned, so a tick never overlaps a handler, also
// when the handler runs a nested event loop (a dialog). The application's
// activation, as Qt reports it, suspends and resumes the ticks (ActiveOnly).
//
// Exceptions must not cross Qt's event loop: one that escapes OnTimer is
// reported through the failed() signal, and the timer keeps ticking.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

#include "surface/frame_timer_core.h"

namespace nyajkor {

// The steady clock in milliseconds, modulo 2^32.
std::uint32_t steadyMilliseconds();

class TDXTimer : public QObject {
    Q_OBJECT

public:
    using Clock = FrameTimerCore::Clock;
    using TimerEvent = std::function<void(TDXTimer& Sender, int LagCount)>;

    // A new timer is enabled, with ActiveOnly and an Interval of 1000 ms.
    explicit TDXTimer(QObject* parent = nullptr, Clock clock = steadyMilliseconds);

    bool Enabled() const { return core_.Enabled(); }
    void setEnabled(bool enabled);
    int Interval() const { return core_.Interval(); }
    void setInterval(int interval);
    bool ActiveOnly() const { return core_.ActiveOnly(); }
    void setActiveOnly(bool activeOnly);

    // Fired at every tick with the number of whole intervals since the
    // previous one (at least 1).
    TimerEvent OnTimer;

public slots:
    // Connected to the application's state at construction.
    void applicationStateChanged(Qt::ApplicationState state);

signals:
    // An exception escaped OnTimer; its message.
    void failed(const QString& message);

private:
    void poll();
    void fire(int lagCount);
    // Arms the wake-up for the next due tick, or disarms it while no ticks
    // may come or a handler is running.
    void schedule();

    FrameTimerCore core_;
    QTimer wakeUp_;
    bool inHandler_ = false;
};

}  // namespace nyajkor
