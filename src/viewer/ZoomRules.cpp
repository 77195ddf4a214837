#include "viewer/ZoomRules.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace vellumark::viewer {

namespace {

constexpr double kMaxDisplayEdge = 1'000'000;
constexpr double kMaxRenderPixels = 24'000'000;  // largest picture made for one zoomed page

}  // namespace

// The comparisons are deliberately asymmetric; plain double arithmetic brings a scale that went
// down in tenths back to exactly 1.0 on the way up.
double ZoomInStep(double scale) {
    if (scale >= 1 && scale < 9) {
        return scale + 1;
    }
    if (scale < 1 && scale > 0.15) {
        return scale + 0.1;
    }
    return scale;
}

double ZoomOutStep(double scale) {
    if (scale > 1 && scale < 10) {
        return scale - 1;
    }
    if (scale <= 1 && scale > 0.25) {
        return scale - 0.1;
    }
    return scale;
}

QSize DisplaySize(QSize picture, double sx, double sy) {
    auto edge = [](int size, double factor) {
        return static_cast<int>(std::clamp(std::round(size * factor), 1.0, kMaxDisplayEdge));
    };
    return {edge(picture.width(), sx), edge(picture.height(), sy)};
}

std::optional<double> FitHeightScale(QSize picture, QSize room, int barHeight) {
    if (picture.isEmpty()) {
        return std::nullopt;
    }
    double scale = static_cast<double>(room.height()) / picture.height();
    if (picture.width() * scale > room.width()) {
        scale = static_cast<double>(std::max(1, room.height() - barHeight)) / picture.height();
    }
    if (!(scale > 0) || !std::isfinite(scale)) {
        return std::nullopt;
    }
    return scale;
}

QSize RenderSize(QSize shown, QSize picture, QSize own) {
    if (shown == picture || shown.isEmpty()) {
        return {};
    }
    if (shown.width() <= picture.width() && shown.height() <= picture.height()) {
        return shown;
    }
    // Enlarged: render from the scan at the shown size so text stays crisp, but never beyond
    // the scan's own pixels (nothing more to see) or a bounded picture size.
    if (own.isEmpty()) {
        own = picture;
    }
    double factor = 1;
    factor = std::min(factor,
                      static_cast<double>(std::max(own.width(), picture.width())) / shown.width());
    factor = std::min(
        factor, static_cast<double>(std::max(own.height(), picture.height())) / shown.height());
    factor = std::min(factor, std::sqrt(kMaxRenderPixels /
                                        (static_cast<double>(shown.width()) * shown.height())));
    const QSize wanted(std::max(1, static_cast<int>(shown.width() * factor)),
                       std::max(1, static_cast<int>(shown.height() * factor)));
    if (wanted.width() <= picture.width() && wanted.height() <= picture.height()) {
        return {};
    }
    return wanted;
}

QRectF BoxOnScreen(const QRect& box, QSize own, QSize picture, double sx, double sy) {
    if (own.isEmpty()) {
        own = picture;
    }
    const double fx = static_cast<double>(picture.width()) / own.width() * sx;
    const double fy = static_cast<double>(picture.height()) / own.height() * sy;
    return {box.x() * fx, box.y() * fy, box.width() * fx, box.height() * fy};
}

QPoint PageOrigin(QSize shown, QSize view, QPoint scroll) {
    auto axis = [](int shownSide, int viewSide, int value) {
        return (shownSide < viewSide ? (viewSide - shownSide) / 2 : 0) - value;
    };
    return {axis(shown.width(), view.width(), scroll.x()),
            axis(shown.height(), view.height(), scroll.y())};
}

namespace {

// How far to move [low, high] so that it lies in [from, to]: nothing when it does, otherwise
// what centres it there.
double AxisMove(double low, double high, double from, double to) {
    if (low >= from && high <= to) {
        return 0;
    }
    return (from + to) / 2 - (low + high) / 2;
}

// The parts of the view left free: the whole view, or the strips beside the covered part.
std::vector<QRect> FreeStrips(QSize view, const QRect& covered) {
    const QRect all(QPoint(0, 0), view);
    const QRect cover = covered & all;
    if (cover.isEmpty()) {
        return {all};
    }
    std::vector<QRect> strips{QRect(QPoint(0, 0), QPoint(cover.left() - 1, all.bottom())),
                              QRect(QPoint(cover.right() + 1, 0), all.bottomRight()),
                              QRect(QPoint(0, 0), QPoint(all.right(), cover.top() - 1)),
                              QRect(QPoint(0, cover.bottom() + 1), all.bottomRight())};
    std::erase_if(strips, [](const QRect& strip) { return strip.isEmpty(); });
    if (strips.empty()) {
        strips.push_back(all);  // covered whole: nowhere better than anywhere
    }
    return strips;
}

// How far to move a box (in view coordinates) into the strip it fits with the least movement,
// or into the largest strip when it fits none.
QPointF MoveIntoFree(const QRectF& box, const std::vector<QRect>& strips) {
    // QRectF's right and bottom are exclusive, QRect's are not.
    auto moveInto = [&box](const QRect& strip) {
        return QPointF(AxisMove(box.left(), box.right(), strip.left(), strip.right() + 1.0),
                       AxisMove(box.top(), box.bottom(), strip.top(), strip.bottom() + 1.0));
    };
    std::optional<QPointF> best;
    for (const QRect& strip : strips) {
        if (box.width() > strip.width() || box.height() > strip.height()) {
            continue;
        }
        const QPointF move = moveInto(strip);
        if (!best || move.manhattanLength() < best->manhattanLength()) {
            best = move;
        }
    }
    if (best) {
        return *best;
    }
    auto area = [](const QRect& strip) { return strip.width() * double(strip.height()); };
    return moveInto(
        *std::max_element(strips.begin(), strips.end(),
                          [&area](const QRect& a, const QRect& b) { return area(a) < area(b); }));
}

}  // namespace

QPoint ScrollToShow(const QRectF& box, QSize shown, QSize view, QPoint scroll,
                    const QRect& covered) {
    const std::vector<QRect> strips = FreeStrips(view, covered);
    auto placed = [&](QPoint at) { return box.translated(PageOrigin(shown, view, at)); };
    const QPointF move = MoveIntoFree(placed(scroll), strips);
    const QPoint wanted = scroll - QPoint(static_cast<int>(std::lround(move.x())),
                                          static_cast<int>(std::lround(move.y())));
    // Within the page's own scroll range when that shows the box as well.
    const QPoint clamped(std::clamp(wanted.x(), 0, std::max(0, shown.width() - view.width())),
                         std::clamp(wanted.y(), 0, std::max(0, shown.height() - view.height())));
    if (strips.size() == 1 && strips.front() == QRect(QPoint(0, 0), view)) {
        return clamped;  // nothing covered: the page's own range, as without a dialog
    }
    return MoveIntoFree(placed(clamped), strips).isNull() ? clamped : wanted;
}

}  // namespace vellumark::viewer
