#include "model/occupancy_lattice.h"

#include <algorithm>
#include <cstring>

#include "model/rounding.h"

namespace nyajkor {

namespace {

bool pointRoundsIntoLattice(double x, double y, double z) {
    return roundsIntoLattice(x, kRacsX) && roundsIntoLattice(y, kRacsX) && roundsIntoLattice(z, kRacsZ);
}

// A cell's key, column * kRacsZ + height, orders the cells as a walk meets
// them; keys are below 2^27, sorted in three passes of 9 bits.
constexpr int kDigitBits = 9;
constexpr int kDigits = 3;
constexpr int kBuckets = 1 << kDigitBits;
static_assert(std::uint64_t{OccupancyLattice::kColumns} * kRacsZ <= std::uint64_t{1} << (kDigits * kDigitBits));

// Column starts are set a block at a time; the last block of a stretch may
// reach past it, into columns whose starts are set afterwards.
constexpr int kStartBlock = 8;

}  // namespace

OccupancyLattice::OccupancyLattice(int capacity)
    : capacity_(capacity), starts_(kColumns + 1 + kStartBlock), heights_(capacity), individuals_(capacity),
      cellOrder_(capacity), outside_(capacity), keyed_(capacity), keyedSpare_(capacity),
      buckets_(kDigits * kBuckets) {}

void OccupancyLattice::clear() {
    std::fill(starts_.begin(), starts_.end(), 0);
    cellOrderCount_ = 0;
    outsideCount_ = 0;
}

void OccupancyLattice::fill(const double* x, const double* y, const double* z, int n) {
    n = std::clamp(n, 0, capacity_);
    outsideCount_ = 0;
    cellOrderCount_ = 0;
    for (int i = 1; i <= n; ++i) {
        if (!pointRoundsIntoLattice(x[i], y[i], z[i])) {
            outside_[outsideCount_++] = i;
            continue;
        }
        const std::uint64_t cell =
            std::uint64_t(column(roundHalfEven(x[i]), roundHalfEven(y[i]))) * kRacsZ + roundHalfEven(z[i]);
        keyed_[cellOrderCount_++] = cell << 32 | static_cast<std::uint32_t>(i);
    }
    sortByCell(cellOrderCount_);
    for (int m = 0; m < cellOrderCount_; ++m) cellOrder_[m] = static_cast<std::int32_t>(keyed_[m] & 0xffffffffu);
    keepLastWriters();
}

void OccupancyLattice::sortByCell(int count) {
    // A radix sort, least significant digit first, stable at every pass:
    // the individuals were listed in ascending index and stay so within a
    // cell. Sorting a few thousand keys touches far less memory than
    // counting them per column over the whole 122,500 columns.
    const auto digit = [](std::uint64_t key, int pass) {
        return static_cast<int>(key >> (32 + pass * kDigitBits)) & (kBuckets - 1);
    };
    std::fill(buckets_.begin(), buckets_.end(), 0);
    for (int m = 0; m < count; ++m)
        for (int pass = 0; pass < kDigits; ++pass) ++buckets_[pass * kBuckets + digit(keyed_[m], pass)];
    for (int pass = 0; pass < kDigits; ++pass) {
        std::int32_t* firstSlot = buckets_.data() + pass * kBuckets;
        for (int d = 0, sum = 0; d < kBuckets; ++d) {
            const int here = firstSlot[d];
            firstSlot[d] = sum;
            sum += here;
        }
        for (int m = 0; m < count; ++m) keyedSpare_[firstSlot[digit(keyed_[m], pass)]++] = keyed_[m];
        keyed_.swap(keyedSpare_);
    }
}

void OccupancyLattice::keepLastWriters() {
    // Of each run of equal cells the last entry has the highest index: it is
    // the one registered. Every column not yet set, up to a kept entry's
    // own, starts where that entry goes; those after the last one start at
    // the end. (Plain pointers: through the vectors every store would make
    // the compiler read their data pointers again.)
    const std::uint64_t* keyed = keyed_.data();
    const std::int32_t* order = cellOrder_.data();
    std::int32_t* starts = starts_.data();
    std::int32_t* heights = heights_.data();
    std::int32_t* individuals = individuals_.data();
    int kept = 0;
    int nextColumn = 0;  // the first column whose start is not yet set
    const auto startAt = [&](int lastColumn) {
        std::int32_t block[kStartBlock];
        std::fill(block, block + kStartBlock, kept);
        for (int col = nextColumn; col <= lastColumn; col += kStartBlock)
            std::memcpy(starts + col, block, sizeof block);
        nextColumn = lastColumn + 1;
    };
    const int count = cellOrderCount_;
    for (int m = 0; m < count; ++m) {
        const std::uint64_t cell = keyed[m] >> 32;
        if (m + 1 < count && keyed[m + 1] >> 32 == cell) continue;
        const int col = static_cast<int>(cell / kRacsZ);
        if (col >= nextColumn) startAt(col);
        heights[kept] = static_cast<std::int32_t>(cell % kRacsZ);
        individuals[kept] = order[m];
        ++kept;
    }
    startAt(kColumns);
}

std::int32_t OccupancyLattice::at(int a, int b, int c) const {
    if (!pointRoundsIntoLattice(a, b, c)) return 0;
    const int col = column(a, b);
    const std::int32_t* first = heights_.data() + starts_[col];
    const std::int32_t* last = heights_.data() + starts_[col + 1];
    const std::int32_t* p = std::lower_bound(first, last, c);
    return p != last && *p == c ? individuals_[static_cast<std::size_t>(p - heights_.data())] : 0;
}

}  // namespace nyajkor
