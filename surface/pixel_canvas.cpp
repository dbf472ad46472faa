#include "surface/pixel_canvas.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace nyajkor {

namespace {

using Int = std::int64_t;
using U64 = std::uint64_t;
// Exact products of two 64-bit quantities: the ellipse and line formulas
// multiply squares of box sizes, which may each be close to 2^64.
using Wide = __int128;
using UWide = unsigned __int128;

// Smallest integer >= a / d, for d > 0.
Wide ceilDiv(Wide a, Wide d) {
    return a >= 0 ? (a + d - 1) / d : a / d;
}

Int magnitude(Int v) {
    return v < 0 ? -v : v;
}

// A line named by its axes: a is the longer one (x on ties), b the other;
// from (a0, b0) the line takes n steps along a and nb along b, in the
// directions sa and sb. Step i lies at a0 + sa i along a and b0 + sb m(i)
// along b, where m(i) = floor((2 i nb + n) / (2 n)) rounds i nb / n, halves up.
struct LineAxes {
    bool xMajor;
    Int a0, b0;
    Int n, nb;
    Int sa, sb;
};

LineAxes axesOf(int x0, int y0, int x1, int y1) {
    const Int dx = Int{x1} - x0, dy = Int{y1} - y0;
    const bool xMajor = magnitude(dx) >= magnitude(dy);
    const Int da = xMajor ? dx : dy, db = xMajor ? dy : dx;
    return {xMajor,
            xMajor ? x0 : y0,
            xMajor ? y0 : x0,
            magnitude(da),
            magnitude(db),
            da < 0 ? -1 : 1,
            db < 0 ? -1 : 1};
}

struct StepRange {
    Int first, last;
};

// The steps 0..n-1 of the line whose pen square, reaching `before` pixels
// back and `after` pixels forward from its pixel, touches a canvas of sizeA
// by sizeB pixels along a and b; empty when none does. Worked out from the
// step formula rather than by walking, so a line far off the canvas costs
// nothing.
std::optional<StepRange> visibleSteps(const LineAxes& l, Int before, Int after, Int sizeA, Int sizeB) {
    // pixel positions whose stamp reaches the canvas
    const Int loA = -before, hiA = sizeA - 1 + after;
    const Int loB = -before, hiB = sizeB - 1 + after;

    Wide iFirst = 0, iLast = l.n - 1;
    if (l.sa > 0) {
        iFirst = std::max<Wide>(iFirst, loA - l.a0);
        iLast = std::min<Wide>(iLast, hiA - l.a0);
    } else {
        iFirst = std::max<Wide>(iFirst, l.a0 - hiA);
        iLast = std::min<Wide>(iLast, l.a0 - loA);
    }
    const Wide mLo = std::max<Wide>(0, l.sb > 0 ? loB - l.b0 : l.b0 - hiB);
    const Wide mHi = l.sb > 0 ? hiB - l.b0 : l.b0 - loB;
    if (mLo > mHi) return std::nullopt;
    if (l.nb == 0) {
        if (mLo > 0) return std::nullopt;
    } else {
        // m(i) >= mLo  <=>  i >= (2 n mLo - n) / (2 nb);  m(i) <= mHi  <=>  2 i nb < 2 n mHi + n
        iFirst = std::max<Wide>(iFirst, ceilDiv(2 * Wide{l.n} * mLo - l.n, 2 * Wide{l.nb}));
        iLast = std::min<Wide>(iLast, ceilDiv(2 * Wide{l.n} * mHi + l.n, 2 * Wide{l.nb}) - 1);
    }
    if (iFirst > iLast) return std::nullopt;
    // within 0..n-1 now, so they fit
    return StepRange{static_cast<Int>(iFirst), static_cast<Int>(iLast)};
}

}  // namespace

// The pen and brush as one primitive uses them: converted once, with the
// decision whether each paints at all.
struct PixelCanvas::Ink {
    Pixel pen = 0;
    Pixel brush = 0;
    bool paintsPen = false;
    bool paintsBrush = false;
    Int width = 1;
    bool dotted = false;

