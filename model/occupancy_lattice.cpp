#include "model/occupancy_lattice.h"

#include <algorithm>

#include "model/rounding.h"

namespace nyajkor {

namespace {

// Whether a point rounds into a cell of the lattice; a cell's own
// coordinates round to themselves. NaN fails both comparisons, so it never
// rounds into the lattice either.
bool roundsInto(double p, int extent) { return p >= -0.5 && p < extent - 0.5; }
bool roundsIntoLattice(double x, double y, double z) {
    return roundsInto(x, kRacsX) && roundsInto(y, kRacsX) && roundsInto(z, kRacsZ);
}

}  // namespace

OccupancyLattice::OccupancyLattice(int capacity)
    : capacity_(capacity), starts_(kColumns + 1), heights_(capacity), individuals_(capacity), cellOrder_(capacity),
      cellOrderHeights_(capacity), outside_(capacity), columnOf_(capacity + 1) {}

void OccupancyLattice::clear() {
    std::fill(starts_.begin(), starts_.end(), 0);
    cellOrderCount_ = 0;
    outsideCount_ = 0;
}

void OccupancyLattice::fill(const double* x, const double* y, const double* z, int n) {
    n = std::clamp(n, 0, capacity_);
    // Count the individuals of each column.
    std::fill(starts_.begin(), starts_.end(), 0);
    outsideCount_ = 0;
    for (int i = 1; i <= n; ++i) {
        columnOf_[i] = -1;
        if (!roundsIntoLattice(x[i], y[i], z[i])) {
            outside_[outsideCount_++] = i;
            continue;
        }
        columnOf_[i] = column(roundHalfEven(x[i]), roundHalfEven(y[i]));
        ++starts_[columnOf_[i]];
    }
    // Running sums make starts_[col] the end of col's run; placing the
    // individuals from the last down moves it back to the run's start and
    // leaves every run in ascending index.
    for (int col = 1; col < kColumns; ++col) starts_[col] += starts_[col - 1];
    starts_[kColumns] = starts_[kColumns - 1];
    cellOrderCount_ = starts_[kColumns];
    for (int i = n; i >= 1; --i) {
        if (columnOf_[i] < 0) continue;
        const int slot = --starts_[columnOf_[i]];
        cellOrder_[slot] = i;
        cellOrderHeights_[slot] = roundHalfEven(z[i]);
    }
    for (int begin = 0; begin < cellOrderCount_;) {
        const int end = starts_[columnOf_[cellOrder_[begin]] + 1];
        sortRunByHeight(begin, end);
        begin = end;
    }
    keepLastWriters();
}

void OccupancyLattice::sortRunByHeight(int begin, int end) {
    // Insertion sort, stable, so individuals of one cell stay in ascending
    // index: runs are a column's individuals, a few dozen at the most.
    for (int j = begin + 1; j < end; ++j) {
        const std::int32_t h = cellOrderHeights_[j], k = cellOrder_[j];
        int m = j;
        for (; m > begin && cellOrderHeights_[m - 1] > h; --m) {
            cellOrderHeights_[m] = cellOrderHeights_[m - 1];
            cellOrder_[m] = cellOrder_[m - 1];
        }
        cellOrderHeights_[m] = h;
        cellOrder_[m] = k;
    }
}

void OccupancyLattice::keepLastWriters() {
    // Of each run of equal cells the last entry has the highest index: it is
    // the one registered. Runs are visited in column order; every column
    // start moves down by the entries dropped before it, a stretch of empty
    // columns at a time.
    int dropped = 0;
    int col = 0;
    for (int begin = 0; begin < cellOrderCount_;) {
        const int own = columnOf_[cellOrder_[begin]];
        const int end = starts_[own + 1];
        for (; col <= own; ++col) starts_[col] -= dropped;
        int kept = starts_[own];
        for (int j = begin; j < end; ++j) {
            if (j + 1 < end && cellOrderHeights_[j + 1] == cellOrderHeights_[j]) {
                ++dropped;
                continue;
            }
            heights_[kept] = cellOrderHeights_[j];
            individuals_[kept] = cellOrder_[j];
            ++kept;
        }
        begin = end;
    }
    for (; col <= kColumns; ++col) starts_[col] -= dropped;
}

std::int32_t OccupancyLattice::at(int a, int b, int c) const {
    if (!roundsIntoLattice(a, b, c)) return 0;
    const int col = column(a, b);
    const std::int32_t* first = heights_.data() + starts_[col];
    const std::int32_t* last = heights_.data() + starts_[col + 1];
    const std::int32_t* p = std::lower_bound(first, last, c);
    return p != last && *p == c ? individuals_[static_cast<std::size_t>(p - heights_.data())] : 0;
}

}  // namespace nyajkor
