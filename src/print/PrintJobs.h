#pragma once
// The job loop of printing: one job per page, without a dialog, so that it runs on any device
// and off the GUI thread.

#include <QString>
#include <functional>

#include "imaging/PageSource.h"
#include "print/PagePlacement.h"

class QPaintDevice;
class QPrinter;

namespace vellumark::print {

// Where the jobs go. QPainter::begin on the device opens a job and QPainter::end closes it.
class JobSink {
public:
    virtual ~JobSink() = default;
    // The device for the job of `page` (0-based). Throws vellumark::Error when there is none.
    virtual QPaintDevice& JobDevice(int page) = 0;
    // The job in progress failed: a printer drops what it spooled of it.
    virtual void AbortJob() {}
};

// Every job goes to the one printer, as a document without a name.
class PrinterSink final : public JobSink {
public:
    explicit PrinterSink(QPrinter& printer) : printer_(printer) {}
    QPaintDevice& JobDevice(int page) override;
    void AbortJob() override;

private:
    QPrinter& printer_;
};

// Prints pages range.first to range.last in ascending order, each as a job of its own: the
// page picture placed by PlacePage on the device's printable area and stretched into it.
// `keepGoing` is asked before each page (with the pages done so far); false stops there.
// Throws vellumark::Error for a page that cannot be fetched or a job that cannot be opened;
// the pages printed before it stay printed and an open job is aborted first. Returns the
// number of pages printed. Runs on the calling thread; `source` must allow that.
int PrintPages(const imaging::PageSource& source, PageRange range, JobSink& sink,
               const std::function<bool(int done)>& keepGoing = {});

}  // namespace vellumark::print
