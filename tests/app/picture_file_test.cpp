// "Kép mentése…" writes as the runner does: a link followed, the replaced
// file's permissions kept, a device written through, a refusal in Hungarian.
#include "app/picture_file.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "surface/pixel_canvas.h"

namespace nyajkor::app {
namespace {

namespace fs = std::filesystem;

class PictureFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("nyajkor-picture-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    QString path(const std::string& name) const { return QString::fromStdString((dir_ / name).string()); }
    // the message of the failure, empty when it saved
    std::string save(const std::string& name) const {
        try {
            savePicture(canvas_, path(name));
            return {};
        } catch (const std::runtime_error& e) {
            return e.what();
        }
    }
    fs::path dir_;
    PixelCanvas canvas_{4, 3};
};

TEST_F(PictureFile, LinkIsFollowedAndThePermissionsKept) {
    std::ofstream(dir_ / "real.png") << "old";
    fs::permissions(dir_ / "real.png", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.png", dir_ / "link.png");
    ASSERT_EQ(save("link.png"), "");
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.png"));
    EXPECT_EQ(QImage(path("real.png"), "PNG").size(), QSize(4, 3));
    EXPECT_EQ(fs::status(dir_ / "real.png").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
}

TEST_F(PictureFile, RefusalsSayWhyInHungarian) {
    fs::create_directory(dir_ / "mappa");
    EXPECT_EQ(save("mappa"), "A kép mentése nem sikerült: " + (dir_ / "mappa").string() + ": ez egy mappa");
    EXPECT_NE(save("nincs/kep.png").find("a mappa nem létezik"), std::string::npos);
}

TEST_F(PictureFile, DeviceIsWrittenThrough) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    ASSERT_EQ(::mknod((dir_ / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(save("null"), "");
    struct stat st;
    ASSERT_EQ(::stat((dir_ / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
}  // namespace nyajkor::app
