// The window on a dense screen: the program runs at a device pixel ratio of 2, and the page
// view, the thumbnails and the toolbar glyphs are drawn in the screen's own pixels.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QSignalSpy>

#include "WindowFixture.h"
#include "app/SpeedButton.h"
#include "imaging/Document.h"
#include "viewer/DocView.h"
#include "viewer/ThumbnailBuilder.h"

namespace vellumark::app::testing {
namespace {

using vellumark::testing::Fill;
using vellumark::testing::TestPage;

// Left half ink on a 192 dpi scan: 201 x 201 at 96 dpi, with twice the pixels to show. The ink
// edge falls in the middle of a pixel at 96 dpi, which is grey there.
TestPage SharpEdgePage() {
    TestPage page;
    page.width = page.height = 402;
    page.xResolution = page.yResolution = 192;
    page.fill = Fill::LeftHalf;
    return page;
}

TEST(HiDpi, TheProgramRunsAtTwiceTheDensity) {
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "QT_SCALE_FACTOR is set by the tests' main";
}

TEST(HiDpi, ThePageViewDrawsInTheScreensOwnPixels) {
    vellumark::testing::TempFolder folder;
    vellumark::testing::WriteTestTiff(folder / "edge.tif", {SharpEdgePage()});
    viewer::DocView view;
    view.resize(300, 300);
    view.show();
    view.SetDocument(imaging::Document::Open(folder / "edge.tif"));
    ASSERT_TRUE(QTest::qWaitFor([&view] { return !view.IsRendering(); }, 30000));
    QCoreApplication::processEvents();
    const QPixmap grabbed = view.viewport()->grab();
    ASSERT_EQ(grabbed.devicePixelRatio(), 2.0);
    const QImage shown = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(600, 600));
    // The page (201 x 201 logical) is centred at 49, 49: 98, 98 in device pixels, its ink edge
    // at device column 98 + 201. Drawn from the 96 dpi picture, the two device columns of its
    // grey pixel there would be grey; drawn from the scan, the edge is as sharp as the scan's.
    EXPECT_EQ(shown.pixel(298, 300), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(299, 300), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(99, 99), qRgb(0, 0, 0));
}

TEST(HiDpi, ThumbnailCellsAreMadeAtTheRatioTheyAreAskedFor) {
    vellumark::testing::TempFolder folder;
    vellumark::testing::WriteTestTiff(folder / "edge.tif", {SharpEdgePage()});
    viewer::ThumbnailBuilder builder;
    QSignalSpy ready(&builder, &viewer::ThumbnailBuilder::ThumbnailReady);
    builder.Start(imaging::Document::Open(folder / "edge.tif"), 2.0);
    ASSERT_TRUE(ready.count() > 0 || ready.wait(30000));
    const QImage cell = ready.front().at(1).value<QImage>();
    EXPECT_EQ(cell.size(), QSize(160, 200));
    EXPECT_EQ(cell.devicePixelRatio(), 2.0);
    EXPECT_EQ(cell.deviceIndependentSize(), QSizeF(80, 100));
    // The page's ink edge falls between device columns of the page rectangle (10 to 150).
    EXPECT_LT(qGray(cell.pixel(20, 100)), 60);
    EXPECT_GT(qGray(cell.pixel(140, 100)), 200);
}

class HiDpiWindow : public WindowTest {};

TEST_F(HiDpiWindow, ThumbnailsAndGlyphsFollowTheScreen) {
    const auto path = temp_ / "edge.tif";
    vellumark::testing::WriteTestTiff(path, {SharpEdgePage(), SharpEdgePage()});
    OpenAndWait(path);
    auto* list = Child<QListWidget>("ListView1");
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(1)->icon().availableSizes().contains(QSize(160, 200)));
    EXPECT_EQ(list->item(1)->icon().pixmap(QSize(80, 100), 2.0).size(), QSize(160, 200));

    for (const char* name : {"SpeedButton3", "SpeedButton8", "PNGButton8"}) {
        auto* button = Child<SpeedButton>(name);
        button->grab();  // paints it
        EXPECT_EQ(button->GlyphPicture().devicePixelRatio(), 2.0) << name;
        EXPECT_EQ(button->GlyphPicture().size(), QSize(64, 64)) << name;
    }
}

}  // namespace
}  // namespace vellumark::app::testing
