// Opens a generated 300-page scan and prints how long the first and the last thumbnail take.
// It measures only; the figures depend on the machine and are never asserted.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ViewerTestPages.h"
#include "viewer/ThumbnailBuilder.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    using namespace vellumark;
    // Usage: viewer_thumbnail_timing [PAGES [text|plain [DPI]]]. The defaults (300 plain A4
    // pages at 300 dpi) take about a minute to write, text pages longer; CTest runs it at a
    // lower resolution to stay short.
    const int pageCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const bool text = argc > 2 && std::string(argv[2]) == "text";
    const int dpi = argc > 3 ? std::clamp(std::atoi(argv[3]), 10, 1200) : 300;

    // A4 at 300 dpi, bilevel G4: what an office scanner makes.
    testing::TestPage page;
    page.width = 2480 * dpi / 300;
    page.height = 3508 * dpi / 300;
    page.xResolution = page.yResolution = dpi;
    page.layout = testing::Layout::Bilevel;
    page.fill = text ? testing::Fill::Text : testing::Fill::LeftHalf;
    testing::TempFolder folder;
    QElapsedTimer clock;
    clock.start();
    testing::WriteTestTiff(folder / "scan.tif", std::vector<testing::TestPage>(pageCount, page));
    std::printf("wrote %d %s A4 pages at %d dpi in %lld ms\n", pageCount, text ? "text" : "plain",
                dpi, static_cast<long long>(clock.elapsed()));

    clock.restart();
    std::shared_ptr<const imaging::Document> document =
        imaging::Document::Open(folder / "scan.tif");
    const qint64 opened = clock.elapsed();
    viewer::ThumbnailBuilder builder;
    qint64 first = -1, last = -1;
    int made = 0, failed = 0;
    QObject::connect(&builder, &viewer::ThumbnailBuilder::ThumbnailReady, [&](int, const QImage&) {
        if (++made == 1) {
            first = clock.elapsed();
        }
    });
    QObject::connect(&builder, &viewer::ThumbnailBuilder::Failed,
                     [&](int, const QString&) { ++failed; });
    QObject::connect(&builder, &viewer::ThumbnailBuilder::Finished, [&] {
        last = clock.elapsed();
        app.quit();
    });
    builder.Start(document);
    app.exec();
    std::printf(
        "open %lld ms, first thumbnail %lld ms, last thumbnail %lld ms (%d made, %d failed)\n",
        static_cast<long long>(opened), static_cast<long long>(first), static_cast<long long>(last),
        made, failed);
    return made == pageCount ? 0 : 1;
}
