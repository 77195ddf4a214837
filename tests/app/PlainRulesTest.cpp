// Rules of the window that need no window: docking, the window's shape, the sprite's cells, the
// title taken from a path and the dialog filters.
#include <gtest/gtest.h>

#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstring>

#include "app/Dialogs.h"
#include "app/FrameResize.h"
#include "app/Regions.h"
#include "app/TForm1.h"
#include "app/TitleSprite.h"

namespace vellumark::app {
namespace {

TEST(DockRegions, StartUpSizeGivesTheDesignedRegions) {
    const Regions r = DockRegions(QSize(789, 596));
    EXPECT_EQ(r.panel1, QRect(0, 0, 789, 135));
    EXPECT_EQ(r.panel3, QRect(0, 551, 789, 45));
    EXPECT_EQ(r.panel4, QRect(0, 135, 171, 416));
    EXPECT_EQ(r.image9, QRect(774, 135, 15, 416));
    EXPECT_EQ(r.panel2, QRect(171, 135, 603, 416));
}

TEST(DockRegions, SmallestWindowLeavesNoNegativeSizes) {
    const Regions r = DockRegions(QSize(580, 120));
    EXPECT_EQ(r.panel1.height(), 120);
    EXPECT_EQ(r.panel3.height(), 0);
    EXPECT_EQ(r.panel2.height(), 0);
    EXPECT_EQ(r.panel2.width(), 580 - 171 - 15);
}

TEST(DockWorkArea, ProgressAtTheBottomAndSettingsAboveIt) {
    const WorkArea both = DockWorkArea(QSize(603, 416), true, true);
    EXPECT_EQ(both.progress, QRect(0, 403, 603, 13));
    EXPECT_EQ(both.settings, QRect(0, 187, 603, 216));
    EXPECT_EQ(both.docView, QRect(0, 0, 603, 187));

    const WorkArea none = DockWorkArea(QSize(603, 416), false, false);
    EXPECT_TRUE(none.progress.isNull());
    EXPECT_TRUE(none.settings.isNull());
    EXPECT_EQ(none.docView, QRect(0, 0, 603, 416));

    // Too little room: the page view shrinks to nothing rather than below it.
    const WorkArea tight = DockWorkArea(QSize(603, 100), true, true);
    EXPECT_EQ(tight.settings, QRect(0, 0, 603, 87));
    EXPECT_EQ(tight.docView.height(), 0);
}

TEST(ResizedGeometry, MovesOnlyTheDraggedEdgesAndStopsThemAtTheMinimum) {
    const QRect start(100, 50, 800, 600);
    const QSize minimum(580, 120);
    EXPECT_EQ(ResizedGeometry(start, Qt::RightEdge, QPoint(30, 99), minimum),
              QRect(100, 50, 830, 600));
    EXPECT_EQ(ResizedGeometry(start, Qt::LeftEdge, QPoint(-30, 99), minimum),
              QRect(70, 50, 830, 600));
    EXPECT_EQ(ResizedGeometry(start, Qt::TopEdge | Qt::LeftEdge, QPoint(20, 10), minimum),
              QRect(120, 60, 780, 590));
    EXPECT_EQ(ResizedGeometry(start, Qt::BottomEdge | Qt::RightEdge, QPoint(-1000, -1000), minimum),
              QRect(100, 50, 580, 120));
    // Dragged past the minimum, the left and top edges stop and the far edges stay put.
    EXPECT_EQ(ResizedGeometry(start, Qt::TopEdge | Qt::LeftEdge, QPoint(1000, 1000), minimum),
              QRect(320, 530, 580, 120));
}

TEST(ResizeHandlePlaces, LineTheBorderWithoutOverlapAndPutTheGripOverItsDots) {
    const QSize size(789, 596);
    const std::vector<ResizeHandlePlace> places = ResizeHandlePlaces(size);
    ASSERT_EQ(places.size(), 8u);
    QRegion covered;
    int area = 0;
    for (const ResizeHandlePlace& place : places) {
        EXPECT_FALSE(place.rect.isEmpty());
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(place.rect));
        covered |= place.rect;
        area += place.rect.width() * place.rect.height();
    }
    // No two overlap, and every border pixel belongs to one.
    int coveredArea = 0;
    for (const QRect& r : covered)
        coveredArea += r.width() * r.height();
    EXPECT_EQ(coveredArea, area);
    for (int x = 0; x < size.width(); ++x) {
        EXPECT_TRUE(covered.contains(QPoint(x, 0)) && covered.contains(QPoint(x, 595))) << x;
    }
    for (int y = 0; y < size.height(); ++y) {
        EXPECT_TRUE(covered.contains(QPoint(0, y)) && covered.contains(QPoint(788, y))) << y;
    }
    EXPECT_FALSE(covered.contains(QPoint(400, 300)));
    // The grip: the bottom-right corner, big enough to hold the status bar's dots.
    EXPECT_EQ(places.back().edges, Qt::BottomEdge | Qt::RightEdge);
    EXPECT_TRUE(places.back().rect.contains(QRect(789 - 20, 596 - 20, 14, 14)));
    // The three title buttons stay clear of the border.
    EXPECT_FALSE(covered.intersects(QRect(TitleButtonLeft(789, 0), kTitleButtonTop, 75, 31)));
}

TEST(TitleButtons, StandTwentyFivePixelsApartFromTheRightEdge) {
    EXPECT_EQ(TitleButtonLeft(789, 0), 702);
    EXPECT_EQ(TitleButtonLeft(789, 1), 727);
    EXPECT_EQ(TitleButtonLeft(789, 2), 752);
    EXPECT_EQ(TitleButtonLeft(1280, 2), 1243);
}

TEST(DroppedFilePath, TakesTheFirstUrlWhenItIsALocalFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString scan = folder.filePath("scan.tif");
    QFile(scan).open(QIODevice::WriteOnly);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(scan), QUrl::fromLocalFile(folder.filePath("other.tif"))});
    EXPECT_EQ(DroppedFilePath(data), scan);
    data.setUrls({QUrl::fromLocalFile(folder.path())});
    EXPECT_EQ(DroppedFilePath(data), "") << "a folder";
    data.setUrls({QUrl::fromLocalFile(folder.filePath("missing.tif"))});
    EXPECT_EQ(DroppedFilePath(data), "");
    data.setUrls({QUrl("https://vellumark.org/scan.tif"), QUrl::fromLocalFile(scan)});
    EXPECT_EQ(DroppedFilePath(data), "") << "only the first is looked at";
    QMimeData text;
    text.setText(scan);
    EXPECT_EQ(DroppedFilePath(text), "") << "text is not a file";
}

