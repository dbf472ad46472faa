#include "model/checkpoint.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <type_traits>

namespace nyajkor {

namespace {

constexpr std::size_t kWord = 8;
constexpr std::size_t kHeaderSize = sizeof kCheckpointMagic + 4 + 8;  // magic, version, length

std::uint64_t fnv1a(const char* data, std::size_t size) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t k = 0; k < size; ++k) {
        h ^= static_cast<unsigned char>(data[k]);
        h *= 1099511628211ull;
    }
    return h;
}

void putLittleEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

std::uint64_t getLittleEndian(const char* p, int bytes) {
    std::uint64_t v = 0;
    for (int k = 0; k < bytes; ++k) v |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    return v;
}

std::uint64_t toWord(double v) { return std::bit_cast<std::uint64_t>(v); }
std::uint64_t toWord(bool v) { return v ? 1 : 0; }
template <typename Integer>
std::uint64_t toWord(Integer v) { return static_cast<std::uint64_t>(static_cast<std::int64_t>(v)); }

template <typename T>
T fromWord(std::uint64_t w) {
    if constexpr (std::is_same_v<T, double>)
        return std::bit_cast<double>(w);
    else if constexpr (std::is_same_v<T, bool>)
        return w != 0;
    else
        return static_cast<T>(static_cast<std::int64_t>(w));
}

// The payload, word by word: the one list of what a checkpoint holds, read
// by writing, checking and loading alike. `a.word(field)` is one word;
// `a.count(field, lo, hi)` one that must lie in lo..hi and is returned, so
// that the loops take their length from the file and not from the flock.
template <typename Archive, typename F, typename V, typename I, typename Ticks>
void payload(Archive& a, F& f, V& view, I& in, Ticks& ticks) {
    a.count(ticks, 0, std::numeric_limits<long>::max());
    a.generator(f.rng);
    const int n = a.count(f.egyeddb, 1, kMaxEgyed);
    a.count(f.ragadozodb, 0, kMaxRagadozo);
    a.count(f.hangolasszamlalo, 0, 99);
    a.count(f.tavtartaserosseg, 0, 20);
    a.word(f.latotav);
    a.word(f.kozossebesseg);
    a.word(f.zaj);
    a.word(view.nagyitasszorzo);
    a.word(view.szemtav);
    a.word(f.osszvx);
    a.word(f.osszvy);
    a.word(f.osszvz);
    a.word(f.rendparameter);
    a.word(f.rendszazalek);
    a.word(f.atlagtav);
    a.word(f.atlagszomszed);
    a.word(f.vonzox);
    a.word(f.vonzoy);
    a.word(f.vonzoz);
    for (auto* colour : {&view.szinegyed, &view.szinhatter, &view.szinkocka, &view.szinvonzo,
                         &view.szinragadozo, &view.szinbalszem, &view.szinjobbszem})
        a.word(*colour);

    for (auto* control : {&in.egyedszam, &in.vkozos, &in.parameter, &in.sugar, &in.egyensulyerosseg,
                          &in.tavolsag, &in.tkpvonzaserosseg, &in.vonzaserosseg, &in.eszlelok,
                          &in.ragadozoeszleles, &in.reakcioerosseg, &in.Xalfa, &in.Zbeta, &in.nagyitas,
                          &in.xvonzokord, &in.yvonzokord, &in.zvonzokord})
        a.word(*control);
    for (auto* mark : {&in.autotaszito, &in.egyenitaszito, &in.autovonzo, &in.egyenivonzo, &in.tkpvonzas,
                       &in.kozepenvonzo, &in.mozgovonzo, &in.elhelyez, &in.szemuveg, &in.befoglalokocka})
        a.word(*mark);

    // every predator's place: one added later starts from a fresh one, but
    // the file then shows the state whole
    for (int p = 1; p <= kMaxRagadozo; ++p) {
        a.word(f.ragx[p]);
        a.word(f.ragy[p]);
        a.word(f.ragz[p]);
    }
    for (int i = 1; i <= n; ++i) {
        a.word(f.x[i]);
        a.word(f.y[i]);
        a.word(f.z[i]);
        a.word(f.vx[i]);
        a.word(f.vy[i]);
        a.word(f.vz[i]);
    }
}

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    template <typename T>
    void word(const T& v) { putLittleEndian(out_, toWord(v), kWord); }
    template <typename T>
    T count(const T& v, long long, long long) {
        word(v);
        return v;
    }
    void generator(const Random& r) { word(r.state()); }

private:
    std::string& out_;
};

// Reads the words in turn; a Checker only looks at them, a Loader stores them.
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

class Checker : public WordSource {
public:
    using WordSource::WordSource;
    template <typename T>
    void word(const T&) { take(); }
    template <typename T>
    T count(const T&, long long lo, long long hi) {
        const auto v = static_cast<std::int64_t>(take());
        if (v < lo || v > hi) throw CheckpointError(CheckpointProblem::corrupted, "holds a value out of range");
        return static_cast<T>(v);
    }
    void generator(const Random&) { take(); }
};

class Loader : public WordSource {
public:
    using WordSource::WordSource;
    template <typename T>
    void word(T& v) { v = fromWord<T>(take()); }
    template <typename T>
    T count(T& v, long long, long long) {
        word(v);
        return v;
    }
    void generator(Random& r) { r.seed(static_cast<std::uint32_t>(take())); }
};

}  // namespace

std::string checkpointBytes(const Flock& f, const ViewSettings& view, const Inputs& in, long ticks) {
    std::string words;
    Writer w(words);
    payload(w, f, view, in, ticks);
    std::string bytes(kCheckpointMagic, sizeof kCheckpointMagic);
    putLittleEndian(bytes, kCheckpointVersion, 4);
    putLittleEndian(bytes, words.size(), 8);
    bytes += words;
    putLittleEndian(bytes, fnv1a(bytes.data(), bytes.size()), 8);
    return bytes;
}

void restoreCheckpoint(const std::string& bytes, Flock& f, ViewSettings& view, Inputs& in, long& ticks) {
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
    if (getLittleEndian(bytes.data() + checked, 8) != fnv1a(bytes.data(), checked))
        throw CheckpointError(corrupted, "is corrupted: its checksum does not match");

    // every word checked before the first one is stored
    const char* words = bytes.data() + kHeaderSize;
    Checker checker(words, length / kWord);
    payload(checker, f, view, in, ticks);
    if (checker.left() != 0) throw CheckpointError(corrupted, "is corrupted: it holds more data than its state");
    Loader loader(words, length / kWord);
    payload(loader, f, view, in, ticks);
}

std::string readCheckpointFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CheckpointError(CheckpointProblem::unreadable, "cannot be opened");
    // the largest checkpoint: the header, the fixed words, every individual, the checksum
    constexpr std::size_t kLargest = kHeaderSize + kWord * (100 + 6 * std::size_t{kMaxEgyed}) + 8;
    std::string bytes(kLargest + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) throw CheckpointError(CheckpointProblem::unreadable, "cannot be read");
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

}  // namespace nyajkor
