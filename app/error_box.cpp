#include "app/error_box.h"

#include <QMessageBox>

namespace nyajkor::app {

void showErrorBox(QWidget* parent, const QString& message) {
    const QString title = parent ? parent->window()->windowTitle() : QString();
    QMessageBox::critical(parent, title, message);
}

}  // namespace nyajkor::app
