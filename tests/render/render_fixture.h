// Shared set-up of the view's tests: one flock for the whole test program,
// brought back to Start's defaults before
// every case, and helpers that place individuals and objects by hand.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>

#include "model/simulation.h"
#include "render/camera.h"

namespace nyajkor::testing {

struct BoxPoint {
    double x, y, z;
};

// Twelve digits, so that points a hair apart get names of their own.
inline std::ostream& operator<<(std::ostream& os, const BoxPoint& p) {
    const auto precision = os.precision(12);
    os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
    os.precision(precision);
    return os;
}

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!shared()) shared() = std::make_unique<Flock>();
    }

    void SetUp() override {
        setBoxConstants(f);
        setStartDefaults(f);
        setViewDefaults(v);
        setScreenCentre(v, 600, 700);
        f.egyeddb = 0;
    }

    // Individuals 1..n at the given box positions; N becomes n.
    void placeIndividuals(std::initializer_list<BoxPoint> points) {
        int i = 0;
        for (const BoxPoint& p : points) {
            ++i;
            f.x[i] = p.x;
            f.y[i] = p.y;
            f.z[i] = p.z;
        }
        f.egyeddb = i;
    }

    void placePredators(std::initializer_list<BoxPoint> points) {
        int j = 0;
        for (const BoxPoint& p : points) {
            ++j;
            f.ragx[j] = p.x;
            f.ragy[j] = p.y;
            f.ragz[j] = p.z;
        }
        f.ragadozodb = j;
    }

    // Individuals with the given rotated depths, as the depth order reads them.
    void setDepths(std::initializer_list<double> depths) {
        int i = 0;
        for (double d : depths) v.py[++i] = d;
        f.egyeddb = i;
    }

    static std::unique_ptr<Flock>& shared() {
        static std::unique_ptr<Flock> flock;
        return flock;
    }

    Flock& f = *shared();
    Inputs in;
    View v;
};

}  // namespace nyajkor::testing
