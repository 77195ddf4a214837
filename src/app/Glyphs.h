#pragma once
// The 32 x 32 pictures of the toolbar and of the two picker buttons, drawn in one line style.

#include <QColor>
#include <QPixmap>

namespace vellumark::app {

enum class Glyph {
    Open,
    Convert,
    Options,
    Search,
    ZoomIn,
    ZoomOut,
    Original,
    FitSize,
    Print,
    Help,
    Home,
    CoverPicker,
    FolderPicker,
};

constexpr int kGlyphSize = 32;

// The glyph in `colour` on a transparent ground; `pixelRatio` > 1 draws it sharper for dense
// screens while keeping its 32 x 32 logical size.
QPixmap DrawGlyph(Glyph glyph, const QColor& colour, qreal pixelRatio = 1.0);

}  // namespace vellumark::app
