#pragma once
// The page view's rules without a window: the zoom commands' steps and bounds, the size a page
// is shown at, the scale that fits it to the view's height and where a box on it lands.

#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>

namespace vellumark::viewer {

// Whole steps for 1 <= s < 9, tenth steps for 0.15 < s < 1, otherwise unchanged.
double ZoomInStep(double scale);
// Whole steps for 1 < s < 10, tenth steps for 0.25 < s <= 1, otherwise unchanged.
double ZoomOutStep(double scale);

// The page on screen: its picture at 96 dpi times the factors, each side rounded and kept
// between 1 and a million pixels, so that any scale gives sizes in int range.
QSize DisplaySize(QSize picture, double sx, double sy);

// The scale that fits the picture to the height of `room` (the view without scroll bars).
// When the fitted page is wider than the room, a horizontal bar `barHeight` high will take
// some of that height, so the fit leaves room for it. None for an empty picture.
std::optional<double> FitHeightScale(QSize picture, QSize room, int barHeight);

// A box on the page, in the page's own pixels with its orientation applied (`own` is the page's
// own size, upright), in the coordinates of the page shown at the factors (top left 0, 0).
QRectF BoxOnScreen(const QRect& box, QSize own, QSize picture, double sx, double sy);

}  // namespace vellumark::viewer
