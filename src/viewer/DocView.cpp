#include "viewer/DocView.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThreadPool>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <optional>
#include <string>

#include "common/Error.h"
#include "imaging/PageSource.h"
#include "viewer/PictureImage.h"
#include "viewer/ZoomRules.h"

namespace vellumark::viewer {

namespace {

constexpr int kCachedPages = 4;  // pictures at 96 dpi kept for paging back
constexpr int kScrollStep = 30;  // pixels per wheel line
constexpr int kScrollAnimationMs = 160;

const QColor kSelectionFill(0, 120, 215, 70);
const QColor kSelectionEdge(0, 120, 215, 170);
const QColor kPageEdge(190, 190, 190);
const QColor kHint(140, 150, 165);

struct RenderResult {
    quint64 generation = 0;
    int page = 0;
    QImage base;     // the page at 96 dpi, when that was asked for
    QImage display;  // the page at the size it is shown, when that was asked for
    QString error;
};

QImage ScreenReady(QImage image) {
    // Painting RGB32 onto the window is a plain copy; RGB888 would be converted on every paint.
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

struct DocView::Impl {
    explicit Impl(DocView* view) : q(view) {}

    DocView* q;
    // Declared before the watcher: its destructor waits for a render in flight, which touches
    // nothing of the view.
    QThreadPool pool;
    QFutureWatcher<RenderResult> watcher;
    bool busy = false;

    std::shared_ptr<const imaging::PageSource> doc;
    quint64 generation = 0;  // changes with the document, so results for an old one are dropped
    int page = 0;
    double sx = 1, sy = 1;
    bool fitHeight = false;
    QSize pictureSize;  // the page at 96 dpi
    QSize ownSize;      // the scan's own pixels, upright (selection boxes are in these)

    std::list<std::pair<int, QImage>> bases;  // most recently used first
    QImage display;
    int displayPage = -1;
    std::map<int, QString> errors;

    QString emptyHint;

    int selectionPage = -1;
    std::vector<QRect> boxes;
    // Scroll values beyond the page's own range that showing a hit beside a dialog needed; the
    // scroll bars reach them until the page, the scale or the document changes.
    std::optional<QPoint> held;
    // The device pixel ratio pictures were last asked for at; the view may move to a screen
    // with another.
    double renderedRatio = 0;

    QVariantAnimation scroll;
    QPoint scrollTarget;
    bool dragging = false;
    QPoint dragStart;
    QPoint dragValues;

    QSize Displayed() const { return DisplaySize(pictureSize, sx, sy); }

    bool HasPage() const { return doc && !pictureSize.isEmpty(); }

    // Top left of the page in viewport coordinates: centred when smaller than the view.
    QPoint Origin() const {
        return PageOrigin(
            Displayed(), q->viewport()->size(),
            QPoint(q->horizontalScrollBar()->value(), q->verticalScrollBar()->value()));
    }

    void UpdateScrollBars() {
        const QSize shown = HasPage() ? Displayed() : QSize(0, 0);
        const QSize view = q->viewport()->size();
        QScrollBar* h = q->horizontalScrollBar();
        QScrollBar* v = q->verticalScrollBar();
        const QPoint reach = held.value_or(QPoint(0, 0));
        h->setRange(std::min(0, reach.x()), std::max({0, shown.width() - view.width(), reach.x()}));
        h->setPageStep(std::max(1, view.width()));
        h->setSingleStep(kScrollStep);
        v->setRange(std::min(0, reach.y()),
                    std::max({0, shown.height() - view.height(), reach.y()}));
        v->setPageStep(std::max(1, view.height()));
        v->setSingleStep(kScrollStep);
    }

    void ApplyFit() {
        if (!HasPage()) {
            return;
        }
        const std::optional<double> scale = FitHeightScale(
            pictureSize, q->maximumViewportSize(), q->horizontalScrollBar()->sizeHint().height());
        if (scale) {
            sx = sy = *scale;
        }
    }

    QImage Base(int index) const {
        for (const auto& [cachedPage, image] : bases) {
            if (cachedPage == index) {
                return image;
            }
        }
        return {};
    }

    void AddBase(int index, QImage image) {
        bases.remove_if([index](const auto& entry) { return entry.first == index; });
        bases.emplace_front(index, std::move(image));
        while (static_cast<int>(bases.size()) > kCachedPages) {
            bases.pop_back();
        }
    }

    // The size of the picture worth making for the current scale, in the screen's own pixels;
    // empty when the page at 96 dpi is already the best there is.
    QSize WantedDisplay() const {
        const double ratio = q->devicePixelRatioF();
        return RenderSize(DisplaySize(pictureSize, sx * ratio, sy * ratio), pictureSize, ownSize);
    }

    bool NeedsWork() const {
        if (!HasPage() || errors.count(page) != 0) {
            return false;
        }
        if (Base(page).isNull()) {
            return true;
        }
        const QSize wanted = WantedDisplay();
        return !wanted.isEmpty() && !(displayPage == page && display.size() == wanted);
    }

    // Starts the next picture the view needs, one at a time: first the page at 96 dpi (cached),
    // then a picture at the shown size. A change while a picture is being made is picked up
    // when it is done, so a burst of zoom clicks costs at most one stale picture.
    void Render() {
        renderedRatio = q->devicePixelRatioF();
        if (busy || !HasPage() || errors.count(page) != 0) {
            return;
        }
        if (!NeedsWork()) {
            emit q->PageRendered(page);
            return;
        }
        const quint64 gen = generation;
        const int index = page;
        const QImage base = Base(page);
        std::shared_ptr<const imaging::PageSource> document = doc;
        std::function<RenderResult()> task;
        if (base.isNull()) {
            task = [document, gen, index] {
                RenderResult result{gen, index, {}, {}, {}};
                result.base = ScreenReady(ToQImage(document->PagePicture(index)));
                return result;
            };
        } else {
            const QSize wanted = WantedDisplay();
            if (wanted.width() <= pictureSize.width() && wanted.height() <= pictureSize.height()) {
                task = [base, gen, index, wanted] {
                    RenderResult result{gen, index, {}, {}, {}};
                    result.display =
                        base.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                    return result;
                };
            } else {
                task = [document, gen, index, wanted] {
                    RenderResult result{gen, index, {}, {}, {}};
                    result.display = ScreenReady(
                        ToQImage(document->PagePicture(index, wanted.width(), wanted.height())));
                    return result;
                };
            }
        }
        busy = true;
        watcher.setFuture(QtConcurrent::run(&pool, [task = std::move(task), gen, index] {
            try {
                return task();
            } catch (const std::exception& e) {
                return RenderResult{gen, index, {}, {}, QString::fromUtf8(e.what())};
            } catch (...) {
                return RenderResult{gen, index, {}, {}, QStringLiteral("Unknown error")};
            }
        }));
    }

    void OnRendered() {
        busy = false;
        RenderResult result = watcher.result();
        if (result.generation == generation) {
            if (!result.error.isEmpty()) {
                errors[result.page] = result.error;
                emit q->PageFailed(result.page, result.error);
            } else if (!result.base.isNull()) {
                AddBase(result.page, std::move(result.base));
            } else if (!result.display.isNull()) {
                display = std::move(result.display);
                displayPage = result.page;
            }
            q->viewport()->update();
        }
        Render();
    }

    QRectF Box(const QRect& box) const { return BoxOnScreen(box, ownSize, pictureSize, sx, sy); }

    // `keepClearOf` is in global coordinates.
    void ScrollBoxIntoView(const QRect& box, const QRect& keepClearOf) {
        const QRectF target = Box(box);
        const QSize shown = Displayed();
        const QRect covered =
            keepClearOf.isEmpty()
                ? QRect()
                : QRect(q->viewport()->mapFromGlobal(keepClearOf.topLeft()), keepClearOf.size());
        QScrollBar* h = q->horizontalScrollBar();
        QScrollBar* v = q->verticalScrollBar();
        scroll.stop();
        const QPoint current(h->value(), v->value());
        // Values beyond the page's range bring scroll bars, which take room from the view (once
        // the scroll area lays itself out again): place the box in the view there will be.
        const QSize room = q->maximumViewportSize();
        QSize view = q->viewport()->size();
        QPoint wanted = current;
        for (int pass = 0; pass < 3; ++pass) {
            wanted = ScrollToShow(target, shown, view, current, covered);
            const bool across =
                std::min(0, wanted.x()) < std::max({0, shown.width() - view.width(), wanted.x()});
            const bool down =
                std::min(0, wanted.y()) < std::max({0, shown.height() - view.height(), wanted.y()});
            const QSize next(room.width() - (down ? v->sizeHint().width() : 0),
                             room.height() - (across ? h->sizeHint().height() : 0));
            if (next == view) {
                break;
            }
            view = next;
        }
        // Only a dialog makes a hit need values beyond the page's range.
        held = covered.isEmpty() ? std::nullopt : std::optional<QPoint>(wanted);
        UpdateScrollBars();
        h->setValue(wanted.x());
        v->setValue(wanted.y());
    }

    void ScrollBy(QPoint delta, bool animated) {
        QScrollBar* h = q->horizontalScrollBar();
        QScrollBar* v = q->verticalScrollBar();
        const QPoint current(h->value(), v->value());
        const QPoint from = scroll.state() == QAbstractAnimation::Running ? scrollTarget : current;
        const QPoint to(std::clamp(from.x() + delta.x(), h->minimum(), h->maximum()),
                        std::clamp(from.y() + delta.y(), v->minimum(), v->maximum()));
        scroll.stop();
        if (!animated) {
            h->setValue(to.x());
            v->setValue(to.y());
            return;
        }
        scrollTarget = to;
        scroll.setStartValue(current);
        scroll.setEndValue(to);
        scroll.start();
    }

    void PageChanged() {
        held.reset();
        if (fitHeight) {
            ApplyFit();
        }
        UpdateScrollBars();
        q->viewport()->update();
        Render();
    }
};

DocView::DocView(QWidget* parent)
    : QAbstractScrollArea(parent), impl_(std::make_unique<Impl>(this)) {
    impl_->pool.setMaxThreadCount(1);
    connect(&impl_->watcher, &QFutureWatcher<RenderResult>::finished, this,
            [this] { impl_->OnRendered(); });

    impl_->scroll.setDuration(kScrollAnimationMs);
    impl_->scroll.setEasingCurve(QEasingCurve::OutCubic);
    connect(&impl_->scroll, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const QPoint point = value.toPoint();
        horizontalScrollBar()->setValue(point.x());
        verticalScrollBar()->setValue(point.y());
    });

    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
}

DocView::~DocView() {
    impl_->scroll.stop();
    impl_->watcher.disconnect(this);
    impl_->watcher.waitForFinished();
}

void DocView::SetDocument(std::shared_ptr<const imaging::PageSource> document) {
    Impl& d = *impl_;
    ++d.generation;
    d.doc = std::move(document);
    d.bases.clear();
    d.display = QImage();
    d.displayPage = -1;
    d.errors.clear();
    d.selectionPage = -1;
    d.boxes.clear();
    d.held.reset();
    d.page = 0;
    d.pictureSize = QSize();
    d.ownSize = QSize();
    if (d.doc && d.doc->PageCount() > 0) {
        SetPageNum(0);
        return;
    }
    d.UpdateScrollBars();
    viewport()->update();
}

double DocView::Scale() const {
    return impl_->sx;
}

void DocView::SetScale(double horizontal, double vertical) {
    if (!std::isfinite(horizontal) || !std::isfinite(vertical) || horizontal <= 0 ||
        vertical <= 0) {
        return;
    }
    Impl& d = *impl_;
    d.fitHeight = false;
    // Keep the point at the centre of the view where it is.
    const QSize before = d.Displayed();
    const QPoint origin = d.Origin();
    const QSize view = viewport()->size();
    const double rx = (view.width() / 2.0 - origin.x()) / before.width();
    const double ry = (view.height() / 2.0 - origin.y()) / before.height();
    d.sx = horizontal;
    d.sy = vertical;
    d.held.reset();
    d.scroll.stop();
    d.UpdateScrollBars();
    const QSize after = d.Displayed();
    horizontalScrollBar()->setValue(static_cast<int>(rx * after.width() - view.width() / 2.0));
    verticalScrollBar()->setValue(static_cast<int>(ry * after.height() - view.height() / 2.0));
    viewport()->update();
    d.Render();
}

int DocView::PageNum() const {
    return impl_->page;
}

void DocView::SetPageNum(int page) {
    Impl& d = *impl_;
    if (!d.doc) {
        d.page = page;
        return;
    }
    const int count = d.doc->PageCount();
    if (page < 0 || page >= count) {
        throw Error(ErrorCode::BadInput,
                    "The document has no page " + std::to_string(page + 1) + ".", d.doc->Path(),
                    page);
    }
    if (page == d.page && d.HasPage()) {
        // Already shown: leave the view where it is (a selection just scrolled into view stays).
        return;
    }
    const auto [pictureWidth, pictureHeight] = d.doc->PictureSize(page);
    const imaging::PageShape own = d.doc->Shape(page);
    d.page = page;
    d.pictureSize = QSize(pictureWidth, pictureHeight);
    d.ownSize = QSize(own.width, own.height);
    d.scroll.stop();
    d.PageChanged();
    // A new page starts at its top left, whatever the last one was scrolled to.
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void DocView::SetFitMode(int mode) {
    if (mode != 2) {
        return;
    }
    Impl& d = *impl_;
    d.fitHeight = true;
    d.scroll.stop();
    d.PageChanged();
}

void DocView::SetTextSelection(int page, const std::vector<QRect>& boxes,
                               const QRect& keepClearOf) {
    Impl& d = *impl_;
    if (page != d.page || !d.HasPage()) {
        SetPageNum(page);
    }
    d.selectionPage = page;
    d.boxes = boxes;
    if (!boxes.empty() && d.HasPage()) {
        d.ScrollBoxIntoView(boxes.front(), keepClearOf);
    }
    viewport()->update();
}

void DocView::ClearTextSelection() {
    impl_->selectionPage = -1;
    impl_->boxes.clear();
    viewport()->update();
}

void DocView::SetEmptyHint(const QString& text) {
    impl_->emptyHint = text;
    viewport()->update();
}

bool DocView::IsRendering() const {
    return impl_->busy || impl_->NeedsWork();
}

void DocView::paintEvent(QPaintEvent* event) {
    Impl& d = *impl_;
    QPainter painter(viewport());
    painter.fillRect(event->rect(), Qt::white);
    if (!d.HasPage()) {
        if (!d.emptyHint.isEmpty()) {
            QFont font = painter.font();
            font.setPixelSize(13);
            painter.setFont(font);
            painter.setPen(kHint);
            painter.drawText(viewport()->rect().adjusted(16, 16, -16, -16),
                             Qt::AlignCenter | Qt::TextWordWrap, d.emptyHint);
        }
        return;
    }
    if (devicePixelRatioF() != d.renderedRatio) {
        QMetaObject::invokeMethod(
            this, [this] { impl_->Render(); }, Qt::QueuedConnection);
    }
    const QSize shown = d.Displayed();
    const QPoint origin = d.Origin();
    const QRect pageRect(origin, shown);
    // A thin edge just outside the page keeps a white page apart from the white around it.
    painter.setPen(kPageEdge);
    painter.drawRect(pageRect.adjusted(-1, -1, 0, 0));

    const QRect visible = pageRect & event->rect();
    QImage image = d.displayPage == d.page ? d.display : QImage();
    if (image.isNull()) {
        image = d.Base(d.page);
    }
    if (!image.isNull() && !visible.isEmpty()) {
        if (image.size() == shown) {
            painter.drawImage(visible.topLeft(), image, visible.translated(-origin));
        } else {
            // A picture in the screen's own pixels, or one made for another scale that stands
            // in until the right one is ready.
            const double fx = static_cast<double>(image.width()) / shown.width();
            const double fy = static_cast<double>(image.height()) / shown.height();
            const QRectF part = QRectF(visible.translated(-origin));
            const QRectF source(part.x() * fx, part.y() * fy, part.width() * fx,
                                part.height() * fy);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(visible), image, source);
        }
    } else if (const auto failed = d.errors.find(d.page); failed != d.errors.end()) {
        painter.setPen(Qt::darkRed);
        painter.drawText(pageRect.intersected(viewport()->rect()).adjusted(8, 8, -8, -8),
                         Qt::AlignCenter | Qt::TextWordWrap, failed->second);
    }

    if (d.selectionPage == d.page) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(kSelectionEdge);
        painter.setBrush(kSelectionFill);
        for (const QRect& box : d.boxes) {
            painter.drawRect(d.Box(box).translated(origin));
        }
    }
}

void DocView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Impl& d = *impl_;
    if (d.fitHeight) {
        d.ApplyFit();
        d.Render();
    }
    d.UpdateScrollBars();
}

