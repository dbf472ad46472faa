#include "record/movie.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace nyajkor {

namespace {

// Frames waiting for ffmpeg at most; beyond them the caller waits.
constexpr std::size_t kQueuedFrames = 32;

// A file without a name in the temporary folder, open for reading and
// writing; ffmpeg reaches it through /dev/fd.
int anonymousFile() {
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !*folder) folder = "/tmp";
    const int fd = ::open(folder, O_TMPFILE | O_RDWR, 0600);
    if (fd < 0) throw MovieError(std::string("no temporary file for the movie: ") + std::strerror(errno));
    return fd;
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::string findFfmpeg() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/ffmpeg";
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

MovieEncoder::MovieEncoder(const std::string& ffmpeg, int width, int height) : width_(width), height_(height) {
    movie_ = anonymousFile();
    log_ = anonymousFile();
    // A socket rather than a pipe: writing to it after ffmpeg has gone
    // fails with an error instead of a signal that ends the program.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        stop();
        throw MovieError(std::string("cannot connect to ffmpeg: ") + std::strerror(errno));
    }
    input_ = ends[0];

    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string target = "/dev/fd/" + std::to_string(movie_);
    // H.264 in yuv420p needs even sides: an odd last row or column is left out.
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "bgra", "-s", size,
                                     "-r", std::to_string(kFramesPerSecond), "-i", "pipe:0",
                                     "-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "-c:v", "libx264",
                                     "-preset", "veryfast", "-pix_fmt", "yuv420p", "-f", "mp4", target};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, log_, 2);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        stop();
        throw MovieError("cannot start " + ffmpeg + ": " + std::strerror(failed));
    }
    process_ = pid;
    feeder_ = std::thread([this] { feed(); });
}

MovieEncoder::~MovieEncoder() { stop(); }

void MovieEncoder::addFrame(const std::uint32_t* pixels) {
    std::vector<std::uint32_t> frame(pixels, pixels + std::size_t(width_) * std::size_t(height_));
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedFrames; });
    queue_.push_back(std::move(frame));
    ++frames_;
    changed_.notify_all();
}

// The feeder thread: frames from the queue to ffmpeg, until closed.
void MovieEncoder::feed() {
    for (;;) {
        std::vector<std::uint32_t> frame;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            frame = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        const char* data = reinterpret_cast<const char*>(frame.data());
        std::size_t left = frame.size() * sizeof frame[0];
        while (left > 0 && !writeFailed_) {
            const ssize_t sent = ::send(input_, data, left, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent <= 0) {
                writeFailed_ = true;  // ffmpeg has gone; finish() says why
                break;
            }
            data += sent;
            left -= static_cast<std::size_t>(sent);
        }
    }
}

void MovieEncoder::stop() {
    if (feeder_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            if (process_ > 0) queue_.clear();  // abandoned: nothing more to encode
        }
        changed_.notify_all();
        if (process_ > 0) ::shutdown(input_, SHUT_RDWR);
        feeder_.join();
    }
    closeIfOpen(input_);
    if (process_ > 0) {
        ::kill(process_, SIGTERM);
        ::waitpid(process_, nullptr, 0);
        process_ = -1;
    }
    closeIfOpen(movie_);
    closeIfOpen(log_);
}

std::string MovieEncoder::complaint() const {
    std::string text(4096, '\0');
    const ssize_t got = ::pread(log_, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const auto last = text.rfind('\n');
    if (last != std::string::npos) text = text.substr(last + 1);
    return text.empty() ? std::string("no reason given") : text;
}

void MovieEncoder::finish(std::ostream& out) {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    feeder_.join();
    closeIfOpen(input_);  // the end of the frames
    int status = 0;
    while (::waitpid(process_, &status, 0) < 0 && errno == EINTR) {
    }
    process_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || writeFailed_)
        throw MovieError("ffmpeg failed: " + complaint());
    char chunk[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(movie_, chunk, sizeof chunk, at);
        if (got < 0) throw MovieError(std::string("cannot read the encoded movie: ") + std::strerror(errno));
        if (got == 0) break;
        out.write(chunk, got);
        at += got;
    }
    stop();
}

}  // namespace nyajkor
