#pragma once
// A skin picture on the window: drawn at its natural size or stretched to the widget (never
// squeezed below its natural size: cut off instead), and
// reporting presses and double clicks so that the title band can move and maximise the window.

#include <QPixmap>
#include <QWidget>

namespace vellumark::app {

class SkinImage : public QWidget {
    Q_OBJECT
public:
    SkinImage(const QPixmap& picture, bool stretch, QWidget* parent = nullptr);
    void SetPicture(const QPixmap& picture);

signals:
    void MouseDown(Qt::MouseButton button);
    void DblClick();
    void MouseMoveTo(QPoint globalPos);  // while the left button is held

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool stretch_;
};

}  // namespace vellumark::app
