#pragma once
// Geometry and drawing of one framed thumbnail cell (80 x 100, the page stretched to 70 x 88).

#include <QColor>
#include <QImage>
#include <QPainter>

namespace vellumark::viewer {

constexpr int kThumbCellWidth = 80;
constexpr int kThumbCellHeight = 100;
constexpr QRect kThumbPageRect{5, 6, 70, 88};

// One-pixel frame; style 1 raised (white top/left, grey bottom/right), any other sunken.
// The frame's corners are (x, y) and (x + width, y + height), both drawn. Nothing is drawn for
// a width or height below 1.
void DrawBevelFrame(QPainter& painter, int x, int y, int width, int height, int style);

// The system button-face colour on the GUI thread; a light grey on any other thread.
QColor ButtonFaceColour();

// The whole cell: button-face background, raised outer and sunken inner frame, and `page`
// stretched into kThumbPageRect whatever its proportions (a null page leaves it white).
// `pixelRatio` > 1 makes the cell in a dense screen's own pixels (kThumbCellWidth x
// kThumbCellHeight times the ratio, with that device pixel ratio), so it keeps its logical size
// and looks sharp. Any thread (use the overload with `face` off the GUI thread).
QImage ComposeThumbCell(const QImage& page);
QImage ComposeThumbCell(const QImage& page, const QColor& face, qreal pixelRatio = 1.0);

// The page picture's size in pixels for a cell made at `pixelRatio`.
QSize ThumbPagePixels(qreal pixelRatio);

}  // namespace vellumark::viewer
