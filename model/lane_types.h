// The vector types of the lane kernel: L doubles, and the result of
// comparing them (all bits set in a lane where the comparison holds). Only
// the files that build the kernel include this.
#pragma once

namespace nyajkor::lanes {

template <int L>
struct LaneTypes {
    typedef double Real __attribute__((vector_size(8 * L)));
    typedef long long Mask __attribute__((vector_size(8 * L)));
};

}  // namespace nyajkor::lanes
