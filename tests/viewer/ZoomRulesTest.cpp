#include <gtest/gtest.h>

#include "viewer/ZoomRules.h"

namespace vellumark::viewer {
namespace {

TEST(ZoomRules, ZoomInTakesWholeStepsUpToNineThenStops) {
    double scale = 1.0;
    for (int expected = 2; expected <= 9; ++expected) {
        scale = ZoomInStep(scale);
        EXPECT_EQ(scale, expected);
    }
    EXPECT_EQ(ZoomInStep(scale), 9.0);
}

TEST(ZoomRules, ZoomOutFromNineReachesAboutPointTwoAndStops) {
    double scale = 9.0;
    for (int expected = 8; expected >= 1; --expected) {
        scale = ZoomOutStep(scale);
        EXPECT_EQ(scale, expected);
    }
    for (int tenths = 9; tenths >= 2; --tenths) {
        scale = ZoomOutStep(scale);
        EXPECT_NEAR(scale, tenths / 10.0, 1e-9);
    }
    EXPECT_GT(scale, 0.15);
    EXPECT_LE(scale, 0.25);
    EXPECT_EQ(ZoomOutStep(scale), scale);
}

TEST(ZoomRules, ZoomInFromAboutPointTwoReturnsToExactlyOneThenTwo) {
    double scale = 9.0;
    while (ZoomOutStep(scale) != scale) {
        scale = ZoomOutStep(scale);
    }
    for (int tenths = 3; tenths <= 9; ++tenths) {
        scale = ZoomInStep(scale);
        EXPECT_NEAR(scale, tenths / 10.0, 1e-9);
    }
    scale = ZoomInStep(scale);
    EXPECT_EQ(scale, 1.0);  // exactly, or the next step would be a tenth again
    EXPECT_EQ(ZoomInStep(scale), 2.0);
}

TEST(ZoomRules, HalfStepsStayBetweenTheWholeOnes) {
    EXPECT_EQ(ZoomInStep(8.5), 9.5);
    EXPECT_EQ(ZoomInStep(9.5), 9.5);
    EXPECT_EQ(ZoomOutStep(9.5), 8.5);
}

TEST(ZoomRules, ScalesBeyondTheBoundsAreLeftAlone) {
    for (double scale : {10.0, 10.5, 37.0}) {
        EXPECT_EQ(ZoomInStep(scale), scale);
        EXPECT_EQ(ZoomOutStep(scale), scale);
    }
    for (double scale : {0.15, 0.1, 0.01}) {
        EXPECT_EQ(ZoomInStep(scale), scale);
        EXPECT_EQ(ZoomOutStep(scale), scale);
    }
    EXPECT_EQ(ZoomOutStep(9.9), 8.9);  // whole steps go on up to 10 on the way down
    EXPECT_NEAR(ZoomInStep(0.16), 0.26, 1e-12);
    EXPECT_EQ(ZoomOutStep(0.25), 0.25);
    EXPECT_NEAR(ZoomOutStep(1.0), 0.9, 1e-12);  // 1 itself takes a tenth step down
}

}  // namespace
}  // namespace vellumark::viewer
