// Qt's own texts in Hungarian.
//
// The window speaks Hungarian, and so must the standard dialogs and buttons
// that Qt draws for it (the colour dialog, the file dialog, message boxes):
// Qt's Hungarian translations are loaded at start-up whatever the system's
// language, so no English word appears next to the window's own texts.
#pragma once

class QCoreApplication;
class QTranslator;

namespace nyajkor::app {

// Installs Qt's Hungarian translations into `application`. Returns the
// translator (owned by the application), or nullptr where the translation
// files are not installed; Qt's texts then stay English.
QTranslator* installHungarianTranslations(QCoreApplication& application);

}  // namespace nyajkor::app
