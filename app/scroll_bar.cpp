#include "app/scroll_bar.h"

#include <algorithm>

namespace nyajkor::app {

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    connect(this, &QScrollBar::valueChanged, this, [this] {
        showPositionAsHint();
        emit changed();
    });
}

void ScrollBar::setPosition(int position) {
    position = std::clamp(position, minimum(), maximum());
    if (position == value()) return;
    setEnabled(true);
    setValue(position);
}

void ScrollBar::showPositionAsHint() { setToolTip(QString::number(value())); }

}  // namespace nyajkor::app
