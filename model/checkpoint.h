// Exact checkpoints: the whole state of a run, to go on with later.
//
// A checkpoint holds every field of the flock that the next tick reads, the
// settings of the view that the next frame reads, the tick count and the
// positions and check marks of the controls, so that a run resumed from it
// goes on bit for bit as if it had never stopped. The occupancy lattice is not kept: every tick clears
// it and fills it again from the positions before reading it.
//
// The file is binary: a magic, a format version, the payload's length, the
// payload as 64-bit little-endian words (integers in two's complement,
// reals as their IEEE-754 bits) and an FNV-1a 64-bit checksum of all that
// precedes it. docs/checkpoint.md lists the words. Reading checks the
// whole file before it changes anything, so a file that is truncated,
// corrupted, foreign or of a newer version is refused with the state as
// it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "model/flock.h"

namespace nyajkor {

inline constexpr char kCheckpointMagic[8] = {'N', 'Y', 'J', 'K', '3', 'D', 'C', 'P'};
inline constexpr std::uint32_t kCheckpointVersion = 1;

// Ticks counted since Start: 64 bits wide everywhere, also where long has 32
// (WebAssembly, 64-bit Windows).
using TickCount = std::int64_t;

// The most ticks a run counts since Start: a checkpoint's tick count and a
// resumed run's last tick stay within it.
inline constexpr TickCount kMaxTickCount = 1'000'000'000'000;

// Why a checkpoint cannot be used: outOfRange is a whole, well-formed file
// that holds a value no run can reach (a control past its scroll bar's
// range, an individual outside the box, a NaN).
enum class CheckpointProblem { unreadable, foreign, truncated, newerVersion, corrupted, outOfRange };

// A checkpoint that cannot be used; what() is one line for the user of the
// runner, problem() lets the window say it in its own words.
class CheckpointError : public std::runtime_error {
public:
    CheckpointError(CheckpointProblem problem, const std::string& what)
        : std::runtime_error(what), problem_(problem) {}
    CheckpointProblem problem() const { return problem_; }

private:
    CheckpointProblem problem_;
};

// What a checkpoint keeps of the view, which the model does not draw: the
// zoom factor, the anaglyph eye offset and the colours (0x00BBGGRR). The view
// fills it and takes it back.
struct ViewSettings {
    double nagyitasszorzo = 0;
    int szemtav = 0;
    std::uint32_t szinegyed = 0, szinhatter = 0, szinkocka = 0, szinvonzo = 0;
    std::uint32_t szinragadozo = 0, szinbalszem = 0, szinjobbszem = 0;

    bool operator==(const ViewSettings&) const = default;
};

// The checkpoint of `f`, the view's settings `view`, `in` and the ticks run
// since Start, as the bytes of its file.
std::string checkpointBytes(const Flock& f, const ViewSettings& view, const Inputs& in, TickCount ticks);

// Checks `bytes` whole, every word against its range, then sets `f`, `view`,
// `in` and `ticks` from them. Throws CheckpointError, changing nothing, when
// they are not a checkpoint this program can read; what() then names the
// first word out of range and its value.
void restoreCheckpoint(const std::string& bytes, Flock& f, ViewSettings& view, Inputs& in, TickCount& ticks);

// The most bytes a checkpoint file can have: a reader needs no more than one
// byte beyond them to tell that a file is too long.
std::size_t largestCheckpointSize();

// The bytes of a checkpoint file, at most as many as a checkpoint can
// have and one more; throws CheckpointError when it cannot be read.
std::string readCheckpointFile(const std::string& path);

}  // namespace nyajkor
