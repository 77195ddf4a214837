#include <gtest/gtest.h>

#include "print/PagePlacement.h"

namespace vellumark::print {
namespace {

void ExpectPlacement(const PagePlacement& got, int left, int top, int right, int bottom) {
    EXPECT_EQ(got.left, left);
    EXPECT_EQ(got.top, top);
    EXPECT_EQ(got.right, right);
    EXPECT_EQ(got.bottom, bottom);
}

TEST(PlacePage, SmallPictureIsDoubledWhileUnderHalfThePage) {
    // 1000 x 1400 -> 2000 x 2800 -> 4000 x 5600, centred on 4800 x 6600.
    ExpectPlacement(PlacePage(1000, 1400, 4800, 6600), 400, 500, 4400, 6100);
}

TEST(PlacePage, PictureAtHalfTheWidthKeepsItsSize) {
    // 2550 is not under 4800 div 2, so nothing doubles.
    ExpectPlacement(PlacePage(2550, 3300, 4800, 6600), 1125, 1650, 3675, 4950);
}

TEST(PlacePage, PictureWiderThanThePageIsSqueezedToItsWidth) {
    // left -100 and right 4900 are clamped; the height stays 3000.
    ExpectPlacement(PlacePage(5000, 3000, 4800, 6600), 0, 1800, 4800, 4800);
}

TEST(PlacePage, DoublingStopsAtEitherSide) {
    // A narrow strip doubles until its height reaches half the page, then stops.
    ExpectPlacement(PlacePage(10, 1000, 4800, 6600), 2380, 1300, 2420, 5300);
    // Odd page sizes: half of 7 is 3 (integer division).
    ExpectPlacement(PlacePage(1, 1, 7, 7), 1, 1, 5, 5);
}

TEST(PlacePage, EmptyPictureIsCentredWithoutLooping) {
    ExpectPlacement(PlacePage(0, 0, 4800, 6600), 2400, 3300, 2400, 3300);
    ExpectPlacement(PlacePage(0, 100, 4800, 6600), 2400, 3250, 2400, 3350);
    ExpectPlacement(PlacePage(100, 0, 4800, 6600), 2350, 3300, 2450, 3300);
}

TEST(ResolveRange, AllPagesAndPageNumbers) {
    const PageRange all = ResolveRange(true, 7, 9, 5);
    EXPECT_EQ(all.first, 0);
    EXPECT_EQ(all.last, 4);

    const PageRange two = ResolveRange(false, 2, 2, 5);
    EXPECT_EQ(two.first, 1);
    EXPECT_EQ(two.last, 1);

    const PageRange backwards = ResolveRange(false, 3, 2, 5);
    EXPECT_LT(backwards.last, backwards.first);

    const PageRange none = ResolveRange(true, 1, 1, 0);
    EXPECT_LT(none.last, none.first);

    // Numbers are taken as entered, even beyond the document: the fetch reports those.
    const PageRange beyond = ResolveRange(false, 0, 9, 5);
    EXPECT_EQ(beyond.first, -1);
    EXPECT_EQ(beyond.last, 8);
}

}  // namespace
}  // namespace vellumark::print
