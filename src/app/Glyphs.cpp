#include "app/Glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vellumark::app {

namespace {

void Magnifier(QPainter& p) {
    p.drawEllipse(QPointF(13.5, 13.5), 8.5, 8.5);
    QPen handle = p.pen();
    handle.setWidthF(3.5);
    p.save();
    p.setPen(handle);
    p.drawLine(QPointF(20, 20), QPointF(27.5, 27.5));
    p.restore();
}

void Folder(QPainter& p, const QColor& c, bool open) {
    QPainterPath back;
    back.moveTo(4, 25.5);
    back.lineTo(4, 7.5);
    back.lineTo(12, 7.5);
    back.lineTo(14.5, 10.5);
    back.lineTo(26, 10.5);
    back.lineTo(26, open ? 14.5 : 25.5);
    if (!open)
        back.closeSubpath();
    p.drawPath(back);
    QPainterPath front;
    if (open) {
        front.moveTo(4, 25.5);
        front.lineTo(9, 14.5);
        front.lineTo(29.5, 14.5);
        front.lineTo(25, 25.5);
        front.closeSubpath();
    } else {
        front.addRect(QRectF(4, 14.5, 22, 11));
    }
    QColor fill = c;
    fill.setAlpha(70);
    p.fillPath(front, fill);
    p.drawPath(front);
}

void Text(QPainter& p, const QRectF& box, const QString& text, int pixelSize) {
    QFont font;
    font.setFamilies({"DejaVu Sans", "Arial"});
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.drawText(box, Qt::AlignCenter, text);
}

void Arrow(QPainter& p, QPointF from, QPointF to, double head) {
    p.drawLine(from, to);
    const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    const double spread = 0.6;
    const QPointF a(to.x() - head * std::cos(angle - spread),
                    to.y() - head * std::sin(angle - spread));
    const QPointF b(to.x() - head * std::cos(angle + spread),
                    to.y() - head * std::sin(angle + spread));
    p.drawLine(to, a);
    p.drawLine(to, b);
}

void Draw(QPainter& p, Glyph glyph, const QColor& c) {
    QColor soft = c;
    soft.setAlpha(70);
    switch (glyph) {
        case Glyph::Open:
            Folder(p, c, true);
            break;
        case Glyph::Convert: {
            QPainterPath book;
            book.moveTo(16, 15);
            book.cubicTo(12, 12.5, 7, 12.5, 3.5, 13.5);
            book.lineTo(3.5, 27.5);
            book.cubicTo(7, 26.5, 12, 26.5, 16, 29);
            book.cubicTo(20, 26.5, 25, 26.5, 28.5, 27.5);
            book.lineTo(28.5, 13.5);
            book.cubicTo(25, 12.5, 20, 12.5, 16, 15);
            p.fillPath(book, soft);
            p.drawPath(book);
            p.drawLine(QPointF(16, 15), QPointF(16, 29));
            Arrow(p, QPointF(16, 2.5), QPointF(16, 11), 4.5);
            break;
        }
        case Glyph::Options: {
            const double rows[] = {8, 16, 24};
            const double knobs[] = {20, 10, 17};
            for (int i = 0; i < 3; ++i) {
                p.drawLine(QPointF(4, rows[i]), QPointF(28, rows[i]));
                p.setBrush(c);
                p.drawEllipse(QPointF(knobs[i], rows[i]), 3, 3);
                p.setBrush(Qt::NoBrush);
            }
            break;
        }
        case Glyph::Search:
            Magnifier(p);
            p.fillPath(
                [] {
                    QPainterPath lens;
                    lens.addEllipse(QPointF(13.5, 13.5), 7.5, 7.5);
                    return lens;
                }(),
                soft);
            break;
        case Glyph::ZoomIn:
            Magnifier(p);
            p.drawLine(QPointF(9.5, 13.5), QPointF(17.5, 13.5));
            p.drawLine(QPointF(13.5, 9.5), QPointF(13.5, 17.5));
            break;
        case Glyph::ZoomOut:
            Magnifier(p);
            p.drawLine(QPointF(9.5, 13.5), QPointF(17.5, 13.5));
            break;
        case Glyph::Original:
            p.drawRoundedRect(QRectF(3.5, 6.5, 25, 19), 3, 3);
            Text(p, QRectF(3.5, 6.5, 25, 19), "1:1", 11);
            break;
        case Glyph::FitSize:
            p.drawLine(QPointF(5, 3.5), QPointF(27, 3.5));
            p.drawLine(QPointF(5, 28.5), QPointF(27, 28.5));
            p.drawRect(QRectF(10.5, 8.5, 11, 15));
            Arrow(p, QPointF(26, 16), QPointF(26, 7), 3.5);
            Arrow(p, QPointF(26, 16), QPointF(26, 25), 3.5);
            break;
        case Glyph::Print:
            p.drawRect(QRectF(9.5, 3.5, 13, 8));
            p.fillRect(QRectF(4.5, 12.5, 23, 6), soft);
            p.drawRoundedRect(QRectF(3.5, 11.5, 25, 11), 2, 2);
            p.drawRect(QRectF(9.5, 18.5, 13, 10));
            p.drawLine(QPointF(12, 22.5), QPointF(20, 22.5));
            p.drawLine(QPointF(12, 25.5), QPointF(18, 25.5));
            p.setBrush(c);
            p.drawEllipse(QPointF(24.5, 15), 1, 1);
            p.setBrush(Qt::NoBrush);
            break;
        case Glyph::Help:
            p.fillPath(
                [] {
                    QPainterPath disc;
                    disc.addEllipse(QPointF(16, 16), 12.5, 12.5);
                    return disc;
                }(),
                soft);
            p.drawEllipse(QPointF(16, 16), 12.5, 12.5);
            Text(p, QRectF(3.5, 3.5, 25, 25), "?", 17);
            break;
        case Glyph::Home: {
            QPainterPath house;
            house.moveTo(7.5, 14);
            house.lineTo(7.5, 28.5);
            house.lineTo(24.5, 28.5);
            house.lineTo(24.5, 14);
            p.fillPath(house, soft);
            p.drawPath(house);
            p.drawPolyline(QPolygonF({QPointF(3, 16.5), QPointF(16, 4), QPointF(29, 16.5)}));
            p.drawRect(QRectF(13.5, 20.5, 5, 8));
            break;
        }
        case Glyph::CoverPicker:
            p.fillRect(QRectF(4.5, 6.5, 23, 19), soft);
            p.drawRoundedRect(QRectF(3.5, 5.5, 25, 21), 2, 2);
            p.drawPolyline(QPolygonF({QPointF(6, 24), QPointF(13, 15), QPointF(18, 21),
                                      QPointF(21, 18), QPointF(26, 24)}));
            p.setBrush(c);
            p.drawEllipse(QPointF(22, 11), 2.2, 2.2);
            p.setBrush(Qt::NoBrush);
            break;
        case Glyph::FolderPicker:
            Folder(p, c, false);
            p.drawLine(QPointF(12, 20), QPointF(20, 20));
            break;
    }
}

}  // namespace

QPixmap DrawGlyph(Glyph glyph, const QColor& colour, qreal pixelRatio) {
    const int side = static_cast<int>(std::ceil(kGlyphSize * pixelRatio));
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPen pen(colour, 2.0);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    Draw(p, glyph, colour);
    return pixmap;
}

}  // namespace vellumark::app
