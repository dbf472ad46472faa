#include "record/movie.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace nyajkor {

namespace {

// The frame queue's memory: the frames waiting and the one being sent stay
// within this, though at least one frame waits whatever its size.
constexpr std::size_t kQueueBytes = std::size_t{64} << 20;

// How often a wait looks whether the run is stopping.
constexpr auto kPoll = std::chrono::milliseconds(20);

// The end of ffmpeg's messages read for the reason it failed, and the last
// lines of it shown.
constexpr std::size_t kComplaintBytes = 16 * 1024;
constexpr std::size_t kComplaintLines = 3;

std::size_t frameBytes(int width, int height) {
    return std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)) * sizeof(std::uint32_t);
}

std::size_t queuedFrames(int width, int height) {
    const std::size_t bytes = std::max<std::size_t>(frameBytes(width, height), 1);
    return std::max<std::size_t>(kQueueBytes / bytes, 2) - 1;
}

std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// A file without a name in `folder`, open for reading and writing; the
// programs started here reach it through /dev/fd.
int anonymousFile(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (fd < 0)
        throw MovieError("no temporary file for the movie in the folder '" + folder + "': " + std::strerror(errno));
    return fd;
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// An anonymous file that closes itself.
struct TemporaryFile {
    int fd;
    explicit TemporaryFile(const std::string& folder) : fd(anonymousFile(folder)) {}
    ~TemporaryFile() { ::close(fd); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
};

// Starts the program args[0] with the given standard streams (-1: none).
// It is killed when the thread that started it ends, so that it never
// outlives a program ended at once. Throws MovieError when it cannot start.
pid_t startProgram(std::vector<std::string> args, int in, int out, int err) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int report[2];  // the child's errno when exec fails; closed by a successful exec
    if (::pipe2(report, O_CLOEXEC) != 0) throw MovieError("cannot start " + args[0] + ": " + std::strerror(errno));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // only system calls from here on: other threads may hold locks
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int nothing = ::open("/dev/null", O_RDWR);
        ::dup2(in >= 0 ? in : nothing, 0);
        ::dup2(out >= 0 ? out : nothing, 1);
        ::dup2(err >= 0 ? err : nothing, 2);
        ::execv(argv[0], argv.data());
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        throw MovieError("cannot start " + args[0] + ": " + std::strerror(forkError));
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (got == sizeof error) {
        ::waitpid(pid, nullptr, 0);
        throw MovieError("cannot start " + args[0] + ": " + std::strerror(error));
    }
    return pid;
}

// Waits for the program to end and gives its wait status; false, with the
// program still running, once `stop` is set.
bool waitForExit(pid_t pid, int& status, const std::atomic<int>* stop) {
    for (;;) {
        const pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid) return true;
        if (got < 0 && errno != EINTR) {
            status = 0;
            return true;
        }
        if (stop && stop->load() != 0) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The last lines of a file a program wrote its messages to, with control
// characters shown as '?', joined into one line; empty when there are none.
std::string lastLines(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    const off_t from = std::max<off_t>(st.st_size - off_t(kComplaintBytes), 0);
    std::string text(kComplaintBytes, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), from);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    // a tail that starts in the middle of a line starts at the next one
    if (from > 0) text.erase(0, std::min(text.size(), text.find('\n') + 1));
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = c == '\r' || c == '\t' ? ' ' : '?';
        if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
    }
    std::string joined;
    const std::size_t first = lines.size() > kComplaintLines ? lines.size() - kComplaintLines : 0;
    for (std::size_t k = first; k < lines.size(); ++k) joined += (k > first ? " / " : "") + lines[k];
    return joined;
}

std::string signalName(int signal) {
    const char* abbreviation = ::sigabbrev_np(signal);
    const char* description = ::strsignal(signal);
    return (abbreviation ? "SIG" + std::string(abbreviation) : "signal " + std::to_string(signal)) +
           (description ? " (" + std::string(description) + ")" : "");
}

}  // namespace

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string findFfmpeg() { return findProgram("ffmpeg"); }

std::size_t moviePeakQueueBytes(int width, int height) {
    return (queuedFrames(width, height) + 1) * frameBytes(width, height);
}

MovieEncoder::MovieEncoder(const std::string& ffmpeg, int width, int height, const std::atomic<int>* stop)
    : width_(width), height_(height), frameBytes_(frameBytes(width, height)),
      queueFrames_(queuedFrames(width, height)), stop_(stop), folder_(temporaryFolder()) {
    try {
        movie_ = anonymousFile(folder_);
        log_ = anonymousFile(folder_);
        // A socket rather than a pipe: writing to it after ffmpeg has gone
        // fails with an error instead of a signal that ends the program.
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            throw MovieError(std::string("cannot connect to ffmpeg: ") + std::strerror(errno));
        input_ = ends[0];
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        // H.264 in yuv420p needs even sides: an odd last row or column is left out.
        try {
            process_ = startProgram({ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f",
                                     "rawvideo", "-pix_fmt", "bgra", "-s", size, "-r",
                                     std::to_string(kFramesPerSecond), "-i", "pipe:0", "-vf",
                                     "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0", "-c:v", "libx264", "-preset",
                                     "veryfast", "-pix_fmt", "yuv420p", "-f", "mp4",
                                     "/dev/fd/" + std::to_string(movie_)},
                                    ends[1], -1, log_);
        } catch (...) {
            ::close(ends[1]);
            throw;
        }
        ::close(ends[1]);
    } catch (...) {
        abandon();
        throw;
    }
    feeder_ = std::thread([this] { feed(); });
}

