#pragma once
// The toolbar's flat buttons: a 32 x 32 glyph above a caption, lit when the mouse is over them,
// and the thin raised lines between groups of buttons.

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

#include "app/Glyphs.h"

namespace vellumark::app {

class SpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    // The glyph is drawn in `glyphColour`. `dark` draws for a light ground (the settings panel)
    // instead of the dark toolbar.
    SpeedButton(Glyph glyph, const QColor& glyphColour, const QString& caption,
                QWidget* parent = nullptr, bool dark = false);

    // The glyph's picture as last painted: made at the device pixel ratio of the screen the
    // button is on, and made again when that changes.
    const QPixmap& GlyphPicture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Glyph glyph_;
    QColor glyphColour_;
    QPixmap picture_;
    bool dark_;
    bool hovered_ = false;
};

// A disabled, raised 1-pixel-wide line.
class SpeedSeparator : public QWidget {
    Q_OBJECT
public:
    explicit SpeedSeparator(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vellumark::app
