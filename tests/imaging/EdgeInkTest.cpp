// What of a cut page's margin is cleared: dark ink joined to the page's edge outside the
// content, in the paper's own colour; not the content, not a speck alone in the margin, not a
// picture printed to the edge.

#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/cleanup/EdgeInk.h"

namespace vellumark::imaging {
namespace {

// A cream page, 200 x 100, whose content is {20, 20, 180, 80}.
Picture CreamPage(int channels) {
    Picture page{200, 100, {}, channels};
    page.samples.resize(page.RowBytes() * page.height);
    for (std::size_t i = 0; i < page.samples.size(); i += channels) {
        page.samples[i] = 240;
        if (channels == 3) {
            page.samples[i + 1] = 230;
            page.samples[i + 2] = 200;
        }
    }
    return page;
}

void Ink(Picture& page, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        std::fill(page.Row(y) + left * page.channels, page.Row(y) + right * page.channels, 0);
}

std::uint8_t At(const Picture& page, int x, int y) {
    return page.Row(y)[x * page.channels];
}

TEST(EdgeInkTest, ABorderGoesAndTheContentAndASpeckStay) {
    const PixelBox content{20, 20, 180, 80};
    for (const int channels : {1, 3}) {
        SCOPED_TRACE(channels);
        Picture page = CreamPage(channels);
        Ink(page, 0, 0, 8, 100);      // a border down the left edge
        Ink(page, 0, 50, 100, 52);    // a rule from the edge into the content
        Ink(page, 190, 10, 192, 12);  // a speck alone in the margin
        ClearEdgeInk(page, content);
        EXPECT_EQ(At(page, 3, 30), 240);   // the border: paper, of the paper's colour
        EXPECT_EQ(At(page, 10, 51), 240);  // the rule outside the content
        EXPECT_EQ(At(page, 20, 51), 0);    // and inside it
        EXPECT_EQ(At(page, 60, 51), 0);
        EXPECT_EQ(At(page, 190, 10), 0);  // the speck
        if (channels == 3) {
            EXPECT_EQ(page.Row(30)[3 * 3 + 1], 230);
            EXPECT_EQ(page.Row(30)[3 * 3 + 2], 200);
        }
    }
}

TEST(EdgeInkTest, APictureToTheEdgeIsLeftWhole) {
    Picture page = CreamPage(1);
    Ink(page, 0, 0, 200, 100);
    const Picture before = page;
    ClearEdgeInk(page, {20, 20, 180, 80});
    EXPECT_EQ(page.samples, before.samples);
}

}  // namespace
}  // namespace vellumark::imaging
