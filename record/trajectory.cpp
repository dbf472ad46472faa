#include "record/trajectory.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

#include "model/occupancy_lattice.h"
#include "model/state_bounds.h"
#include "record/real_text.h"

namespace nyajkor {

bool isCompressedName(const std::string& path) {
    return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
}

// ---- writing -------------------------------------------------------------------

// A gzip stream into an ostream, so that a compressed trajectory goes
// wherever a plain one would.
class TrajectoryWriter::Deflater {
public:
    explicit Deflater(std::ostream& out) : out_(out) {
        // 15 window bits plus 16: a gzip header and trailer rather than zlib's
        if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("the compressor could not be set up");
    }
    ~Deflater() { deflateEnd(&z_); }

    void put(const char* data, std::size_t size, int flush) {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z_.avail_in = static_cast<uInt>(size);
        do {
            z_.next_out = chunk_;
            z_.avail_out = sizeof chunk_;
            deflate(&z_, flush);
            out_.write(reinterpret_cast<const char*>(chunk_),
                       static_cast<std::streamsize>(sizeof chunk_ - z_.avail_out));
        } while (z_.avail_out == 0);
    }

private:
    std::ostream& out_;
    z_stream z_{};
    Bytef chunk_[1 << 16];
};

TrajectoryWriter::TrajectoryWriter(std::ostream& out, bool compressed) : out_(out) {
    if (compressed) deflater_ = std::make_unique<Deflater>(out);
}

TrajectoryWriter::~TrajectoryWriter() = default;

std::string trajectoryFrameText(const Flock& f, long tick, bool centreActive) {
    const int count = f.egyeddb + f.ragadozodb + (centreActive ? 1 : 0);
    // the box as the cell of the frame, periodic on every axis or on none
    const std::array<int, 3>& e = f.box.extent;
    const char* pbc = f.box.periodic() ? "T T T" : "F F F";
    std::string text = std::to_string(count) + "\nLattice=\"" + std::to_string(e[0]) + " 0 0 0 " +
                       std::to_string(e[1]) + " 0 0 0 " + std::to_string(e[2]) +
                       "\" Properties=species:S:1:pos:R:3:velo:R:3 pbc=\"" + pbc + "\" tick=" + std::to_string(tick) +
                       " order=" + realText(f.rendparameter) + " avg_neighbours=" + realText(f.atlagszomszed) +
                       "\n";
    const auto particle = [&text](char species, double x, double y, double z, double vx, double vy, double vz) {
        text += species;
        for (double v : {x, y, z, vx, vy, vz}) text += ' ' + realText(v);
        text += '\n';
    };
    for (int i = 1; i <= f.egyeddb; ++i) particle('I', f.x[i], f.y[i], f.z[i], f.vx[i], f.vy[i], f.vz[i]);
    for (int p = 1; p <= f.ragadozodb; ++p) particle('P', f.ragx[p], f.ragy[p], f.ragz[p], 0, 0, 0);
    if (centreActive) particle('C', f.vonzox, f.vonzoy, f.vonzoz, 0, 0, 0);
    return text;
}

void TrajectoryWriter::write(const Flock& f, long tick, bool centreActive) {
    put(trajectoryFrameText(f, tick, centreActive));
}

void TrajectoryWriter::put(const std::string& text) {
    if (deflater_)
        deflater_->put(text.data(), text.size(), Z_NO_FLUSH);
    else
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void TrajectoryWriter::finish() {
    if (deflater_) deflater_->put(nullptr, 0, Z_FINISH);
}

// ---- reading -------------------------------------------------------------------

namespace {

// The longest line the reader takes: the writer's lines are at most about
// 200 characters (a particle is a letter and six reals of at most 24).
constexpr std::size_t kMaxTrajectoryLine = 1024;

}  // namespace

struct TrajectoryReader::File {
    gzFile gz = nullptr;
    char buffer[1 << 16];
    std::size_t at = 0, end = 0;  // the unread part of the buffer
    ~File() {
        if (gz) gzclose(gz);
    }
};

TrajectoryReader::TrajectoryReader(const std::string& path) : file_(std::make_unique<File>()) {
    // gzopen reads a plain file as it is, so one reader takes both kinds
    file_->gz = gzopen(path.c_str(), "rb");
    if (!file_->gz) throw TrajectoryError("cannot open '" + path + "'", 0);
}

TrajectoryReader::~TrajectoryReader() = default;

// Reads one line into `line`, without its newline. A line longer than any
// the writer writes is refused after reading only that much, so a damaged
// file (or one that inflates to a single endless line) costs a few
// kilobytes; a last line without its newline is a file cut short, perhaps
// in the middle of a number, and is refused too.
bool TrajectoryReader::readLine(std::string& line) {
    const auto fail = [this](const std::string& what) {
        throw TrajectoryError("line " + std::to_string(line_ + 1) + ": " + what, line_ + 1);
    };
    File& file = *file_;
    line.clear();
    for (;;) {
        if (file.at == file.end) {
            const int got = gzread(file.gz, file.buffer, sizeof file.buffer);
            if (got < 0) {
                int code = 0;
                fail(gzerror(file.gz, &code));
            }
            file.at = 0;
            file.end = static_cast<std::size_t>(got);
            if (got == 0) {
                if (line.empty()) return false;
                fail("the file ends in the middle of a line");
            }
        }
        const char* from = file.buffer + file.at;
        const char* stop = static_cast<const char*>(std::memchr(from, '\n', file.end - file.at));
        const std::size_t taken = (stop ? stop : file.buffer + file.end) - from;
        line.append(from, std::min(taken, kMaxTrajectoryLine + 1 - line.size()));
        file.at += taken + (stop ? 1 : 0);
        if (line.size() > kMaxTrajectoryLine) fail("longer than any line of a trajectory");
        if (line.find('\0') != std::string::npos) fail("not text");
        if (stop) {
            ++line_;
            return true;
        }
    }
}

namespace {

template <typename Number>
bool numberFrom(std::string_view text, Number& v) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc{} && ptr == text.data() + text.size();
}

// The value of `key=` in a comment line, up to the next space; empty when absent.
std::string_view valueOf(std::string_view comment, std::string_view key) {
    std::size_t at = 0;
    while ((at = comment.find(key, at)) != std::string_view::npos) {
        const bool starts = at == 0 || comment[at - 1] == ' ';
        if (starts && comment.substr(at + key.size(), 1) == "=") {
            const std::size_t from = at + key.size() + 1, end = comment.find(' ', from);
            return comment.substr(from, end == std::string_view::npos ? end : end - from);
        }
        at += key.size();
    }
    return {};
}

// Whether a real is finite and within [low, high).
bool within(double v, double low, double high) { return v >= low && v < high; }

// Individuals stand where the model's lattice has cells: each coordinate
// rounds to one of its cells. Predators and the attracting centre are never
// looked up in it and may stray a little past the walls; they are held to
// the box widened by its own size on every side.
bool insideTheBox(const TrajectoryParticle& p) {
    if (p.species == 'I')
        return roundsIntoLattice(p.x, kRacsX) && roundsIntoLattice(p.y, kRacsX) && roundsIntoLattice(p.z, kRacsZ);
    return within(p.x, lowestReach(kRacsX), highestReach(kRacsX)) &&
           within(p.y, lowestReach(kRacsX), highestReach(kRacsX)) &&
           within(p.z, lowestReach(kRacsZ), highestReach(kRacsZ));
}

bool velocityInRange(const TrajectoryParticle& p) {
    constexpr double most = kLargestVelocityComponent;
    return within(p.vx, -most, most) && within(p.vy, -most, most) && within(p.vz, -most, most);
}

}  // namespace

bool TrajectoryReader::next(TrajectoryFrame& frame) {
    std::string line;
    if (!readLine(line)) return false;
    const auto failAt = [](long line, const std::string& what) {
        throw TrajectoryError("line " + std::to_string(line) + ": " + what, line);
    };
    const auto fail = [&] (const std::string& what) { failAt(line_, what); };
    const auto endsEarly = [&] { failAt(line_ + 1, "the frame ends early"); };
    std::size_t count = 0;
    if (!numberFrom(line, count)) fail("not a number of particles");
    if (count > std::size_t{kMaxEgyed} + kMaxRagadozo + 1) fail("more particles than a flock has");
    if (!readLine(line)) endsEarly();
    if (valueOf(line, "Properties") != "species:S:1:pos:R:3:velo:R:3")
        fail("not a trajectory of species, positions and velocities");
    // a research setup's box is another cell, and may be periodic: its
    // frames are not the window's flock
    if (line.find("Lattice=\"350 0 0 0 350 0 0 0 250\"") == std::string::npos ||
        line.find("pbc=\"F F F\"") == std::string::npos)
        fail("a box other than the window's walled 350 x 350 x 250");
    if (!numberFrom(valueOf(line, "tick"), frame.tick) || !numberFrom(valueOf(line, "order"), frame.order) ||
        !numberFrom(valueOf(line, "avg_neighbours"), frame.avgNeighbours))
        fail("the frame's tick, order or avg_neighbours is missing");
    if (frame.tick < 0 || !within(frame.order, 0, kLargestOrder) ||
        !within(frame.avgNeighbours, 0, kMaxEgyed))
        fail("the frame's tick, order or avg_neighbours is out of range");
    frame.particles.resize(count);
    for (TrajectoryParticle& p : frame.particles) {
        if (!readLine(line)) endsEarly();
        std::istringstream fields(line);
        std::string species, v[6];
        fields >> species >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5];
        double* into[6] = {&p.x, &p.y, &p.z, &p.vx, &p.vy, &p.vz};
        bool ok = species.size() == 1 && std::string("IPC").find(species[0]) != std::string::npos;
        for (int k = 0; k < 6 && ok; ++k) ok = numberFrom(v[k], *into[k]);
        std::string extra;
        if (!ok || fields >> extra) fail("not a particle: species and six reals");
        p.species = species[0];
        if (!insideTheBox(p)) fail("a position outside the box, or not a number");
        if (!velocityInRange(p)) fail("a velocity out of range, or not a number");
    }
    const auto number = [&frame](char species) {
        return std::count_if(frame.particles.begin(), frame.particles.end(),
                             [species](const TrajectoryParticle& p) { return p.species == species; });
    };
    if (number('I') > kMaxEgyed || number('P') > kMaxRagadozo || number('C') > 1)
        fail("more individuals, predators or centres than a flock has");
    return true;
}

}  // namespace nyajkor
