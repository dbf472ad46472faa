// The runner as a program, against bad targets and signals: every refusal
// is one line and exit 2 with the folder exactly as it was, and a run
// stopped by a signal leaves no temporary file and every target unchanged.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "cli/sweep.h"
#include "tests/cli/child_program.h"
#include "tests/cli/cli_test_support.h"


namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;

// Everything in a folder: each entry's kind, permissions and contents (a
// link's target), so that "nothing changed" can be compared whole.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        struct stat st;
        ::lstat(e.path().c_str(), &st);
        std::string what = std::to_string(st.st_mode) + " ";
        if (S_ISLNK(st.st_mode)) what += fs::read_symlink(e.path()).string();
        else if (S_ISREG(st.st_mode)) what += slurp(e.path());
        entries[fs::relative(e.path(), folder).string()] = what;
    }
    return entries;
}

bool temporaryFileIn(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".nyajkor-", 0) == 0) return true;
    return false;
}

// Waits, without a limit of its own (ctest's applies), until the program
// has begun its files; false when it ended first.
bool awaitTemporaryFile(const fs::path& folder, Program& program) {
    while (!temporaryFileIn(folder))
        if (program.ended()) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

bool isRoot() { return ::geteuid() == 0; }

// The folder every case starts from.
void standardFolder(const fs::path& d) {
    std::ofstream(d / "existing.csv") << "precious\n";
    fs::create_directory(d / "adir");
    fs::create_symlink("existing.csv", d / "link.csv");
    fs::create_symlink("nowhere", d / "dangling");
}

struct Case {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string message;  // a piece of standard error; for a refusal, of its one line
    Environment env = {};
    // for a command that writes: what must hold afterwards; none: the folder is as it was
    std::function<void(const fs::path&)> after = {};
    std::function<void(const fs::path&)> before = {};
};

class OutputSafety : public BatchFiles, public ::testing::WithParamInterface<Case> {};

TEST_P(OutputSafety, RefusedWholeOrWrittenRight) {
    const Case& c = GetParam();
    standardFolder(dir_);
    if (c.before) c.before(dir_);
    const auto before = snapshot(dir_);
    const Finished r = runProgram(dir_, c.args, c.env);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_THAT(r.err, HasSubstr(c.message));
    if (c.message.empty()) {
        EXPECT_EQ(r.err, "");  // a run that writes says nothing else
    }
    if (!c.after) {
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(snapshot(dir_), before);
        return;
    }
    EXPECT_FALSE(temporaryFileIn(dir_));
    c.after(dir_);
}

const std::vector<std::string> kQuick = {"--n", "500", "--ticks", "2"};
const std::vector<std::string> kSweep = {"--n", "500", "--ticks", "2", "--sweep", "noise=0:10:10"};

std::vector<std::string> quick(std::vector<std::string> more, const std::vector<std::string>& base = kQuick) {
    more.insert(more.begin(), base.begin(), base.end());
    return more;
}

// A null device of the test's own where root may make one, else a link to /dev/null.
void makeNullDevice(const fs::path& d) {
    if (isRoot()) ::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3));
    else fs::create_symlink("/dev/null", d / "null");
}

