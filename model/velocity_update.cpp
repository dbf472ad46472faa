#include "model/velocity_update.h"

#include <cmath>
#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "model/rounding.h"

namespace nyajkor {

namespace {

double length(double a, double b, double c) { return std::sqrt(a * a + b * b + c * c); }

// Push of length kozossebesseg*T/100 straight away from the nearest neighbour,
// or the raw offset where the neighbour is too close to divide by its distance.
void pushAwayFromNearest(double* ujv, const double* dn, double mintav, double ks, int t) {
    for (int k = 0; k < 3; ++k) {
        if (mintav > 0.0001)
            ujv[k] -= dn[k] / mintav * ks * t / 100;
        else
            ujv[k] -= dn[k];
    }
}

// The push away from the wall at 0 and the wall at `extent` on one axis.
double wallPush(double p, int extent, double ks) {
    double push = 0;
    if (1 < p && p < 25) push += 2 * ks / p;
    if (extent - 25 < p && p < extent - 1) push -= 2 * ks / (extent - p);
    return push;
}

void reflect(double p, int extent, double& w) {
    if (p < 5) w = std::abs(w);
    if (p > extent - 5) w = -std::abs(w);
}

}  // namespace

UpdateContext beginUpdate(Flock& f, const Inputs& in) {
    UpdateContext ctx;
    f.atlagszomszed = 0;
    double sx = 0, sy = 0, sz = 0;
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.ujvx[i] = f.ujvy[i] = f.ujvz[i] = 0;
        sx += f.x[i];
        sy += f.y[i];
        sz += f.z[i];
    }
    ctx.tkpx = sx / f.egyeddb;
    ctx.tkpy = sy / f.egyeddb;
    ctx.tkpz = sz / f.egyeddb;
    ctx.eszlelodb = in.eszlelok * f.egyeddb / 100;
    if (in.mozgovonzo) moveCentre(f, ctx);
    if (f.ragadozodb > 0) movePredators(f, ctx);
    f.atlagtav = 0;
    return ctx;
}

void moveCentre(Flock& f, const UpdateContext& ctx) {
    const double ks = f.kozossebesseg;
    // flee the centre of mass at half the common speed
    const double dx = ctx.tkpx - f.vonzox, dy = ctx.tkpy - f.vonzoy, dz = ctx.tkpz - f.vonzoz;
    const double l = length(dx, dy, dz);
    if (l > 1) {
        f.vonzox -= dx * ks / (2 * l);
        f.vonzoy -= dy * ks / (2 * l);
        f.vonzoz -= dz * ks / (2 * l);
    } else {
        f.vonzox -= dx * ks;
        f.vonzoy -= dy * ks;
        f.vonzoz -= dz * ks;
    }
    // and be pulled back towards the middle of the box
    const double cx = f.xkozep - f.vonzox, cy = f.xkozep - f.vonzoy, cz = f.zkozep - f.vonzoz;
    f.vonzox += cx / 250 * ks;
    f.vonzoy += cy / 250 * ks;
    f.vonzoz += cz / 250 * ks;
}

void movePredators(Flock& f, const UpdateContext&) {
    const double ks = f.kozossebesseg;
    for (int p = 1; p <= f.ragadozodb; ++p) {
        // chase the nearest individual, ties to the lowest index
        double legkisebb = 1000;
        int preda = 1;
        for (int j = 1; j <= f.egyeddb; ++j) {
            const double d = length(f.x[j] - f.ragx[p], f.y[j] - f.ragy[p], f.z[j] - f.ragz[p]);
            if (d < legkisebb) {
                legkisebb = d;
                preda = j;
            }
        }
        f.ragx[p] += (f.x[preda] - f.ragx[p]) * ks / 100;
        f.ragy[p] += (f.y[preda] - f.ragy[p]) * ks / 100;
        f.ragz[p] += (f.z[preda] - f.ragz[p]) * ks / 100;

        // keep away from every higher-numbered predator; only p moves
        for (int q = p + 1; q <= f.ragadozodb; ++q) {
            const double ex = f.ragx[q] - f.ragx[p], ey = f.ragy[q] - f.ragy[p],
                         ez = f.ragz[q] - f.ragz[p];
            const double m = length(ex, ey, ez);
            if (m > 1) {
                f.ragx[p] -= ex / m * ks * 10 / m;
                f.ragy[p] -= ey / m * ks * 10 / m;
                f.ragz[p] -= ez / m * ks * 10 / m;
            } else {
                f.ragx[p] -= (f.rng.integer(3) - 1) * ks;
                f.ragy[p] -= (f.rng.integer(3) - 1) * ks;
                f.ragz[p] -= (f.rng.integer(3) - 1) * ks;
            }
        }
    }
}

