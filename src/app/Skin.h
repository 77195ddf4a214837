#pragma once
// The window's skin: its colours and the pictures of the title band, toolbar, status bar, edges
// and settings panel, all drawn here. Pieces that the layout stretches are drawn so that
// stretching them sideways (bands) or lengthways (edges) changes nothing but their size.

#include <QColor>
#include <QPixmap>

namespace vellumark::app::skin {

// Heights inside Panel1 (135 high): the title band, then the toolbar band, then a light strip.
constexpr int kTitleBandHeight = 36;
constexpr int kToolbarBottom = 108;

QColor ButtonFace();      // window background, thumbnail cell ground
QColor ListBackground();  // behind the thumbnails
QColor FieldGlyph();      // glyphs drawn on the light settings panel
QColor Accent();          // progress and selection

QPixmap TitleLeft(const QString& caption);  // Image2, 324 x 135, with the logo and caption
QPixmap TitleRight();                       // Image3, 180 x 135
QPixmap TitleMiddle();                      // Image4, stretched sideways

QPixmap StatusLeft();    // Image1, 227 x 45
QPixmap StatusRight();   // Image5, 69 x 45
QPixmap StatusMiddle();  // Image6, stretched sideways

QPixmap EdgeLeft();   // Image7, 8 wide, stretched lengthways
QPixmap EdgeInner();  // Image8, 21 wide, between the thumbnails and the page view
QPixmap EdgeRight();  // Image9, 15 wide

QPixmap SettingsBackground();  // PaneClientBtm's ground, kSettingsHeight high, stretched sideways

// The small program picture, also the window icon.
QPixmap Logo(int size);

}  // namespace vellumark::app::skin
