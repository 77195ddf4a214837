#pragma once
// The page view's rules without a window: the zoom commands' steps and bounds, the size a page
// is shown at, the scale that fits it to the view's height, where a box on it lands and how
// far to scroll to show one.

#include <QPoint>
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

// The size of the picture worth making for a page shown `shown` big in the screen's own pixels
// (the shown size times the device pixel ratio), from its picture at 96 dpi and its own
// `own` size (upright; empty: unknown). Empty when the 96 dpi picture is as good as it gets:
// shown at that size, or enlarged from a scan with no more pixels. Shrunk, the shown size;
// enlarged, the shown size but never beyond the scan's own pixels or 24 million pixels.
QSize RenderSize(QSize shown, QSize picture, QSize own);

// A box on the page, in the page's own pixels with its orientation applied (`own` is the page's
// own size, upright), in the coordinates of the page shown at the factors (top left 0, 0).
QRectF BoxOnScreen(const QRect& box, QSize own, QSize picture, double sx, double sy);

// Where the page's top left stands in a view `view` big, scrolled to `scroll`: a page smaller
// than the view along an axis is centred along it (scroll 0 keeps it there).
QPoint PageOrigin(QSize shown, QSize view, QPoint scroll);

// The scroll values that show `box` (in the coordinates of the page shown `shown` big) in the
// part of the view that `covered` (in view coordinates; empty: nothing) leaves free: the strips
// left of, right of, above and below it. The box goes to the strip it fits that needs the least
// movement; along an axis where it is already wholly inside that strip the view stays, otherwise
// the box is centred there. A box that fits no strip is centred in the largest. Values stay in
// the page's scroll range (0 to shown - view) when nothing is covered or when values in it show
// the box as well; otherwise they go beyond it (a hit at the page's top left, under a dialog,
// needs the page moved down or right).
QPoint ScrollToShow(const QRectF& box, QSize shown, QSize view, QPoint scroll,
                    const QRect& covered);

}  // namespace vellumark::viewer
