// The file helpers on their own. How the runner and the picture saving use
// them (a link followed, a long name, a device node) is tested with them.
#include "files/whole_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "files/output_target.h"

namespace nyajkor::files {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("nyajkor-files-" + std::string(test->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void make(const std::string& name, const std::string& text) const { std::ofstream(path(name)) << text; }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    OutputTarget target(const std::string& p) const {
        auto examined = examineTarget(p);
        if (auto* refused = std::get_if<TargetRefusal>(&examined))
            ADD_FAILURE() << p << " refused: " << static_cast<int>(refused->problem);
        return std::get<OutputTarget>(examined);
    }
    // writes `text` to `p` through a WholeFile and commits it
    int save(const std::string& p, const std::string& text) const {
        WholeFile file(target(p));
        if (const int error = file.open()) return error;
        file.write(text.data(), text.size());
        return file.commit();
    }
    fs::path dir_;
};

struct Refused {
    std::string name;
    std::function<void(const fs::path& folder)> setUp;
    std::string path;  // relative to the test's folder unless it starts with '/'
    TargetProblem problem;
};

class TargetRefusals : public FilesTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(TargetRefusals, SayWhy) {
    GetParam().setUp(dir_);
    const std::string& given = GetParam().path;
    const std::string p = given.empty() || given[0] == '/' ? given : path(given);
    const auto examined = examineTarget(p);
    ASSERT_TRUE(std::holds_alternative<TargetRefusal>(examined)) << p;
    EXPECT_EQ(std::get<TargetRefusal>(examined).problem, GetParam().problem);
}

void nothing(const fs::path&) {}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, TargetRefusals,
    ::testing::Values(
        Refused{"Empty", nothing, "", TargetProblem::emptyName},
        Refused{"Directory", nothing, ".", TargetProblem::isDirectory},
        Refused{"Root", nothing, "/", TargetProblem::isDirectory},
        Refused{"FolderName", nothing, "new/", TargetProblem::folderName},
        Refused{"MissingFolder", nothing, "missing/a.csv", TargetProblem::folderMissing},
        Refused{"FileAsFolder", [](const fs::path& d) { std::ofstream(d / "f") << "x"; }, "f/a.csv",
                TargetProblem::systemError},
        Refused{"DanglingLink", [](const fs::path& d) { fs::create_symlink(d / "nowhere", d / "l"); },
                "l", TargetProblem::danglingLink},
        Refused{"Socket", [](const fs::path& d) { ::mknod((d / "socket").c_str(), S_IFSOCK | 0666, 0); },
                "socket", TargetProblem::unsupportedKind}),
    [](const auto& info) { return info.param.name; });

TEST_F(FilesTest, UnwritableFileOrFolderIsRefusedUnlessRoot) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anything";
    make("ro.csv", "old");
    fs::permissions(path("ro.csv"), fs::perms::owner_read);
    EXPECT_EQ(std::get<TargetRefusal>(examineTarget(path("ro.csv"))).problem, TargetProblem::notWritable);
    fs::create_directory(path("ro"));
    fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(std::get<TargetRefusal>(examineTarget(path("ro/a.csv"))).problem, TargetProblem::folderNotWritable);
}

TEST_F(FilesTest, OneFileHoweverItIsNamed) {
    make("a.csv", "old");
    fs::create_symlink("a.csv", path("link.csv"));
    fs::create_hard_link(path("a.csv"), path("hard.csv"));
    // relative names, from within the folder
    const fs::path here = fs::current_path();
    fs::current_path(dir_);
    const OutputTarget bare = target("a.csv"), dotted = target("./a.csv"), newBare = target("new.csv");
    fs::current_path(here);
    const std::string roundabout = path("../" + dir_.filename().string() + "/");
    for (const std::string& other : {path("a.csv"), path("link.csv"), path("hard.csv"), roundabout + "a.csv"})
        EXPECT_TRUE(sameFile(bare, target(other))) << other;
    EXPECT_TRUE(sameFile(bare, dotted));
    EXPECT_TRUE(sameFile(newBare, target(path("new.csv"))));
    EXPECT_TRUE(sameFile(newBare, target(roundabout + "new.csv")));
    EXPECT_FALSE(sameFile(newBare, target(path("other.csv"))));
    EXPECT_FALSE(sameFile(bare, newBare));
    EXPECT_TRUE(sameFile(target("-"), target("-")));
    EXPECT_FALSE(sameFile(target("/dev/null"), bare));
}

