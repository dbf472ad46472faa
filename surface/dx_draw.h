// The view control DX: a widget that owns a back surface of its own size,
// lets the view draw into it through Surface.Canvas and shows it on Flip.
//
// The back surface is our PixelCanvas, held in the 32-bit layout that Qt
// paints fastest, so presenting is one QPainter::drawImage from the canvas's
// own memory, without a copy. Qt allows drawing on a widget only inside its
// paint event, so Flip repaints at once and the paint event shows the back
// surface as it is; a repaint the window system asks for therefore shows the
// last frame again, or black after a size change.
//
// Life cycle: the control initialises when it is first shown (the back
// surface is made, black, at the control's size, at least 1 x 1) and is
// re-created, black again, only when the size really changes; the canvas
// object stays the same throughout, so its pen and brush persist. Before
// initialisation, and after a failure, the surface has no pixels: Flip does
// nothing and drawing requests are skipped. Presents do not wait for the
// vertical blank: Qt offers no cheap and reliable wait for widgets.
//
// Failures are reported as EDXDrawError; those that arise inside Qt's event
// handling are caught there (exceptions must not cross the event loop), the
// control is finalised and the message goes out through failed().
#pragma once

#include <QString>
#include <QWidget>

#include <stdexcept>

#include "surface/pixel_canvas.h"

class QPaintEvent;
class QResizeEvent;
class QShowEvent;

namespace nyajkor {

class EDXDrawError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a surface lies in a control of another size, along one axis: centred,
// with the half difference truncated toward zero (a 0-wide control and a
// 1-wide surface give 0).
constexpr int centerOffset(int controlSize, int surfaceSize) {
    return (controlSize - surfaceSize) / 2;
}

class TDXDraw : public QWidget {
    Q_OBJECT

public:
    // The back surface and its canvas.
    struct BackSurface {
        PixelCanvas Canvas;
    };

    explicit TDXDraw(QWidget* parent = nullptr);

    BackSurface Surface;

    bool Initialized() const { return initialized_; }

    // Presents the whole back surface, centred where the sizes differ. Does
    // nothing before initialisation.
    void Flip();

signals:
    // Initialisation or a size change failed; the message.
    void failed(const QString& message);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void initialize();
    void finalize();
    // (Re)makes the back surface at the control's size, at least 1 x 1, black.
    void makeBackSurface();
    void fail(const EDXDrawError& error);

    bool initialized_ = false;
    // Initialisation is tried once in the control's life.
    bool initializationAttempted_ = false;
};

}  // namespace nyajkor
