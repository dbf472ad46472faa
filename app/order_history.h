// The recent history of the two statistics, for the live plot.
//
// The plot shows the order parameter and the average number of perceived
// neighbours over the last ticks of the run. The history is kept here, apart
// from the plot window and free of Qt, so that it is recorded at every tick
// whether or not the plot is open (opening it shows the past at once) and so
// that its rules are easy to check: it holds the last kCapacity ticks, oldest
// first, and a new run starts it afresh, counting ticks from 1 again.
#pragma once

#include <cstdint>
#include <vector>

namespace nyajkor::app {

// The statistics after one tick.
struct OrderSample {
    std::int64_t tick;  // 1 for the first tick of the run
    int percent;        // order parameter, per cent
    double neighbours;  // average number of perceived neighbours
};

class OrderHistory {
public:
    static constexpr int kCapacity = 2000;

    OrderHistory();

    // The statistics of the run's next tick; the oldest tick is dropped when
    // kCapacity are already held.
    void record(int percent, double neighbours);
    // A new run: nothing held, and the next tick recorded is tick 1.
    void clear();

    int size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The i-th tick held, 0 being the oldest; i in 0..size()-1.
    const OrderSample& operator[](int i) const { return ring_[(first_ + i) % kCapacity]; }
    const OrderSample& newest() const { return (*this)[size_ - 1]; }

private:
    std::vector<OrderSample> ring_;  // kCapacity slots, allocated once
    int first_ = 0;                  // slot of the oldest tick held
    int size_ = 0;
    std::int64_t ticks_ = 0;         // ticks recorded since the run began
};

}  // namespace nyajkor::app
