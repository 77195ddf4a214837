#include "app/TitleSprite.h"

#include <QPainter>
#include <algorithm>

namespace vellumark::app {

namespace {

// The key colour: never used by a glyph, so masking it out leaves exactly the drawn pixels.
const QColor kKey(255, 0, 255);

enum class Row { Normal, Over, Pressed };

// The plate behind a glyph when the mouse is over it or it is pressed. Drawn without smoothing
// so that no edge pixel is blended with the key colour.
void DrawPlate(QPainter& p, int x, Row row, bool danger) {
    if (row == Row::Normal)
        return;
    QColor fill;
    if (danger) {
        fill = row == Row::Over ? QColor(214, 69, 65) : QColor(163, 40, 36);
    } else {
        fill = row == Row::Over ? QColor(74, 118, 178) : QColor(22, 48, 84);
    }
    const QRect plate(x + 1, 1, 22, 18);
    p.fillRect(plate.adjusted(1, 0, -1, 0), fill);
    p.fillRect(plate.adjusted(0, 1, 0, -1), fill);
    p.setPen(fill.lighter(row == Row::Over ? 125 : 110));
    p.drawLine(plate.left() + 1, plate.top(), plate.right() - 1, plate.top());
}

QPen GlyphPen(Row row) {
    QColor colour = row == Row::Normal ? QColor(222, 232, 245) : QColor(255, 255, 255);
    QPen pen(colour, 1);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void DrawMinimise(QPainter& p, int x, Row row) {
    DrawPlate(p, x, row, false);
    p.fillRect(x + 7, 13, 10, 2, GlyphPen(row).color());
}

void DrawMaximise(QPainter& p, int x, Row row) {
    DrawPlate(p, x, row, false);
    const QColor c = GlyphPen(row).color();
    p.setPen(GlyphPen(row));
    p.drawRect(x + 7, 5, 10, 9);
    p.fillRect(x + 7, 5, 11, 2, c);
}

void DrawRestore(QPainter& p, int x, Row row) {
    DrawPlate(p, x, row, false);
    const QColor c = GlyphPen(row).color();
    p.setPen(GlyphPen(row));
    // Back window: only its visible top and right edges.
    p.fillRect(x + 9, 4, 9, 2, c);
    p.drawLine(x + 17, 6, x + 17, 11);
    p.drawLine(x + 9, 6, x + 9, 7);
    // Front window.
    p.drawRect(x + 6, 8, 8, 7);
    p.fillRect(x + 6, 8, 9, 2, c);
}

void DrawClose(QPainter& p, int x, Row row) {
    DrawPlate(p, x, row, true);
    QPen pen = GlyphPen(row);
    pen.setWidth(2);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(x + 8, 6, x + 16, 14);
    p.drawLine(x + 16, 6, x + 8, 14);
}

}  // namespace

QImage DrawTitleSprite() {
    QImage sprite(kSpriteWidth, kSpriteHeight, QImage::Format_RGB888);
    sprite.fill(kKey);
    QPainter p(&sprite);
    p.setRenderHint(QPainter::Antialiasing, false);
    const Row rows[] = {Row::Normal, Row::Over, Row::Pressed};
    for (int r = 0; r < 3; ++r) {
        p.save();
        p.translate(0, r * kSpriteRowHeight);
        p.setClipRect(0, 0, kSpriteWidth, kSpriteRowHeight);
        DrawMinimise(p, kMinimiseCell.x, rows[r]);
        DrawMaximise(p, kMaximiseCell.x, rows[r]);
        DrawClose(p, kCloseCell.x, rows[r]);
        DrawRestore(p, kRestoreCell.x, rows[r]);
        p.restore();
    }
    return sprite;
}

CellPictures CutCell(const QImage& sprite, SpriteCell cell) {
    const int rows = sprite.height();
    auto cut = [&](int row) {
        // A row the sprite lacks falls back to the last row it has. A row cut short (59 rows
        // hold only 19 of the pressed row's 20) is cut as far as it goes: the key is then the
        // bottom-left pixel of what is there, and the missing rows are left transparent rather
        // than copied from outside the sprite as black.
        int top = row * kSpriteRowHeight;
        if (top >= rows && rows > 0)
            top = (rows - 1) / kSpriteRowHeight * kSpriteRowHeight;
        const int height = std::clamp(rows - top, 0, kSpriteRowHeight);
        QImage block(cell.width, kSpriteRowHeight, QImage::Format_ARGB32);
        block.fill(Qt::transparent);
        if (height == 0)
            return QPixmap::fromImage(block);
        const QImage present =
            sprite.copy(cell.x, top, cell.width, height).convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = present.pixel(0, height - 1);
        for (int y = 0; y < height; ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(present.constScanLine(y));
            auto* to = reinterpret_cast<QRgb*>(block.scanLine(y));
            for (int x = 0; x < cell.width; ++x)
                to[x] = from[x] == transparent ? qRgba(0, 0, 0, 0) : from[x];
        }
        return QPixmap::fromImage(block);
    };
    return {cut(0), cut(1), cut(2)};
}

}  // namespace vellumark::app
