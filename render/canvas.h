// The canvas the view draws through.
//
// It carries the drawing state and primitives the view relies on, with the
// semantics of the toolkit canvas it stands in for: a pen (colour, style,
// width) and a brush (colour) that persist across passes, half-open
// rectangles, ellipses inscribed in a half-open box, lines whose end pixel is
// not drawn. This header is only the interface, free of Qt: the rasteriser
// over a 32-bit back buffer (surface/pixel_canvas.h) implements it, and
// tests may record calls.
//
// Colours are 0x00BBGGRR (red in the low byte); clNone as the brush colour
// paints nothing.
#pragma once

#include "render/colour.h"

namespace nyajkor {

enum class PenStyle { psSolid, psDot };

class Canvas {
public:
    struct PenState {
        Color color = clBlack;
        PenStyle style = PenStyle::psSolid;
        int width = 1;
    };
    struct BrushState {
        Color color = clWhite;
    };

    virtual ~Canvas() = default;

    // Pen and brush: read by every primitive at the moment it draws.
    PenState Pen;
    BrushState Brush;

    // Fills x1 <= x < x2, y1 <= y < y2 with the brush colour.
    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
    // The ellipse inscribed in x1 <= x < x2, y1 <= y < y2: outlined with the
    // pen, filled with the brush; the gaps of a dotted outline take the brush.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // Moves the current position.
    virtual void MoveTo(int x, int y) = 0;
    // A line from the current position to (x, y) in the pen, without its end
    // pixel; the current position moves to (x, y).
    virtual void LineTo(int x, int y) = 0;
    // Ends a drawing pass: the current position is (0, 0) again. Pen and
    // brush keep their settings.
    virtual void Release() = 0;
};

}  // namespace nyajkor
