#pragma once
// Geometry and drawing of one framed thumbnail cell (80 x 100, the page stretched to 70 x 88).

#include <QImage>
#include <QPainter>

namespace vellumark::viewer {

constexpr int kThumbCellWidth = 80;
constexpr int kThumbCellHeight = 100;
constexpr QRect kThumbPageRect{5, 6, 70, 88};

// One-pixel frame; style 1 raised (white top/left, grey bottom/right), any other sunken.
void DrawBevelFrame(QPainter& painter, int x, int y, int width, int height, int style);

// The whole cell: button-face background, raised outer and sunken inner frame, and `page`
// stretched into kThumbPageRect whatever its proportions.
QImage ComposeThumbCell(const QImage& page);

}  // namespace vellumark::viewer
