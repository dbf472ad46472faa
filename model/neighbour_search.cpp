#include "model/neighbour_search.h"

#include <algorithm>
#include <cmath>

#include "model/rounding.h"

namespace nyajkor {

namespace {

bool roundsInto(double p, int extent) { return p >= -0.5 && p < extent - 0.5; }

// The smallest square whose rounded root reaches r: below it, and only below
// it, sqrt(d2) < r. Correctly rounded sqrt is monotonic, so the set of
// squares whose root reaches r is an upward-closed interval.
double squareThreshold(int r) {
    double t = static_cast<double>(r) * r;
    while (t > 0 && std::sqrt(std::nextafter(t, 0.0)) >= r) t = std::nextafter(t, 0.0);
    return t;
}

}  // namespace

Neighbours keresSzomszedok(const Flock& f, int i) {
    const int r = f.latotav;
    const int ci = kerekit(f.x[i]);
    const int cj = kerekit(f.y[i]);
    const int ck = kerekit(f.z[i]);
    Neighbours n;
    n.mintav = 2.0 * r;
    for (int a = ci - r; a <= ci + r; ++a) {
        if (a < 0 || a >= f.xmeret) continue;
        for (int b = cj - r; b <= cj + r; ++b) {
            if (b < 0 || b >= f.xmeret) continue;
            for (int c = ck - r; c <= ck + r; ++c) {
                if (c < 0 || c >= f.zmeret) continue;
                const int k = f.racs[static_cast<std::size_t>(Flock::cella(a, b, c))];
                if (k == 0 || k == i) continue;
                const double dx = f.x[k] - f.x[i];
                const double dy = f.y[k] - f.y[i];
                const double dz = f.z[k] - f.z[i];
                const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
                if (d < n.mintav) {
                    n.mintav = d;
                    n.kozelx = f.x[k];
                    n.kozely = f.y[k];
                    n.kozelz = f.z[k];
                }
                if (d < r && d > 0) {
                    n.sumvx += f.vx[k];
                    n.sumvy += f.vy[k];
                    n.sumvz += f.vz[k];
                    n.szomszeddb += 1;
                }
            }
        }
    }
    return n;
}

ColumnIndex::ColumnIndex()
    : kezdet(kOszlopok + 1), magassag(kMaxEgyed), egyed(kMaxEgyed), ex(kMaxEgyed), ey(kMaxEgyed),
      ez(kMaxEgyed), evx(kMaxEgyed), evy(kMaxEgyed), evz(kMaxEgyed), oszlop(kMaxEgyed + 1), kuszob(21) {
    for (int r = 0; r <= 20; ++r) kuszob[r] = squareThreshold(r);
}

void ColumnIndex::rebuild(const Flock& f) {
    // Count the registered individuals of each column: i is registered when
    // its own cell names it (the last writer of a shared cell wins it).
    std::fill(kezdet.begin(), kezdet.end(), 0);
    for (int i = 1; i <= f.egyeddb; ++i) {
        oszlop[i] = -1;
        if (!roundsInto(f.x[i], kRacsX) || !roundsInto(f.y[i], kRacsX) || !roundsInto(f.z[i], kRacsZ))
            continue;
        const int a = kerekit(f.x[i]), b = kerekit(f.y[i]), c = kerekit(f.z[i]);
        if (f.racs[static_cast<std::size_t>(Flock::cella(a, b, c))] != i) continue;
        oszlop[i] = a * kRacsX + b;
        ++kezdet[oszlop[i]];
    }
    // Running sums make kezdet[col] the end of col's run; placing the
    // individuals from the last down moves it back to the run's start.
    for (int col = 1; col < kOszlopok; ++col) kezdet[col] += kezdet[col - 1];
    kezdet[kOszlopok] = kezdet[kOszlopok - 1];
    for (int i = f.egyeddb; i >= 1; --i) {
        const int col = oszlop[i];
        if (col < 0) continue;
        const int slot = --kezdet[col];
        magassag[slot] = kerekit(f.z[i]);
        egyed[slot] = i;
        ex[slot] = f.x[i];
        ey[slot] = f.y[i];
        ez[slot] = f.z[i];
        evx[slot] = f.vx[i];
        evy[slot] = f.vy[i];
        evz[slot] = f.vz[i];
    }
    // Sort each run by height. A run is in ascending index now, so its first
    // entry names the column's lowest index: sort once, from that one.
    for (int i = 1; i <= f.egyeddb; ++i) {
        const int col = oszlop[i];
        if (col < 0 || egyed[kezdet[col]] != i || kezdet[col + 1] - kezdet[col] < 2) continue;
        sortRun(kezdet[col], kezdet[col + 1]);
    }
}

void ColumnIndex::sortRun(int begin, int end) {
    // Insertion sort: runs are short, heights within a run are distinct.
    for (int j = begin + 1; j < end; ++j) {
        const std::int32_t h = magassag[j], k = egyed[j];
        const double px = ex[j], py = ey[j], pz = ez[j];
        const double qx = evx[j], qy = evy[j], qz = evz[j];
        int m = j;
        for (; m > begin && magassag[m - 1] > h; --m) {
            magassag[m] = magassag[m - 1];
            egyed[m] = egyed[m - 1];
            ex[m] = ex[m - 1];
            ey[m] = ey[m - 1];
            ez[m] = ez[m - 1];
            evx[m] = evx[m - 1];
            evy[m] = evy[m - 1];
            evz[m] = evz[m - 1];
        }
        magassag[m] = h;
        egyed[m] = k;
        ex[m] = px;
        ey[m] = py;
        ez[m] = pz;
        evx[m] = qx;
        evy[m] = qy;
        evz[m] = qz;
    }
}

Neighbours ColumnIndex::search(const Flock& f, int i) const {
    const int r = f.latotav;
    const int ci = kerekit(f.x[i]);
    const int cj = kerekit(f.y[i]);
    const int ck = kerekit(f.z[i]);
    const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
    const double perceived = kuszob[static_cast<std::size_t>(std::clamp(r, 0, 20))];
    // Nobody found yet: the nearest distance starts at 2r, the position at the origin.
    double mintav = 2.0 * r, kozelx = 0, kozely = 0, kozelz = 0;
    // A candidate can be nearer than mintav only if its square is at most a
    // hair above mintav's square; the exact test then compares the roots.
    double nearSquare = mintav * mintav * (1 + 1e-12);
    const int aFrom = std::max(ci - r, 0), aTo = std::min(ci + r, f.xmeret - 1);
    const int bFrom = std::max(cj - r, 0), bTo = std::min(cj + r, f.xmeret - 1);
    const int cFrom = ck - r, cTo = ck + r;
    double squares[kMaxEgyed];
    int latott[kMaxEgyed];
    double sumvx = 0, sumvy = 0, sumvz = 0;
    int szomszeddb = 0;
    for (int a = aFrom; a <= aTo; ++a) {
        // the columns (a, bFrom..bTo): one stretch of entries in visiting order
        const int begin = kezdet[a * kRacsX + bFrom];
        const int count = kezdet[a * kRacsX + bTo + 1] - begin;
        const double* px = ex.data() + begin;
        const double* py = ey.data() + begin;
        const double* pz = ez.data() + begin;
        const std::int32_t* ph = magassag.data() + begin;
        for (int j = 0; j < count; ++j) {
            const double dx = px[j] - xi;
            const double dy = py[j] - yi;
            const double dz = pz[j] - zi;
            squares[j] = dx * dx + dy * dy + dz * dz;
        }
        for (int j = 0; j < count; ++j) {
            const double d2 = squares[j];
            const bool inCube = (ph[j] >= cFrom) & (ph[j] <= cTo);
            // the individual itself is the one entry at square 0 that is no
            // candidate; another one on the same spot is
            if (inCube & (d2 <= nearSquare) && egyed[begin + j] != i) {
                const double d = std::sqrt(d2);
                if (d < mintav) {
                    mintav = d;
                    kozelx = px[j];
                    kozely = py[j];
                    kozelz = pz[j];
                    nearSquare = d2 * (1 + 1e-12);
                }
            }
            // note the perceived ones in visiting order, without a branch;
            // square 0 (the individual itself, or one on the same spot) is not perceived
            latott[szomszeddb] = begin + j;
            szomszeddb += inCube & (d2 < perceived) & (d2 > 0);
        }
    }
    // their velocities, summed in the order they were met
    for (int p = 0; p < szomszeddb; ++p) {
        sumvx += evx[latott[p]];
        sumvy += evy[latott[p]];
        sumvz += evz[latott[p]];
    }
    return {szomszeddb, sumvx, sumvy, sumvz, mintav, kozelx, kozely, kozelz};
}

}  // namespace nyajkor
