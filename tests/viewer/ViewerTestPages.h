#pragma once
// Documents written for the viewer tests and a wait that lets queued work arrive.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QImage>
#include <QRect>
#include <functional>
#include <memory>
#include <vector>

#include "TestTiff.h"
#include "imaging/Document.h"

namespace vellumark::viewer::testing {

using vellumark::testing::TestPage;

inline TestPage SolidPage(int width, int height, std::array<std::uint8_t, 3> ink) {
    TestPage page;
    page.width = width;
    page.height = height;
    page.layout = vellumark::testing::Layout::Rgb;
    page.fill = vellumark::testing::Fill::Solid;
    page.inkColour = ink;
    return page;
}

inline std::shared_ptr<const imaging::Document> WriteAndOpen(
    const vellumark::testing::TempFolder& folder, const std::string& name,
    const std::vector<TestPage>& pages) {
    const auto path = folder / name;
    vellumark::testing::WriteTestTiff(path, pages);
    return imaging::Document::Open(path);
}

// Where a text selection is drawn in a grab of a view showing a white page: the bounds of the
// bluish pixels (empty when there are none).
inline QRect TintedArea(const QImage& shown) {
    QRect area;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb pixel = shown.pixel(x, y);
            if (qBlue(pixel) > qRed(pixel) + 20)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

// Processes events until `done` holds. The deadline only keeps a broken build from hanging the
// suite; no test depends on how quickly anything happens.
inline bool ProcessUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(60'000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

}  // namespace vellumark::viewer::testing