    Ink(const PenState& p, const BrushState& b)
        : pen(toPixel(p.color)),
          brush(toPixel(b.color)),
          paintsPen(p.color != clNone),
          paintsBrush(b.color != clNone),
          width(std::max(p.width, 1)),
          dotted(p.style == PenStyle::psDot && width == 1) {}
};

// The ellipse inscribed in a box, in box coordinates: column k and row j of
// the box are pixel (left + k, top + j). Offsets from the centre are doubled,
// so that they stay integers: pixel column k lies u = 2k + 1 - w half-pixels
// from the centre, and belongs to the ellipse in row j (v = 2j + 1 - h) when
//     u^2 h^2 + v^2 w^2 <= w^2 h^2.
struct PixelCanvas::EllipseShape {
    Int left, top, w, h;

    // The first column of row j that belongs to the ellipse; the row is
    // symmetric, so it spans inset .. w - 1 - inset. A row outside the box or
    // without pixels answers w, an inset that leaves nothing.
    Int inset(Int j) const {
        if (j < 0 || j >= h) return w;
        const U64 v = static_cast<U64>(magnitude(2 * j + 1 - h));
        const U64 hh = static_cast<U64>(h) * static_cast<U64>(h);
        const UWide limit = static_cast<UWide>(hh - v * v) * (static_cast<U64>(w) * static_cast<U64>(w));
        auto fits = [&](Int k) {
            const U64 u = static_cast<U64>(w - 1 - 2 * k);
            return static_cast<UWide>(u * u) * hh <= limit;
        };
        // the column nearest the centre decides whether the row has pixels
        const Int innermost = (w - 1) / 2;
        if (!fits(innermost)) return w;
        // estimate from the real half-width, then settle exactly: |u| <= w sqrt(h^2 - v^2) / h
        const double halfWidth = static_cast<double>(w) * std::sqrt(static_cast<double>(hh - v * v)) /
                                 static_cast<double>(h);
        Int k = static_cast<Int>(std::ceil((static_cast<double>(w - 1) - halfWidth) / 2));
        k = std::clamp<Int>(k, 0, innermost);
        while (k > 0 && fits(k - 1)) --k;
        while (!fits(k)) ++k;
        return k;
    }

    // Whether a dotted outline is on at column k, row j: the phase follows
    // the column where the outline runs flatter than 45 degrees (where the
    // gradient of the equation is steeper, v / h^2 >= u / w^2), else the row.
    bool dotOn(Int k, Int j) const {
        const UWide u = static_cast<U64>(magnitude(2 * k + 1 - w));
        const UWide v = static_cast<U64>(magnitude(2 * j + 1 - h));
        const bool flat =
            v * static_cast<U64>(w) * static_cast<U64>(w) >= u * static_cast<U64>(h) * static_cast<U64>(h);
        return ((flat ? k : j) & 1) != 0;
    }

    // Visits rows first..last as runs of columns k1 <= k < k2, each either
    // outline or interior: visit(j, k1, k2, outline).
    template <class Visit>
    void forEachRun(Int first, Int last, Int penWidth, Visit visit) const {
        for (Int j = first; j <= last; ++j) {
            const Int in = inset(j);
            if (in >= w) continue;
            // the interior: pen-width pixels in from the row's ends and from
            // the rows pen-width above and below (rows widen towards the
            // middle, so those two rows bound every row in between)
            const Int inner = std::max({in + penWidth, inset(j - penWidth), inset(j + penWidth)});
            if (inner <= w - 1 - inner) {
                visit(j, in, inner, true);
                visit(j, inner, w - inner, false);
                visit(j, w - inner, w - in, true);
            } else {
                visit(j, in, w - in, true);
            }
        }
    }
};

PixelCanvas::PixelCanvas(int width, int height) {
    resize(width, height);
}

