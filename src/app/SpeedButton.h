#pragma once
// The toolbar's flat buttons: a 32 x 32 glyph above a caption, lit when the mouse is over them,
// and the thin raised lines between groups of buttons.

#include <QAbstractButton>
#include <QPixmap>

namespace vellumark::app {

class SpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    // `dark` draws for a light ground (the settings panel) instead of the dark toolbar.
    SpeedButton(const QPixmap& glyph, const QString& caption, QWidget* parent = nullptr,
                bool dark = false);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap glyph_;
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
