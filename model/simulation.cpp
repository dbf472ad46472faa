#include "model/simulation.h"

#include "model/exact_trig.h"
#include "model/invariants.h"
#include "model/neighbour_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>


namespace nyajkor {

void setBoxConstants(Flock& f) { setBox(f, Box{}); }

void setBox(Flock& f, const Box& box) {
    f.box = box;
    f.xmeret = box.extent[0];
    f.xkozep = box.extent[0] / 2;
    f.zmeret = box.extent[2];
    f.zkozep = box.extent[2] / 2;
}

void setStartDefaults(Flock& f) {
    f.ragadozodb = 0;
    f.tavtartaserosseg = 5;
    f.vonzox = f.xkozep;
    f.vonzoy = f.xkozep;
    f.vonzoz = f.zkozep;
}

void pickUpParameters(Flock& f, const Inputs& in) {
    f.zaj = in.parameter / 100.0;
    f.kozossebesseg = in.vkozos / 10.0;
    f.latotav = in.sugar;
}

namespace {

// What a tick relies on: counts within the arrays, the radius within the
// search's tables, every individual finite and inside (or just beside) the
// lattice. Only where invariants are checked: it walks the whole flock.
void checkStateInvariants([[maybe_unused]] const Flock& f, [[maybe_unused]] const Inputs& in) {
#if defined(NYAJKOR_CHECK_INVARIANTS)
    NYAJKOR_INVARIANT(f.egyeddb >= 1 && f.egyeddb <= f.capacity());
    NYAJKOR_INVARIANT(!f.box.periodic() || 2 * in.sugar + 1 <= f.box.smallestExtent());
    NYAJKOR_INVARIANT(f.ragadozodb >= 0 && f.ragadozodb <= kMaxRagadozo);
    NYAJKOR_INVARIANT(in.sugar >= 0 && in.sugar <= kLargestRadius);
    for (int i = 1; i <= f.egyeddb; ++i)
        NYAJKOR_INVARIANT(std::isfinite(f.x[i]) && std::isfinite(f.y[i]) && std::isfinite(f.z[i]) &&
                          std::isfinite(f.vx[i]) && std::isfinite(f.vy[i]) && std::isfinite(f.vz[i]));
#endif
}

void seedVelocities(Flock& f) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    for (int i = 1; i <= f.egyeddb; ++i) {
        double a = kTwoPi * f.rng.real();
        double cosA, sinA;
        correctlyRoundedCosSin(a, cosA, sinA);
        f.vx[i] = cosA;
        f.vy[i] = -sinA;
        double b = kTwoPi * f.rng.real();
        f.vz[i] = correctlyRoundedSin(b);
        double norm = std::sqrt(f.vx[i] * f.vx[i] + f.vy[i] * f.vy[i] + f.vz[i] * f.vz[i]);
        f.vx[i] = f.kozossebesseg * f.vx[i] / norm;
        f.vy[i] = f.kozossebesseg * f.vy[i] / norm;
        f.vz[i] = f.kozossebesseg * f.vz[i] / norm;
    }
}

// On whole cells: in a walled box 10 or more from every wall, in a
// periodic one anywhere.
void seedPositions(Flock& f) {
    const std::array<int, 3>& e = f.box.extent;
    auto place = [&](int extent) {
        return f.box.periodic() ? f.rng.integer(extent) : f.rng.integer(extent - 20) + 10;
    };
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.x[i] = place(e[0]);
        f.y[i] = place(e[1]);
        f.z[i] = place(e[2]);
    }
}

// Back through the opposite face: one extent suffices, speeds are at most 2.
// A tiny negative coordinate plus the extent may round to the extent
// itself; it stays there until the next move, and its cell is 0.
void wrap(double& p, int extent) {
    if (p < 0)
        p += extent;
    else if (p >= extent)
        p -= extent;
}

}  // namespace

void restart(Flock& f, const Inputs& in, std::uint32_t seed) {
    f.rng.seed(seed);
    NYAJKOR_INVARIANT(in.egyedszam >= 1 && in.egyedszam <= f.capacity());
    f.egyeddb = in.egyedszam;
    pickUpParameters(f, in);
    f.racs.clear();
    for (auto* a : {&f.x, &f.y, &f.z, &f.vx, &f.vy, &f.vz, &f.ujvx, &f.ujvy, &f.ujvz})
        std::fill(a->begin(), a->end(), 0.0);
    f.hangolasszamlalo = 0;
    seedVelocities(f);
    seedPositions(f);
}

void start(Flock& f, const Inputs& in, std::uint32_t seed) {
    setStartDefaults(f);
    restart(f, in, seed);
}

void moveAndFillLattice(Flock& f) {
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.x[i] += f.vx[i];
        f.y[i] += f.vy[i];
        f.z[i] += f.vz[i];
    }
    if (f.box.periodic())
        for (int i = 1; i <= f.egyeddb; ++i) {
            wrap(f.x[i], f.box.extent[0]);
            wrap(f.y[i], f.box.extent[1]);
            wrap(f.z[i], f.box.extent[2]);
        }
    // the whole lattice anew: only this tick's cells are occupied (a flock
    // beyond the window's lattice is sorted into cells by its search)
    if (!searchesThroughCells(f)) f.racs.fill(f.x.data(), f.y.data(), f.z.data(), f.egyeddb);
}

void autoTune(Flock& f, const Inputs& in) {
    if (!in.autoTuning()) return;
    f.hangolasszamlalo += 1;
    if (f.hangolasszamlalo != 100) return;
    const int target = in.tavolsag;
    const double d = f.atlagtav;
    if (0.9 * target > d) {
        f.tavtartaserosseg += 1;
        if (f.tavtartaserosseg > 20) f.tavtartaserosseg = 20;
    }
    if (1.1 * target < d) {
        f.tavtartaserosseg -= 1;
        if (f.tavtartaserosseg < 0) f.tavtartaserosseg = 0;
    }
    f.hangolasszamlalo = 0;
}

void computeOrderParameter(Flock& f) {
    f.osszvx = f.osszvy = f.osszvz = f.rendparameter = 0;
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.osszvx += f.vx[i];
        f.osszvy += f.vy[i];
        f.osszvz += f.vz[i];
    }
    f.rendparameter = std::sqrt(f.osszvx * f.osszvx + f.osszvy * f.osszvy + f.osszvz * f.osszvz) /
                      (f.egyeddb * f.kozossebesseg);
    f.rendszazalek = roundHalfEven(100 * f.rendparameter);
}

void tick(Flock& f, const Inputs& in, const Execution& how) {
    checkStateInvariants(f, in);
    pickUpParameters(f, in);
    moveAndFillLattice(f);
    autoTune(f, in);
    ujsebessegek(f, in, how);
    computeOrderParameter(f);
}

bool ujragadozo(Flock& f) {
    if (f.ragadozodb == kMaxRagadozo) return false;
    f.ragadozodb += 1;
    const int n = f.ragadozodb;
    f.ragx[n] = f.rng.integer(2) * 290 + 10;
    f.ragy[n] = f.rng.integer(2) * 290 + 10;
    f.ragz[n] = f.rng.integer(2) * 290 + 10;
    return true;
}

void ragadozotorles(Flock& f) { f.ragadozodb = 0; }

int tavegyeztetes(int sugar, int tavolsag) {
    if (sugar >= tavolsag) return tavolsag;
    return std::max(sugar, 2);
}

}  // namespace nyajkor
