#include <gtest/gtest.h>

#include <QScrollBar>
#include <string>

#include "ViewerTestPages.h"
#include "common/Error.h"
#include "viewer/DocView.h"

namespace vellumark::viewer {
namespace {

using testing::ProcessUntil;
using testing::SolidPage;
using testing::TintedArea;
using testing::WriteAndOpen;

const QRgb kRed = qRgb(220, 30, 30);
const QRgb kGreen = qRgb(30, 180, 60);
const QRgb kBlue = qRgb(40, 60, 200);

class DocViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Three 200 x 300 pages without resolution tags: 200 x 300 at 96 dpi too.
        document =
            WriteAndOpen(folder, "three.tif",
                         {SolidPage(200, 300, {220, 30, 30}), SolidPage(200, 300, {30, 180, 60}),
                          SolidPage(200, 300, {40, 60, 200})});
        view.resize(400, 500);
        view.show();
        view.SetDocument(document);
    }

    QImage Shown() {
        EXPECT_TRUE(ProcessUntil([this] { return !view.IsRendering(); }));
        QCoreApplication::processEvents();
        return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    vellumark::testing::TempFolder folder;
    std::shared_ptr<const imaging::Document> document;
    DocView view;
};

TEST_F(DocViewTest, ShowsTheFirstPageCentredOnWhite) {
    EXPECT_EQ(view.PageNum(), 0);
    EXPECT_EQ(view.Scale(), 1.0);
    const QImage shown = Shown();
    ASSERT_EQ(shown.size(), QSize(400, 500));
    EXPECT_EQ(shown.pixel(100, 100), kRed);  // (400 - 200) / 2, (500 - 300) / 2
    EXPECT_EQ(shown.pixel(299, 399), kRed);
    EXPECT_EQ(shown.pixel(50, 250), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(350, 450), qRgb(255, 255, 255));
}

TEST_F(DocViewTest, SetPageNumShowsThatPage) {
    view.SetPageNum(2);
    EXPECT_EQ(view.PageNum(), 2);
    EXPECT_EQ(Shown().pixel(200, 250), kBlue);
    view.SetPageNum(1);
    EXPECT_EQ(Shown().pixel(200, 250), kGreen);
    // Back to a cached page.
    view.SetPageNum(2);
    EXPECT_EQ(Shown().pixel(200, 250), kBlue);
}

TEST_F(DocViewTest, PagesTheDocumentLacksAreRefused) {
    EXPECT_THROW(view.SetPageNum(3), Error);
    EXPECT_THROW(view.SetPageNum(-1), Error);
    EXPECT_EQ(view.PageNum(), 0);
}

TEST_F(DocViewTest, ScaleIsSetAndReadAndSizesThePage) {
    view.SetScale(2.0, 2.0);
    EXPECT_EQ(view.Scale(), 2.0);
    const QSize port = view.viewport()->size();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 600 - port.height());
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), std::max(0, 400 - port.width()));
    EXPECT_EQ(Shown().pixel(port.width() / 2, port.height() / 2), kRed);

    view.SetScale(0.5, 0.5);
    EXPECT_EQ(view.Scale(), 0.5);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    const QImage shown = Shown();
    EXPECT_EQ(shown.pixel(150, 175), kRed);  // 100 x 150 centred: from (150, 175)
    EXPECT_EQ(shown.pixel(145, 250), qRgb(255, 255, 255));

    // Nonsense factors leave the scale as it was.
    view.SetScale(0, 0);
    view.SetScale(-1, -1);
    EXPECT_EQ(view.Scale(), 0.5);
}

TEST_F(DocViewTest, FitModeTwoFitsThePageToTheViewHeight) {
    view.SetFitMode(2);
    const int height = view.viewport()->height();
    EXPECT_NEAR(view.Scale() * 300, height, 1.0);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    // It stays fitted as the view changes size, and other modes change nothing.
    view.resize(400, 250);
    QCoreApplication::processEvents();
    EXPECT_NEAR(view.Scale() * 300, view.viewport()->height(), 1.0);
    const double fitted = view.Scale();
    view.SetFitMode(0);
    EXPECT_EQ(view.Scale(), fitted);
    // A scale written afterwards ends fitting.
    view.SetScale(1, 1);
    view.resize(400, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.Scale(), 1.0);
}

