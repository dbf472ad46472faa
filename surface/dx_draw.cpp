#include "surface/dx_draw.h"

#include <QPainter>
#include <QtDebug>

#include <algorithm>
#include <new>

#include "surface/canvas_image.h"

namespace nyajkor {

namespace {

// The back surface's size for a control size: at least one pixel each way.
QSize surfaceSizeFor(QSize controlSize) {
    return {std::max(controlSize.width(), 1), std::max(controlSize.height(), 1)};
}

QSize sizeOf(const PixelCanvas& canvas) {
    return {canvas.width(), canvas.height()};
}

}  // namespace

TDXDraw::TDXDraw(QWidget* parent) : QWidget(parent) {
    // the paint event covers every pixel itself
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TDXDraw::Flip() {
    if (!initialized_) return;
    repaint();
}

void TDXDraw::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (initializationAttempted_) return;
    initializationAttempted_ = true;
    try {
        initialize();
    } catch (const EDXDrawError& error) {
        fail(error);
    }
}

void TDXDraw::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!initialized_ || surfaceSizeFor(size()) == sizeOf(Surface.Canvas)) return;
    try {
        makeBackSurface();
    } catch (const EDXDrawError& error) {
        fail(error);
    }
}

void TDXDraw::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const PixelCanvas& canvas = Surface.Canvas;
    const QPoint origin(centerOffset(width(), canvas.width()), centerOffset(height(), canvas.height()));
    if (!initialized_ || !QRect(origin, sizeOf(canvas)).contains(rect()))
        painter.fillRect(rect(), palette().window());
    if (!initialized_) return;
    painter.drawImage(origin, imageOf(canvas));
}

void TDXDraw::initialize() {
    makeBackSurface();
    initialized_ = true;
    update();
}

void TDXDraw::finalize() {
    initialized_ = false;
    Surface.Canvas.resize(0, 0);
    update();
}

void TDXDraw::makeBackSurface() {
    const QSize size = surfaceSizeFor(this->size());
    try {
        Surface.Canvas.resize(size.width(), size.height());
    } catch (const std::bad_alloc&) {
        throw EDXDrawError("Surface cannot be made");
    } catch (const std::length_error&) {
        throw EDXDrawError("Surface cannot be made");
    }
}

void TDXDraw::fail(const EDXDrawError& error) {
    finalize();
    qWarning("TDXDraw: %s", error.what());
    emit failed(QString::fromUtf8(error.what()));
}

}  // namespace nyajkor