TEST(RoundedWindowRegion, CutsOnlyTheCorners) {
    const QRegion region = RoundedWindowRegion(QSize(789, 596));
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(788, 0)));
    EXPECT_FALSE(region.contains(QPoint(0, 595)));
    EXPECT_FALSE(region.contains(QPoint(788, 595)));
    EXPECT_TRUE(region.contains(QPoint(3, 3)));
    EXPECT_TRUE(region.contains(QPoint(400, 0)));
    EXPECT_TRUE(region.contains(QPoint(0, 300)));
    EXPECT_TRUE(region.contains(QPoint(788, 300)));
    EXPECT_TRUE(region.contains(QPoint(400, 595)));
}

TEST(TitleFromPath, RemovesFolderAndOnlyTheLastExtension) {
    EXPECT_EQ(TitleFromPath("/scans/Scan.part.tif"), "Scan.part");
    EXPECT_EQ(TitleFromPath("/scans/Letters.TIFF"), "Letters");
    EXPECT_EQ(TitleFromPath("/scans/no extension"), "no extension");
    EXPECT_EQ(TitleFromPath("/scans.d/book"), "book");
    EXPECT_EQ(TitleFromPath("plain.mdi"), "plain");
}

TEST(QtNameFilters, KeepsEveryTextAndGivesEachItsPatterns) {
    EXPECT_EQ(QtNameFilters(kOpenDialog1Filter),
              "MDI File(*.mdi);;TIF File(*.tif);;TIFF file(*.tiff);;"
              "All Supported Image Format (*.*)");
    EXPECT_EQ(QtNameFilters(kOpenDialog2Filter), "JPG, JPEG Files (*.jpg *.jpeg)");
}

