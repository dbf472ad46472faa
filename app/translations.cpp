#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace nyajkor::app {

QTranslator* installHungarianTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    // qtbase holds the texts of every dialog and button the window uses
    if (!translator->load(QStringLiteral("qtbase_hu"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    application.installTranslator(translator);
    return translator;
}

}  // namespace nyajkor::app
