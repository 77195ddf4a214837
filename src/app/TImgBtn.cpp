#include "app/TImgBtn.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vellumark::app {

namespace {

TWMMouse MessageOf(QEvent::Type type, Qt::MouseButtons keys, QPointF pos) {
    return {type, keys, static_cast<int>(pos.x()), static_cast<int>(pos.y())};
}

}  // namespace

TImgBtn::TImgBtn(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

void TImgBtn::SetPic(const QPixmap& picture) {
    Show(picture);
    pic_ = picture;
}

void TImgBtn::SetPicUp(const QPixmap& picture) {
    picUp_ = picture;
}

void TImgBtn::SetPicDown(const QPixmap& picture) {
    picDown_ = picture;
}

void TImgBtn::SetPicDisable(const QPixmap& picture) {
    picDisable_ = picture;
    if (!enabled_)
        Show(picDisable_);
}

void TImgBtn::SetEnabled(bool enabled) {
    setEnabled(enabled);
    enabled_ = enabled;
    Show(enabled ? picUp_ : picDisable_);
}

void TImgBtn::Show(const QPixmap& picture) {
    shown_ = picture;
    update();
}

void TImgBtn::paintEvent(QPaintEvent*) {
    if (shown_.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, shown_);
}

void TImgBtn::Enter(const TWMMouse& msg) {
    if (!Active() || over_)
        return;
    over_ = true;
    Show(held_ ? picDown_ : picUp_);
    emit OnMouseEnter(msg);
}

void TImgBtn::Leave(const TWMMouse& msg) {
    if (!Active() || !over_)
        return;
    over_ = false;
    Show(pic_);
    emit OnMouseLeave(msg);
}

void TImgBtn::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    Enter(MessageOf(QEvent::Enter, event->buttons(), event->position()));
}

void TImgBtn::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    Leave({QEvent::Leave, {}, 0, 0});
}

void TImgBtn::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    clickArmed_ = true;
    if (!Active())
        return;
    held_ = true;
    if (over_)
        Show(picDown_);
    emit OnMouseDown(MessageOf(event->type(), event->buttons(), event->position()));
}

// While the button is held the mouse is grabbed, so crossing the edge may come only as moves.
void TImgBtn::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const bool inside = rect().contains(event->position().toPoint());
    const TWMMouse msg = MessageOf(event->type(), event->buttons(), event->position());
    if (inside && !over_)
        Enter(msg);
    if (!inside && over_)
        Leave(msg);
}

void TImgBtn::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // Clicks fire before the picture is switched back, so that a handler that replaces the
    // pictures (the maximise button does) is followed by its new PicUp.
    const bool inside = rect().contains(event->position().toPoint());
    const bool click = clickArmed_ && inside;
    clickArmed_ = false;
    if (click)
        emit OnClick();
    if (!Active())
        return;
    held_ = false;
    if (over_)
        Show(picUp_);
    emit OnMouseUp(MessageOf(event->type(), event->buttons(), event->position()));
}

}  // namespace vellumark::app
