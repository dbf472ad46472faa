#include "model/velocity_update.h"

#include <cmath>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <numbers>

#include "model/exact_trig.h"
#include "model/rounding.h"

namespace nyajkor {

namespace {

// Below this a distance or a length is not divided by: the direction it
// would give is noise of the rounding.
constexpr double kSmallestDivisor = 0.0001;

// The walls push an individual within kWallReach of them and more than
// kWallGap away; velocities turn back from within kReflectMargin.
constexpr double kWallReach = 25;
constexpr double kWallGap = 1;
constexpr double kReflectMargin = 5;

// Strengths are per cent of the common speed.
constexpr double kPerCent = 100;

// The pull towards the centre of mass is strength * offset * speed / 100000:
// at the largest strength, 20, an individual 100 units from the centre of
// mass turns by 2% of its speed a tick, a drift rather than a rush.
constexpr double kCohesionScale = 100000;

// A predator closes 1/100 of its distance to its prey times the common
// speed each tick.
constexpr double kPredatorCatchUp = 100;

// The wandering centre is pulled back to the middle of the box by 1/250 of
// its offset times the common speed each tick.
constexpr double kCentreReturn = 250;

double length(double a, double b, double c) { return std::sqrt(a * a + b * b + c * c); }

// Push of length kozossebesseg*T/100 straight away from the nearest neighbour,
// or the raw offset where the neighbour is too close to divide by its distance.
void pushAwayFromNearest(double* ujv, const double* dn, double mintav, double ks, int t) {
    for (int k = 0; k < 3; ++k) {
        if (mintav > kSmallestDivisor)
            ujv[k] -= dn[k] / mintav * ks * t / kPerCent;
        else
            ujv[k] -= dn[k];
    }
}

// The push away from the wall at 0 and the wall at `extent` on one axis.
//
// At distance p from a wall the push is ks * 2 / p: inversely proportional
// to the distance, and scaled so that at 2 units, one step from the wall at
// the largest speed, it is a whole step ks, as large as the heading it is
// added to. At the reach of 25 units it has fallen to ks / 12.5, and beyond
// it nothing is added. Within kWallGap the 1/p would grow without bound;
// there the reflection of commitVelocities alone turns the individual.
double wallPush(double p, int extent, double ks) {
    double push = 0;
    if (kWallGap < p && p < kWallReach) push += 2 * ks / p;
    if (extent - kWallReach < p && p < extent - kWallGap) push -= 2 * ks / (extent - p);
    return push;
}

void reflect(double p, int extent, double& w) {
    if (p < kReflectMargin) w = std::abs(w);
    if (p > extent - kReflectMargin) w = -std::abs(w);
}

// The rules of one individual's new heading, applied in this order: each
// adds to ujv what its rule asks for, and the last brings the sum back to
// the common speed.

// Alignment. Reads the perceived neighbours' summed velocity, or the own
// one; writes ujv.
void alignWithNeighbours(double* ujv, const Flock& f, int i, const Neighbours& n) {
    if (n.szomszeddb > 0) {
        ujv[0] = n.sumvx / n.szomszeddb;
        ujv[1] = n.sumvy / n.szomszeddb;
        ujv[2] = n.sumvz / n.szomszeddb;
    } else {
        ujv[0] = f.vx[i];
        ujv[1] = f.vy[i];
        ujv[2] = f.vz[i];
    }
}

// Cohesion. Reads the centre of mass and tkpvonzaserosseg; adds to ujv.
void pullTowardsCentreOfMass(double* ujv, const double* pos, const UpdateContext& ctx, int strength, double ks) {
    const double tkp[3] = {ctx.tkpx, ctx.tkpy, ctx.tkpz};
    for (int k = 0; k < 3; ++k) ujv[k] += strength * (tkp[k] - pos[k]) * ks / kCohesionScale;
}

// The attracting centre. Reads vonzox/y/z and vonzaserosseg; adds to ujv a
// pull of strength per cent of ks towards it, unless it is within 1 unit.
void pullTowardsCentre(double* ujv, const double* pos, const Flock& f, int strength, double ks) {
    const double d[3] = {f.vonzox - pos[0], f.vonzoy - pos[1], f.vonzoz - pos[2]};
    const double l = length(d[0], d[1], d[2]);
    if (l > 1)
        for (int k = 0; k < 3; ++k) ujv[k] += strength / kPerCent * d[k] * ks / l;
}

// The vectorial noise, in place of alignment and the cube noise: the
// neighbours' summed velocity with the own one added last, plus a random
// unit vector of length zaj * m * ks, m the number of velocities summed.
// Draws two reals from rng: the unit vector's z, then its angle about z.
void alignWithVectorialNoise(double* ujv, const Flock& f, int i, const Neighbours& n, Random& rng, double ks) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    const double s[3] = {n.sumvx + f.vx[i], n.sumvy + f.vy[i], n.sumvz + f.vz[i]};
    const int m = n.szomszeddb + 1;
    const double u1 = rng.real();
    const double u2 = rng.real();
    const double z = 1 - 2 * u1;
    const double phi = kTwoPi * u2;
    const double across = std::sqrt(1 - z * z);
    double cosPhi, sinPhi;
    correctlyRoundedCosSin(phi, cosPhi, sinPhi);
    const double xi[3] = {across * cosPhi, across * sinPhi, z};
    const double amplitude = (f.zaj * m) * ks;
    for (int k = 0; k < 3; ++k) ujv[k] = s[k] + amplitude * xi[k];
}

// Noise. Draws three reals from rng, X then Y then Z; adds to ujv up to
// zaj * ks / 2 on each axis.
void addNoise(double* ujv, const Flock& f, Random& rng, double ks) {
    for (int k = 0; k < 3; ++k) ujv[k] += (0.5 - rng.real()) * f.zaj * ks;
}

// Distance keeping. Reads the nearest neighbour found, tavtartaserosseg and
// the equilibrium distance; adds to ujv a push away from a neighbour nearer
// than it and, in the attractive-repulsive modes, a pull towards one
// farther.
//
// The repulsive rule acts only where the search found a neighbour, that is
// mintav < 2r, since only a strictly nearer candidate replaces the starting
// 2r. Without that test an individual that found nobody (mintav 2r,
// "nearest" at the origin) would be pushed away from the origin whenever
// D > 2r; the window keeps D <= max(r, 2), so this only guards inputs set up
// otherwise.
void keepDistance(double* ujv, const double* pos, const Flock& f, const Inputs& in, const Neighbours& n, double ks) {
    const bool found = n.mintav < 2.0 * f.latotav;
    const double dn[3] = {n.kozelx - pos[0], n.kozely - pos[1], n.kozelz - pos[2]};
    const int t = f.tavtartaserosseg;
    const int equilibrium = in.tavolsag;
    if (found && in.repulsiveDistanceKeeping() && equilibrium > n.mintav && n.mintav > 0)
        pushAwayFromNearest(ujv, dn, n.mintav, ks, t);
    if (in.attractiveDistanceKeeping() && f.latotav > n.mintav && n.mintav > 0) {
        if (n.mintav > equilibrium) {
            for (int k = 0; k < 3; ++k) ujv[k] += dn[k] / n.mintav * ks * t / kPerCent;
        } else {
            pushAwayFromNearest(ujv, dn, n.mintav, ks, t);
        }
    }
}

// Flight from predators. Reads every predator within ragadozoeszleles and
// reakcioerosseg; adds to ujv a push away from each, inversely proportional
// to its distance.
void fleePredators(double* ujv, const double* pos, const Flock& f, const Inputs& in, double ks) {
    const int reach = in.ragadozoeszleles;
    const int reaction = in.reakcioerosseg;
    for (int p = 1; p <= f.ragadozodb; ++p) {
        const double d[3] = {f.ragx[p] - pos[0], f.ragy[p] - pos[1], f.ragz[p] - pos[2]};
        const double l = length(d[0], d[1], d[2]);
        if (l > kSmallestDivisor && l < reach)
            for (int k = 0; k < 3; ++k) ujv[k] -= d[k] / l * reaction * ks / l;
    }
}

// Walls. Reads the position and the box; adds to ujv the push of each wall
// within reach. A periodic box has none.
void pushFromWalls(double* ujv, const double* pos, const Flock& f, double ks) {
    if (f.box.periodic()) return;
    for (int k = 0; k < 3; ++k) ujv[k] += wallPush(pos[k], f.box.extent[k], ks);
}

// Speed renormalisation. Reads ujv; writes ujvx/y/z[i] of length ks in its
// direction, or ujv times ks where ujv is too short to divide by its length.
void setToCommonSpeed(Flock& f, int i, const double* ujv, double ks) {
    double norm = length(ujv[0], ujv[1], ujv[2]);
    if (norm < kSmallestDivisor) norm = 1;
    f.ujvx[i] = ujv[0] * ks / norm;
    f.ujvy[i] = ujv[1] * ks / norm;
    f.ujvz[i] = ujv[2] * ks / norm;
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
    f.vonzox += cx / kCentreReturn * ks;
    f.vonzoy += cy / kCentreReturn * ks;
    f.vonzoz += cz / kCentreReturn * ks;
}

void movePredators(Flock& f, const UpdateContext&) {
    const double ks = f.kozossebesseg;
    for (int p = 1; p <= f.ragadozodb; ++p) {
        // chase the nearest individual, ties to the lowest index
        double nearest = 1000;
        int prey = 1;
        for (int j = 1; j <= f.egyeddb; ++j) {
            const double d = length(f.x[j] - f.ragx[p], f.y[j] - f.ragy[p], f.z[j] - f.ragz[p]);
            if (d < nearest) {
                nearest = d;
                prey = j;
            }
        }
        f.ragx[p] += (f.x[prey] - f.ragx[p]) * ks / kPredatorCatchUp;
        f.ragy[p] += (f.y[prey] - f.ragy[p]) * ks / kPredatorCatchUp;
        f.ragz[p] += (f.z[prey] - f.ragz[p]) * ks / kPredatorCatchUp;

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
    const bool vectorial = f.noiseModel == NoiseModel::vectorial;
    double ujv[3];
    if (vectorial)
        alignWithVectorialNoise(ujv, f, i, n, rng, ks);
    else
        alignWithNeighbours(ujv, f, i, n);
    if (in.tkpvonzas) pullTowardsCentreOfMass(ujv, pos, ctx, in.tkpvonzaserosseg, ks);
    // only the first eszlelodb individuals perceive the centre
    if (in.centreActive() && i <= ctx.eszlelodb) pullTowardsCentre(ujv, pos, f, in.vonzaserosseg, ks);
    if (!vectorial) addNoise(ujv, f, rng, ks);
    keepDistance(ujv, pos, f, in, n, ks);
    fleePredators(ujv, pos, f, in, ks);
    pushFromWalls(ujv, pos, f, ks);
    setToCommonSpeed(f, i, ujv, ks);
    return {n.szomszeddb, n.mintav};
}

void commitVelocities(Flock& f) {
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.vx[i] = f.ujvx[i];
        f.vy[i] = f.ujvy[i];
        f.vz[i] = f.ujvz[i];
    }
    if (f.box.periodic()) return;
    for (int i = 1; i <= f.egyeddb; ++i) {
        reflect(f.x[i], f.box.extent[0], f.vx[i]);
        reflect(f.y[i], f.box.extent[1], f.vy[i]);
        reflect(f.z[i], f.box.extent[2], f.vz[i]);
    }
}

namespace {

// The neighbours of every individual at once, with the column index: groups of
// neighbours in cell order share one walk, a lane each. The work is handed
// out a group at a time, so the threads stay busy however the cost is
// spread over the box; each individual's result is its own whoever
// computes it.
void findNeighbours(Flock& f, LanePath lanes, Workers& workers) {
    UpdateScratch& scratch = *f.scratch;
    const LaneSource source = scratch.columns.laneSource(f);
    const int width = laneCount(lanes);
    const std::int32_t* order = scratch.columns.laneOrder();
    const int inside = scratch.columns.laneOrderCount();
    const int groups = (inside + width - 1) / width;
    const int items = groups + f.racs.outsideCount();
    std::atomic<int> next{0};
    workers.run([&](int) {
        for (int item = next++; item < items; item = next++) {
            if (item < groups) {
                const int first = item * width;
                searchLanes(lanes, source, order + first, std::min(width, inside - first), scratch.found.data());
            } else {
                // outside the lattice (only a state set up by hand): alone
                const int i = f.racs.outside()[item - groups];
                scratch.found[i] = scratch.columns.search(f, i);
            }
        }
    });
}

}  // namespace

namespace {

// The update of every individual in the order the cell list finds them:
// each one's generator is jumped to its own place in the sequence, so the
// order changes no draw.
void updateThroughCells(Flock& f, const Inputs& in, const UpdateContext& ctx, Workers& workers) {
    UpdateScratch& scratch = *f.scratch;
    scratch.cells.rebuild(f);
    const Random start = f.rng;
    const std::uint64_t draws = static_cast<std::uint64_t>(drawsPerIndividual(f));
    scratch.cells.searchAll(f, workers, [&](int i, const Neighbours& n) {
        Random rng = start;
        rng.jump(draws * static_cast<std::uint64_t>(i - 1));
        const IndividualResult r = updateIndividual(f, in, ctx, i, n, rng);
        scratch.szomszeddb[i] = r.szomszeddb;
        scratch.mintav[i] = r.mintav;
    });
}

// The update of the window's flock, part by part in index order, with the
// column search or the plain cube walk.
void updateThroughLattice(Flock& f, const Inputs& in, const UpdateContext& ctx, const Execution& how,
                          Workers& workers) {
    UpdateScratch& scratch = *f.scratch;
    // At radius 0 the cube is the individual's own cell: the plain scan reads
    // that one cell, cheaper than the column search.
    const NeighbourSearch search = f.latotav > 0 ? how.search : NeighbourSearch::plainCube;
    if (search == NeighbourSearch::columns) {
        scratch.columns.rebuild(f);
        findNeighbours(f, how.lanes, workers);
    }

    // Part p, starting at individual `first`, starts draws * (first - 1)
    // reals into the sequence.
    const std::uint64_t draws = static_cast<std::uint64_t>(drawsPerIndividual(f));
    const int parts = std::min(workers.count(), f.egyeddb);
    const Random start = f.rng;
    workers.run([&](int part) {
        if (part >= parts) return;
        const int first = 1 + static_cast<int>(static_cast<long>(f.egyeddb) * part / parts);
        const int last = static_cast<int>(static_cast<long>(f.egyeddb) * (part + 1) / parts);
        Random rng = start;
        rng.jump(draws * static_cast<std::uint64_t>(first - 1));
        for (int i = first; i <= last; ++i) {
            const Neighbours n = search == NeighbourSearch::columns ? scratch.found[i] : searchPlainCube(f, i);
            const IndividualResult r = updateIndividual(f, in, ctx, i, n, rng);
            scratch.szomszeddb[i] = r.szomszeddb;
            scratch.mintav[i] = r.mintav;
        }
    });
}

}  // namespace

void ujsebessegek(Flock& f, const Inputs& in, const Execution& how) {
    const UpdateContext ctx = beginUpdate(f, in);
    UpdateScratch& scratch = *f.scratch;
    Workers& workers = how.workers ? *how.workers : Workers::shared();
    if (searchesThroughCells(f) || how.search == NeighbourSearch::cells)
        updateThroughCells(f, in, ctx, workers);
    else
        updateThroughLattice(f, in, ctx, how, workers);
    // afterwards the shared generator moves past every individual's draws,
    // as one thread would leave it
    f.rng.jump(static_cast<std::uint64_t>(drawsPerIndividual(f)) * static_cast<std::uint64_t>(std::max(f.egyeddb, 0)));

    // the statistics, summed in index order whatever the split
    for (int i = 1; i <= f.egyeddb; ++i) {
        f.atlagszomszed += scratch.szomszeddb[i];
        f.atlagtav += scratch.mintav[i];
    }
    f.atlagszomszed /= f.egyeddb;
    f.atlagtav /= f.egyeddb;
    commitVelocities(f);
}

}  // namespace nyajkor
