#include "render/depth_order.h"

#include <algorithm>
#include <array>

namespace nyajkor {

namespace {

// Buckets of one depth unit each. Inside the box the depths of one frame span
// at most 556 keys (the half-diagonal is 277.26), well within this.
constexpr int kBuckets = 600;

// Depths beyond this are held at it before they become integer keys, which
// keeps the conversion defined for state that did not come from the box.
constexpr double kDepthLimit = 1e6;

// A depth's key: truncated towards zero, one lower for negative depths, so
// 2.7 -> 2, 0.4 -> 0, -0.5 -> -1 and -1.0 -> -2. NaN counts as farthest.
int depthKey(double depth) {
    if (!(depth >= -kDepthLimit)) depth = -kDepthLimit;
    if (depth > kDepthLimit) depth = kDepthLimit;
    const int truncated = static_cast<int>(depth);
    return depth < 0 ? truncated - 1 : truncated;
}

// 1 + the number of individuals strictly farther than `depth`, at most n:
// the drawing position after which an object at that depth is drawn.
int rankAt(const View& v, int n, double depth) {
    int farther = 0;
    for (int i = 1; i <= n; ++i) {
        if (v.py[i] < depth) ++farther;
    }
    return std::min(1 + farther, n);
}

void sortIndividuals(View& v, int n) {
    if (n == 0) return;
    std::array<int, kMaxEgyed + 1> keys;
    std::array<int, kBuckets + 1> counts{};

    // keys, shifted so that the farthest is 1; a key beyond the last bucket
    // (impossible inside the box) joins the last bucket rather than being lost
    for (int i = 1; i <= n; ++i) keys[i] = depthKey(v.py[i]);
    const int farthest = *std::min_element(keys.begin() + 1, keys.begin() + n + 1);
    for (int i = 1; i <= n; ++i) keys[i] = std::min(keys[i] - farthest + 1, kBuckets);
    for (int i = 1; i <= n; ++i) ++counts[keys[i]];

    // running sums over the non-empty buckets: each then holds the number of
    // individuals whose key is at most its own, i.e. its last position
    int sum = counts[1];
    for (int k = 2; k <= kBuckets; ++k) {
        if (counts[k] > 0) {
            sum += counts[k];
            counts[k] = sum;
        }
    }

    // placement in increasing index, each bucket filling from its last
    // position down: equal keys end up in descending index
    for (int i = 1; i <= n; ++i) {
        v.sorrend[counts[keys[i]]] = i;
        --counts[keys[i]];
    }
}

}  // namespace

void rendezes(const Flock& f, const Inputs& in, View& v) {
    const int n = liveIndividuals(f);
    sortIndividuals(v, n);
    // the other objects are ranked by their exact depths, not by keys
    if (in.centreActive()) v.vonzosorszam = rankAt(v, n, v.pvonzoy);
    for (int j = 1, predators = livePredators(f); j <= predators; ++j) {
        v.ragadozosorszam[j] = rankAt(v, n, v.pragy[j]);
    }
}

}  // namespace nyajkor
