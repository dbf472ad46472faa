#include "render/camera.h"

#include <cmath>
#include <numbers>

#include "model/rounding.h"

namespace nyajkor {

namespace {

// The eye sits this far in front of the box centre, along the depth; points
// are projected onto the plane of depth 0, one zoomed unit to the pixel.
constexpr double kEyeDistance = 650;

// The largest projected offset taken as a pixel. The screen centre and a
// mark's few pixels are added to it afterwards, which must stay within 32
// bits; a point this far out lies on no surface anyway.
constexpr double kMaxOffset = 1 << 29;

bool fitsPixel(double offset) { return std::abs(offset) <= kMaxOffset; }  // false for NaN

}  // namespace

Rotation rotationOf(const Inputs& in) {
    // The angles cannot change within a frame, so the sines and cosines are
    // taken once per pass rather than at every point; the values are the same.
    const double alfa = in.Xalfa * std::numbers::pi / 180;
    const double beta = in.Zbeta * std::numbers::pi / 180;
    return {std::sin(alfa), std::cos(alfa), std::sin(beta), std::cos(beta)};
}

void forgatas(View& v, const Rotation& r) {
    // about x, from the old y and z
    const double y1 = v.ponty * r.cosAlfa - v.pontz * r.sinAlfa;
    const double z1 = v.ponty * r.sinAlfa + v.pontz * r.cosAlfa;
    // about z, from the old x and the y just rotated
    const double x2 = v.pontx * r.cosBeta - y1 * r.sinBeta;
    const double y2 = v.pontx * r.sinBeta + y1 * r.cosBeta;
    v.pontx = x2;
    v.ponty = y2;
    v.pontz = z1;
}

bool vetites(View& v) {
    // At or behind the eye plane the perspective divides by zero or mirrors
    // the point through the centre: such a point has no place on the screen.
    const double eyeGap = kEyeDistance - v.ponty;
    if (!(eyeGap > 0)) return false;
    const double x = (v.pontx - v.szemx) * kEyeDistance / eyeGap;
    const double y = v.pontz * kEyeDistance / eyeGap;
    // Just in front of the eye plane the quotient can exceed any integer;
    // converting it would be undefined, so such a point is not drawn either.
    if (!fitsPixel(x) || !fitsPixel(y)) return false;
    v.kepx = roundHalfEven(x) + v.szemx;
    v.kepy = roundHalfEven(y);
    return true;
}

std::optional<Pixel> place(View& v, double rx, double ry, double rz) {
    v.pontx = v.nagyitasszorzo * rx;
    v.ponty = v.nagyitasszorzo * ry;
    v.pontz = v.nagyitasszorzo * rz;
    if (!vetites(v)) return std::nullopt;
    return Pixel{v.kepkozepx + v.kepx, v.kepkozepy + v.kepy};
}

void rotationPass(const Flock& f, const Inputs& in, View& v) {
    const Rotation r = rotationOf(in);
    // Box positions turn about the box centre; the box is square in x and y,
    // so both use xkozep.
    auto rotate = [&](double x, double y, double z) {
        v.pontx = x - f.xkozep;
        v.ponty = y - f.xkozep;
        v.pontz = z - f.zkozep;
        forgatas(v, r);
    };
    if (in.centreActive()) {
        rotate(f.vonzox, f.vonzoy, f.vonzoz);
        v.pvonzox = v.pontx;
        v.pvonzoy = v.ponty;
        v.pvonzoz = v.pontz;
    }
    for (int j = 1, n = livePredators(f); j <= n; ++j) {
        rotate(f.ragx[j], f.ragy[j], f.ragz[j]);
        v.pragx[j] = v.pontx;
        v.pragy[j] = v.ponty;
        v.pragz[j] = v.pontz;
    }
    for (int i = 1, n = liveIndividuals(f); i <= n; ++i) {
        rotate(f.x[i], f.y[i], f.z[i]);
        v.px[i] = v.pontx;
        v.py[i] = v.ponty;
        v.pz[i] = v.pontz;
    }
}

}  // namespace nyajkor