void PixelCanvas::copyAsRgba(std::uint8_t* out) const {
    for (const Pixel p : pixels_) {
        *out++ = static_cast<std::uint8_t>(p >> 16);
        *out++ = static_cast<std::uint8_t>(p >> 8);
        *out++ = static_cast<std::uint8_t>(p);
        *out++ = static_cast<std::uint8_t>(p >> 24);
    }
}

void PixelCanvas::resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    // allocate first, so that a failure leaves the old buffer in place
    std::vector<Pixel> fresh(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kBlack);
    pixels_.swap(fresh);
    width_ = width;
    height_ = height;
}

Color PixelCanvas::pixel(int x, int y) const {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) throw std::out_of_range("pixel outside the canvas");
    return toColor(pixels_[static_cast<std::size_t>(y) * width_ + x]);
}

void PixelCanvas::fillRun(int y, int x1, int x2, Pixel p) {
    Pixel* row = pixels_.data() + static_cast<std::size_t>(y) * width_;
    std::fill(row + x1, row + x2, p);
}

void PixelCanvas::FillRect(int x1, int y1, int x2, int y2) {
    if (Brush.color == clNone) return;
    const Pixel p = toPixel(Brush.color);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, width_);
    y2 = std::min(y2, height_);
    if (x1 >= x2) return;
    for (int y = y1; y < y2; ++y) fillRun(y, x1, x2, p);
}

void PixelCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const EllipseShape e{x1, y1, Int{x2} - x1, Int{y2} - y1};
    const Ink ink(Pen, Brush);
    if (e.w <= 0 || e.h <= 0 || !(ink.paintsPen || ink.paintsBrush)) return;
    if (e.w <= kLargestMaskedSide && e.h <= kLargestMaskedSide)
        drawMask(shapeMask(e, ink), e.left, e.top, ink);
    else
        drawRows(e, ink);
}

const PixelCanvas::ShapeMask& PixelCanvas::shapeMask(const EllipseShape& e, const Ink& ink) {
    for (const ShapeMask& m : masks_)
        if (m.w == e.w && m.h == e.h && m.penWidth == ink.width && m.dotted == ink.dotted) return m;

    ShapeMask& m = masks_[nextMask_];
    nextMask_ = (nextMask_ + 1) % masks_.size();
    m.w = static_cast<int>(e.w);
    m.h = static_cast<int>(e.h);
    m.penWidth = static_cast<int>(ink.width);
    m.dotted = ink.dotted;
    m.kinds.assign(static_cast<std::size_t>(m.w * m.h), ShapeMask::kOutside);
    e.forEachRun(0, e.h - 1, ink.width, [&](Int j, Int k1, Int k2, bool outline) {
        for (Int k = k1; k < k2; ++k) {
            const bool pen = outline && !(ink.dotted && !e.dotOn(k, j));
            m.kinds[static_cast<std::size_t>(j * e.w + k)] = pen ? ShapeMask::kPen : ShapeMask::kBrush;
        }
    });
    return m;
}

void PixelCanvas::drawMask(const ShapeMask& mask, Int left, Int top, const Ink& ink) {
    const std::array<Pixel, 3> colour{0, ink.pen, ink.brush};
    const std::array<bool, 3> paints{false, ink.paintsPen, ink.paintsBrush};
    const Int kFirst = std::max<Int>(0, -left), kEnd = std::min<Int>(mask.w, width_ - left);
    const Int jFirst = std::max<Int>(0, -top), jEnd = std::min<Int>(mask.h, height_ - top);
    for (Int j = jFirst; j < jEnd; ++j) {
        Pixel* row = pixels_.data() + static_cast<std::size_t>(top + j) * width_;
        const ShapeMask::Kind* kinds = mask.kinds.data() + j * mask.w;
        for (Int k = kFirst; k < kEnd; ++k)
            if (paints[kinds[k]]) row[left + k] = colour[kinds[k]];
    }
}

