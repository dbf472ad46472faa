#include "app/order_history.h"

namespace nyajkor::app {

OrderHistory::OrderHistory() : ring_(kCapacity) {}

void OrderHistory::record(int percent, double neighbours) {
    ++ticks_;
    const OrderSample sample{ticks_, percent, neighbours};
    if (size_ < kCapacity) {
        ring_[(first_ + size_) % kCapacity] = sample;
        ++size_;
    } else {
        // full: the new tick takes the oldest one's slot
        ring_[first_] = sample;
        first_ = (first_ + 1) % kCapacity;
    }
}

void OrderHistory::clear() {
    first_ = 0;
    size_ = 0;
    ticks_ = 0;
}

}  // namespace nyajkor::app
