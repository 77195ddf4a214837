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

TEST(RenderSize, MakesWhatTheScreenShowsButNoMoreThanTheScanHas) {
    const QSize picture(794, 1123), own(2480, 3508);  // A4 at 300 dpi
    EXPECT_TRUE(RenderSize(picture, picture, own).isEmpty()) << "the 96 dpi picture itself";
    EXPECT_EQ(RenderSize(QSize(397, 562), picture, own), QSize(397, 562)) << "shrunk";
    // Twice the size (zoomed, or at a device pixel ratio of 2): made from the scan.
    EXPECT_EQ(RenderSize(QSize(1588, 2246), picture, own), QSize(1588, 2246));
    // Beyond the scan's pixels there is nothing more to see.
    EXPECT_EQ(RenderSize(QSize(4960, 7016), picture, own), QSize(2480, 3508));
    // A scan with no more pixels than its 96 dpi picture: that picture, enlarged on screen.
    EXPECT_TRUE(RenderSize(QSize(400, 400), QSize(200, 200), QSize(200, 200)).isEmpty());
    EXPECT_TRUE(RenderSize(QSize(400, 400), QSize(200, 200), QSize()).isEmpty());
    // Never more than 24 million pixels for one page.
    const QSize capped = RenderSize(QSize(20000, 20000), QSize(1000, 1000), QSize(40000, 40000));
    EXPECT_LE(capped.width() * static_cast<double>(capped.height()), 24e6);
    EXPECT_GT(capped.width(), 4800);
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

TEST(PageOrigin, CentresASmallerPageAndScrollsALargerOne) {
    EXPECT_EQ(PageOrigin(QSize(200, 300), QSize(400, 500), QPoint(0, 0)), QPoint(100, 100));
    EXPECT_EQ(PageOrigin(QSize(800, 300), QSize(400, 500), QPoint(150, 0)), QPoint(-150, 100));
    // Beyond the range (a hit beside a dialog): a centred page moves too.
    EXPECT_EQ(PageOrigin(QSize(200, 300), QSize(400, 500), QPoint(0, -50)), QPoint(100, 150));
}

TEST(ScrollToShow, WithNothingCoveredCentresABoxOutOfViewWithinThePagesRange) {
    const QSize page(800, 1200), view(400, 500);
    // Wholly visible: nothing moves.
    EXPECT_EQ(ScrollToShow(QRectF(100, 100, 80, 40), page, view, QPoint(0, 0), {}), QPoint(0, 0));
    // Out of view down and right: centred on both axes.
    EXPECT_EQ(ScrollToShow(QRectF(500, 700, 80, 40), page, view, QPoint(0, 0), {}),
              QPoint(340, 470));
    // Out of view down only: the horizontal value stays.
    EXPECT_EQ(ScrollToShow(QRectF(100, 900, 80, 40), page, view, QPoint(20, 0), {}),
              QPoint(20, 670));
    // Near the page's end, centring would pass it: the range's end.
    EXPECT_EQ(ScrollToShow(QRectF(760, 1180, 30, 15), page, view, QPoint(0, 0), {}),
              QPoint(400, 700));
    // A page smaller than the view cannot scroll.
    EXPECT_EQ(ScrollToShow(QRectF(10, 10, 20, 10), QSize(200, 300), view, QPoint(0, 0), {}),
              QPoint(0, 0));
}

TEST(ScrollToShow, AvoidsTheCoveredPartTakingTheStripNeedingLeastMovement) {
    const QSize view(600, 400);
    // A hit at the top left of a page smaller than the view (centred at 200, 100) lies under
    // a dialog over the view's top left. With no room above the dialog, the strip below needs
    // the least movement (169 down, against 235 right), beyond the page's scroll range.
    const QSize small(200, 200);
    const QRectF hit(10, 20, 30, 12);  // at 210, 120 in the view
    const QRect high(20, 10, 300, 180);
    const QPoint below = ScrollToShow(hit, small, view, QPoint(0, 0), high);
    EXPECT_EQ(below, QPoint(0, -169));
    const QRectF shown = hit.translated(PageOrigin(small, view, below));
    EXPECT_FALSE(shown.intersects(QRectF(high)));
    EXPECT_TRUE(QRectF(0, 0, 600, 400).contains(shown));
    // A dialog lower down leaves a strip above it that the hit fits: 111 up is less.
    const QRect dialog(20, 30, 300, 180);
    EXPECT_EQ(ScrollToShow(hit, small, view, QPoint(0, 0), dialog), QPoint(0, 111));

    // On a large page scrolled to the middle, values in the page's range do.
    const QSize large(1600, 2000);
    const QPoint middle(500, 800);
    const QRectF under(600, 900, 40, 12);  // at 100, 100 in the view: under the dialog
    const QPoint moved = ScrollToShow(under, large, view, middle, dialog);
    const QRectF there = under.translated(PageOrigin(large, view, moved));
    EXPECT_FALSE(there.intersects(QRectF(dialog)));
    EXPECT_TRUE(QRectF(0, 0, 600, 400).contains(there));
    EXPECT_GE(moved.x(), 0);
    EXPECT_GE(moved.y(), 0);

    // Visible and clear of the dialog: nothing moves.
    EXPECT_EQ(ScrollToShow(QRectF(900, 1100, 40, 12), large, view, middle, dialog), middle);
    // Out of view, it is brought to the free part, not under the dialog.
    const QPoint far = ScrollToShow(QRectF(560, 1500, 40, 12), large, view, middle, dialog);
    EXPECT_FALSE(QRectF(560, 1500, 40, 12)
                     .translated(PageOrigin(large, view, far))
                     .intersects(QRectF(dialog)));
}

TEST(ScrollToShow, ABoxThatFitsNoStripIsCentredInTheLargestAndAWholeCoverIsIgnored) {
    const QSize view(600, 400), large(1600, 2000);
    const QRect dialog(100, 100, 400, 200);
    const QRectF wide(0, 0, 500, 150);  // fits none of them
    // The largest strips are above and below (600 x 100): the first, above, takes its centre.
    EXPECT_EQ(ScrollToShow(wide, large, view, QPoint(0, 0), dialog), QPoint(0, 25));
    // A cover over the whole view leaves nowhere better: as with nothing covered.
    EXPECT_EQ(ScrollToShow(QRectF(100, 100, 80, 40), large, view, QPoint(0, 0),
                           QRect(-10, -10, 700, 500)),
              QPoint(0, 0));
}

}  // namespace
}  // namespace vellumark::viewer
