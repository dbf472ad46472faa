#include "model/checkpoint.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>

#include "model/bit_cast.h"
#include "model/controls.h"
#include "model/fnv1a.h"
#include "model/state_bounds.h"

namespace nyajkor {

namespace {

constexpr std::size_t kWord = 8;
constexpr std::size_t kHeaderSize = sizeof kCheckpointMagic + 4 + 8;  // magic, version, length

void putLittleEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

std::uint64_t getLittleEndian(const char* p, int bytes) {
    std::uint64_t v = 0;
    for (int k = 0; k < bytes; ++k) v |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    return v;
}

std::uint64_t toWord(double v) { return bitCast<std::uint64_t>(v); }
std::uint64_t toWord(bool v) { return v ? 1 : 0; }
template <typename Integer>
std::uint64_t toWord(Integer v) { return static_cast<std::uint64_t>(static_cast<std::int64_t>(v)); }

template <typename T>
T fromWord(std::uint64_t w) {
    if constexpr (std::is_same_v<T, double>)
        return bitCast<double>(w);
    else if constexpr (std::is_same_v<T, bool>)
        return w != 0;
    else
        return static_cast<T>(static_cast<std::int64_t>(w));
}

// The ranges a run can reach, for the words that have no control of their own.
const Control& kStrength = controlOf(&Inputs::egyensulyerosseg);
const Control& kRadius = controlOf(&Inputs::sugar);
const Control& kSpeed = controlOf(&Inputs::vkozos);
const Control& kNoise = controlOf(&Inputs::parameter);
const Control& kZoom = controlOf(&Inputs::nagyitas);
const Control& kCount = controlOf(&Inputs::egyedszam);
constexpr int kMaxEyeOffset = 100;               // pixels; the view uses 20
constexpr std::int64_t kLargestColour = 0xFFFFFF;  // 0x00BBGGRR
constexpr double kMaxVelocitySum = kMaxEgyed * kLargestVelocityComponent;

// The scroll bars a checkpoint keeps, in the order of its words.
constexpr int Inputs::*kStoredControls[] = {
    &Inputs::egyedszam,  &Inputs::vkozos,           &Inputs::parameter,       &Inputs::sugar,
    &Inputs::egyensulyerosseg, &Inputs::tavolsag,   &Inputs::tkpvonzaserosseg, &Inputs::vonzaserosseg,
    &Inputs::eszlelok,   &Inputs::ragadozoeszleles, &Inputs::reakcioerosseg,  &Inputs::Xalfa,
    &Inputs::Zbeta,      &Inputs::nagyitas,         &Inputs::xvonzokord,      &Inputs::yvonzokord,
    &Inputs::zvonzokord};

// A word of one individual or predator, for the message that refuses it.
struct Place {
    const char* kind;  // "individual" or "predator"
    int index;
    const char* field;
};

std::string nameOf(const char* name) { return name; }
std::string nameOf(const Place& p) { return std::string(p.kind) + " " + std::to_string(p.index) + "'s " + p.field; }

std::string realText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The payload, word by word: the one list of what a checkpoint holds and of
// the range each word must lie in, read by writing, checking and loading
// alike. The ranges are those a run can reach: the controls' positions are
// their scroll bars' ranges, the state fields follow from them, and every
// position must round into the lattice, which the neighbour search indexes
// with it. `a.count` and `a.real` return the word, so that the loops take
// their length from the file and not from the flock.
template <typename Archive, typename F, typename V, typename I, typename Ticks>
void payload(Archive& a, F& f, V& view, I& in, Ticks& ticks) {
    a.count("the tick count", ticks, 0, kMaxTickCount);
    a.generator(f.rng);
    const int n = a.count("egyeddb", f.egyeddb, kCount.min, kCount.max);
    a.count("ragadozodb", f.ragadozodb, 0, kMaxRagadozo);
    a.count("hangolasszamlalo", f.hangolasszamlalo, 0, 99);
    a.count("tavtartaserosseg", f.tavtartaserosseg, kStrength.min, kStrength.max);
    a.count("latotav", f.latotav, kRadius.min, kRadius.max);
    a.real("kozossebesseg", f.kozossebesseg, kSpeed.min / 10.0, kSpeed.max / 10.0);
    a.real("zaj", f.zaj, kNoise.min / 100.0, kNoise.max / 100.0);
    a.real("nagyitasszorzo", view.nagyitasszorzo, kZoom.min / 10.0, kZoom.max / 10.0);
    a.count("szemtav", view.szemtav, 0, kMaxEyeOffset);
    a.real("osszvx", f.osszvx, -kMaxVelocitySum, kMaxVelocitySum);
    a.real("osszvy", f.osszvy, -kMaxVelocitySum, kMaxVelocitySum);
    a.real("osszvz", f.osszvz, -kMaxVelocitySum, kMaxVelocitySum);
    a.real("rendparameter", f.rendparameter, 0, kLargestOrder);
    a.count("rendszazalek", f.rendszazalek, 0, 100);
    a.real("atlagtav", f.atlagtav, 0, 2.0 * kRadius.max);
    a.real("atlagszomszed", f.atlagszomszed, 0, kMaxEgyed);
    a.real("vonzox", f.vonzox, lowestReach(kRacsX), highestReach(kRacsX));
    a.real("vonzoy", f.vonzoy, lowestReach(kRacsX), highestReach(kRacsX));
    a.real("vonzoz", f.vonzoz, lowestReach(kRacsZ), highestReach(kRacsZ));
    const std::pair<const char*, decltype(&view.szinegyed)> colours[] = {
        {"szinegyed", &view.szinegyed},       {"szinhatter", &view.szinhatter}, {"szinkocka", &view.szinkocka},
        {"szinvonzo", &view.szinvonzo},       {"szinragadozo", &view.szinragadozo},
        {"szinbalszem", &view.szinbalszem}, {"szinjobbszem", &view.szinjobbszem}};
    for (const auto& [name, colour] : colours) a.count(name, *colour, 0, kLargestColour);

    for (int Inputs::*position : kStoredControls) {
        const Control& c = controlOf(position);
        a.count(c.name, in.*position, c.min, c.max);
    }
    const std::pair<const char*, decltype(&in.autotaszito)> marks[] = {
        {"autotaszito", &in.autotaszito}, {"egyenitaszito", &in.egyenitaszito}, {"autovonzo", &in.autovonzo},
        {"egyenivonzo", &in.egyenivonzo}, {"tkpvonzas", &in.tkpvonzas},         {"kozepenvonzo", &in.kozepenvonzo},
        {"mozgovonzo", &in.mozgovonzo},   {"elhelyez", &in.elhelyez},           {"szemuveg", &in.szemuveg},
        {"befoglalokocka", &in.befoglalokocka}};
    for (const auto& [name, mark] : marks) a.mark(name, *mark);

    // every predator's place: one added later starts from a fresh one, but
    // the file then shows the state whole
    for (int p = 1; p <= kMaxRagadozo; ++p) {
        a.real(Place{"predator", p, "x"}, f.ragx[p], lowestReach(kRacsX), highestReach(kRacsX));
        a.real(Place{"predator", p, "y"}, f.ragy[p], lowestReach(kRacsX), highestReach(kRacsX));
        a.real(Place{"predator", p, "z"}, f.ragz[p], lowestReach(kRacsZ), highestReach(kRacsZ));
    }
    for (int i = 1; i <= n; ++i) {
        a.position(Place{"individual", i, "x"}, f.x[i], kRacsX);
        a.position(Place{"individual", i, "y"}, f.y[i], kRacsX);
        a.position(Place{"individual", i, "z"}, f.z[i], kRacsZ);
        a.real(Place{"individual", i, "vx"}, f.vx[i], -kLargestVelocityComponent, kLargestVelocityComponent);
        a.real(Place{"individual", i, "vy"}, f.vy[i], -kLargestVelocityComponent, kLargestVelocityComponent);
        a.real(Place{"individual", i, "vz"}, f.vz[i], -kLargestVelocityComponent, kLargestVelocityComponent);
    }
}

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    template <typename Name, typename T>
    T count(const Name&, const T& v, std::int64_t, std::int64_t) {
        word(v);
        return v;
    }
    template <typename Name>
    void real(const Name&, double v, double, double) { word(v); }
    template <typename Name>
    void position(const Name&, double v, int) { word(v); }
    void mark(const char*, bool v) { word(v); }
    void generator(const Random& r) { word(r.state()); }

private:
    template <typename T>
    void word(const T& v) { putLittleEndian(out_, toWord(v), kWord); }
    std::string& out_;
};

// Reads the words in turn.
class WordSource {
public:
    WordSource(const char* data, std::size_t words) : data_(data), left_(words) {}
    std::uint64_t take() {
        if (left_ == 0) throw CheckpointError(CheckpointProblem::truncated, "is truncated: its data end early");
        --left_;
        const std::uint64_t w = getLittleEndian(data_, kWord);
        data_ += kWord;
        return w;
    }
    std::size_t left() const { return left_; }

private:
    const char* data_;
    std::size_t left_;
};

// Checks every word against its range, storing nothing: the first one out
// of range is refused with its name and value.
class Checker : public WordSource {
public:
    using WordSource::WordSource;
    template <typename Name, typename T>
    T count(const Name& name, const T&, std::int64_t lo, std::int64_t hi) {
        const auto v = static_cast<std::int64_t>(take());
        if (v < lo || v > hi)
            refuse(name, std::to_string(v), std::to_string(lo) + ".." + std::to_string(hi));
        return static_cast<T>(v);
    }
    // NaN fails both comparisons, so it is refused too.
    template <typename Name>
    void real(const Name& name, double, double lo, double hi) {
        const double v = bitCast<double>(take());
        if (!(lo <= v && v <= hi)) refuse(name, realText(v), realText(lo) + ".." + realText(hi));
    }
    template <typename Name>
    void position(const Name& name, double, int extent) {
        const double v = bitCast<double>(take());
        if (!roundsIntoLattice(v, extent))
            refuse(name, realText(v), "a place that rounds into the lattice's 0.." + std::to_string(extent - 1));
    }
    void mark(const char* name, bool& kept) {
        const std::uint64_t v = take();
        if (v > 1) refuse(name, std::to_string(static_cast<std::int64_t>(v)), "0 or 1");
        kept = v == 1;
    }
    void generator(const Random&) { take(); }

private:
    template <typename Name>
    [[noreturn]] void refuse(const Name& name, const std::string& value, const std::string& range) {
        throw CheckpointError(CheckpointProblem::outOfRange,
                              "holds a value out of range: " + nameOf(name) + " is " + value + ", not " + range);
    }
};

// Stores every word; only after a Checker has passed them all.
class Loader : public WordSource {
public:
    using WordSource::WordSource;
    template <typename Name, typename T>
    T count(const Name&, T& v, std::int64_t, std::int64_t) {
        v = fromWord<T>(take());
        return v;
    }
    template <typename Name>
    void real(const Name&, double& v, double, double) { v = fromWord<double>(take()); }
    template <typename Name>
    void position(const Name&, double& v, int) { v = fromWord<double>(take()); }
    void mark(const char*, bool& v) { v = fromWord<bool>(take()); }
    void generator(Random& r) { r.seed(static_cast<std::uint32_t>(take())); }
};

// The check marks a window can show at once: at most one distance-keeping
// mode and at most one mode of the attracting centre.
void checkMarks(const Inputs& in) {
    const int distance = in.autotaszito + in.egyenitaszito + in.autovonzo + in.egyenivonzo;
    const int centre = in.kozepenvonzo + in.mozgovonzo + in.elhelyez;
    if (distance > 1)
        throw CheckpointError(CheckpointProblem::outOfRange,
                              "holds a value out of range: " + std::to_string(distance) +
                                  " distance-keeping modes are checked, not at most one");
    if (centre > 1)
        throw CheckpointError(CheckpointProblem::outOfRange,
                              "holds a value out of range: " + std::to_string(centre) +
                                  " modes of the attracting centre are checked, not at most one");
}

}  // namespace

