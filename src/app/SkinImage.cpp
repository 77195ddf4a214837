#include "app/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>

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
        painter.drawPixmap(rect(), picture_);
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
