#include "viewer/ThumbnailBuilder.h"

#include <QThreadPool>
#include <atomic>
#include <exception>

#include "imaging/PageSource.h"
#include "viewer/PictureImage.h"
#include "viewer/ThumbCell.h"

namespace vellumark::viewer {

namespace {

// Shared by the tasks of one build; set when the build is abandoned so queued pages are skipped.
struct BuildFlag {
    std::atomic<bool> cancelled{false};
};

}  // namespace

struct ThumbnailBuilder::Impl {
    QThreadPool pool;
    std::shared_ptr<BuildFlag> flag;
    quint64 build = 0;  // deliveries of an older build are dropped
    int total = 0;
    int done = 0;
    bool running = false;
};

ThumbnailBuilder::ThumbnailBuilder(QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>()) {
    impl_->pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

ThumbnailBuilder::~ThumbnailBuilder() {
    Cancel();
}

void ThumbnailBuilder::Start(std::shared_ptr<const imaging::PageSource> document,
                             qreal pixelRatio) {
    Cancel();
    if (!document) {
        return;
    }
    Impl& d = *impl_;
    d.total = document->PageCount();
    d.done = 0;
    d.running = true;
    const quint64 build = ++d.build;
    if (d.total <= 0) {
        d.total = 0;
        QMetaObject::invokeMethod(
            this,
            [this, build] {
                if (build == impl_->build && impl_->running) {
                    impl_->running = false;
                    emit Finished();
                }
            },
            Qt::QueuedConnection);
        return;
    }
    d.flag = std::make_shared<BuildFlag>();
    const QColor face = ButtonFaceColour();
    const QSize pixels = ThumbPagePixels(pixelRatio);
    // One task per page, queued in page order, so the first thumbnails come first. The pool is
    // bounded; the destructor waits for it, so `this` outlives every task.
    for (int page = 0; page < d.total; ++page) {
        d.pool.start([this, document, flag = d.flag, build, page, face, pixels, pixelRatio] {
            if (flag->cancelled) {
                return;
            }
            QImage cell;
            QString error;
            try {
                cell = ComposeThumbCell(
                    ToQImage(document->PagePicture(page, pixels.width(), pixels.height())), face,
                    pixelRatio);
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            } catch (...) {
                error = tr("Unknown error while reading page %1.").arg(page + 1);
            }
            if (flag->cancelled) {
                return;
            }
            QMetaObject::invokeMethod(
                this, [this, build, page, cell, error] { Deliver(build, page, cell, error); },
                Qt::QueuedConnection);
        });
    }
}

void ThumbnailBuilder::Deliver(quint64 build, int page, const QImage& cell, const QString& error) {
    Impl& d = *impl_;
    if (build != d.build || !d.running) {
        return;
    }
    ++d.done;
    if (error.isEmpty()) {
        emit ThumbnailReady(page, cell);
    } else {
        emit Failed(page, error);
    }
    // A slot may have cancelled or restarted the build meanwhile.
    if (build != d.build || !d.running) {
        return;
    }
    emit Progress(d.done, d.total);
    if (build == d.build && d.running && d.done == d.total) {
        d.running = false;
        d.flag.reset();
        emit Finished();
    }
}

void ThumbnailBuilder::Cancel() {
    Impl& d = *impl_;
    if (d.flag) {
        d.flag->cancelled = true;
    }
    d.pool.clear();
    d.pool.waitForDone();
    d.flag.reset();
    d.running = false;
    ++d.build;
}

bool ThumbnailBuilder::IsRunning() const {
    return impl_->running;
}

}  // namespace vellumark::viewer
