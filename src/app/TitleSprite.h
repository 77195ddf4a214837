#pragma once
// The title-button sprite ImageM (121 x 59): three rows of 20 pixels (normal at y 0, mouse over at
// y 20, pressed at y 40), each with a minimise, maximise, close and restore cell. Every picture
// cut from it is transparent where it has the colour of its own bottom-left pixel.

#include <QImage>
#include <QPixmap>

namespace vellumark::app {

constexpr int kSpriteWidth = 121;
constexpr int kSpriteHeight = 59;
constexpr int kSpriteRowHeight = 20;

struct SpriteCell {
    int x;
    int width;
};
inline constexpr SpriteCell kMinimiseCell{0, 40};
inline constexpr SpriteCell kMaximiseCell{40, 28};
inline constexpr SpriteCell kCloseCell{68, 24};
inline constexpr SpriteCell kRestoreCell{92, 28};

// Our drawing of the sprite, 24 bits per pixel.
QImage DrawTitleSprite();

struct CellPictures {
    QPixmap normal;   // Pic
    QPixmap over;     // PicUp
    QPixmap pressed;  // PicDown
};
// The three pictures of one cell, each cell.width x 20, masked by its bottom-left pixel's colour.
// Any sprite height is taken: a row cut short is masked by the bottom-left pixel of the part
// there is and transparent below it; a missing row repeats the last row the sprite has.
CellPictures CutCell(const QImage& sprite, SpriteCell cell);

}  // namespace vellumark::app
