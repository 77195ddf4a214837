#include "viewer/ZoomRules.h"

#include <algorithm>
#include <cmath>

namespace vellumark::viewer {

namespace {

constexpr double kMaxDisplayEdge = 1'000'000;

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

QRectF BoxOnScreen(const QRect& box, QSize own, QSize picture, double sx, double sy) {
    if (own.isEmpty()) {
        own = picture;
    }
    const double fx = static_cast<double>(picture.width()) / own.width() * sx;
    const double fy = static_cast<double>(picture.height()) / own.height() * sy;
    return {box.x() * fx, box.y() * fy, box.width() * fx, box.height() * fy};
}

}  // namespace vellumark::viewer
