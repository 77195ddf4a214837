#include "app/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace vellumark::app {

SkinImage::SkinImage(const QPixmap& picture, bool stretch, QWidget* parent)
    : QWidget(parent), picture_(picture), stretch_(stretch) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinImage::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void SkinImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (stretch_) {
        // Stretched along an axis where the widget is longer than the picture, cut off where it
        // is shorter: a band squeezed into a window lower than the band would no longer line
        // up with the pieces beside it, which are drawn at their natural size.
        const QSize natural = picture_.deviceIndependentSize().toSize();
        painter.drawPixmap(
            QRect(0, 0, std::max(width(), natural.width()), std::max(height(), natural.height())),
            picture_);
    } else {
        painter.drawPixmap(0, 0, picture_);
    }
}

void SkinImage::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button());
    event->accept();
}

void SkinImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit DblClick();
    event->accept();
}

void SkinImage::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        emit MouseMoveTo(event->globalPosition().toPoint());
    event->accept();
}

}  // namespace vellumark::app
