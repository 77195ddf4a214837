#pragma once
// Builds the thumbnail cells of a document off the GUI thread; results arrive through queued
// signals on the thread that owns the builder, in any order, as they are made.

#include <QImage>
#include <QObject>
#include <QString>
#include <memory>

namespace vellumark::imaging {
class PageSource;
}

namespace vellumark::viewer {

class ThumbnailBuilder : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailBuilder(QObject* parent = nullptr);
    ~ThumbnailBuilder() override;  // cancels and waits for work in flight

    // Cancels any build in progress and starts one for `document` (null: nothing to build),
    // its cells made at `pixelRatio` (the device pixel ratio of the screen they are shown on).
    // The builder keeps a reference to the document until the build ends. A document without
    // pages finishes at once (Finished arrives queued, like every other signal).
    void Start(std::shared_ptr<const imaging::PageSource> document, qreal pixelRatio = 1.0);
    // Stops the build and waits for the pages in flight; no signal of it arrives afterwards.
    void Cancel();
    bool IsRunning() const;

signals:
    void ThumbnailReady(int page, const QImage& cell);  // as ComposeThumbCell makes it
    void Progress(int done, int total);
    void Failed(int page, const QString& message);  // that page's error; the build goes on
    void Finished();

private:
    void Deliver(quint64 build, int page, const QImage& cell, const QString& error);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::viewer
