#include "render/frame.h"

#include "model/simulation.h"
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
void drawMark(Canvas& c, View& v, const Flock& f, double rx, double ry, double rz, Mark m) {
    if (const auto p = place(v, f, rx, ry, rz)) {
        c.Ellipse(p->x + m.x1, p->y + m.y1, p->x + m.x2, p->y + m.y2);
    }
}

void drawIndividual(Canvas& c, View& v, const Flock& f, int i) {
    drawMark(c, v, f, f.px[i], f.py[i], f.pz[i], kIndividualMark);
}

void drawCentre(Canvas& c, View& v, const Flock& f, Mark m) {
    drawMark(c, v, f, v.pvonzox, v.pvonzoy, v.pvonzoz, m);
}

void drawPredator(Canvas& c, View& v, const Flock& f, int j, Mark m) {
    drawMark(c, v, f, v.pragx[j], v.pragy[j], v.pragz[j], m);
}

void individualStyle(Canvas& c, const Flock& f) {
    setStyle(c, PenStyle::psDot, f.szinegyed, clNone);
}

}  // namespace

void rajzolasvezerlo(Flock& f, const Inputs& in, View& v, ViewHost& host) {
    host.holdWindow();
    const int width = host.width();
    const int height = host.height();
    setScreenCentre(f, width, height);
    Canvas* c = host.canvas();
    if (!c) return;
    c->Brush.color = in.szemuveg ? clBlack : f.szinhatter;
    c->FillRect(0, 0, width, height);
    if (in.szemuveg) {
        rajzolasszemuveghez(f, in, v, *c);
    } else {
        rajzolas(f, in, v, *c);
    }
    c->Release();
    host.flip();
}

void torles(const Flock& f, ViewHost& host) {
    Canvas* c = host.canvas();
    if (!c) return;
    c->Brush.color = f.szinhatter;
    c->FillRect(0, 0, host.width(), host.height());
    c->Release();
    host.flip();
}

void rajzolas(Flock& f, const Inputs& in, View& v, Canvas& c) {
    v.szemx = 0;
    rotationPass(f, in, v);
    individualStyle(c, f);
    rendezes(f, in, v);

    // back to front; each other object right after the individual at its rank
    const int predators = livePredators(f);
    for (int r = 1, n = liveIndividuals(f); r <= n; ++r) {
        drawIndividual(c, v, f, f.sorrend[r]);
        if (in.vonzoAktiv() && r == f.vonzosorszam) {
            setStyle(c, PenStyle::psSolid, f.szinvonzo, f.szinvonzo);
            drawCentre(c, v, f, kCentreMark);
            individualStyle(c, f);
        }
        for (int j = 1; j <= predators; ++j) {
            if (f.ragadozosorszam[j] != r) continue;
            setStyle(c, PenStyle::psSolid, f.szinragadozo, f.szinragadozo);
            drawPredator(c, v, f, j, kPredatorMark);
            individualStyle(c, f);
        }
    }

    if (in.befoglalokocka) {
        c.Pen.color = f.szinkocka;
        kockarajzolo(f, in, v, c);
    }
}

void rajzolasszemuveghez(Flock& f, const Inputs& in, View& v, Canvas& c) {
    rotationPass(f, in, v);
    rendezes(f, in, v);

    // Each object from the left eye, then at once from the right, so the two
    // images of the flock interleave in one back-to-front pass and the right
    // image covers the left where they overlap.
    const int left = -f.szemtav;
    const int right = f.szemtav;
    const int predators = livePredators(f);
    for (int r = 1, n = liveIndividuals(f); r <= n; ++r) {
        const int i = f.sorrend[r];
        setStyle(c, PenStyle::psDot, f.szinbalszem, clNone);
        v.szemx = left;
        drawIndividual(c, v, f, i);
        c.Pen.color = f.szinjobbszem;
        v.szemx = right;
        drawIndividual(c, v, f, i);

        // the centre is a ring, larger for the left eye; the brush stays clNone
        if (in.vonzoAktiv() && r == f.vonzosorszam) {
            c.Pen.style = PenStyle::psSolid;
            c.Pen.color = f.szinbalszem;
            v.szemx = left;
            drawCentre(c, v, f, kCentreMarkLeftEye);
            c.Pen.color = f.szinjobbszem;
            v.szemx = right;
            drawCentre(c, v, f, kCentreMark);
        }

        // predators are discs in each eye's colour
        for (int j = 1; j <= predators; ++j) {
            if (f.ragadozosorszam[j] != r) continue;
            setStyle(c, PenStyle::psSolid, f.szinbalszem, f.szinbalszem);
            v.szemx = left;
            drawPredator(c, v, f, j, kPredatorMarkAnaglyph);
            setStyle(c, PenStyle::psSolid, f.szinjobbszem, f.szinjobbszem);
            v.szemx = right;
            drawPredator(c, v, f, j, kPredatorMarkAnaglyph);
        }
    }

    // the cube from the same two eyes as the flock, so both images agree
    if (in.befoglalokocka) {
        c.Pen.color = f.szinbalszem;
        v.szemx = left;
        kockarajzolo(f, in, v, c);
        c.Pen.color = f.szinjobbszem;
        v.szemx = right;
        kockarajzolo(f, in, v, c);
    }
}

}  // namespace nyajkor
