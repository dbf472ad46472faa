// The occupancy lattice: which individual, if any, is registered in each cell
// of the 350 x 350 x 250 box this tick.
//
// Individual i is recorded in cell (round(x), round(y), round(z)). Filling
// registers 1..N in ascending order, so where several round to the same cell
// the last writer, the highest index, holds it and the others are found by
// no search in that tick.
//
// Only the occupied cells are stored: per column (a, b) a run of entries
// sorted by height c, the last writer of each shared cell kept when the runs
// are built. Columns are stored in a, b order, so the columns (a, b0..b1) of
// one row are one contiguous stretch of entries that come in exactly the
// order a walk over the cells (a outer, b middle, c inner, each ascending)
// meets them. The state is a few hundred kilobytes whatever the box holds,
// not one int32 per cell.
#pragma once

#include <cstdint>
#include <vector>

namespace nyajkor {

constexpr int kRacsX = 350;  // lattice extent along x and y (cells)
constexpr int kRacsZ = 250;  // lattice extent along z (cells)

// Whether a coordinate rounds into a cell 0..extent-1 of the lattice: from
// -0.5 (which rounds to 0) up to, not including, extent - 0.5 (which rounds
// to the even extent). NaN fails both comparisons, so it never does.
inline bool roundsIntoLattice(double p, int extent) { return p >= -0.5 && p < extent - 0.5; }

class OccupancyLattice {
public:
    static constexpr int kColumns = kRacsX * kRacsX;  // columns (a, b)

    // For individuals 1..capacity.
    explicit OccupancyLattice(int capacity);

    // No cell occupied.
    void clear();

    // Registers individuals 1..n at their rounded positions, in ascending
    // index order. A position that does not round into the lattice (which
    // the wall rule never lets happen) is left out.
    void fill(const double* x, const double* y, const double* z, int n);

    // The individual registered in cell (a, b, c), or 0; a cell outside the
    // lattice holds nobody.
    std::int32_t at(int a, int b, int c) const;

    // Number of occupied cells.
    int occupiedCells() const { return starts_[kColumns]; }

    static int column(int a, int b) { return a * kRacsX + b; }
    // Entries of column col are [columnStart(col), columnStart(col + 1)).
    int columnStart(int col) const { return starts_[col]; }
    const std::int32_t* columnStarts() const { return starts_.data(); }
    const std::int32_t* heights() const { return heights_.data(); }     // c of each entry
    const std::int32_t* individuals() const { return individuals_.data(); }    // index of each entry

    // Every individual that rounds into the lattice, registered or not, in
    // cell order: by column, then height, then index. Individuals next to
    // one another here sit in the same or nearby cells.
    const std::int32_t* cellOrder() const { return cellOrder_.data(); }
    int cellOrderCount() const { return cellOrderCount_; }
    // and the live individuals that do not round into it, ascending
    const std::int32_t* outside() const { return outside_.data(); }
    int outsideCount() const { return outsideCount_; }

private:
    void sortByCell(int count);
    void keepLastWriters();

    int capacity_;
    std::vector<std::int32_t> starts_;             // column starts, kColumns + 1, and a block of slack
    std::vector<std::int32_t> heights_, individuals_;   // registered entries
    std::vector<std::int32_t> cellOrder_;            // all in-lattice individuals, cell order
    std::vector<std::int32_t> outside_;              // live individuals outside the lattice
    // scratch of fill(): cell key << 32 | index of each in-lattice
    // individual, and the other buffer and bucket counts of its sort
    std::vector<std::uint64_t> keyed_, keyedSpare_;
    std::vector<std::int32_t> buckets_;
    int cellOrderCount_ = 0, outsideCount_ = 0;
};

}  // namespace nyajkor
