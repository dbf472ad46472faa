#include "model/occupancy_lattice.h"

#include <algorithm>

#include "model/rounding.h"

namespace nyajkor {

namespace {

// NaN fails both comparisons, so it never rounds into the lattice either.
bool roundsInto(double p, int extent) { return p >= -0.5 && p < extent - 0.5; }

}  // namespace

OccupancyLattice::OccupancyLattice(int capacity)
    : kapacitas_(capacity), kezdet_(kOszlopok + 1), magassag_(capacity), egyed_(capacity), sorrend_(capacity),
      sorrendMagassag_(capacity), kivul_(capacity), oszlop_(capacity + 1) {}

void OccupancyLattice::clear() {
    std::fill(kezdet_.begin(), kezdet_.end(), 0);
    sorrendDb_ = 0;
    kivulDb_ = 0;
}

void OccupancyLattice::fill(const double* x, const double* y, const double* z, int n) {
    n = std::clamp(n, 0, kapacitas_);
    // Count the individuals of each column.
    std::fill(kezdet_.begin(), kezdet_.end(), 0);
    kivulDb_ = 0;
    for (int i = 1; i <= n; ++i) {
        oszlop_[i] = -1;
        if (!roundsInto(x[i], kRacsX) || !roundsInto(y[i], kRacsX) || !roundsInto(z[i], kRacsZ)) {
            kivul_[kivulDb_++] = i;
            continue;
        }
        oszlop_[i] = column(kerekit(x[i]), kerekit(y[i]));
        ++kezdet_[oszlop_[i]];
    }
    // Running sums make kezdet_[col] the end of col's run; placing the
    // individuals from the last down moves it back to the run's start and
    // leaves every run in ascending index.
    for (int col = 1; col < kOszlopok; ++col) kezdet_[col] += kezdet_[col - 1];
    kezdet_[kOszlopok] = kezdet_[kOszlopok - 1];
    sorrendDb_ = kezdet_[kOszlopok];
    for (int i = n; i >= 1; --i) {
        if (oszlop_[i] < 0) continue;
        const int slot = --kezdet_[oszlop_[i]];
        sorrend_[slot] = i;
        sorrendMagassag_[slot] = kerekit(z[i]);
    }
    for (int begin = 0; begin < sorrendDb_;) {
        const int end = kezdet_[oszlop_[sorrend_[begin]] + 1];
        sortRunByHeight(begin, end);
        begin = end;
    }
    keepLastWriters();
}

void OccupancyLattice::sortRunByHeight(int begin, int end) {
    // Insertion sort, stable, so individuals of one cell stay in ascending
    // index: runs are a column's individuals, a few dozen at the most.
    for (int j = begin + 1; j < end; ++j) {
        const std::int32_t h = sorrendMagassag_[j], k = sorrend_[j];
        int m = j;
        for (; m > begin && sorrendMagassag_[m - 1] > h; --m) {
            sorrendMagassag_[m] = sorrendMagassag_[m - 1];
            sorrend_[m] = sorrend_[m - 1];
        }
        sorrendMagassag_[m] = h;
        sorrend_[m] = k;
    }
}

void OccupancyLattice::keepLastWriters() {
    // Of each run of equal cells the last entry has the highest index: it is
    // the one registered. Runs are visited in column order; every column
    // start moves down by the entries dropped before it, a stretch of empty
    // columns at a time.
    int dropped = 0;
    int col = 0;
    for (int begin = 0; begin < sorrendDb_;) {
        const int own = oszlop_[sorrend_[begin]];
        const int end = kezdet_[own + 1];
        for (; col <= own; ++col) kezdet_[col] -= dropped;
        int kept = kezdet_[own];
        for (int j = begin; j < end; ++j) {
            if (j + 1 < end && sorrendMagassag_[j + 1] == sorrendMagassag_[j]) {
                ++dropped;
                continue;
            }
            magassag_[kept] = sorrendMagassag_[j];
            egyed_[kept] = sorrend_[j];
            ++kept;
        }
        begin = end;
    }
    for (; col <= kOszlopok; ++col) kezdet_[col] -= dropped;
}

std::int32_t OccupancyLattice::at(int a, int b, int c) const {
    if (a < 0 || a >= kRacsX || b < 0 || b >= kRacsX || c < 0 || c >= kRacsZ) return 0;
    const int col = column(a, b);
    const std::int32_t* first = magassag_.data() + kezdet_[col];
    const std::int32_t* last = magassag_.data() + kezdet_[col + 1];
    const std::int32_t* p = std::lower_bound(first, last, c);
    return p != last && *p == c ? egyed_[static_cast<std::size_t>(p - magassag_.data())] : 0;
}

}  // namespace nyajkor
