#include "app/Regions.h"

#include <algorithm>

namespace vellumark::app {

Regions DockRegions(QSize client) {
    const int w = client.width();
    const int h = client.height();
    Regions r;
    r.panel1 = QRect(0, 0, w, std::min(kPanel1Height, h));
    const int top = r.panel1.height();
    const int panel3Height = std::min(kPanel3Height, std::max(0, h - top));
    r.panel3 = QRect(0, h - panel3Height, w, panel3Height);
    const int middle = std::max(0, h - top - panel3Height);
    const int panel4Width = std::min(kPanel4Width, w);
    r.panel4 = QRect(0, top, panel4Width, middle);
    const int image9Width = std::min(kImage9Width, std::max(0, w - panel4Width));
    r.image9 = QRect(w - image9Width, top, image9Width, middle);
    r.panel2 = QRect(panel4Width, top, std::max(0, w - panel4Width - image9Width), middle);
    return r;
}

WorkArea DockWorkArea(QSize panel2, bool settingsShown, bool progressShown) {
    WorkArea area;
    int bottom = panel2.height();
    if (progressShown) {
        const int h = std::min(kProgressHeight, bottom);
        area.progress = QRect(0, bottom - h, panel2.width(), h);
        bottom -= h;
    }
    if (settingsShown) {
        const int h = std::min(kSettingsHeight, bottom);
        area.settings = QRect(0, bottom - h, panel2.width(), h);
        bottom -= h;
    }
    area.docView = QRect(0, 0, panel2.width(), bottom);
    return area;
}

}  // namespace vellumark::app
