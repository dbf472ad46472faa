#include "render/view.h"

#include <gtest/gtest.h>

namespace nyajkor {
namespace {

TEST(View, StartSetsTheColoursZoomAndEyeOffsetAndClearsTheRanks) {
    View v;
    v.vonzosorszam = 9;
    v.ragadozosorszam[3] = 9;
    setViewDefaults(v);
    EXPECT_EQ(v.szinbalszem, 0x0000FFu);
    EXPECT_EQ(v.szinjobbszem, 0x008000u);
    EXPECT_EQ(v.szinegyed, 0xFF0000u);
    EXPECT_EQ(v.szinhatter, 0xFFFFFFu);
    EXPECT_EQ(v.szinkocka, 0x0000FFu);
    EXPECT_EQ(v.szinragadozo, 0x0000FFu);
    EXPECT_EQ(v.szinvonzo, 0x008000u);
    EXPECT_EQ(v.nagyitasszorzo, 1.5);
    EXPECT_EQ(v.szemtav, 20);
    EXPECT_EQ(v.vonzosorszam, 0);
    EXPECT_EQ(v.ragadozosorszam[3], 0);
}

// Each field distinct, so that one read back into another's place shows;
// what a frame computes is not part of the settings and stays.
TEST(View, SettingsGoIntoACheckpointAndComeBackFieldByField) {
    const ViewSettings settings = {2.2, 17, 0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606, 0x070707};
    View v;
    v.kepkozepx = 300;
    v.sorrend[1] = 4;
    applyViewSettings(v, settings);
    EXPECT_EQ(viewSettingsOf(v), settings);
    EXPECT_EQ(v.szinhatter, 0x020202u);
    EXPECT_EQ(v.szinjobbszem, 0x070707u);
    EXPECT_EQ(v.kepkozepx, 300);
    EXPECT_EQ(v.sorrend[1], 4);
}

}  // namespace
}  // namespace nyajkor
