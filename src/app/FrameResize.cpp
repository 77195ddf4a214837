#include "app/FrameResize.h"

#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

namespace vellumark::app {

namespace {

Qt::CursorShape CursorFor(Qt::Edges edges) {
    const bool across = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool down = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (across && down) {
        const bool falling =
            edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return across ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

}  // namespace

std::vector<ResizeHandlePlace> ResizeHandlePlaces(QSize size) {
    const int w = size.width();
    const int h = size.height();
    const int b = kResizeBorder;
    const int c = kResizeCorner;
    const int g = kGripSize;
    return {
        {Qt::TopEdge, QRect(c, 0, std::max(0, w - 2 * c), b)},
        {Qt::BottomEdge, QRect(c, h - b, std::max(0, w - c - g), b)},
        {Qt::LeftEdge, QRect(0, c, b, std::max(0, h - 2 * c))},
        {Qt::RightEdge, QRect(w - b, c, b, std::max(0, h - c - g))},
        {Qt::TopEdge | Qt::LeftEdge, QRect(0, 0, c, c)},
        {Qt::TopEdge | Qt::RightEdge, QRect(w - c, 0, c, c)},
        {Qt::BottomEdge | Qt::LeftEdge, QRect(0, h - c, c, c)},
        {Qt::BottomEdge | Qt::RightEdge, QRect(w - g, h - g, g, g)},
    };
}

QRect ResizedGeometry(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum) {
    QRect r = start;
    if (edges & Qt::LeftEdge)
        r.setLeft(std::min(start.left() + delta.x(), start.right() + 1 - minimum.width()));
    if (edges & Qt::RightEdge)
        r.setRight(std::max(start.right() + delta.x(), start.left() + minimum.width() - 1));
    if (edges & Qt::TopEdge)
        r.setTop(std::min(start.top() + delta.y(), start.bottom() + 1 - minimum.height()));
    if (edges & Qt::BottomEdge)
        r.setBottom(std::max(start.bottom() + delta.y(), start.top() + minimum.height() - 1));
    return r;
}

ResizeHandle::ResizeHandle(Qt::Edges edges, QWidget* window) : QWidget(window), edges_(edges) {
    setCursor(CursorFor(edges));
}

void ResizeHandle::mousePressEvent(QMouseEvent* event) {
    QWidget* frame = window();
    if (event->button() != Qt::LeftButton || frame->isMaximized()) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    following_ = false;
    if (frame->windowHandle() != nullptr && frame->windowHandle()->startSystemResize(edges_))
        return;
    following_ = true;
    startGeometry_ = frame->geometry();
    startPos_ = event->globalPosition().toPoint();
}

void ResizeHandle::mouseMoveEvent(QMouseEvent* event) {
    if (!following_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    QWidget* frame = window();
    frame->setGeometry(ResizedGeometry(startGeometry_, edges_,
                                       event->globalPosition().toPoint() - startPos_,
                                       frame->minimumSize()));
}

void ResizeHandle::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && following_) {
        following_ = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

}  // namespace vellumark::app
