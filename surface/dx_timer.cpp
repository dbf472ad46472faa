#include "surface/dx_timer.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <utility>

namespace nyajkor {

namespace {

// Without a GUI application there is nothing to be inactive.
bool applicationIsActive() {
    return qGuiApp == nullptr || QGuiApplication::applicationState() == Qt::ApplicationActive;
}

}  // namespace

std::uint32_t steadyMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

TDXTimer::TDXTimer(QObject* parent, Clock clock)
    : QObject(parent), core_(std::move(clock), applicationIsActive()) {
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    connect(&wakeUp_, &QTimer::timeout, this, &TDXTimer::poll);
    if (qGuiApp != nullptr)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &TDXTimer::applicationStateChanged);
    schedule();
}

void TDXTimer::setEnabled(bool enabled) {
    core_.setEnabled(enabled);
    schedule();
}

void TDXTimer::setInterval(int interval) {
    core_.setInterval(interval);
    schedule();
}

void TDXTimer::setActiveOnly(bool activeOnly) {
    core_.setActiveOnly(activeOnly);
    schedule();
}

void TDXTimer::applicationStateChanged(Qt::ApplicationState state) {
    core_.setApplicationActive(state == Qt::ApplicationActive);
    schedule();
}

void TDXTimer::poll() {
    if (const auto lagCount = core_.poll()) fire(*lagCount);
    schedule();
}

void TDXTimer::fire(int lagCount) {
    if (!OnTimer) return;
    inHandler_ = true;
    try {
        OnTimer(*this, lagCount);
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
    } catch (...) {
        emit failed(QStringLiteral("Unknown exception in the frame timer's handler"));
    }
    inHandler_ = false;
}

void TDXTimer::schedule() {
    if (inHandler_ || !core_.polling()) {
        wakeUp_.stop();
        return;
    }
    wakeUp_.start(static_cast<int>(std::min<std::uint32_t>(core_.msUntilDue(), INT_MAX)));
}

}  // namespace nyajkor
