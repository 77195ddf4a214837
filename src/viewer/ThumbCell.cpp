#include "viewer/ThumbCell.h"

#include <QGuiApplication>
#include <QPalette>
#include <QThread>
#include <algorithm>

namespace vellumark::viewer {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);

}  // namespace

// Each edge is drawn as a pen line would be with the end point left out, so the corners go to
// the edge that starts there: (x, y) and (x + width, y) take the first colour, (x, y + height)
// and (x + width, y + height) the second.
void DrawBevelFrame(QPainter& painter, int x, int y, int width, int height, int style) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const QColor& first = style == 1 ? kWhite : kGrey;
    const QColor& second = style == 1 ? kGrey : kWhite;
    painter.fillRect(QRect(x + 1, y, width, 1), first);        // top, from the right end leftwards
    painter.fillRect(QRect(x, y, 1, height), first);           // left, downwards
    painter.fillRect(QRect(x, y + height, width, 1), second);  // bottom, rightwards
    painter.fillRect(QRect(x + width, y + 1, 1, height), second);  // right, upwards
}

QColor ButtonFaceColour() {
    // The palette belongs to the GUI thread; thumbnail workers get the colour handed to them.
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    }
    return QColor(240, 240, 240);
}

QImage ComposeThumbCell(const QImage& page) {
    return ComposeThumbCell(page, ButtonFaceColour());
}

QSize ThumbPagePixels(qreal pixelRatio) {
    return {std::max(1, qRound(kThumbPageRect.width() * pixelRatio)),
            std::max(1, qRound(kThumbPageRect.height() * pixelRatio))};
}

QImage ComposeThumbCell(const QImage& page, const QColor& face, qreal pixelRatio) {
    QImage cell(qRound(kThumbCellWidth * pixelRatio), qRound(kThumbCellHeight * pixelRatio),
                QImage::Format_RGB32);
    cell.setDevicePixelRatio(pixelRatio);
    cell.fill(face);
    QPainter painter(&cell);
    DrawBevelFrame(painter, 0, 0, 79, 99, 1);
    DrawBevelFrame(painter, 4, 5, 71, 90, 2);
    if (page.isNull()) {
        painter.fillRect(kThumbPageRect, Qt::white);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(kThumbPageRect, page);
    }
    return cell;
}

}  // namespace vellumark::viewer
