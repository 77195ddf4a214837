#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ViewerTestPages.h"
#include "viewer/ThumbCell.h"
#include "viewer/ThumbnailBuilder.h"

namespace vellumark::viewer {
namespace {

using testing::ProcessUntil;
using testing::SolidPage;
using testing::WriteAndOpen;

// Everything a build reported, in arrival order.
struct Record {
    explicit Record(ThumbnailBuilder& builder) {
        QObject::connect(&builder, &ThumbnailBuilder::ThumbnailReady,
                         [this](int page, const QImage& cell) { cells[page] = cell; });
        QObject::connect(&builder, &ThumbnailBuilder::Failed,
                         [this](int page, const QString& message) { failed[page] = message; });
        QObject::connect(&builder, &ThumbnailBuilder::Progress,
                         [this](int done, int total) { progress.emplace_back(done, total); });
        QObject::connect(&builder, &ThumbnailBuilder::Finished, [this] { ++finished; });
    }
    std::map<int, QImage> cells;
    std::map<int, QString> failed;
    std::vector<std::pair<int, int>> progress;
    int finished = 0;
};

TEST(ThumbnailBuilder, MakesOneFramedCellPerPage) {
    vellumark::testing::TempFolder folder;
    // A wide and a tall page give the same picture size inside the same frames.
    auto document =
        WriteAndOpen(folder, "three.tif",
                     {SolidPage(300, 100, {200, 0, 0}), SolidPage(100, 300, {0, 200, 0}),
                      SolidPage(200, 200, {0, 0, 200})});
    ThumbnailBuilder builder;
    Record record(builder);
    builder.Start(document);
    EXPECT_TRUE(builder.IsRunning());
    ASSERT_TRUE(ProcessUntil([&] { return record.finished > 0; }));
    EXPECT_FALSE(builder.IsRunning());
    EXPECT_EQ(record.finished, 1);
    EXPECT_TRUE(record.failed.empty());
    ASSERT_EQ(record.cells.size(), 3u);
    const QRgb colours[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    for (const auto& [page, cell] : record.cells) {
        EXPECT_EQ(cell.size(), QSize(kThumbCellWidth, kThumbCellHeight));
        EXPECT_EQ(cell.pixel(5, 6), colours[page]);
        EXPECT_EQ(cell.pixel(74, 93), colours[page]);
        EXPECT_EQ(cell.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(cell.pixel(79, 99), qRgb(128, 128, 128));
    }
    const std::vector<std::pair<int, int>> progress{{1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(record.progress, progress);
}

TEST(ThumbnailBuilder, AFailingPageIsReportedAndTheBuildGoesOn) {
    vellumark::testing::TempFolder folder;
    auto bad = SolidPage(40, 40, {0, 0, 0});
    bad.patchTags = {{259, 34718}};  // claims an MDI codec
    auto document = WriteAndOpen(folder, "bad.tif",
                                 {SolidPage(40, 40, {0, 0, 0}), bad, SolidPage(40, 40, {0, 0, 0})});
    ThumbnailBuilder builder;
    Record record(builder);
    builder.Start(document);
    ASSERT_TRUE(ProcessUntil([&] { return record.finished > 0; }));
    EXPECT_EQ(record.cells.size(), 2u);
    ASSERT_EQ(record.failed.size(), 1u);
    EXPECT_EQ(record.failed.begin()->first, 1);
    EXPECT_FALSE(record.failed.begin()->second.isEmpty());
    EXPECT_EQ(record.progress.back(), std::make_pair(3, 3));
}

TEST(ThumbnailBuilder, CancelledOrReplacedBuildsReportNothingMore) {
    vellumark::testing::TempFolder folder;
    std::vector<vellumark::testing::TestPage> grey(40, SolidPage(400, 400, {90, 90, 90}));
    auto first = WriteAndOpen(folder, "first.tif", grey);
    auto second = WriteAndOpen(folder, "second.tif", {SolidPage(40, 40, {0, 0, 250})});

    ThumbnailBuilder builder;
    Record record(builder);
    builder.Start(first);
    builder.Cancel();
    EXPECT_FALSE(builder.IsRunning());
    QCoreApplication::processEvents();
    EXPECT_TRUE(record.cells.empty());
    EXPECT_TRUE(record.progress.empty());
    EXPECT_EQ(record.finished, 0);

    // A new start drops what the old build had in flight.
    builder.Start(first);
    builder.Start(second);
    ASSERT_TRUE(ProcessUntil([&] { return record.finished > 0; }));
    QCoreApplication::processEvents();
    ASSERT_EQ(record.cells.size(), 1u);
    EXPECT_EQ(record.cells.at(0).pixel(40, 50), qRgb(0, 0, 250));
    EXPECT_EQ(record.progress, (std::vector<std::pair<int, int>>{{1, 1}}));

    builder.Start(nullptr);
    EXPECT_FALSE(builder.IsRunning());
}

TEST(ThumbnailBuilder, DestroyedWhileRunningWaitsForItsWork) {
    vellumark::testing::TempFolder folder;
    std::vector<vellumark::testing::TestPage> pages(20, SolidPage(800, 800, {90, 90, 90}));
    auto document = WriteAndOpen(folder, "many.tif", pages);
    auto builder = std::make_unique<ThumbnailBuilder>();
    int ready = 0;
    QObject::connect(builder.get(), &ThumbnailBuilder::ThumbnailReady,
                     [&ready](int, const QImage&) { ++ready; });
    builder->Start(document);
    builder.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ready, 0);
}

}  // namespace
}  // namespace vellumark::viewer
