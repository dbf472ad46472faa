// The flock state and the inputs the model reads from its controls.
//
// One Flock record holds the whole simulation under its historical names:
// the individuals, the occupancy lattice, the box constants, the run
// parameters, the statistics, the attracting centre and the predators; what
// only the drawing needs is the view's own record (render/view.h). It is
// allocated once at its largest size (5000 individuals, 5 predators, the
// occupancy lattice's largest fill) and zero-filled, so starting,
// restarting and ticking never allocate. Arrays of individuals are indexed
// 1..5000 and of predators 1..5, so index 0 is unused.
//
// Inputs holds the positions of the scroll bars and the check marks of the
// menus that the model and the view read at every tick. The window fills it
// from its widgets, the runner from its flags, tests from code; its defaults
// are the controls' positions at launch.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "model/box.h"
#include "model/occupancy_lattice.h"
#include "model/random.h"

namespace nyajkor {

struct UpdateScratch;

constexpr int kMaxEgyed = 5000;     // largest flock
constexpr int kMaxRagadozo = 5;     // most predators at once
constexpr int kMaxResearchEgyed = 1'000'000;  // largest flock of a research setup

// How the heading is disturbed: the model's own noise, uniform in a cube
// added to the neighbours' mean heading, or the vectorial noise of the
// literature, a random unit vector added to the neighbours' summed velocity.
enum class NoiseModel { cube, vectorial };

struct Inputs {
    // the scroll bars' positions at launch, from the control table (model/controls.h)
    Inputs();

    // scroll bar positions; their ranges are in the control table
    int egyedszam;                 // N at restart
    int vkozos;                    // common speed x10
    int parameter;                 // noise x100
    int sugar;                     // perception radius
    int egyensulyerosseg;          // custom distance-keeping strength
    int tavolsag;                  // equilibrium distance
    int tkpvonzaserosseg;          // pull towards the centre of mass
    int vonzaserosseg;             // attracting centre strength
    int eszlelok;                  // per cent perceiving the centre
    int ragadozoeszleles;          // predator perception distance
    int reakcioerosseg;            // flight strength
    int Xalfa;                     // view angle about x, degrees
    int Zbeta;                     // view angle about z, degrees
    int nagyitas;                  // zoom x10
    int xvonzokord;                // placed centre
    int yvonzokord;
    int zvonzokord;

    // menu check marks
    bool autotaszito = false;      // repulsive distance keeping, tuned strength
    bool egyenitaszito = false;    // repulsive distance keeping, user strength
    bool autovonzo = false;        // attractive-repulsive, tuned strength
    bool egyenivonzo = false;      // attractive-repulsive, user strength
    bool tkpvonzas = false;        // attraction to the centre of mass
    bool kozepenvonzo = false;     // centre fixed at the middle of the box
    bool mozgovonzo = false;       // centre wanders by itself
    bool elhelyez = false;         // centre placed by the user
    bool szemuveg = false;         // anaglyph view
    bool befoglalokocka = true;    // draw the bounding cube

    bool centreActive() const { return kozepenvonzo || mozgovonzo || elhelyez; }
    bool repulsiveDistanceKeeping() const { return autotaszito || egyenitaszito; }
    bool attractiveDistanceKeeping() const { return autovonzo || egyenivonzo; }
    bool autoTuning() const { return autotaszito || autovonzo; }
};

struct Flock {
    // room for kMaxEgyed individuals, as the window needs
    Flock();
    // room for `capacity` individuals, 1..kMaxResearchEgyed
    explicit Flock(int capacity);
    ~Flock();
    Flock(const Flock&) = delete;
    Flock& operator=(const Flock&) = delete;

    // the most individuals the arrays hold
    int capacity() const { return static_cast<int>(x.size()) - 1; }
    // individuals, 1..capacity(); only 1..egyeddb are live
    std::vector<double> x, y, z;           // position, lattice units
    std::vector<double> vx, vy, vz;        // velocity, units per tick, length kozossebesseg
    std::vector<double> ujvx, ujvy, ujvz;  // new velocities of the update in progress

    // occupancy lattice: for each cell the individual whose rounded position
    // is the cell (the highest index where several share it), or 0
    OccupancyLattice racs;

    // the box the individuals move in: its extents, walls or periodic faces
    Box box;
    NoiseModel noiseModel = NoiseModel::cube;
    // box constants (set by the window's resize; zero before it)
    int xmeret = 0, zmeret = 0;            // box extents: 350 (x, y), 250 (z)
    int xkozep = 0, zkozep = 0;            // box centre: 175 (x, y), 125 (z)

    // run parameters
    int egyeddb = 0;                       // N, 500..5000, set at restart
    double kozossebesseg = 0;              // common speed, 0.5..2.0
    double zaj = 0;                        // noise amplitude, 0..1
    int latotav = 0;                       // perception radius, 0..20
    int tavtartaserosseg = 0;              // distance-keeping strength, 0..20
    int hangolasszamlalo = 0;              // ticks towards the next auto-tune step, 0..99

    // statistics of the last tick
    double osszvx = 0, osszvy = 0, osszvz = 0;  // summed velocity
    double rendparameter = 0;              // order parameter, 0..1
    int rendszazalek = 0;                  // round(100 * rendparameter)
    double atlagtav = 0;                   // mean nearest-neighbour distance
    double atlagszomszed = 0;              // mean number of perceived neighbours

    // attracting centre
    double vonzox = 0, vonzoy = 0, vonzoz = 0;

    // predators, 1..kMaxRagadozo; only 1..ragadozodb are live
    int ragadozodb = 0;
    std::vector<double> ragx, ragy, ragz;

    // the one random generator of the run
    Random rng;

    // scratch of the velocity update, reused from tick to tick
    std::unique_ptr<UpdateScratch> scratch;
};

}  // namespace nyajkor