std::string checkpointBytes(const Flock& f, const ViewSettings& view, const Inputs& in, TickCount ticks) {
    std::string words;
    Writer w(words);
    payload(w, f, view, in, ticks);
    std::string bytes(kCheckpointMagic, sizeof kCheckpointMagic);
    putLittleEndian(bytes, kCheckpointVersion, 4);
    putLittleEndian(bytes, words.size(), 8);
    bytes += words;
    putLittleEndian(bytes, fnv1a(bytes), 8);
    return bytes;
}

void restoreCheckpoint(const std::string& bytes, Flock& f, ViewSettings& view, Inputs& in, TickCount& ticks) {
    using enum CheckpointProblem;
    if (bytes.size() < sizeof kCheckpointMagic ||
        std::memcmp(bytes.data(), kCheckpointMagic, sizeof kCheckpointMagic) != 0)
        throw CheckpointError(foreign, "is not a checkpoint of this program");
    if (bytes.size() < kHeaderSize + 8) throw CheckpointError(truncated, "is truncated");
    const auto version = getLittleEndian(bytes.data() + sizeof kCheckpointMagic, 4);
    if (version > kCheckpointVersion)
        throw CheckpointError(newerVersion, "is of a newer format (version " + std::to_string(version) +
                                                "); this program reads version " +
                                                std::to_string(kCheckpointVersion));
    if (version != kCheckpointVersion) throw CheckpointError(corrupted, "is of an unknown format version");
    const auto length = getLittleEndian(bytes.data() + sizeof kCheckpointMagic + 4, 8);
    const std::size_t body = bytes.size() - kHeaderSize - 8;
    if (length > body) throw CheckpointError(truncated, "is truncated");
    if (length < body || length % kWord != 0)
        throw CheckpointError(corrupted, "is corrupted: its length does not add up");
    const std::size_t checked = kHeaderSize + length;
    if (getLittleEndian(bytes.data() + checked, 8) != fnv1a(std::string_view(bytes).substr(0, checked)))
        throw CheckpointError(corrupted, "is corrupted: its checksum does not match");

    // every word checked before the first one is stored
    const char* words = bytes.data() + kHeaderSize;
    // the checker keeps the check marks in a copy of the controls, to check them together
    Inputs checkedInputs = in;
    Checker checker(words, length / kWord);
    payload(checker, std::as_const(f), std::as_const(view), checkedInputs, std::as_const(ticks));
    if (checker.left() != 0) throw CheckpointError(corrupted, "is corrupted: it holds more data than its state");
    checkMarks(checkedInputs);
    Loader loader(words, length / kWord);
    payload(loader, f, view, in, ticks);
}

std::size_t largestCheckpointSize() {
    // the header, the fixed words, every individual, the checksum
    return kHeaderSize + kWord * (100 + 6 * std::size_t{kMaxEgyed}) + 8;
}

std::string readCheckpointFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CheckpointError(CheckpointProblem::unreadable, "cannot be opened");
    std::string bytes(largestCheckpointSize() + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) throw CheckpointError(CheckpointProblem::unreadable, "cannot be read");
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

}  // namespace nyajkor
