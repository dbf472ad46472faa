// nyajkor3d: the simulator's window.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/translations.h"

int main(int argc, char** argv) {
    // --version answers without opening a window (or needing a display).
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("nyajkor3d " NYAJKOR_VERSION);
            return 0;
        }
    QApplication application(argc, argv);
    nyajkor::app::installHungarianTranslations(application);
    nyajkor::app::TForm1 Form1;
    Form1.show();
    return application.exec();
}