TEST_F(DocViewTest, TextSelectionKeepsTheScaleAndScrollsToTheBox) {
    view.SetScale(4, 4);                // the page is 800 x 1200 in a 400 x 500 view
    const QRect box(150, 250, 20, 10);  // on screen: 600, 1000, 80 x 40
    view.SetTextSelection(2, {box});
    EXPECT_EQ(view.PageNum(), 2);
    EXPECT_EQ(view.Scale(), 4.0);
    const int left = view.horizontalScrollBar()->value();
    const int top = view.verticalScrollBar()->value();
    const QSize port = view.viewport()->size();
    EXPECT_LE(left, 600);
    EXPECT_GE(left + port.width(), 680);
    EXPECT_LE(top, 1000);
    EXPECT_GE(top + port.height(), 1040);

    const QImage shown = Shown();
    const QPoint inBox(640 - left, 1020 - top);
    const QPoint outside(inBox.x() - 60, inBox.y());
    EXPECT_NE(shown.pixel(inBox), kBlue);  // tinted by the highlight
    EXPECT_EQ(shown.pixel(outside), kBlue);

    // Showing the selection's page again, as the search does after a hit, keeps the box in view.
    view.SetPageNum(2);
    EXPECT_EQ(view.horizontalScrollBar()->value(), left);
    EXPECT_EQ(view.verticalScrollBar()->value(), top);

    view.ClearTextSelection();
    EXPECT_EQ(Shown().pixel(inBox), kBlue);
}

TEST_F(DocViewTest, ChangingPageStartsAtItsTopLeft) {
    view.SetScale(4, 4);
    view.horizontalScrollBar()->setValue(300);
    view.verticalScrollBar()->setValue(500);
    ASSERT_EQ(view.horizontalScrollBar()->value(), 300);
    view.SetPageNum(1);
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
}

TEST(DocViewSelection, BoxesAreInTheScansOwnPixels) {
    // 600 x 900 at 300 dpi is 192 x 288 at 96 dpi: own pixels map by 0.32.
    vellumark::testing::TempFolder folder;
    auto page = SolidPage(600, 900, {255, 255, 255});
    page.xResolution = page.yResolution = 300;
    DocView view;
    view.resize(400, 400);
    view.show();
    view.SetDocument(WriteAndOpen(folder, "own.tif", {page}));
    view.SetTextSelection(0, {QRect(300, 450, 100, 100)});  // on screen: 96, 144, 32 x 32
    ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin((400 - 192) / 2, (400 - 288) / 2);
    EXPECT_NE(shown.pixel(origin + QPoint(112, 160)), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(origin + QPoint(90, 160)), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(origin + QPoint(112, 180)), qRgb(255, 255, 255));
}

TEST(DocViewSelection, BoxesFollowThePageAsShownInEveryOrientation) {
    // The text layer gives boxes in the page's own pixels with its orientation applied. A page
    // stored 120 x 80 with ink in its stored top-left quarter, at 192 dpi across and 96 down
    // (so that the two axes scale differently and a swap shows): once upright, the ink quarter
    // lies where the orientation puts it, and a box over that quarter must be highlighted over
    // the ink the view shows.
    struct Case {
        int orientation;
        bool right, bottom;  // where the ink quarter lies upright
    };
    const Case cases[] = {{1, false, false}, {2, true, false}, {3, true, true}, {4, false, true},
                          {5, false, false}, {6, true, false}, {7, true, true}, {8, false, true}};
    vellumark::testing::TempFolder folder;
    for (const Case& c : cases) {
        auto page = SolidPage(120, 80, {220, 30, 30});
        page.fill = vellumark::testing::Fill::TopLeftQuarter;
        page.xResolution = 192;
        page.yResolution = 96;
        page.orientation = c.orientation;
        DocView view;
        view.resize(400, 400);
        view.show();
        view.SetDocument(
            WriteAndOpen(folder, "turned" + std::to_string(c.orientation) + ".tif", {page}));
        view.SetScale(2, 2);
        const bool transposed = c.orientation >= 5;
        const QSize own = transposed ? QSize(80, 120) : QSize(120, 80);  // upright
        const QSize shown = transposed ? QSize(160, 120) : QSize(120, 160);
        const QRect quarter(c.right ? own.width() / 2 : 0, c.bottom ? own.height() / 2 : 0,
                            own.width() / 2, own.height() / 2);
        const QRect box = quarter.adjusted(own.width() / 8, own.height() / 8, -own.width() / 8,
                                           -own.height() / 8);
        view.SetTextSelection(0, {box});
        ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
        QCoreApplication::processEvents();
        const QImage image =
            view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint origin((400 - shown.width()) / 2, (400 - shown.height()) / 2);
        // Quarter centres on screen: the ink one and the paper one across from it.
        const QPoint inkCentre = origin + QPoint((c.right ? 3 : 1) * shown.width() / 4,
                                                 (c.bottom ? 3 : 1) * shown.height() / 4);
        const QPoint paperCentre = origin + QPoint((c.right ? 1 : 3) * shown.width() / 4,
                                                   (c.bottom ? 1 : 3) * shown.height() / 4);
        const QRgb highlighted = image.pixel(inkCentre);
        EXPECT_GT(qRed(highlighted), 100) << "orientation " << c.orientation << ": over the ink";
        EXPECT_LT(qGreen(highlighted), 100) << "orientation " << c.orientation;
        EXPECT_NE(highlighted, qRgb(220, 30, 30)) << "orientation " << c.orientation << ": tinted";
        EXPECT_EQ(image.pixel(paperCentre), qRgb(255, 255, 255))
            << "orientation " << c.orientation << ": the paper is left alone";
        // The highlight is as big as the box: a quarter of the page's shown size each way.
        const QRect tinted = TintedArea(image);
        EXPECT_NEAR(tinted.width(), shown.width() / 4, 2) << "orientation " << c.orientation;
        EXPECT_NEAR(tinted.height(), shown.height() / 4, 2) << "orientation " << c.orientation;
    }
}