void DocView::scrollContentsBy(int, int) {
    viewport()->update();
}

void DocView::wheelEvent(QWheelEvent* event) {
    Impl& d = *impl_;
    if (!event->pixelDelta().isNull()) {
        // Touchpads report exact pixels: follow them without easing.
        d.ScrollBy(-event->pixelDelta(), false);
    } else {
        QPoint angle = event->angleDelta();
        if (event->modifiers() & Qt::ShiftModifier) {
            angle = QPoint(angle.y(), angle.x());
        }
        const int lines = QApplication::wheelScrollLines();
        d.ScrollBy(-angle * lines * kScrollStep / 120, true);
    }
    event->accept();
}

void DocView::mousePressEvent(QMouseEvent* event) {
    Impl& d = *impl_;
    if (event->button() == Qt::LeftButton) {
        d.scroll.stop();
        d.dragging = true;
        d.dragStart = event->position().toPoint();
        d.dragValues = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
        viewport()->setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void DocView::mouseMoveEvent(QMouseEvent* event) {
    Impl& d = *impl_;
    if (d.dragging) {
        const QPoint moved = event->position().toPoint() - d.dragStart;
        horizontalScrollBar()->setValue(d.dragValues.x() - moved.x());
        verticalScrollBar()->setValue(d.dragValues.y() - moved.y());
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void DocView::mouseReleaseEvent(QMouseEvent* event) {
    Impl& d = *impl_;
    if (d.dragging && event->button() == Qt::LeftButton) {
        d.dragging = false;
        viewport()->unsetCursor();
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

}  // namespace vellumark::viewer