void PixelCanvas::drawRows(const EllipseShape& e, const Ink& ink) {
    // only the rows of the box that lie on the canvas
    const Int firstRow = std::max<Int>(0, -e.top);
    const Int lastRow = std::min<Int>(e.h, height_ - e.top) - 1;
    e.forEachRun(firstRow, lastRow, ink.width, [&](Int j, Int k1, Int k2, bool outline) {
        if (outline)
            outlineRun(e, j, k1, k2, ink);
        else
            interiorRun(e, j, k1, k2, ink);
    });
}

void PixelCanvas::interiorRun(const EllipseShape& e, Int j, Int k1, Int k2, const Ink& ink) {
    if (!ink.paintsBrush) return;
    const Int x1 = std::max<Int>(e.left + k1, 0);
    const Int x2 = std::min<Int>(e.left + k2, width_);
    if (x1 < x2) fillRun(static_cast<int>(e.top + j), static_cast<int>(x1), static_cast<int>(x2), ink.brush);
}

void PixelCanvas::outlineRun(const EllipseShape& e, Int j, Int k1, Int k2, const Ink& ink) {
    const Int x1 = std::max<Int>(e.left + k1, 0);
    const Int x2 = std::min<Int>(e.left + k2, width_);
    if (x1 >= x2) return;
    const int y = static_cast<int>(e.top + j);
    if (!ink.dotted) {
        if (ink.paintsPen) fillRun(y, static_cast<int>(x1), static_cast<int>(x2), ink.pen);
        return;
    }
    Pixel* row = pixels_.data() + static_cast<std::size_t>(y) * width_;
    for (Int x = x1; x < x2; ++x) {
        const bool on = e.dotOn(x - e.left, j);
        if (on ? ink.paintsPen : ink.paintsBrush) row[x] = on ? ink.pen : ink.brush;
    }
}

void PixelCanvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void PixelCanvas::LineTo(int x, int y) {
    drawLine(penX_, penY_, x, y);
    MoveTo(x, y);
}

void PixelCanvas::Release() {
    MoveTo(0, 0);
}

void PixelCanvas::stamp(Int x, Int y, Int width, Pixel p) {
    const Int x1 = std::max<Int>(x - (width - 1) / 2, 0);
    const Int x2 = std::min<Int>(x + width / 2 + 1, width_);
    const Int y1 = std::max<Int>(y - (width - 1) / 2, 0);
    const Int y2 = std::min<Int>(y + width / 2 + 1, height_);
    if (x1 >= x2) return;
    for (Int row = y1; row < y2; ++row) fillRun(static_cast<int>(row), static_cast<int>(x1), static_cast<int>(x2), p);
}

void PixelCanvas::drawLine(int x0, int y0, int x1, int y1) {
    const Ink ink(Pen, Brush);
    if (!(ink.paintsPen || (ink.dotted && ink.paintsBrush))) return;
    const LineAxes l = axesOf(x0, y0, x1, y1);
    if (l.n == 0) return;
    const Int sizeA = l.xMajor ? width_ : height_, sizeB = l.xMajor ? height_ : width_;
    const auto steps = visibleSteps(l, ink.width / 2, (ink.width - 1) / 2, sizeA, sizeB);
    if (!steps) return;

    // walk the visible steps, carrying m(i) and the remainder of its division
    const Wide start = 2 * Wide{steps->first} * l.nb + l.n;
    Int m = static_cast<Int>(start / (2 * Wide{l.n}));
    Int remainder = static_cast<Int>(start % (2 * Wide{l.n}));
    for (Int i = steps->first; i <= steps->last; ++i) {
        const Int a = l.a0 + l.sa * i, b = l.b0 + l.sb * m;
        const Int x = l.xMajor ? a : b, y = l.xMajor ? b : a;
        const bool on = !ink.dotted || i % 2 == 0;
        if (on ? ink.paintsPen : ink.paintsBrush) {
            const Pixel p = on ? ink.pen : ink.brush;
            if (ink.width == 1)
                pixels_[static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)] = p;
            else
                stamp(x, y, ink.width, p);
        }
        remainder += 2 * l.nb;
        if (remainder >= 2 * l.n) {
            remainder -= 2 * l.n;
            ++m;
        }
    }
}

}  // namespace nyajkor
