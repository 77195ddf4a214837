#include "print/PrintJobs.h"

#include <QPainter>
#include <QPrinter>
#include <string>

#include "common/Error.h"
#include "viewer/PictureImage.h"

namespace vellumark::print {

QPaintDevice& PrinterSink::JobDevice(int) {
    printer_.setDocName(QString());
    return printer_;
}

void PrinterSink::AbortJob() {
    printer_.abort();
}

namespace {

void PrintOnePage(const imaging::PageSource& source, int page, JobSink& sink) {
    // Fetch first: a page that cannot be read must not leave a blank sheet behind.
    const QImage picture = viewer::ToQImage(source.PagePicture(page));
    QPaintDevice& device = sink.JobDevice(page);
    QPainter painter;
    if (!painter.begin(&device)) {
        throw Error(
            ErrorCode::Io,
            "The printer could not start the job for page " + std::to_string(page + 1) + ".", {},
            page);
    }
    try {
        const PagePlacement place =
            PlacePage(picture.width(), picture.height(), device.width(), device.height());
        const QRect target(place.left, place.top, place.right - place.left,
                           place.bottom - place.top);
        if (!picture.isNull() && !target.isEmpty()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, picture);
        }
        if (!painter.end()) {
            throw Error(
                ErrorCode::Io,
                "The printer could not finish the job for page " + std::to_string(page + 1) + ".",
                {}, page);
        }
    } catch (...) {
        if (painter.isActive()) {
            sink.AbortJob();
            painter.end();
        }
        throw;
    }
}

}  // namespace

int PrintPages(const imaging::PageSource& source, PageRange range, JobSink& sink,
               const std::function<bool(int done)>& keepGoing) {
    int done = 0;
    const int count = source.PageCount();
    for (long long page = range.first; page <= range.last; ++page) {
        if (keepGoing && !keepGoing(done)) {
            break;
        }
        // A number typed in the dialog may name a page the document does not have.
        if (page < 0 || page >= count) {
            throw Error(ErrorCode::BadInput,
                        "The document has no page " + std::to_string(page + 1) + ".", {},
                        static_cast<int>(page));
        }
        PrintOnePage(source, static_cast<int>(page), sink);
        ++done;
    }
    return done;
}

}  // namespace vellumark::print
