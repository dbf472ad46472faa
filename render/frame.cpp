#include "render/frame.h"

#include "render/cube.h"
#include "render/depth_order.h"

namespace nyajkor {

namespace {

// A mark's ellipse box around its object's pixel (sx, sy), half-open:
// (sx + x1, sy + y1) to (sx + x2, sy + y2).
struct Mark {
    int x1, y1, x2, y2;
};

constexpr Mark kIndividualMark = {-2, -1, 1, 2};    // both views, both eyes
constexpr Mark kCentreMark = {-4, -4, 4, 4};        // normal view; anaglyph right eye
constexpr Mark kCentreMarkLeftEye = {-5, -5, 5, 5};
constexpr Mark kPredatorMark = {-2, -2, 3, 3};      // normal view
constexpr Mark kPredatorMarkAnaglyph = {-3, -3, 3, 3};

void setStyle(Canvas& c, PenStyle style, Color pen, Color brush) {
    c.Pen.style = style;
    c.Pen.color = pen;
    c.Brush.color = brush;
}

// Places the rotated point and draws the mark around it; nothing for a
// point that has no place on the screen.
void drawMark(Canvas& c, View& v, double rx, double ry, double rz, Mark m) {
    if (const auto p = place(v, rx, ry, rz)) {
        c.Ellipse(p->x + m.x1, p->y + m.y1, p->x + m.x2, p->y + m.y2);
    }
}

void drawIndividual(Canvas& c, View& v, int i) {
    drawMark(c, v, v.px[i], v.py[i], v.pz[i], kIndividualMark);
}

void drawCentre(Canvas& c, View& v, Mark m) {
    drawMark(c, v, v.pvonzox, v.pvonzoy, v.pvonzoz, m);
}

void drawPredator(Canvas& c, View& v, int j, Mark m) {
    drawMark(c, v, v.pragx[j], v.pragy[j], v.pragz[j], m);
}

void individualStyle(Canvas& c, const View& v) {
    setStyle(c, PenStyle::psDot, v.szinegyed, clNone);
}

}  // namespace

void rajzolasvezerlo(const Flock& f, const Inputs& in, View& v, ViewHost& host) {
    host.holdWindow();
    const int width = host.width();
    const int height = host.height();
    setScreenCentre(v, width, height);
    Canvas* c = host.canvas();
    if (!c) return;
    c->Brush.color = in.szemuveg ? clBlack : v.szinhatter;
    c->FillRect(0, 0, width, height);
    if (in.szemuveg) {
        rajzolasszemuveghez(f, in, v, *c);
    } else {
        rajzolas(f, in, v, *c);
    }
    c->Release();
    host.flip();
}

void torles(const View& v, ViewHost& host) {
    Canvas* c = host.canvas();
    if (!c) return;
    c->Brush.color = v.szinhatter;
    c->FillRect(0, 0, host.width(), host.height());
    c->Release();
    host.flip();
}

void rajzolas(const Flock& f, const Inputs& in, View& v, Canvas& c) {
    v.szemx = 0;
    rotationPass(f, in, v);
    individualStyle(c, v);
    rendezes(f, in, v);

    // back to front; each other object right after the individual at its rank
    const int predators = livePredators(f);
    for (int r = 1, n = liveIndividuals(f); r <= n; ++r) {
        drawIndividual(c, v, v.sorrend[r]);
        if (in.centreActive() && r == v.vonzosorszam) {
            setStyle(c, PenStyle::psSolid, v.szinvonzo, v.szinvonzo);
            drawCentre(c, v, kCentreMark);
            individualStyle(c, v);
        }
        for (int j = 1; j <= predators; ++j) {
            if (v.ragadozosorszam[j] != r) continue;
            setStyle(c, PenStyle::psSolid, v.szinragadozo, v.szinragadozo);
            drawPredator(c, v, j, kPredatorMark);
            individualStyle(c, v);
        }
    }

    if (in.befoglalokocka) {
        c.Pen.color = v.szinkocka;
        kockarajzolo(f, in, v, c);
    }
}

void rajzolasszemuveghez(const Flock& f, const Inputs& in, View& v, Canvas& c) {
    rotationPass(f, in, v);
    rendezes(f, in, v);

    // Each object from the left eye, then at once from the right, so the two
    // images of the flock interleave in one back-to-front pass and the right
    // image covers the left where they overlap.
    const int left = -v.szemtav;
    const int right = v.szemtav;
    const int predators = livePredators(f);
    for (int r = 1, n = liveIndividuals(f); r <= n; ++r) {
        const int i = v.sorrend[r];
        setStyle(c, PenStyle::psDot, v.szinbalszem, clNone);
        v.szemx = left;
        drawIndividual(c, v, i);
        c.Pen.color = v.szinjobbszem;
        v.szemx = right;
        drawIndividual(c, v, i);

        // the centre is a ring, larger for the left eye; the brush stays clNone
        if (in.centreActive() && r == v.vonzosorszam) {
            c.Pen.style = PenStyle::psSolid;
            c.Pen.color = v.szinbalszem;
            v.szemx = left;
            drawCentre(c, v, kCentreMarkLeftEye);
            c.Pen.color = v.szinjobbszem;
            v.szemx = right;
            drawCentre(c, v, kCentreMark);
        }

        // predators are discs in each eye's colour
        for (int j = 1; j <= predators; ++j) {
            if (v.ragadozosorszam[j] != r) continue;
            setStyle(c, PenStyle::psSolid, v.szinbalszem, v.szinbalszem);
            v.szemx = left;
            drawPredator(c, v, j, kPredatorMarkAnaglyph);
            setStyle(c, PenStyle::psSolid, v.szinjobbszem, v.szinjobbszem);
            v.szemx = right;
            drawPredator(c, v, j, kPredatorMarkAnaglyph);
        }
    }

    // the cube from the same two eyes as the flock, so both images agree
    if (in.befoglalokocka) {
        c.Pen.color = v.szinbalszem;
        v.szemx = left;
        kockarajzolo(f, in, v, c);
        c.Pen.color = v.szinjobbszem;
        v.szemx = right;
        kockarajzolo(f, in, v, c);
    }
}

}  // namespace nyajkor
