// What the window's tests share: its controls found by their object names,
// and the run buttons' states as one line.
#pragma once

#include <QObject>
#include <QPushButton>
#include <QString>
#include <QtGlobal>

#include "surface/dx_timer.h"

namespace nyajkor::app::test {

// The window's control of that object name; a test without it cannot go on.
template <class T>
T* control(QObject* form, const char* name) {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control named %s", name);
    return found;
}

// A caption as it reads, without the marker of its keyboard letter.
inline QString visibleCaption(QString caption) { return caption.remove(QLatin1Char('&')); }

inline bool timerRunning(QObject* form) { return control<TDXTimer>(form, "Timer1")->Enabled(); }

// The run buttons' enabled states and the timer, as one line.
inline QString runState(QObject* form) {
    auto on = [](bool b) { return b ? QStringLiteral("on") : QStringLiteral("off"); };
    auto button = [form](const char* name) { return control<QPushButton>(form, name)->isEnabled(); };
    return QStringLiteral("timer %1, start %2, stop %3, tovabb %4, ujraindit %5")
        .arg(on(timerRunning(form)), on(button("start")), on(button("stop")), on(button("tovabb")),
             on(button("ujraindit")));
}

}  // namespace nyajkor::app::test
