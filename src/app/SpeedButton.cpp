#include "app/SpeedButton.h"

#include <QPainter>

namespace vellumark::app {

SpeedButton::SpeedButton(Glyph glyph, const QColor& glyphColour, const QString& caption,
                         QWidget* parent, bool dark)
    : QAbstractButton(parent), glyph_(glyph), glyphColour_(glyphColour), dark_(dark) {
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    QFont captionFont = font();
    // Narrow faces first: the captions have to fit buttons 41 to 49 pixels wide.
    captionFont.setFamilies(
        {"Arial", "Liberation Sans Narrow", "DejaVu Sans Condensed", "DejaVu Sans"});
    captionFont.setPixelSize(11);
    setFont(captionFont);
}

void SpeedButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SpeedButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SpeedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor ink = dark_ ? QColor(20, 50, 90) : QColor(255, 255, 255);
    if (isEnabled() && (isDown() || hovered_)) {
        QColor fill = ink;
        fill.setAlpha(isDown() ? 60 : 30);
        QColor edge = ink;
        edge.setAlpha(isDown() ? 90 : 60);
        p.setPen(edge);
        p.setBrush(fill);
        p.drawRoundedRect(plate, 4, 4);
    }
    const int shift = isDown() ? 1 : 0;
    if (!isEnabled())
        p.setOpacity(0.4);
    const qreal ratio = devicePixelRatioF();
    if (picture_.isNull() || picture_.devicePixelRatio() != ratio)
        picture_ = DrawGlyph(glyph_, glyphColour_, ratio);
    const QSize glyphSize = picture_.deviceIndependentSize().toSize();
    const int glyphTop = text().isEmpty() ? (height() - glyphSize.height()) / 2 : 4;
    p.drawPixmap((width() - glyphSize.width()) / 2 + shift, glyphTop + shift, picture_);
    if (!text().isEmpty()) {
        p.setPen(ink);
        p.setFont(font());
        p.drawText(QRect(0 + shift, glyphTop + glyphSize.height() + 2 + shift, width(), 16),
                   Qt::AlignHCenter | Qt::AlignTop, text());
    }
}

SpeedSeparator::SpeedSeparator(QWidget* parent) : QWidget(parent) {
    setEnabled(false);
}

void SpeedSeparator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient line(0, 0, 0, height());
    line.setColorAt(0, QColor(255, 255, 255, 0));
    line.setColorAt(0.5, QColor(255, 255, 255, 110));
    line.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(rect(), line);
}

}  // namespace vellumark::app
