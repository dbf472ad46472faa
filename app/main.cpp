// nyajkor3d: the simulator's window.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    nyajkor::app::TForm1 Form1;
    Form1.show();
    return application.exec();
}
