#include "record/movie.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace nyajkor {
namespace {

namespace fs = std::filesystem;

// What ffprobe says about the first video stream: "codec,width,height,frames".
std::string probe(const fs::path& movie) {
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,width,height,nb_read_frames -of csv=p=0 '" +
                                movie.string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    std::array<char, 256> chunk{};
    while (pipe && std::fgets(chunk.data(), chunk.size(), pipe.get())) text += chunk.data();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Frames of an odd size come out as H.264 with the odd column and row left
// out, every frame counted.
TEST(MovieEncoder, EncodesEveryFrameAsH264) {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    if (std::system("ffprobe -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    const int width = 33, height = 21;
    MovieEncoder movie(ffmpeg, width, height);
    std::vector<std::uint32_t> pixels(width * height);
    for (int k = 0; k < 40; ++k) {
        std::fill(pixels.begin(), pixels.end(), 0xFF000000u | std::uint32_t(k * 6) << 8);
        movie.addFrame(pixels.data());
    }
    EXPECT_EQ(movie.frames(), 40);
    const fs::path path = fs::temp_directory_path() / ("nyajkor-movie-" + std::to_string(::getpid()) + ".mp4");
    {
        std::ofstream out(path, std::ios::binary);
        movie.finish(out);
    }
    EXPECT_EQ(probe(path), "h264,32,20,40");
    fs::remove(path);
}

TEST(MovieEncoder, FfmpegThatFailsIsReportedWithItsReason) {
    // /bin/false takes every argument and fails without a word
    MovieEncoder movie("/bin/false", 4, 4);
    std::vector<std::uint32_t> pixels(16, 0xFFFFFFFFu);
    movie.addFrame(pixels.data());
    std::ostringstream out;
    try {
        movie.finish(out);
        ADD_FAILURE() << "finished";
    } catch (const MovieError& e) {
        EXPECT_STREQ(e.what(), "ffmpeg failed: no reason given");
    }
    EXPECT_TRUE(out.str().empty());
}

// Encoders that stand in for ffmpeg: shell scripts in a folder of their own.
class FakeEncoder : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("nyajkor-fake-ffmpeg-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // An executable script with this body; $PIDFILE receives its process id.
    std::string encoder(const std::string& body) const {
        const fs::path path = folder_ / "ffmpeg";
        std::ofstream(path) << "#!/bin/sh\necho $$ > '" << pidFile().string() << "'\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    fs::path pidFile() const { return folder_ / "pid"; }
    pid_t encoderPid() const {
        long pid = 0;
        std::ifstream(pidFile()) >> pid;
        return static_cast<pid_t>(pid);
    }

    fs::path folder_;
};

std::string finishFailure(MovieEncoder& movie) {
    std::ostringstream out;
    try {
        movie.finish(out);
    } catch (const MovieError& e) {
        return out.str().empty() ? e.what() : "wrote a movie and failed";
    }
    return "finished";
}

// Encoders that end without a playable movie, each reported as such with
// its reason, never as a movie written.
TEST_F(FakeEncoder, EncoderWithoutAMovieIsAFailure) {
    std::string lines;  // twelve kilobytes of messages before the reason
    for (int k = 1; k <= 300; ++k)
        lines += "echo '[enc @ 0x1] line " + std::to_string(k) + " of the long complaint' >&2\n";
    struct Case {
        const char* name;
        std::string body;
        std::string message;
        bool needsProbe = false;  // and the real ffmpeg
    };
    const Case cases[] = {
        {"exits 0 without output", "cat > /dev/null\nexit 0", "ffmpeg wrote no movie: no reason given"},
        {"exits 0 with a word", "cat > /dev/null\necho 'Invalid argument' >&2\nexit 0",
         "ffmpeg wrote no movie: Invalid argument"},
        {"writes no MP4", "for last; do :; done\ncat > /dev/null\necho junk > \"$last\"\nexit 0",
         "ffmpeg wrote a movie that ffprobe cannot read", true},
        {"killed by a signal", "cat > /dev/null\nkill -SEGV $$", "ffmpeg was killed by SIGSEGV (Segmentation fault)"},
        {"a long message", "cat > /dev/null\n" + lines + "echo 'Conversion failed: the reason' >&2\nexit 1",
         "ffmpeg failed: [enc @ 0x1] line 299 of the long complaint / [enc @ 0x1] line 300 of the long complaint / "
         "Conversion failed: the reason"},
        {"drops a frame", "cat | head -c 512 | '" + findFfmpeg() + "' \"$@\"",  // two of the three 8x8 frames
         "ffmpeg wrote a movie of 2 frames, not 3", true},
        {"control characters", "cat > /dev/null\nprintf 'bad\\033[2Jname\\n' >&2\nexit 1",
         "ffmpeg failed: bad?[2Jname"},
    };
    const bool probe = !findProgram("ffprobe").empty() && !findFfmpeg().empty();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsProbe && !probe) continue;
        MovieEncoder movie(encoder(c.body), 8, 8);
        std::vector<std::uint32_t> pixels(64, 0xFF808080u);
        for (int k = 0; k < 3; ++k) movie.addFrame(pixels.data());
        const std::string failure = finishFailure(movie);
        EXPECT_EQ(failure.substr(0, c.message.size()), c.message) << failure;
    }
}

// A stuck encoder (it reads no frame and never ends) holds neither the
// frames nor the finish once the run is asked to stop, and is killed and
// reaped.
TEST_F(FakeEncoder, StuckEncoderGivesWayToAStop) {
    std::atomic<int> stop{0};
    const int side = 1024;  // 4 MB a frame: the queue fills long before 100 frames
    MovieEncoder movie(encoder("exec sleep 60"), side, side, &stop);
    std::thread signal([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = SIGTERM;
    });
    std::vector<std::uint32_t> pixels(std::size_t(side) * side, 0xFF102030u);
    for (int k = 0; k < 100; ++k) movie.addFrame(pixels.data());
    signal.join();
    EXPECT_EQ(finishFailure(movie), "the movie was abandoned: the run was stopped");
    const pid_t pid = encoderPid();
    ASSERT_GT(pid, 0);
    EXPECT_NE(::kill(pid, 0), 0) << "the encoder is still there";
    EXPECT_EQ(errno, ESRCH);
}

// A program that ends at once, without a word to its encoder, leaves no
// encoder behind: it dies with the program.
TEST_F(FakeEncoder, EncoderDiesWithTheProgram) {
    const std::string program = encoder("exec sleep 30");
    // orphans come to this process, which can then see how they ended
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // the child only starts the encoder, waits until it runs, and is gone
        try {
            MovieEncoder movie(program, 8, 8);
            std::error_code missing;
            while (fs::file_size(pidFile(), missing) == 0 || missing) std::this_thread::yield();
            ::_exit(0);  // gone at once: no destructor runs
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const pid_t pid = encoderPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the encoder ran on";
}

// The queue holds at least one frame besides the one being sent, and for
// large frames no more than that.
TEST(MovieEncoder, QueueIsBoundedByBytes) {
    struct Case {
        int width, height;
        std::size_t atLeast, atMost;
    };
    const std::size_t mb = std::size_t{1} << 20;
    const Case cases[] = {
        {2, 2, 2 * 16, 64 * mb},
        {800, 600, 2 * 1'920'000, 64 * mb},
        {4096, 4096, 2 * 64 * mb, 2 * 64 * mb},
        {8192, 8192, 2 * 256 * mb, 2 * 256 * mb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_GE(moviePeakQueueBytes(c.width, c.height), c.atLeast);
        EXPECT_LE(moviePeakQueueBytes(c.width, c.height), c.atMost);
    }
}

// Writes `text` into the file, for a child process's setup of its own namespaces.
bool writeFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY);
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0) ::close(fd);
    return written;
}

// A temporary folder that fills while ffmpeg writes is named in the
// failure. The child process mounts a small folder of its own (in a user
// namespace; without them, the test is skipped).
TEST_F(FakeEncoder, FullTemporaryFolderIsNamed) {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    const fs::path small = folder_ / "small", said = folder_ / "said";
    fs::create_directory(small);
    const std::string uid = std::to_string(::getuid()), gid = std::to_string(::getgid());
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !writeFile("/proc/self/setgroups", "deny") ||
            !writeFile("/proc/self/uid_map", uid + " " + uid + " 1") ||
            !writeFile("/proc/self/gid_map", gid + " " + gid + " 1") ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", small.c_str(), "tmpfs", 0, "size=256k") != 0)
            ::_exit(77);
        ::setenv("TMPDIR", small.c_str(), 1);
        std::string failure = "started";
        try {
            const int side = 256;
            MovieEncoder movie(ffmpeg, side, side);
            std::vector<std::uint32_t> pixels(side * side);
            std::uint32_t noise = 1;
            for (int k = 0; k < 50; ++k) {
                for (std::uint32_t& p : pixels) p = noise = noise * 1664525u + 1013904223u;
                movie.addFrame(pixels.data());
            }
            failure = finishFailure(movie);
        } catch (const MovieError& e) {
            failure = e.what();
        }
        std::ofstream(said) << failure;
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no user namespaces to mount a small folder";
    std::ifstream in(said);
    const std::string failure{std::istreambuf_iterator<char>(in), {}};
    EXPECT_THAT(failure, ::testing::HasSubstr("the temporary folder '" + small.string() + "' is full"));
}

// The folder of the temporary files is named when it cannot take them.
TEST(MovieEncoder, TemporaryFolderIsNamedWhenItFails) {
    const char* saved = std::getenv("TMPDIR");
    const std::string before = saved ? saved : "";
    ::setenv("TMPDIR", "/nonexistent-folder", 1);
    try {
        MovieEncoder movie("/bin/false", 4, 4);
        ADD_FAILURE() << "started";
    } catch (const MovieError& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("'/nonexistent-folder'"));
    }
    if (saved) ::setenv("TMPDIR", before.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST(MovieEncoder, MissingProgramIsFoundMissing) {
    const char* saved = std::getenv("PATH");
    const std::string path = saved ? saved : "";
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(findFfmpeg(), "");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_THROW(MovieEncoder("/nonexistent/ffmpeg", 4, 4), MovieError);
}

}  // namespace
}  // namespace nyajkor
