#include "model/scenes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/simulation.h"

namespace nyajkor {

Inputs plainInputs(int n, int radius) {
    Inputs in;
    in.egyedszam = n;
    in.sugar = radius;
    in.tavolsag = tavegyeztetes(radius, in.tavolsag);
    return in;
}

Inputs everyModeInputs(int n, int radius) {
    Inputs in = plainInputs(n, radius);
    in.autovonzo = true;
    in.tkpvonzas = true;
    in.mozgovonzo = true;
    return in;
}

Inputs cohesionInputs(int n, int radius, int cohesion, int noise) {
    Inputs in = plainInputs(n, radius);
    in.tkpvonzas = true;
    in.tkpvonzaserosseg = cohesion;
    in.parameter = noise;
    return in;
}

void startScene(Flock& f, const Inputs& in, std::uint32_t seed, int predators) {
    setBoxConstants(f);
    start(f, in, seed);
    for (int p = 0; p < predators; ++p) ujragadozo(f);
}

void clumpFlock(Flock& f, double sigma, std::uint32_t seed) {
    Random rng(seed);
    // Box-Muller from our own generator, so the scene is the same in every build.
    auto gauss = [&rng] {
        const double u1 = 1.0 - rng.real();  // in (0, 1]
        const double u2 = rng.real();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
    };
    auto place = [&](double centre, int extent) {
        return std::clamp(centre + sigma * gauss(), 10.0, extent - 10.0);
    };
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.x[i] = place(f.xkozep, f.xmeret);
        f.y[i] = place(f.xkozep, f.xmeret);
        f.z[i] = place(f.zkozep, f.zmeret);
    }
}

void collapseFlock(Flock& f, double reach) {
    double cx = 0, cy = 0, cz = 0;
    for (int i = 1; i <= f.egyeddb; ++i) {
        cx += f.x[i];
        cy += f.y[i];
        cz += f.z[i];
    }
    cx /= f.egyeddb;
    cy /= f.egyeddb;
    cz /= f.egyeddb;
    double farthest = 0;
    for (int i = 1; i <= f.egyeddb; ++i) {
        const double dx = f.x[i] - cx, dy = f.y[i] - cy, dz = f.z[i] - cz;
        farthest = std::max(farthest, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    if (farthest <= reach) return;
    const double scale = reach / farthest;
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.x[i] = cx + (f.x[i] - cx) * scale;
        f.y[i] = cy + (f.y[i] - cy) * scale;
        f.z[i] = cz + (f.z[i] - cz) * scale;
    }
}

}  // namespace nyajkor