TEST_F(FilesTest, ReplacesWholeKeepingModeAndLeavingNothingBehind) {
    make("a.csv", "old");
    ::chmod(path("a.csv").c_str(), 0640);
    ASSERT_EQ(save(path("a.csv"), "new"), 0);
    EXPECT_EQ(read("a.csv"), "new");
    EXPECT_EQ(fs::status(path("a.csv")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), std::vector<std::string>{"a.csv"});
}

TEST_F(FilesTest, NewFileTakesTheUmask) {
    const mode_t before = ::umask(027);
    const int error = save(path("n.csv"), "x");
    ::umask(before);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(fs::status(path("n.csv")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FilesTest, DiscardedLeavesTheOldFile) {
    make("a.csv", "old");
    {
        WholeFile file(target(path("a.csv")));
        ASSERT_EQ(file.open(), 0);
        file.write("new", 3);
        EXPECT_EQ(entries().size(), 2u);  // the temporary file beside it
    }
    EXPECT_EQ(read("a.csv"), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"a.csv"});
}

TEST_F(FilesTest, WriteErrorIsKeptAndReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    WholeFile full(target("/dev/full"));
    ASSERT_EQ(full.open(), 0);
    full.write("x", 1);
    EXPECT_EQ(full.error(), ENOSPC);
    full.write("y", 1);  // skipped: the first failure stands
    EXPECT_EQ(full.commit(), ENOSPC);
}

TEST_F(FilesTest, SignalHandlerRemovesTheTemporaryFiles) {
    make("a.csv", "old");
    WholeFile a(target(path("a.csv"))), b(target(path("b.csv")));
    ASSERT_EQ(a.open(), 0);
    ASSERT_EQ(b.open(), 0);
    EXPECT_EQ(entries().size(), 3u);
    removeTemporaryFiles();
    EXPECT_EQ(entries(), std::vector<std::string>{"a.csv"});
    EXPECT_LT(a.temporaryName().size(), 40u);
}

TEST_F(FilesTest, FifoIsWrittenThroughToItsReader) {
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = read("pipe"); });
    EXPECT_EQ(save(path("pipe"), "through"), 0);
    reader.join();
    EXPECT_EQ(got, "through");
    EXPECT_EQ(entries(), std::vector<std::string>{"pipe"});
}

// A temporary file left in the folder, and whether the next file begun
// there removes it: only names of its own making whose holder is gone.
struct LeftOver {
    std::string name;
    bool held;  // open and locked, as by a runner still at work
    bool removed;
};

TEST_F(FilesTest, StaleTemporaryFilesOfDeadWritersAreRemovedAtTheNextStart) {
    const std::vector<LeftOver> cases = {
        {".nyajkor-4242-0.tmp", false, true},   // its writer was killed
        {".nyajkor-4243-17.tmp", false, true},  // another, further on
        {".nyajkor-4244-0.tmp", true, false},   // its writer is at work
        {".nyajkor-x-0.tmp", false, false},     // not a name the files are given
        {".nyajkor-4245-0.tmp.keep", false, false},
        {"data.tmp", false, false},
    };
    std::vector<int> holders;
    for (const LeftOver& c : cases) {
        make(c.name, "left over");
        if (c.held) {
            const int fd = ::open(path(c.name).c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
            holders.push_back(fd);
        }
    }
    ASSERT_EQ(save(path("out.txt"), "new"), 0);
    for (const LeftOver& c : cases) EXPECT_EQ(fs::exists(path(c.name)), !c.removed) << c.name;
    // and a file being written is held, so that another writer leaves it be
    WholeFile writing(target(path("second.txt")));
    ASSERT_EQ(writing.open(), 0);
    const int other = ::open(path(writing.temporaryName()).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    for (int fd : holders) ::close(fd);
}

}  // namespace
}  // namespace nyajkor::files
