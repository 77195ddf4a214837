#pragma once
// A picture that acts as a button by switching between four pictures: normal (Pic), mouse over
// (PicUp), pressed (PicDown) and disabled (PicDisable). The main window's own minimise, maximise
// and close buttons are three of these. GUI thread only.

#include <QEvent>
#include <QPixmap>
#include <QWidget>

namespace vellumark::app {

// A mouse message as the button received it.
struct TWMMouse {
    QEvent::Type msg = QEvent::None;
    Qt::MouseButtons keys;
    int x = 0;
    int y = 0;
};

class TImgBtn : public QWidget {
    Q_OBJECT
public:
    explicit TImgBtn(QWidget* parent = nullptr);

    // The setters keep their own copies. Pic is shown at once; PicDisable at once when disabled.
    void SetPic(const QPixmap& picture);
    void SetPicUp(const QPixmap& picture);
    void SetPicDown(const QPixmap& picture);
    void SetPicDisable(const QPixmap& picture);
    const QPixmap& Pic() const { return pic_; }
    const QPixmap& PicUp() const { return picUp_; }
    const QPixmap& PicDown() const { return picDown_; }
    const QPixmap& PicDisable() const { return picDisable_; }

    // Enables or disables the widget, then shows PicUp (enabled) or PicDisable (disabled).
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }

    // False: the pictures never switch on mouse input and no mouse event fires; OnClick still does.
    void SetSupported(bool supported) { supported_ = supported; }
    bool Supported() const { return supported_; }

    // The picture drawn now (a copy of one of the four).
    const QPixmap& Shown() const { return shown_; }

signals:
    void OnClick();
    void OnMouseDown(const TWMMouse& msg);
    void OnMouseEnter(const TWMMouse& msg);
    void OnMouseLeave(const TWMMouse& msg);
    void OnMouseUp(const TWMMouse& msg);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Active() const { return enabled_ && supported_; }
    void Show(const QPixmap& picture);
    void Enter(const TWMMouse& msg);
    void Leave(const TWMMouse& msg);

    QPixmap pic_, picUp_, picDown_, picDisable_, shown_;
    bool enabled_ = true;
    bool supported_ = true;
    bool over_ = false;
    bool held_ = false;
    bool clickArmed_ = false;  // a left press began on the button
};

}  // namespace vellumark::app

Q_DECLARE_METATYPE(vellumark::app::TWMMouse)
