// The reason a system call failed, in the window's language.
//
// The messages of the window are Hungarian, but the C library names its
// errors in the locale's language, which on most systems is English. The
// errors a user meets when saving or loading a file have their Hungarian
// text here; any other keeps the system's own.
#pragma once

#include <QString>

namespace nyajkor::app {

QString systemReason(int error);

}  // namespace nyajkor::app