bool isCharacterDevice(const fs::path& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCase, OutputSafety,
    ::testing::Values(
        Case{"CsvDirectory", quick({"--csv", "adir"}), 2, "--csv: cannot write 'adir': it is a directory"},
        Case{"DumpDirectory", quick({"--dump", "adir"}), 2, "--dump: cannot write 'adir': it is a directory"},
        Case{"FrameDirectory", quick({"--frame", "adir"}), 2, "--frame: cannot write 'adir'"},
        Case{"Here", quick({"--csv", "."}), 2, "--csv: cannot write '.': it is a directory"},
        Case{"Root", quick({"--csv", "/"}), 2, "--csv: cannot write '/': it is a directory"},
        Case{"SummaryDirectory", quick({"--summary", "adir"}, kSweep), 2, "--summary: cannot write 'adir'"},
        Case{"PlotDirectory", quick({"--plot", "adir"}, kSweep), 2, "--plot: cannot write 'adir'"},
        Case{"OneBadOfTwo", quick({"--csv", "existing.csv", "--dump", "adir"}), 2, "--dump: cannot write 'adir'"},
        Case{"SameFileDotted", quick({"--csv", "same.csv", "--dump", "./same.csv"}), 2,
             "--dump: './same.csv' is the same file as --csv 'same.csv'"},
        Case{"SameFileLinked", quick({"--csv", "existing.csv", "--dump", "link.csv"}), 2,
             "--dump: 'link.csv' is the same file as --csv 'existing.csv'"},
        Case{"SameFileUp", quick({"--csv", "a.csv", "--dump", "adir/../a.csv"}), 2, "is the same file as --csv"},
        Case{"SameAsStandardOutput", quick({"--csv", "-", "--dump", "/dev/stdout"}), 2,
             "--dump: '/dev/stdout' is the same file as --csv '-'"},
        Case{"StandardOutputReplaced", quick({"--csv", "/dev/stdout"}), 2,
             "--csv: '/dev/stdout' is also standard output, where the summary goes"},
        Case{"BothToStandardOutput", quick({"--csv", "-", "--dump", "-"}), 2,
             "--dump: '-' is the same file as --csv '-'"},
        Case{"EmptyCsv", quick({"--csv", ""}), 2, "--csv: the file name is empty"},
        Case{"EmptyCsvJoined", quick({"--csv="}), 2, "--csv: the file name is empty"},
        Case{"EmptyDump", quick({"--dump", ""}), 2, "--dump: the file name is empty"},
        Case{"EmptyFrame", quick({"--frame", ""}), 2, "--frame: the file name is empty"},
        Case{"DanglingLink", quick({"--csv", "dangling"}), 2, "symbolic link to a file that does not exist"},
        Case{"MissingFolder", quick({"--csv", "missing/x.csv"}), 2, "the folder 'missing' does not exist"},
        Case{"NewlineInValue", {"--n", "5\n"}, 2, "--n: '5\\n' is not a whole number"},
        Case{"EscapeInPath", quick({"--csv", "no\x1b[2Jdir/x"}), 2, "'no\\x1b[2Jdir/x'"},
        Case{"GivenTwice", quick({"--csv", "a.csv", "--csv", "b.csv"}), 2, "--csv: given twice"},
        Case{"SizeWithoutFrame", quick({"--size", "10x10"}), 2, "--size: only with --frame"},
        Case{"AnaglyphWithoutFrame", quick({"--anaglyph"}), 2, "--anaglyph: only with --frame"},
        Case{"ZoomWithoutFrame", quick({"--zoom", "12"}), 2, "--zoom: only with --frame"},
        Case{"CentreAtWithoutPlaced", quick({"--centre-at", "100,100,100"}), 2, "only with --centre placed"},
        Case{"GridTooLarge", {"--sweep", "n=500:5000:1", "--sweep", "noise=0:100:1", "--repeats", "100"}, 2,
             "make 45460100 runs, more than the 10000000"},
        Case{"PictureToDevice",
             quick({"--csv", "null", "--frame", "null.png", "--size", "10x10"}), 0, "",
             {},
             [](const fs::path& d) {
                 EXPECT_TRUE(isCharacterDevice(d / "null"));
                 EXPECT_TRUE(fs::is_regular_file(d / "null.png"));
             },
             makeNullDevice},
        Case{"TwoOutputsToOneDevice", quick({"--csv", "null", "--dump", "null"}), 0, "", {},
             [](const fs::path& d) { EXPECT_TRUE(isCharacterDevice(d / "null")); }, makeNullDevice},
        Case{"ModeKept", quick({"--csv", "existing.csv"}), 0, "", {},
             [](const fs::path& d) {
                 EXPECT_EQ(fs::status(d / "existing.csv").permissions() & fs::perms::all,
                           fs::perms::owner_read | fs::perms::owner_write);
                 EXPECT_THAT(slurp(d / "existing.csv"), ::testing::StartsWith("tick,"));
             },
             [](const fs::path& d) {
                 fs::permissions(d / "existing.csv", fs::perms::owner_read | fs::perms::owner_write);
             }},
        Case{"LinkFollowed", quick({"--csv", "link.csv"}), 0, "", {},
             [](const fs::path& d) {
                 EXPECT_TRUE(fs::is_symlink(d / "link.csv"));
                 EXPECT_THAT(slurp(d / "existing.csv"), ::testing::StartsWith("tick,"));
             }},
        Case{"LongName", quick({"--csv", std::string(250, 'n')}), 0, "", {},
             [](const fs::path& d) { EXPECT_THAT(slurp(d / std::string(250, 'n')), ::testing::StartsWith("tick,")); }},
        Case{"PlotWithoutPlatformOrRuntimeFolder", quick({"--plot", "p.png"}, kSweep), 0, "",
             {{"QT_QPA_PLATFORM", "bogus"}, {"XDG_RUNTIME_DIR", std::nullopt}, {"DISPLAY", std::nullopt},
              {"TMPDIR", "."}},
             [](const fs::path& d) {
                 // its runtime folder (made here) gone again
                 EXPECT_TRUE(fs::is_regular_file(d / "p.png"));
                 for (const auto& e : fs::directory_iterator(d))
                     EXPECT_EQ(e.path().filename().string().find("runtime"), std::string::npos) << e.path();
             }}),
    [](const auto& info) { return info.param.name; });