TEST(TitleSprite, CellsAreCutAtTheirPlacesWithTheKeyColourTransparent) {
    const QImage sprite = DrawTitleSprite();
    ASSERT_EQ(sprite.size(), QSize(121, 59));
    for (SpriteCell cell : {kMinimiseCell, kMaximiseCell, kCloseCell, kRestoreCell}) {
        const CellPictures pictures = CutCell(sprite, cell);
        for (const QPixmap* picture : {&pictures.normal, &pictures.over, &pictures.pressed}) {
            ASSERT_EQ(picture->size(), QSize(cell.width, 20));
            const QImage image = picture->toImage();
            EXPECT_EQ(image.pixelColor(0, 19).alpha(), 0) << cell.x;
            int opaque = 0;
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < cell.width; ++x)
                    opaque += image.pixelColor(x, y).alpha() > 0;
            }
            EXPECT_GT(opaque, 10) << "cell at " << cell.x << " has a glyph";
        }
        // The three rows differ: mouse over and pressed have their own looks.
        EXPECT_NE(pictures.normal.toImage(), pictures.over.toImage());
        EXPECT_NE(pictures.over.toImage(), pictures.pressed.toImage());
    }
    // Rows start at y 0, 20 and 40: the pressed close picture is the sprite's block at (68, 40).
    const QImage pressedClose = CutCell(sprite, kCloseCell).pressed.toImage();
    EXPECT_EQ(pressedClose.pixelColor(12, 10).rgb(), sprite.pixelColor(68 + 12, 40 + 10).rgb());
}

// Our sprite made `rows` high: cut short, or with key-coloured rows added below.
QImage SpriteWithRows(int rows) {
    const QImage drawn = DrawTitleSprite();
    QImage sprite(drawn.width(), rows, drawn.format());
    sprite.fill(drawn.pixel(0, drawn.height() - 1));
    for (int y = 0; y < std::min(rows, drawn.height()); ++y)
        std::memcpy(sprite.scanLine(y), drawn.constScanLine(y),
                    static_cast<std::size_t>(drawn.bytesPerLine()));
    return sprite;
}

TEST(TitleSprite, NoPictureShowsTheKeyColourWhateverTheSpritesRowCount) {
    const QRgb key = qRgb(255, 0, 255);
    // 59 is the sprite's own height, which leaves the pressed row a row short.
    for (int rows : {59, 60, 58, 45, 40, 20}) {
        const QImage sprite = SpriteWithRows(rows);
        ASSERT_EQ(sprite.pixel(0, rows - 1), key);
        for (SpriteCell cell : {kMinimiseCell, kMaximiseCell, kCloseCell, kRestoreCell}) {
            const CellPictures pictures = CutCell(sprite, cell);
            for (const QPixmap* picture : {&pictures.normal, &pictures.over, &pictures.pressed}) {
                ASSERT_EQ(picture->size(), QSize(cell.width, 20));
                const QImage image = picture->toImage().convertToFormat(QImage::Format_ARGB32);
                int keyPixels = 0, blackPixels = 0, opaque = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb pixel = image.pixel(x, y);
                        if (qAlpha(pixel) == 0)
                            continue;
                        ++opaque;
                        keyPixels += (pixel & 0xffffff) == (key & 0xffffff);
                        blackPixels += (pixel & 0xffffff) == 0;
                    }
                }
                EXPECT_EQ(keyPixels, 0) << rows << " rows, cell at " << cell.x;
                EXPECT_EQ(blackPixels, 0) << rows << " rows, cell at " << cell.x;
                EXPECT_GT(opaque, 10) << rows << " rows, cell at " << cell.x << " has a glyph";
            }
        }
    }
    // A sprite with too few rows for a pressed row shows the last row it has when pressed.
    const CellPictures twoRows = CutCell(SpriteWithRows(40), kCloseCell);
    EXPECT_EQ(twoRows.pressed.toImage(), twoRows.over.toImage());
}

}  // namespace
}  // namespace vellumark::app
