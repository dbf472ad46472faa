// Movies: frames piped as raw pixels to the ffmpeg program, which encodes
// them as H.264 in an MP4 file.
//
// ffmpeg writes into a temporary file that has no name (it is gone with the
// process, whatever ends it); finish() hands the finished movie to the
// caller's stream, so the movie reaches its target the way every other
// output does. Frames are handed over on another thread, so the caller
// waits only while the queue is full.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nyajkor {

// The ffmpeg program on the PATH, or empty when there is none.
std::string findFfmpeg();

// The encoder failed; what() is one line for the user.
class MovieError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MovieEncoder {
public:
    static constexpr int kFramesPerSecond = 25;

    // Starts `ffmpeg` for frames of width x height pixels; throws
    // MovieError when it cannot be started.
    MovieEncoder(const std::string& ffmpeg, int width, int height);
    ~MovieEncoder();  // abandons an unfinished movie
    MovieEncoder(const MovieEncoder&) = delete;
    MovieEncoder& operator=(const MovieEncoder&) = delete;

    // Queues one frame: height rows of width pixels 0xFFRRGGBB, top first.
    void addFrame(const std::uint32_t* pixels);
    long frames() const { return frames_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Waits for the encoding to end and writes the movie to `out`; throws
    // MovieError with ffmpeg's own complaint when it failed.
    void finish(std::ostream& out);

private:
    void feed();
    void stop();
    std::string complaint() const;

    int width_, height_;
    long frames_ = 0;
    int movie_ = -1, log_ = -1, input_ = -1;
    int process_ = -1;
    bool writeFailed_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint32_t>> queue_;
    bool closing_ = false;
    std::thread feeder_;
};

}  // namespace nyajkor
