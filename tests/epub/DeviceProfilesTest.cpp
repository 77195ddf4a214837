#include <gtest/gtest.h>

#include <cmath>

#include "epub/DeviceProfiles.h"

namespace vellumark::epub {
namespace {

// The page fits the box, touches it on one side, and keeps its shape to within a pixel.
void ExpectFitted(int width, int height, PageBox box) {
    const auto [w, h] = FitPage(width, height, box);
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " into " +
                 std::to_string(box.width) + "x" + std::to_string(box.height) + " gives " +
                 std::to_string(w) + "x" + std::to_string(h));
    EXPECT_LE(w, box.width);
    EXPECT_LE(h, box.height);
    EXPECT_TRUE(w == box.width || h == box.height);
    // The shape of the page: the other side within one pixel of the exact scale.
    EXPECT_LE(std::abs(w - static_cast<double>(h) * width / height), 1.0);
    EXPECT_LE(std::abs(h - static_cast<double>(w) * height / width), 1.0);
}

TEST(DeviceProfilesTest, EveryProfileFitsA4LetterAndLandscapePages) {
    ASSERT_GE(DeviceProfiles().size(), 6u);
    for (const DeviceProfile& profile : DeviceProfiles()) {
        EXPECT_EQ(FindDeviceProfile(profile.name), &profile);
        EXPECT_LT(profile.screen.width, profile.screen.height);  // portrait
        ExpectFitted(2480, 3508, profile.screen);                // A4 at 300 dpi
        ExpectFitted(2550, 3300, profile.screen);                // Letter at 300 dpi
        ExpectFitted(3508, 2480, profile.screen);                // A4 turned
        ExpectFitted(4961, 7016, profile.screen);                // A4 at 600 dpi
    }
    const auto [w, h] = FitPage(2480, 3508, FindDeviceProfile("kobo-libra")->screen);
    EXPECT_EQ(w, 1188);
    EXPECT_EQ(h, 1680);
    EXPECT_EQ(FindDeviceProfile("kobo"), nullptr);
    EXPECT_NE(DeviceProfileTable().find("kobo-libra          1264 x 1680"), std::string::npos);
}

TEST(DeviceProfilesTest, ASmallScanIsNotEnlargedAndOddSizesStayWhole) {
    EXPECT_EQ(FitPage(620, 877, {1264, 1680}), (std::pair{620, 877}));
    EXPECT_EQ(FitPage(1, 10000, {1264, 1680}), (std::pair{1, 1680}));
    EXPECT_EQ(FitPage(10000, 1, {1264, 1680}), (std::pair{1264, 1}));
}

TEST(DeviceProfilesTest, PageSizesAreWidthByHeightInPixels) {
    const auto box = ParsePageSize("1264x1680");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->width, 1264);
    EXPECT_EQ(box->height, 1680);
    EXPECT_TRUE(ParsePageSize("800X600"));
    for (const char* bad : {"", "1264", "x1680", "1264x", "0x10", "10x0", "-5x10", "12 x 10",
                            "1e3x10", "30000x10", "10x10x10"}) {
        EXPECT_FALSE(ParsePageSize(bad)) << bad;
    }
}

}  // namespace
}  // namespace vellumark::epub
