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

TEST(DisplaySize, RoundsEachSideAndKeepsItBetweenOneAndAMillion) {
    EXPECT_EQ(DisplaySize(QSize(200, 300), 1, 1), QSize(200, 300));
    EXPECT_EQ(DisplaySize(QSize(200, 300), 0.25, 0.25), QSize(50, 75));
    EXPECT_EQ(DisplaySize(QSize(3, 5), 0.5, 0.5), QSize(2, 3));  // halves round up
    EXPECT_EQ(DisplaySize(QSize(200, 300), 1e-6, 1e-6), QSize(1, 1));
    EXPECT_EQ(DisplaySize(QSize(60000, 60000), 1e6, 1e6), QSize(1'000'000, 1'000'000));
    EXPECT_EQ(DisplaySize(QSize(100, 100), 2, 3), QSize(200, 300)) << "factors apply per axis";
}

TEST(FitHeightScale, FillsTheHeightAndLeavesRoomForABarOnlyWhenTooWide) {
    // A tall page fits the height exactly: no horizontal bar will appear.
    EXPECT_DOUBLE_EQ(*FitHeightScale(QSize(200, 300), QSize(400, 600), 15), 2.0);
    // A wide page fitted to 600 would be 1200 wide: the bar takes 15 of the height.
    EXPECT_DOUBLE_EQ(*FitHeightScale(QSize(400, 300), QSize(600, 600), 15), 585.0 / 300);
    // Even a view no higher than the bar keeps a page at least one pixel high.
    EXPECT_DOUBLE_EQ(*FitHeightScale(QSize(400, 100), QSize(30, 10), 15), 1.0 / 100);
    EXPECT_FALSE(FitHeightScale(QSize(), QSize(400, 600), 15));
    EXPECT_FALSE(FitHeightScale(QSize(200, 300), QSize(400, 0), 15)) << "no height to fit";
}

TEST(BoxOnScreen, MapsOwnPixelsThroughThePictureSizeAndTheScale) {
    // 600 x 900 own pixels at 300 dpi are 192 x 288 at 96 dpi: own pixels map by 0.32.
    const QRectF atOne =
        BoxOnScreen(QRect(300, 450, 100, 100), QSize(600, 900), QSize(192, 288), 1, 1);
    EXPECT_DOUBLE_EQ(atOne.x(), 96);
    EXPECT_DOUBLE_EQ(atOne.y(), 144);
    EXPECT_DOUBLE_EQ(atOne.width(), 32);
    EXPECT_DOUBLE_EQ(atOne.height(), 32);
    // Different resolutions across and down, and a zoomed view.
    const QRectF zoomed =
        BoxOnScreen(QRect(10, 10, 20, 20), QSize(200, 100), QSize(100, 100), 2, 2);
    EXPECT_EQ(zoomed, QRectF(10, 20, 20, 40));
    // No own size known: boxes are taken as picture pixels.
    EXPECT_EQ(BoxOnScreen(QRect(1, 2, 3, 4), QSize(), QSize(50, 50), 3, 3), QRectF(3, 6, 9, 12));
}

}  // namespace
}  // namespace vellumark::viewer
