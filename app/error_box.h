// Errors that escape a control handler or a tick.
//
// The program itself reports nothing, but the view's back end and the
// runtime may throw (a surface that cannot be made, memory running out).
// Such an error must not end the program: it is shown in a standard error
// box over the window, and the event loop goes on. Qt does not do this by
// itself, and exceptions must not unwind through Qt's own frames, so every
// handler and every tick runs inside reportingErrors().
#pragma once

#include <QWidget>
#include <exception>
#include <utility>

namespace nyajkor::app {

// Shows the message in a modal critical-error box over `parent`.
void showErrorBox(QWidget* parent, const QString& message);

// Runs `work`; an exception that escapes it is shown in the error box.
template <class Work>
void reportingErrors(QWidget* parent, Work&& work) {
    try {
        std::forward<Work>(work)();
    } catch (const std::exception& e) {
        showErrorBox(parent, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showErrorBox(parent, QStringLiteral("Ismeretlen hiba"));
    }
}

}  // namespace nyajkor::app
