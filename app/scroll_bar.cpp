#include "app/scroll_bar.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>
#include <algorithm>

namespace nyajkor::app {

namespace {

// With no page the thumb takes the style's smallest length; making that the
// bar's thickness gives the small square thumb of a page-less bar.
class SquareThumbStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_ScrollBarSliderMin && option)
            return std::min(option->rect.width(), option->rect.height());
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle* squareThumbStyle() {
    // one for the program's life, made after the application's own style
    static SquareThumbStyle* style = [] {
        auto* s = new SquareThumbStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

}  // namespace

ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    setStyle(squareThumbStyle());
    setPageStep(0);
    // Right, Up and Page Up raise the value (Qt's scroll bars invert them)
    setInvertedControls(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &ScrollBar::takeLargeChange);
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

// A page action has just moved the thumb by the (zero) page step; it moves
// by the large change instead, before the value takes the new position.
void ScrollBar::takeLargeChange(int action) {
    if (action == SliderPageStepAdd) setSliderPosition(value() + largeChange_);
    if (action == SliderPageStepSub) setSliderPosition(value() - largeChange_);
}

// The style's thumb is pale against its track at this size: it gets a dark
// outline, and a focused bar a highlight around it.
void ScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect thumb = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawRect(thumb.adjusted(0, 0, -1, -1));
    if (!hasFocus()) return;
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// A bar moved by the keys (it has the focus) shows its hint at once, just
// under it, so the value can be read as it changes.
void ScrollBar::showPositionAsHint() {
    setToolTip(QString::number(value()));
    if (hasFocus() && isVisible()) QToolTip::showText(mapToGlobal(QPoint(0, height())), toolTip(), this);
}

}  // namespace nyajkor::app
