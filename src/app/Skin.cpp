#include "app/Skin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/Regions.h"

namespace vellumark::app::skin {

namespace {

constexpr int kPanel1Height = 135;
constexpr int kStatusHeight = 45;

const QColor kNavyTop(36, 66, 108);
const QColor kNavy(25, 50, 87);
const QColor kNavyDeep(15, 34, 62);
const QColor kSteelLight(226, 232, 240);
const QColor kSteel(200, 211, 225);
const QColor kOutline(10, 26, 48);

// The vertical look of Panel1, the same in every column so the three pieces join seamlessly.
void PaintBandColumn(QPainter& p, int width) {
    QLinearGradient title(0, 0, 0, kTitleBandHeight);
    title.setColorAt(0, kNavyDeep.lighter(115));
    title.setColorAt(1, kNavyDeep);
    p.fillRect(0, 0, width, kTitleBandHeight, title);

    QLinearGradient tools(0, kTitleBandHeight, 0, kToolbarBottom);
    tools.setColorAt(0, kNavyTop);
    tools.setColorAt(1, kNavy);
    p.fillRect(0, kTitleBandHeight, width, kToolbarBottom - kTitleBandHeight, tools);
    p.fillRect(0, kTitleBandHeight, width, 1, QColor(255, 255, 255, 40));
    p.fillRect(0, kTitleBandHeight - 1, width, 1, QColor(0, 0, 0, 90));

    QLinearGradient strip(0, kToolbarBottom, 0, kPanel1Height);
    strip.setColorAt(0, kSteelLight);
    strip.setColorAt(1, kSteel);
    p.fillRect(0, kToolbarBottom, width, kPanel1Height - kToolbarBottom, strip);
    p.fillRect(0, kToolbarBottom, width, 1, QColor(120, 150, 190));
    p.fillRect(0, kToolbarBottom + 1, width, 1, QColor(255, 255, 255, 160));
    p.fillRect(0, kPanel1Height - 1, width, 1, QColor(160, 176, 198));
    p.fillRect(0, 0, width, 1, kOutline);
}

void PaintStatusColumn(QPainter& p, int width) {
    QLinearGradient ground(0, 0, 0, kStatusHeight);
    ground.setColorAt(0, kNavy);
    ground.setColorAt(1, kNavyDeep);
    p.fillRect(0, 0, width, kStatusHeight, ground);
    p.fillRect(0, 0, width, 1, QColor(255, 255, 255, 45));
    p.fillRect(0, kStatusHeight - 1, width, 1, kOutline);
}

QPixmap Filled(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QColor ButtonFace() {
    return QColor(236, 239, 244);
}
QColor ListBackground() {
    return QColor(221, 228, 237);
}
QColor FieldGlyph() {
    return QColor(37, 72, 120);
}
QColor Accent() {
    return QColor(58, 120, 200);
}

QPixmap Logo(int size) {
    QPixmap pixmap = Filled(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    QLinearGradient ground(0, 0, 0, 32);
    ground.setColorAt(0, QColor(96, 160, 236));
    ground.setColorAt(1, QColor(40, 96, 176));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
    // An open book: the scan becomes pages.
    QPainterPath book;
    book.moveTo(16, 10);
    book.cubicTo(12.5, 8, 8.5, 8, 6, 9);
    book.lineTo(6, 23);
    book.cubicTo(8.5, 22, 12.5, 22, 16, 24.5);
    book.cubicTo(19.5, 22, 23.5, 22, 26, 23);
    book.lineTo(26, 9);
    book.cubicTo(23.5, 8, 19.5, 8, 16, 10);
    p.setBrush(Qt::white);
    p.drawPath(book);
    p.setPen(QPen(QColor(40, 96, 176), 1.4));
    p.drawLine(QPointF(16, 10.5), QPointF(16, 24));
    for (double y : {12.5, 15.5, 18.5}) {
        p.drawLine(QPointF(8.5, y), QPointF(13.5, y + 0.3));
        p.drawLine(QPointF(18.5, y + 0.3), QPointF(23.5, y));
    }
    return pixmap;
}

QPixmap TitleLeft(const QString& caption) {
    QPixmap pixmap = Filled(324, kPanel1Height);
    QPainter p(&pixmap);
    PaintBandColumn(p, pixmap.width());
    p.fillRect(0, 0, 1, kPanel1Height, kOutline);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(10, 8, Logo(20));
    QFont font;
    font.setFamilies({"DejaVu Sans", "Arial"});
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QRect(39, 1, 280, kTitleBandHeight), Qt::AlignVCenter | Qt::AlignLeft, caption);
    p.setPen(QColor(240, 245, 252));
    p.drawText(QRect(38, 0, 280, kTitleBandHeight), Qt::AlignVCenter | Qt::AlignLeft, caption);

    // A heading over the thumbnail column (171 wide), which this piece always covers.
    font.setPixelSize(10);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(QColor(60, 84, 120));
    p.drawText(QRect(16, kToolbarBottom + 2, 150, kPanel1Height - kToolbarBottom - 2),
               Qt::AlignVCenter | Qt::AlignLeft, "PAGES");
    p.fillRect(170, kToolbarBottom + 6, 1, kPanel1Height - kToolbarBottom - 12,
               QColor(160, 176, 198));
    p.fillRect(171, kToolbarBottom + 6, 1, kPanel1Height - kToolbarBottom - 12,
               QColor(255, 255, 255, 180));
    return pixmap;
}

QPixmap TitleRight() {
    QPixmap pixmap = Filled(180, kPanel1Height);
    QPainter p(&pixmap);
    PaintBandColumn(p, pixmap.width());
    p.fillRect(pixmap.width() - 1, 0, 1, kPanel1Height, kOutline);
    return pixmap;
}

QPixmap TitleMiddle() {
    QPixmap pixmap = Filled(8, kPanel1Height);
    QPainter p(&pixmap);
    PaintBandColumn(p, pixmap.width());
    return pixmap;
}

QPixmap StatusLeft() {
    QPixmap pixmap = Filled(227, kStatusHeight);
    QPainter p(&pixmap);
    PaintStatusColumn(p, pixmap.width());
    p.fillRect(0, 0, 1, kStatusHeight, kOutline);
    // A small page beside the page counter.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 215, 235), 1.2));
    QPainterPath page;
    page.moveTo(31.5, 13.5);
    page.lineTo(38.5, 13.5);
    page.lineTo(42.5, 17.5);
    page.lineTo(42.5, 30.5);
    page.lineTo(31.5, 30.5);
    page.closeSubpath();
    p.drawPath(page);
    p.drawLine(QPointF(38.5, 13.5), QPointF(38.5, 17.5));
    p.drawLine(QPointF(38.5, 17.5), QPointF(42.5, 17.5));
    return pixmap;
}

QPixmap StatusRight() {
    QPixmap pixmap = Filled(69, kStatusHeight);
    QPainter p(&pixmap);
    PaintStatusColumn(p, pixmap.width());
    p.fillRect(pixmap.width() - 1, 0, 1, kStatusHeight, kOutline);
    // Grip dots in the corner.
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col <= row; ++col) {
            const int x = pixmap.width() - 10 - col * 5;
            const int y = kStatusHeight - 10 - (2 - row) * 5;
            p.fillRect(x + 1, y + 1, 2, 2, QColor(0, 0, 0, 120));
            p.fillRect(x, y, 2, 2, QColor(170, 190, 220));
        }
    }
    return pixmap;
}

QPixmap StatusMiddle() {
    QPixmap pixmap = Filled(8, kStatusHeight);
    QPainter p(&pixmap);
    PaintStatusColumn(p, pixmap.width());
    return pixmap;
}

QPixmap EdgeLeft() {
    QPixmap pixmap = Filled(8, 8);
    QPainter p(&pixmap);
    QLinearGradient ground(0, 0, 8, 0);
    ground.setColorAt(0, kSteel);
    ground.setColorAt(1, kSteelLight);
    p.fillRect(pixmap.rect(), ground);
    p.fillRect(0, 0, 1, 8, kOutline);
    return pixmap;
}

QPixmap EdgeInner() {
    QPixmap pixmap = Filled(21, 8);
    QPainter p(&pixmap);
    QLinearGradient ground(0, 0, 21, 0);
    ground.setColorAt(0, kSteelLight);
    ground.setColorAt(1, kSteel);
    p.fillRect(pixmap.rect(), ground);
    p.fillRect(0, 0, 1, 8, QColor(170, 185, 205));
    p.fillRect(20, 0, 1, 8, QColor(150, 168, 192));
    return pixmap;
}

QPixmap EdgeRight() {
    QPixmap pixmap = Filled(15, 8);
    QPainter p(&pixmap);
    QLinearGradient ground(0, 0, 15, 0);
    ground.setColorAt(0, kSteel);
    ground.setColorAt(1, kSteelLight.darker(104));
    p.fillRect(pixmap.rect(), ground);
    p.fillRect(0, 0, 1, 8, QColor(150, 168, 192));
    p.fillRect(14, 0, 1, 8, kOutline);
    return pixmap;
}

QPixmap SettingsBackground() {
    QPixmap pixmap = Filled(8, kSettingsHeight);
    QPainter p(&pixmap);
    QLinearGradient ground(0, 0, 0, kSettingsHeight);
    ground.setColorAt(0, QColor(248, 250, 253));
    ground.setColorAt(1, QColor(232, 238, 246));
    p.fillRect(pixmap.rect(), ground);
    p.fillRect(0, 0, 8, 1, QColor(170, 185, 205));
    p.fillRect(0, 1, 8, 1, Qt::white);
    return pixmap;
}

}  // namespace vellumark::app::skin