IndividualResult updateIndividual(Flock& f, const Inputs& in, const UpdateContext& ctx, int i,
                                  const Neighbours& n, Random& rng) {
    const double ks = f.kozossebesseg;
    const double pos[3] = {f.x[i], f.y[i], f.z[i]};
    double ujv[3];

    // (b) alignment: the mean velocity of the perceived neighbours, or the own one
    if (n.szomszeddb > 0) {
        ujv[0] = n.sumvx / n.szomszeddb;
        ujv[1] = n.sumvy / n.szomszeddb;
        ujv[2] = n.sumvz / n.szomszeddb;
    } else {
        ujv[0] = f.vx[i];
        ujv[1] = f.vy[i];
        ujv[2] = f.vz[i];
    }

    // (c) attraction to the centre of mass
    if (in.tkpvonzas) {
        const int p = in.tkpvonzaserosseg;
        const double tkp[3] = {ctx.tkpx, ctx.tkpy, ctx.tkpz};
        for (int k = 0; k < 3; ++k) ujv[k] += p * (tkp[k] - pos[k]) * ks / 100000;
    }

    // (d) attraction to the attracting centre, for the first eszlelodb individuals
    if (in.vonzoAktiv() && i <= ctx.eszlelodb) {
        const double d[3] = {f.vonzox - pos[0], f.vonzoy - pos[1], f.vonzoz - pos[2]};
        const double l = length(d[0], d[1], d[2]);
        if (l > 1) {
            const int a = in.vonzaserosseg;
            for (int k = 0; k < 3; ++k) ujv[k] += a / 100.0 * d[k] * ks / l;
        }
    }

    // (e) noise, X then Y then Z
    for (int k = 0; k < 3; ++k) ujv[k] += (0.5 - rng.real()) * f.zaj * ks;

    // (g, h) distance keeping from the nearest neighbour, if the search found
    // one. Found means mintav < 2r, since only a strictly nearer candidate
    // replaces the starting 2r. Without that test an individual that found
    // nobody (mintav 2r, "nearest" at the origin) would be pushed away from
    // the origin by the repulsive rule whenever D > 2r; the window keeps
    // D <= max(r, 2), so this only guards inputs set up otherwise.
    const bool talalt = n.mintav < 2.0 * f.latotav;
    const double dn[3] = {n.kozelx - pos[0], n.kozely - pos[1], n.kozelz - pos[2]};
    const int t = f.tavtartaserosseg;
    const int egyensuly = in.tavolsag;
    if (talalt && in.taszitoTavtartas() && egyensuly > n.mintav && n.mintav > 0)
        pushAwayFromNearest(ujv, dn, n.mintav, ks, t);
    if (in.vonzoTavtartas() && f.latotav > n.mintav && n.mintav > 0) {
        if (n.mintav > egyensuly) {
            for (int k = 0; k < 3; ++k) ujv[k] += dn[k] / n.mintav * ks * t / 100;
        } else {
            pushAwayFromNearest(ujv, dn, n.mintav, ks, t);
        }
    }

    // (i) flight from every predator within reach
    const int hatotav = in.ragadozoeszleles;
    const int reakcio = in.reakcioerosseg;
    for (int p = 1; p <= f.ragadozodb; ++p) {
        const double d[3] = {f.ragx[p] - pos[0], f.ragy[p] - pos[1], f.ragz[p] - pos[2]};
        const double l = length(d[0], d[1], d[2]);
        if (l > 0.0001 && l < hatotav)
            for (int k = 0; k < 3; ++k) ujv[k] -= d[k] / l * reakcio * ks / l;
    }

    // (j) wall push
    ujv[0] += wallPush(pos[0], f.xmeret, ks);
    ujv[1] += wallPush(pos[1], f.xmeret, ks);
    ujv[2] += wallPush(pos[2], f.zmeret, ks);

    // (k) back to the common speed; a near-zero sum is not divided by its length
    double hossz = length(ujv[0], ujv[1], ujv[2]);
    if (hossz < 0.0001) hossz = 1;
    f.ujvx[i] = ujv[0] * ks / hossz;
    f.ujvy[i] = ujv[1] * ks / hossz;
    f.ujvz[i] = ujv[2] * ks / hossz;
    return {n.szomszeddb, n.mintav};
}

