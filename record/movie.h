// Movies: frames piped as raw pixels to the ffmpeg program, which encodes
// them as H.264 in an MP4 file.
//
// ffmpeg writes into a temporary file that has no name (it is gone with the
// process, whatever ends it); finish() checks what it wrote and hands the
// finished movie to the caller's stream, so the movie reaches its target the
// way every other output does. Frames are handed over on another thread, so
// the caller waits only while the queue is full; the queue is bounded by
// bytes, not frames, so large frames cost a few of them at most.
//
// ffmpeg dies with the thread that started it, so a program ended at once
// (a second Ctrl-C) leaves no encoder behind; start it from a thread that
// outlives the recording.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nyajkor {

// The program of this name on the PATH, or empty when there is none.
std::string findProgram(const std::string& name);
// The ffmpeg program on the PATH, or empty when there is none.
std::string findFfmpeg();

// The most memory a movie's frame queue holds for frames of width x height
// pixels: the frames waiting and the one on its way to ffmpeg.
std::size_t moviePeakQueueBytes(int width, int height);

// The encoder failed; what() is one line for the user.
class MovieError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MovieEncoder {
public:
    static constexpr int kFramesPerSecond = 25;

    // Starts `ffmpeg` for frames of width x height pixels; throws
    // MovieError when it cannot be started. Once `stop` (if given) is
    // non-zero, waits end within a fraction of a second: addFrame drops its
    // frame and finish() abandons the movie.
    MovieEncoder(const std::string& ffmpeg, int width, int height, const std::atomic<int>* stop = nullptr);
    ~MovieEncoder();  // abandons an unfinished movie
    MovieEncoder(const MovieEncoder&) = delete;
    MovieEncoder& operator=(const MovieEncoder&) = delete;

    // Queues one frame: height rows of width pixels 0xFFRRGGBB, top first.
    void addFrame(const std::uint32_t* pixels);
    long frames() const { return frames_; }
    int width() const { return width_; }
    // Whether ffmpeg has stopped taking frames (it failed, a full disk for
    // one); finish() then throws with its complaint.
    bool failed() const { return writeFailed_; }
    int height() const { return height_; }

    // Waits for the encoding to end, checks that ffmpeg wrote a movie of
    // every frame, and writes it to `out`; throws MovieError with the reason
    // (ffmpeg's own last words, the signal that ended it, a full temporary
    // folder) when it did not.
    void finish(std::ostream& out);

private:
    void feed();
    void abandon();
    bool stopped() const { return stop_ && stop_->load() != 0; }
    int waitForEncoder();
    void checkMovie(int status);
    long probedFrames(const std::string& ffprobe);
    std::string complaint() const;
    std::string fullFolderNote() const;

    int width_, height_;
    std::size_t frameBytes_, queueFrames_;
    long frames_ = 0;
    const std::atomic<int>* stop_;
    std::string folder_;
    int movie_ = -1, log_ = -1, input_ = -1;
    int process_ = -1;
    std::atomic<bool> writeFailed_{false};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint32_t>> queue_;
    bool closing_ = false, fed_ = false;
    std::thread feeder_;
};

}  // namespace nyajkor
