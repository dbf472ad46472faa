#include "record/movie.h"

#include <gtest/gtest.h>

#include <array>
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
