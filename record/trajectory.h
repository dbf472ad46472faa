// Trajectories in the extended XYZ format, which OVITO and ASE read.
//
// A frame is one line with the number of particles, one comment line of
// key=value pairs (the box as a lattice, the columns, no periodic walls, the
// tick, the order parameter and the mean number of perceived neighbours),
// then one line per particle: species, position and velocity. The species
// are I for the individuals 1..N, P for each predator and C for the
// attracting centre when one is active, these two with velocity 0 0 0.
// Reals are written as the shortest text that reads back to the same double.
//
// A trajectory whose name ends in ".gz" is gzip-compressed; the reader
// takes either kind.
#pragma once

#include <cstdio>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/flock.h"

namespace nyajkor {

struct TrajectoryParticle {
    char species = 'I';  // I individual, P predator, C attracting centre
    double x = 0, y = 0, z = 0, vx = 0, vy = 0, vz = 0;
};

struct TrajectoryFrame {
    long tick = 0;
    double order = 0;
    double avgNeighbours = 0;
    std::vector<TrajectoryParticle> particles;
};

// Whether a trajectory of this name is written gzip-compressed.
bool isCompressedName(const std::string& path);

// Writes frames one after another to `out`, compressing them when asked.
class TrajectoryWriter {
public:
    TrajectoryWriter(std::ostream& out, bool compressed);
    ~TrajectoryWriter();
    TrajectoryWriter(const TrajectoryWriter&) = delete;
    TrajectoryWriter& operator=(const TrajectoryWriter&) = delete;

    // One frame of the flock after tick `tick`; the centre is written when
    // `centreActive`.
    void write(const Flock& f, long tick, bool centreActive);
    // Ends the compressed stream; call once, after the last frame.
    void finish();

private:
    class Deflater;
    void put(const std::string& text);
    std::ostream& out_;
    std::unique_ptr<Deflater> deflater_;
    std::string buffer_;
};

// The frame as text, exactly as the writer writes it.
std::string trajectoryFrameText(const Flock& f, long tick, bool centreActive);

// A trajectory file that cannot be read; what() is one line for the user,
// line() the line at fault (0: the file cannot be opened).
class TrajectoryError : public std::runtime_error {
public:
    TrajectoryError(const std::string& what, long line) : std::runtime_error(what), line_(line) {}
    long line() const { return line_; }

private:
    long line_;
};

// Reads the frames of a trajectory file (plain or gzip) one at a time.
class TrajectoryReader {
public:
    // Throws TrajectoryError when the file cannot be opened.
    explicit TrajectoryReader(const std::string& path);
    ~TrajectoryReader();
    TrajectoryReader(const TrajectoryReader&) = delete;
    TrajectoryReader& operator=(const TrajectoryReader&) = delete;

    // The next frame into `frame`; false at the end of the file. Throws
    // TrajectoryError naming the line when a frame is malformed, cut short
    // or holds more individuals or predators than a flock can, a line is
    // longer than any the writer writes, or a value is out of its range:
    // individuals outside the lattice of the box, predators and the centre
    // far outside it, a real that is not finite.
    bool next(TrajectoryFrame& frame);

private:
    bool readLine(std::string& line);
    struct File;
    std::unique_ptr<File> file_;
    long line_ = 0;
};

}  // namespace nyajkor