void commitVelocities(Flock& f) {
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.vx[i] = f.ujvx[i];
        f.vy[i] = f.ujvy[i];
        f.vz[i] = f.ujvz[i];
    }
    for (int i = 1; i <= f.egyeddb; ++i) {
        reflect(f.x[i], f.xmeret, f.vx[i]);
        reflect(f.y[i], f.xmeret, f.vy[i]);
        reflect(f.z[i], f.zmeret, f.vz[i]);
    }
}

namespace {

// (a) for every individual at once, with the column index: groups of
// neighbours in cell order share one walk, a lane each. The work is handed
// out a group at a time, so the threads stay busy however the cost is
// spread over the box; each individual's result is its own whoever
// computes it.
void findNeighbours(Flock& f, LanePath lanes, Workers& workers) {
    UpdateScratch& scratch = *f.munkaterulet;
    const LaneSource source = scratch.oszlopok.laneSource(f);
    const int width = laneCount(lanes);
    const std::int32_t* order = f.racs.cellOrder();
    const int inside = f.racs.cellOrderCount();
    const int groups = (inside + width - 1) / width;
    const int items = groups + f.racs.outsideCount();
    std::atomic<int> next{0};
    workers.run([&](int) {
        for (int item = next++; item < items; item = next++) {
            if (item < groups) {
                const int first = item * width;
                searchLanes(lanes, source, order + first, std::min(width, inside - first), scratch.talalat.data());
            } else {
                // outside the lattice (only a state set up by hand): alone
                const int i = f.racs.outside()[item - groups];
                scratch.talalat[i] = scratch.oszlopok.search(f, i);
            }
        }
    });
}

}  // namespace

void ujsebessegek(Flock& f, const Inputs& in, const Execution& how) {
    const UpdateContext ctx = beginUpdate(f, in);
    UpdateScratch& scratch = *f.munkaterulet;
    Workers& workers = how.workers ? *how.workers : Workers::shared();
    // At radius 0 the cube is the individual's own cell: the plain scan reads
    // that one cell, cheaper than the column search.
    const NeighbourSearch search = f.latotav > 0 ? how.search : NeighbourSearch::plainCube;
    if (search == NeighbourSearch::columns) {
        scratch.oszlopok.rebuild(f);
        findNeighbours(f, how.lanes, workers);
    }

    // Each individual draws three reals, so part p, starting at individual
    // `first`, starts 3 * (first - 1) draws into the sequence; afterwards the
    // shared generator moves past all 3N draws, as one thread would leave it.
    const int parts = std::min(workers.count(), f.egyeddb);
    const Random start = f.rng;
    workers.run([&](int part) {
        if (part >= parts) return;
        const int first = 1 + static_cast<int>(static_cast<long>(f.egyeddb) * part / parts);
        const int last = static_cast<int>(static_cast<long>(f.egyeddb) * (part + 1) / parts);
        Random rng = start;
        rng.jump(3ull * static_cast<unsigned>(first - 1));
        for (int i = first; i <= last; ++i) {
            const Neighbours n = search == NeighbourSearch::columns ? scratch.talalat[i] : keresSzomszedok(f, i);
            const IndividualResult r = updateIndividual(f, in, ctx, i, n, rng);
            scratch.szomszeddb[i] = r.szomszeddb;
            scratch.mintav[i] = r.mintav;
        }
    });
    f.rng.jump(3ull * static_cast<unsigned>(std::max(f.egyeddb, 0)));

    // (b, f) the statistics, summed in index order whatever the split
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.atlagszomszed += scratch.szomszeddb[i];
        f.atlagtav += scratch.mintav[i];
    }
    f.atlagszomszed /= f.egyeddb;
    f.atlagtav /= f.egyeddb;
    commitVelocities(f);
}

}  // namespace nyajkor
