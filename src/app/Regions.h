#pragma once
// Where the window's regions go for a client size, as the docking of the design places them:
// Panel1 on top, Panel3 at the bottom, Panel4 on the left, Image9 on the right, Panel2 the rest;
// inside Panel2 the progress bar and the settings panel at its bottom, the page view above.

#include <QRect>
#include <QSize>

namespace vellumark::app {

constexpr int kPanel1Height = 135;
constexpr int kPanel3Height = 45;
constexpr int kPanel4Width = 171;
constexpr int kImage9Width = 15;
constexpr int kProgressHeight = 13;
constexpr int kSettingsHeight = 216;

struct Regions {
    QRect panel1, panel3, panel4, image9, panel2;
};
Regions DockRegions(QSize client);

struct WorkArea {
    QRect docView, settings, progress;  // empty when hidden
};
WorkArea DockWorkArea(QSize panel2, bool settingsShown, bool progressShown);

// Left edges of ImgBtnMin, ImgBtnMax and ImgBtnClose for a window width; their top is 6.
constexpr int kTitleButtonTop = 6;
constexpr int TitleButtonLeft(int windowWidth, int index) {
    return windowWidth - 87 + 25 * index;
}

}  // namespace vellumark::app
