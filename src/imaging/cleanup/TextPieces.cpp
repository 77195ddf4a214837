#include "imaging/cleanup/TextPieces.h"

#include <algorithm>
#include <cmath>

namespace vellumark::imaging {

int AnalysisFactor(double dpi) {
    if (!(dpi > 0))
        dpi = 300;
    return std::max(1, static_cast<int>(std::lround(dpi / 150.0)));
}

std::vector<InkPiece> TextPieces(const std::vector<InkPiece>& pieces, double mapDpi) {
    // From the dot of an i in small type to a tall capital in a heading; up to a long word.
    const double minHeight = 0.025 * mapDpi, maxHeight = 0.4 * mapDpi;
    const double maxWidth = 2.5 * mapDpi;
    std::vector<InkPiece> text;
    for (const InkPiece& piece : pieces) {
        const int w = piece.box.Width(), h = piece.box.Height();
        const double fill = static_cast<double>(piece.area) / (static_cast<double>(w) * h);
        if (h >= minHeight && h <= maxHeight && w <= maxWidth && w <= 12 * h && fill >= 0.08 &&
            fill <= 0.95)
            text.push_back(piece);
    }
    return text;
}

}  // namespace vellumark::imaging
