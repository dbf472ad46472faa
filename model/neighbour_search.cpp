#include "model/neighbour_search.h"

#include <algorithm>
#include <bit>
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
      ez(kMaxEgyed), foglalt(kRacsX * kSzavakSoronkent), oszlop(kMaxEgyed + 1), kuszob(21) {
    for (int r = 0; r <= 20; ++r) kuszob[r] = squareThreshold(r);
}

void ColumnIndex::rebuild(const Flock& f) {
    // Count the registered individuals of each column: i is registered when
    // its own cell names it (the last writer of a shared cell wins it).
    std::fill(kezdet.begin(), kezdet.end(), 0);
    std::fill(foglalt.begin(), foglalt.end(), 0);
    for (int i = 1; i <= f.egyeddb; ++i) {
        oszlop[i] = -1;
        if (!roundsInto(f.x[i], kRacsX) || !roundsInto(f.y[i], kRacsX) || !roundsInto(f.z[i], kRacsZ))
            continue;
        const int a = kerekit(f.x[i]), b = kerekit(f.y[i]), c = kerekit(f.z[i]);
        if (f.racs[static_cast<std::size_t>(Flock::cella(a, b, c))] != i) continue;
        oszlop[i] = a * kRacsX + b;
        ++kezdet[oszlop[i]];
        foglalt[a * kSzavakSoronkent + b / 64] |= std::uint64_t{1} << (b % 64);
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
        int m = j;
        for (; m > begin && magassag[m - 1] > h; --m) {
            magassag[m] = magassag[m - 1];
            egyed[m] = egyed[m - 1];
            ex[m] = ex[m - 1];
            ey[m] = ey[m - 1];
            ez[m] = ez[m - 1];
        }
        magassag[m] = h;
        egyed[m] = k;
        ex[m] = px;
        ey[m] = py;
        ez[m] = pz;
    }
}

template <typename Visit>
void ColumnIndex::forEachInRow(int a, int bFrom, int bTo, int cFrom, int cTo, Visit&& visit) const {
    const std::uint64_t* words = foglalt.data() + a * kSzavakSoronkent;
    const std::int32_t* row = kezdet.data() + a * kRacsX;
    for (int w = bFrom / 64; w <= bTo / 64; ++w) {
        // the occupied columns of this word that lie within bFrom..bTo
        std::uint64_t bits = words[w];
        const int lo = std::max(bFrom - 64 * w, 0), hi = std::min(bTo - 64 * w, 63);
        bits &= ~std::uint64_t{0} << lo;
        bits &= ~std::uint64_t{0} >> (63 - hi);
        while (bits != 0) {
            const int b = 64 * w + std::countr_zero(bits);
            bits &= bits - 1;
            int j = row[b];
            const int end = row[b + 1];
            while (j < end && magassag[j] < cFrom) ++j;
            for (; j < end && magassag[j] <= cTo; ++j) visit(j);
        }
    }
}

Neighbours ColumnIndex::search(const Flock& f, int i) const {
    const int r = f.latotav;
    const int ci = kerekit(f.x[i]);
    const int cj = kerekit(f.y[i]);
    const int ck = kerekit(f.z[i]);
    const double xi = f.x[i], yi = f.y[i], zi = f.z[i];
    const double perceived = kuszob[static_cast<std::size_t>(std::clamp(r, 0, 20))];
    Neighbours n;
    n.mintav = 2.0 * r;
    // A candidate can be nearer than mintav only if its square is at most a
    // hair above mintav's square; the exact test then compares the roots.
    double nearSquare = n.mintav * n.mintav * (1 + 1e-12);
    const int aFrom = std::max(ci - r, 0), aTo = std::min(ci + r, f.xmeret - 1);
    const int bFrom = std::max(cj - r, 0), bTo = std::min(cj + r, f.xmeret - 1);
    const int cFrom = ck - r, cTo = ck + r;
    for (int a = aFrom; a <= aTo; ++a) {
        forEachInRow(a, bFrom, bTo, cFrom, cTo, [&](int j) {
            const int k = egyed[j];
            if (k == i) return;
            const double dx = ex[j] - xi;
            const double dy = ey[j] - yi;
            const double dz = ez[j] - zi;
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 <= nearSquare) {
                const double d = std::sqrt(d2);
                if (d < n.mintav) {
                    n.mintav = d;
                    n.kozelx = ex[j];
                    n.kozely = ey[j];
                    n.kozelz = ez[j];
                    nearSquare = d2 * (1 + 1e-12);
                }
            }
            if (d2 < perceived && d2 > 0) {
                n.sumvx += f.vx[k];
                n.sumvy += f.vy[k];
                n.sumvz += f.vz[k];
                n.szomszeddb += 1;
            }
        });
    }
    return n;
}

}  // namespace nyajkor
