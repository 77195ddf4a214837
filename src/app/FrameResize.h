#pragma once
// Resizing the borderless main window from its edges, its corners and the status bar's grip:
// thin see-through handles along the window's border. A press asks the window system to resize
// (it then follows the mouse itself, with its own feel and limits); where it cannot (no window
// manager, or a platform without the request) the handle follows the mouse itself, keeping the
// window's minimum size. GUI thread only.

#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace vellumark::app {

// How wide the resizing border is, how big the corners are, and the grip's square at the
// bottom right (over the status bar's grip dots).
constexpr int kResizeBorder = 4;
constexpr int kResizeCorner = 10;
constexpr int kGripSize = 22;

struct ResizeHandlePlace {
    Qt::Edges edges;
    QRect rect;  // in the window's coordinates
};
// The handles of a window `size` big: four edges, four corners, the bottom-right one the grip.
std::vector<ResizeHandlePlace> ResizeHandlePlaces(QSize size);

// The window's geometry after dragging `edges` of `start` by `delta`, never smaller than
// `minimum`: the dragged edges stop where the window would get too small, the others stay.
QRect ResizedGeometry(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum);

class ResizeHandle : public QWidget {
    Q_OBJECT
public:
    // A child of the window it resizes (`window`, which must be a top-level widget).
    ResizeHandle(Qt::Edges edges, QWidget* window);
    Qt::Edges Edges() const { return edges_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Edges edges_;
    bool following_ = false;  // resizing by hand: no window system request
    QRect startGeometry_;
    QPoint startPos_;
};

}  // namespace vellumark::app