MovieEncoder::~MovieEncoder() { abandon(); }

void MovieEncoder::addFrame(const std::uint32_t* pixels) {
    {
        std::unique_lock lock(mutex_);
        while (queue_.size() >= queueFrames_) {
            if (stopped()) return;  // the movie is abandoned: the frame is not needed
            changed_.wait_for(lock, kPoll);
        }
    }
    // the only producer: the room found stays until this frame fills it
    std::vector<std::uint32_t> frame(pixels, pixels + frameBytes_ / sizeof(std::uint32_t));
    std::lock_guard lock(mutex_);
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
            if (queue_.empty()) {
                fed_ = true;
                changed_.notify_all();
                return;
            }
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

// Ends everything at once: the frames still queued, the feeder (a send
// blocked on an encoder that no longer reads fails at the shutdown) and
// ffmpeg itself, killed and reaped.
void MovieEncoder::abandon() {
    if (feeder_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            queue_.clear();
        }
        changed_.notify_all();
        if (input_ >= 0) ::shutdown(input_, SHUT_RDWR);
        feeder_.join();
    }
    closeIfOpen(input_);
    if (process_ > 0) killAndReap(process_);
    process_ = -1;
    closeIfOpen(movie_);
    closeIfOpen(log_);
}

// ffmpeg's last words, or a note that it left none.
std::string MovieEncoder::complaint() const {
    const std::string said = lastLines(log_);
    return said.empty() ? std::string("no reason given") : said;
}

// A note for a failure in a temporary folder with no room left, which
// ffmpeg reports only as a device without space, if at all.
std::string MovieEncoder::fullFolderNote() const {
    struct statvfs room {};
    const bool full = ::fstatvfs(movie_, &room) == 0 && room.f_bavail == 0;
    return full ? "; the temporary folder '" + folder_ + "' is full (TMPDIR chooses another)" : "";
}

// Waits for the feeder to hand over the last frame and for ffmpeg to end;
// gives ffmpeg's wait status. Throws when the run is stopped first.
int MovieEncoder::waitForEncoder() {
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        changed_.notify_all();
        while (!fed_ && !stopped()) changed_.wait_for(lock, kPoll);
    }
    int status = 0;
    if (fed_) {
        feeder_.join();
        closeIfOpen(input_);  // the end of the frames
        if (waitForExit(process_, status, stop_)) {
            process_ = -1;
            return status;
        }
    }
    abandon();
    throw MovieError("the movie was abandoned: the run was stopped");
}

// Throws unless ffmpeg ended well and wrote a movie of every frame: an
// encoder can exit 0 having written nothing, or something else.
void MovieEncoder::checkMovie(int status) {
    if (WIFSIGNALED(status)) {
        const std::string said = lastLines(log_);
        throw MovieError("ffmpeg was killed by " + signalName(WTERMSIG(status)) + (said.empty() ? "" : ": " + said) +
                         fullFolderNote());
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || writeFailed_)
        throw MovieError("ffmpeg failed: " + complaint() + fullFolderNote());
    struct stat st {};
    if (::fstat(movie_, &st) != 0 || st.st_size == 0)
        throw MovieError("ffmpeg wrote no movie: " + complaint() + fullFolderNote());

    const std::string ffprobe = findProgram("ffprobe");
    if (ffprobe.empty()) {
        // without ffprobe, at least the start of an MP4 file: its ftyp box
        char head[8] = {};
        if (::pread(movie_, head, sizeof head, 0) != sizeof head || std::memcmp(head + 4, "ftyp", 4) != 0)
            throw MovieError("ffmpeg wrote no MP4 movie: " + complaint());
        return;
    }
    const long counted = probedFrames(ffprobe);
    if (counted != frames_)
        throw MovieError("ffmpeg wrote a movie of " + std::to_string(counted) + " frames, not " +
                         std::to_string(frames_) + ": " + complaint());
}

// The frames of the movie's video stream as ffprobe counts them (its
// packets: one a frame, without decoding); throws when it cannot read it.
long MovieEncoder::probedFrames(const std::string& ffprobe) {
    const TemporaryFile report(folder_), said(folder_);
    const pid_t probe = startProgram({ffprobe, "-v", "error", "-select_streams", "v:0", "-count_packets",
                                      "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                                      "/dev/fd/" + std::to_string(movie_)},
                                     -1, report.fd, said.fd);
    int status = 0;
    if (!waitForExit(probe, status, stop_)) {
        killAndReap(probe);
        abandon();
        throw MovieError("the movie was abandoned: the run was stopped");
    }
    char text[64] = {};
    const ssize_t got = ::pread(report.fd, text, sizeof text - 1, 0);
    const char* end = text + std::max<ssize_t>(got, 0);
    while (end > text && (end[-1] == '\n' || end[-1] == '\r')) --end;
    long counted = -1;
    const auto [at, error] = std::from_chars(text, end, counted);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || error != std::errc{} || at != end) {
        const std::string why = lastLines(said.fd);
        throw MovieError("ffmpeg wrote a movie that ffprobe cannot read" + (why.empty() ? "" : ": " + why));
    }
    return counted;
}

void MovieEncoder::finish(std::ostream& out) {
    checkMovie(waitForEncoder());
    char chunk[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(movie_, chunk, sizeof chunk, at);
        if (got < 0) throw MovieError(std::string("cannot read the encoded movie: ") + std::strerror(errno));
        if (got == 0) break;
        out.write(chunk, got);
        at += got;
    }
    abandon();
}

}  // namespace nyajkor
