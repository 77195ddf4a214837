#include <gtest/gtest.h>

#include "viewer/ThumbCell.h"

namespace vellumark::viewer {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(128, 128, 128);
const QColor kFace(212, 208, 200);

QImage Cell(const QImage& page) {
    return ComposeThumbCell(page, kFace);
}

QImage Page(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(DrawBevelFrame, RaisedAndSunkenEdgesAndCorners) {
    for (int style : {1, 2}) {
        SCOPED_TRACE(style);
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter painter(&image);
            DrawBevelFrame(painter, 2, 3, 10, 12, style);
        }
        const QRgb first = style == 1 ? kWhite : kGrey;
        const QRgb second = style == 1 ? kGrey : kWhite;
        EXPECT_EQ(image.pixel(2, 3), first);     // top left
        EXPECT_EQ(image.pixel(12, 3), first);    // top right belongs to the top edge
        EXPECT_EQ(image.pixel(2, 15), second);   // bottom left belongs to the bottom edge
        EXPECT_EQ(image.pixel(12, 15), second);  // bottom right
        EXPECT_EQ(image.pixel(7, 3), first);
        EXPECT_EQ(image.pixel(2, 9), first);
        EXPECT_EQ(image.pixel(7, 15), second);
        EXPECT_EQ(image.pixel(12, 9), second);
        // One pixel wide: nothing inside or outside.
        EXPECT_EQ(image.pixel(3, 4), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(11, 14), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(13, 9), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(7, 16), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(1, 9), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(7, 2), qRgb(0, 0, 0));
    }
}

TEST(ComposeThumbCell, FramesBackgroundAndPageRectangle) {
    const QImage cell = Cell(Page(300, 400, QColor(10, 20, 30)));
    ASSERT_EQ(cell.size(), QSize(80, 100));

    // Outer raised frame, corners (0, 0) and (79, 99).
    EXPECT_EQ(cell.pixel(0, 0), kWhite);
    EXPECT_EQ(cell.pixel(79, 0), kWhite);
    EXPECT_EQ(cell.pixel(40, 0), kWhite);
    EXPECT_EQ(cell.pixel(0, 50), kWhite);
    EXPECT_EQ(cell.pixel(0, 99), kGrey);
    EXPECT_EQ(cell.pixel(79, 99), kGrey);
    EXPECT_EQ(cell.pixel(40, 99), kGrey);
    EXPECT_EQ(cell.pixel(79, 50), kGrey);

    // Inner sunken frame, corners (4, 5) and (75, 95).
    EXPECT_EQ(cell.pixel(4, 5), kGrey);
    EXPECT_EQ(cell.pixel(75, 5), kGrey);
    EXPECT_EQ(cell.pixel(40, 5), kGrey);
    EXPECT_EQ(cell.pixel(4, 50), kGrey);
    EXPECT_EQ(cell.pixel(4, 95), kWhite);
    EXPECT_EQ(cell.pixel(75, 95), kWhite);
    EXPECT_EQ(cell.pixel(40, 95), kWhite);
    EXPECT_EQ(cell.pixel(75, 50), kWhite);

    // Button face between the frames and in the one row left under the picture.
    EXPECT_EQ(cell.pixel(2, 2), kFace.rgb());
    EXPECT_EQ(cell.pixel(77, 97), kFace.rgb());
    EXPECT_EQ(cell.pixel(40, 94), kFace.rgb());

    // The picture fills exactly left 5, top 6, 70 x 88.
    const QRgb ink = qRgb(10, 20, 30);
    int inked = 0;
    for (int y = 0; y < cell.height(); ++y) {
        for (int x = 0; x < cell.width(); ++x) {
            const bool inside = kThumbPageRect.contains(x, y);
            if (inside) {
                EXPECT_EQ(cell.pixel(x, y), ink) << x << "," << y;
            }
            inked += cell.pixel(x, y) == ink ? 1 : 0;
        }
    }
    EXPECT_EQ(inked, 70 * 88);
}

TEST(ComposeThumbCell, WideAndTallPagesGiveIdenticalFrames) {
    const QImage wide = Cell(Page(900, 100, Qt::blue));
    const QImage tall = Cell(Page(100, 900, Qt::blue));
    EXPECT_EQ(wide, tall);
    // The page is stretched, not fitted: its corners reach the rectangle's corners.
    EXPECT_EQ(wide.pixel(5, 6), QColor(Qt::blue).rgb());
    EXPECT_EQ(wide.pixel(74, 93), QColor(Qt::blue).rgb());
}

TEST(ComposeThumbCell, EmptyPageLeavesTheRectangleWhite) {
    const QImage cell = Cell(QImage());
    EXPECT_EQ(cell.pixel(5, 6), kWhite);
    EXPECT_EQ(cell.pixel(74, 93), kWhite);
    EXPECT_EQ(cell.pixel(0, 99), kGrey);
}

}  // namespace
}  // namespace vellumark::viewer