TEST_F(BatchFiles, JobsBeyondTheMemoryAreRefusedWithTheBound) {
    EXPECT_EQ(jobLimit(0, kJobMemoryBytes), 1);
    EXPECT_EQ(jobLimit(kJobMemoryBytes * 3 + kJobMemoryBytes / 2, kJobMemoryBytes), 3);
    EXPECT_EQ(jobMemoryBytes(10'000'000), kJobMemoryBytes + 80'000'000);
    // the longest runs keep 80 MB of series a job, so the bound bites here
    const std::vector<std::string> longSweep = {"--n", "500", "--ticks", "10000000", "--sweep", "noise=0:10:10"};
    const int limit = jobLimit(usableMemory(), jobMemoryBytes(10'000'000));
    if (limit >= 1024) GTEST_SKIP() << "this machine holds 1024 jobs of the longest runs";
    const Finished r = runProgram(dir_, quick({"--jobs", "1024"}, longSweep));
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("--jobs: 1024 is more than the " + std::to_string(limit) + " jobs"));
    EXPECT_TRUE(entries().empty());
}

// A run long enough to be stopped while it works.
const std::vector<std::string> kLong = {"--n", "2000", "--radius", "10", "--ticks", "10000000"};

class StoppedBySignal : public BatchFiles, public ::testing::WithParamInterface<int> {};

TEST_P(StoppedBySignal, LeavesNoTemporaryFileAndTheTargetsAsTheyWere) {
    standardFolder(dir_);
    const auto before = snapshot(dir_);
    Program program(dir_, quick({"--csv", "existing.csv", "--dump", "new.csv"}, kLong));
    ASSERT_TRUE(awaitTemporaryFile(dir_, program)) << program.wait().err;
    program.signal(GetParam());
    const Finished r = program.wait();
    EXPECT_EQ(r.status, 128 + GetParam()) << r.err;
    EXPECT_THAT(r.err, HasSubstr("no file written"));
    EXPECT_EQ(snapshot(dir_), before);
}

INSTANTIATE_TEST_SUITE_P(EverySignal, StoppedBySignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_F(BatchFiles, ReaderGoneAwayStopsTheRunAsASignal) {
    standardFolder(dir_);
    const auto before = snapshot(dir_);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    Program program(dir_, quick({"--csv", "-", "--dump", "existing.csv"}, kLong), {}, pipeEnds[1]);
    ::close(pipeEnds[1]);
    ASSERT_TRUE(awaitTemporaryFile(dir_, program)) << program.wait().err;
    ::close(pipeEnds[0]);  // as `| head` does once it has its lines
    const Finished r = program.wait();
    EXPECT_EQ(r.status, 128 + SIGPIPE) << r.err;
    EXPECT_EQ(snapshot(dir_), before);
}

TEST_F(BatchFiles, SignalWhileWaitingForAFifoReaderLeavesNothing) {
    standardFolder(dir_);
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const auto before = snapshot(dir_);
    // the CSV's temporary file is begun, then the FIFO waits for a reader that never comes
    Program program(dir_, quick({"--csv", "existing.csv", "--dump", "fifo"}));
    ASSERT_TRUE(awaitTemporaryFile(dir_, program)) << program.wait().err;
    program.signal(SIGTERM);
    const Finished r = program.wait();
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
    EXPECT_EQ(snapshot(dir_), before);
}

}  // namespace
}  // namespace nyajkor::batch