TEST(DocViewSelection, AHitUnderADialogIsScrolledIntoThePartItLeavesFree) {
    vellumark::testing::TempFolder folder;
    const auto white = SolidPage(200, 300, {255, 255, 255});
    DocView view;
    view.resize(400, 500);
    view.show();
    view.SetDocument(WriteAndOpen(folder, "white.tif", {white, white}));
    ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
    // A dialog over the top of the view, leaving too little room above it: the hit at the
    // page's top left (at 120, 120 in the view) can only be shown below it, which takes
    // moving the page down beyond its scroll range.
    const QRect dialog(view.viewport()->mapToGlobal(QPoint(20, 10)), QSize(360, 200));
    view.SetTextSelection(0, {QRect(20, 20, 40, 12)}, dialog);
    QCoreApplication::processEvents();  // the scroll area lays out its new scroll bars
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect tinted = TintedArea(shown);
    ASSERT_FALSE(tinted.isEmpty());
    EXPECT_GE(tinted.width(), 40);
    EXPECT_LE(tinted.width(), 42);
    const QRect onScreen(view.viewport()->mapToGlobal(tinted.topLeft()), tinted.size());
    EXPECT_FALSE(onScreen.intersects(dialog))
        << "highlight at " << tinted.x() << ", " << tinted.y();
    EXPECT_TRUE(view.viewport()->rect().contains(tinted));
    EXPECT_LT(view.verticalScrollBar()->minimum(), 0) << "the bar reaches where the page went";

    // Another page starts at its top left again, within its own range.
    view.SetPageNum(1);
    EXPECT_EQ(view.verticalScrollBar()->minimum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
}

TEST(DocViewZoom, EnlargedPagesAreRenderedFromTheScan) {
    // Left half ink on a 300 dpi scan; at scale 3 the shown page (576 wide) has fewer pixels
    // than the scan (600), so the edge at 288 must be as sharp as in the scan.
    vellumark::testing::TempFolder folder;
    auto page = SolidPage(600, 600, {0, 0, 0});
    page.fill = vellumark::testing::Fill::LeftHalf;
    page.xResolution = page.yResolution = 300;
    DocView view;
    view.resize(300, 300);
    view.show();
    view.SetDocument(WriteAndOpen(folder, "edge.tif", {page}));
    view.SetScale(3, 3);
    ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
    view.horizontalScrollBar()->setValue(288 - 150);
    QCoreApplication::processEvents();
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(149, 100), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(150, 100), qRgb(255, 255, 255));
}

TEST(DocViewDocument, NoDocumentShowsWhiteAndReplacingResetsThePage) {
    vellumark::testing::TempFolder folder;
    DocView view;
    view.resize(200, 200);
    view.show();
    view.SetDocument(nullptr);
    EXPECT_FALSE(view.IsRendering());
    QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(100, 100), qRgb(255, 255, 255));

    view.SetDocument(WriteAndOpen(folder, "a.tif",
                                  {SolidPage(50, 50, {9, 9, 9}), SolidPage(50, 50, {9, 9, 9})}));
    view.SetPageNum(1);
    view.SetDocument(WriteAndOpen(folder, "b.tif", {SolidPage(50, 50, {200, 0, 0})}));
    EXPECT_EQ(view.PageNum(), 0);
    ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
    shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(100, 100), qRgb(200, 0, 0));
}

TEST(DocViewDocument, UnreadablePageIsReportedAndTheViewGoesOn) {
    vellumark::testing::TempFolder folder;
    auto bad = SolidPage(50, 50, {0, 0, 0});
    bad.patchTags = {{259, 34718}};  // claims an MDI codec
    DocView view;
    view.resize(200, 200);
    view.show();
    int failedPage = -1;
    QObject::connect(&view, &DocView::PageFailed, [&](int page, const QString& message) {
        failedPage = page;
        EXPECT_FALSE(message.isEmpty());
    });
    view.SetDocument(WriteAndOpen(folder, "bad.tif", {SolidPage(50, 50, {0, 0, 0}), bad}));
    view.SetPageNum(1);
    ASSERT_TRUE(ProcessUntil([&] { return failedPage == 1; }));
    EXPECT_FALSE(view.IsRendering());
    view.SetPageNum(0);
    ASSERT_TRUE(ProcessUntil([&view] { return !view.IsRendering(); }));
}

}  // namespace
}  // namespace vellumark::viewer
