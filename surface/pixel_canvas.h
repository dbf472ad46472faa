// The rasteriser behind the view: a Canvas over a 32-bit pixel buffer.
//
// The view draws thousands of tiny marks per frame, so the primitives work
// directly on memory with integer arithmetic and clip analytically: a mark or
// a line far outside the buffer costs no more than one inside it. Every rule
// below is stated per pixel, so that tests can check shapes exactly.
//
// Pixels are stored as 0xFFRRGGBB, the layout of a 32-bit RGB image in Qt
// (QImage::Format_RGB32), so that presenting is a plain copy; colours are
// converted once per primitive. pixel() answers in the canvas's own colour
// layout, 0x00BBGGRR.
//
// Shapes, in the coordinates of pixel indices:
// - FillRect(x1, y1, x2, y2) covers x1 <= x < x2, y1 <= y < y2; a box whose
//   corners are given in the wrong order is empty.
// - Ellipse(x1, y1, x2, y2): a pixel belongs to it when its centre lies inside
//   or on the ellipse inscribed in the box x1 <= x < x2, y1 <= y < y2. Its
//   outline is every such pixel with a pixel of the box's outside within
//   pen-width steps up, down, left or right; the rest is its interior, filled
//   with the brush. So the outline stays inside the box, whatever the width.
// - LineTo from (x0, y0) to (x1, y1) steps along the longer axis; at step i
//   the other coordinate is the start's plus i times the slope, rounded to
//   nearest with halves away from the start. Steps 0 .. n-1 are drawn, so the
//   end pixel is not. A pen wider than 1 stamps a width x width square,
//   centred on the pixel (the extra column and row of an even width going
//   right and down), at every step.
// - A dotted pen of width 1 alternates on and off pixels: along a line the
//   start pixel is on; on an ellipse the phase follows the axis along which
//   the outline advances there (the column in its flatter parts, the row in
//   its steeper parts), counted from the box's top-left pixel, on where odd.
//   A 3 x 3 ring thus shows its four edge midpoints. The off pixels take the
//   brush colour. Wider dotted pens draw solid: dots only read as dots one
//   pixel wide.
// - clNone, as the brush or the pen colour, paints nothing: the pixels it
//   would cover keep their colour.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/canvas.h"

namespace nyajkor {

class PixelCanvas : public Canvas {
public:
    // One pixel of the buffer, 0xFFRRGGBB.
    using Pixel = std::uint32_t;
    static constexpr Pixel kBlack = 0xFF000000u;

    // An empty canvas: 0 x 0 pixels; every primitive clips to nothing.
    PixelCanvas() = default;
    // A black canvas of the given size (negative sizes count as 0).
    PixelCanvas(int width, int height);

    // Replaces the buffer with a black one of the given size; pen, brush and
    // current position are kept. Throws std::bad_alloc when the buffer cannot
    // be allocated, leaving the canvas as it was.
    void resize(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // The colour at (x, y) as 0x00BBGGRR; throws std::out_of_range outside.
    Color pixel(int x, int y) const;
    // The rows of the buffer, top first, width() pixels each, 0xFFRRGGBB.
    const Pixel* bits() const { return pixels_.data(); }
    int bytesPerLine() const { return width_ * static_cast<int>(sizeof(Pixel)); }
    // The buffer as R, G, B, A bytes, 4 * width() * height() of them from
    // `out` on: what a browser's canvas takes.
    void copyAsRgba(std::uint8_t* out) const;

    // The current position, where the next LineTo starts.
    int penX() const { return penX_; }
    int penY() const { return penY_; }

    void FillRect(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Release() override;

    // Colour conversion between the canvas layout and the buffer layout.
    static constexpr Pixel toPixel(Color c) {
        return kBlack | (c & 0x0000FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
    }
    static constexpr Color toColor(Pixel p) {
        return (p & 0x0000FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
    }

private:
    // Paints x1 <= x < x2 of row y, already clipped, in one pixel value.
    void fillRun(int y, int x1, int x2, Pixel p);
    struct Ink;
    struct EllipseShape;

    // The pixels of an ellipse of one box size and pen, as a box-sized grid
    // of kinds. The view draws thousands of marks of a few sizes per frame,
    // so small shapes are worked out once and then only copied.
    struct ShapeMask {
        enum Kind : std::uint8_t { kOutside, kPen, kBrush };
        int w = 0, h = 0, penWidth = 0;
        bool dotted = false;
        std::vector<Kind> kinds;  // row by row
    };
    static constexpr int kLargestMaskedSide = 16;
    const ShapeMask& shapeMask(const EllipseShape& e, const Ink& ink);
    void drawMask(const ShapeMask& mask, std::int64_t left, std::int64_t top, const Ink& ink);
    void drawRows(const EllipseShape& e, const Ink& ink);

    // Paints box columns k1 <= k < k2 of box row j of an ellipse: its
    // interior in the brush, or its outline in the pen.
    void interiorRun(const EllipseShape& e, std::int64_t j, std::int64_t k1, std::int64_t k2,
                     const Ink& ink);
    void outlineRun(const EllipseShape& e, std::int64_t j, std::int64_t k1, std::int64_t k2,
                    const Ink& ink);
    // Paints the pen's square of the given width around (x, y), clipped.
    void stamp(std::int64_t x, std::int64_t y, std::int64_t width, Pixel p);
    void drawLine(int x0, int y0, int x1, int y1);

    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> pixels_;
    int penX_ = 0;
    int penY_ = 0;
    // Recently used shapes, replaced in turn.
    std::array<ShapeMask, 8> masks_;
    std::size_t nextMask_ = 0;
};

}  // namespace nyajkor
