// "Clean up pages" on the window's side: the cleaned pages are planned on a worker thread while
// the window stays usable, then shown in place of the scan's own, so that what the book will
// hold is seen before converting.
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QtConcurrent/QtConcurrentRun>

#include "app/TForm1.h"
#include "common/Scheduler.h"
#include "imaging/ScanDocument.h"

namespace vellumark::app {

void TForm1::CheckBox2Click() {
    // Whatever was under way is for another choice or document now.
    if (cleanupStop_)
        *cleanupStop_ = true;
    cleanupStop_.reset();
    cleanedPages_.reset();
    if (!doc_)
        return;
    if (!CheckBox2->isChecked()) {
        if (pages_ != doc_)
            ShowPages(doc_);
        return;
    }
    const imaging::CleanupOptions options = ChosenCleanup();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    cleanupStop_ = stop;
    const std::shared_ptr<const imaging::ScanDocument> document = doc_;
    // The window's own thread hears of each sheet planned; a newer plan makes it stale.
    const QPointer<TForm1> window(this);
    const auto progress = [window, stop](int done, int total) {
        QMetaObject::invokeMethod(
            window,
            [window, stop, done, total] {
                if (!window || *stop || window->converting_)
                    return;
                window->ProgressBar1->setRange(0, std::max(total, 1));
                window->ProgressBar1->setValue(done);
                window->ProgressBar1->show();
                window->LayoutWorkArea();
                window->Label1->setText(
                    QString("%1 %2/%3").arg(epub::kCleaningUpText).arg(done).arg(total));
            },
            Qt::QueuedConnection);
    };
    cleanup_.setFuture(QtConcurrent::run(
        [document, options, stop, progress]() -> std::shared_ptr<const imaging::CleanedPages> {
            try {
                Scheduler scheduler(0);
                return imaging::CleanedPages::Plan(
                    document, options,
                    [document](int sheet) { return document->Resolution(sheet); }, scheduler,
                    progress, stop.get());
            } catch (const std::exception&) {
                // Stopped, or a sheet could not be read: the scan's own pages stay shown, and a
                // conversion says what is wrong.
                return nullptr;
            }
        }));
}

void TForm1::CleanupFinished() {
    const std::shared_ptr<const imaging::CleanedPages> cleaned = cleanup_.result();
    // The watcher hears only of the plan it watches last; one stopped since does not count.
    const bool current = cleanupStop_ && !*cleanupStop_;
    cleanupStop_.reset();
    if (!IsBuildingPageList()) {
        ProgressBar1->hide();
        LayoutWorkArea();
    }
    if (!current || !cleaned || !CheckBox2->isChecked()) {
        ShowPageCounter();
        return;
    }
    cleanedPages_ = cleaned;
    ShowPages(cleanedPages_);
    ShowPageCounter();
    emit PagesCleanedUp();
}

}  // namespace vellumark::app
