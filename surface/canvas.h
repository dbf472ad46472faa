// The canvas: a small rasteriser over a 32-bit back buffer.
//
// It offers the drawing state and primitives the view relies on, with the
// semantics of the toolkit canvas it stands in for: a pen (colour, style,
// width) and a brush (colour) that persist across passes, half-open
// rectangles, ellipses inscribed in a half-open box, lines whose end pixel is
// not drawn. Everything is clipped to the buffer. No Qt inside: the view
// draws through it without a window, and tests check it pixel by pixel.
//
// Colours are 0x00BBGGRR (red in the low byte); clNone as the brush colour
// paints nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "model/flock.h"  // Color and the named colours

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

    // A black buffer of width x height pixels (each at least 1).
    Canvas(int width, int height);

    int width() const;
    int height() const;

    PenState Pen;
    BrushState Brush;

    // Fills x1 <= x < x2, y1 <= y < y2 with the brush colour.
    void FillRect(int x1, int y1, int x2, int y2);
    // The ellipse inscribed in x1 <= x < x2, y1 <= y < y2: outlined with the
    // pen, filled with the brush; the gaps of a dotted outline take the brush.
    void Ellipse(int x1, int y1, int x2, int y2);
    // Moves the current position.
    void MoveTo(int x, int y);
    // A line from the current position to (x, y) in the pen, without its end
    // pixel; the current position moves to (x, y).
    void LineTo(int x, int y);
    // Ends a drawing pass: the current position is (0, 0) again. Pen and
    // brush keep their settings.
    void Release();

    // The colour of one pixel, 0x00BBGGRR.
    Color pixel(int x, int y) const;
};

}  // namespace nyajkor
