// The conversion settings panel: its fields, the two pickers and the Options toggle.
#include <QDir>

#include "app/LabeledEdit.h"
#include "app/Skin.h"
#include "app/SkinImage.h"
#include "app/SpeedButton.h"
#include "app/TForm1.h"

namespace vellumark::app {

void TForm1::CreateSettingsPanel() {
    PaneClientBtm = new SkinImage(skin::SettingsBackground(), true, Panel2);
    PaneClientBtm->setObjectName("PaneClientBtm");

    LabeledEdit1 = new LabeledEdit("Title:", PaneClientBtm);
    LabeledEdit2 = new LabeledEdit("Author:", PaneClientBtm);
    LabeledEdit3 = new LabeledEdit("Cover Image:  ", PaneClientBtm);
    LabeledEdit4 = new LabeledEdit("Save  ePub  To:  ", PaneClientBtm);
    LabeledEdit1->setObjectName("LabeledEdit1");
    LabeledEdit2->setObjectName("LabeledEdit2");
    LabeledEdit3->setObjectName("LabeledEdit3");
    LabeledEdit4->setObjectName("LabeledEdit4");
    LabeledEdit1->SetBounds(24, 32, 121, 25);
    LabeledEdit2->SetBounds(24, 96, 121, 21);
    LabeledEdit3->SetBounds(197, 36, 340, 21);
    LabeledEdit4->SetBounds(200, 100, 337, 21);
    LabeledEdit4->setText(QDir::homePath() + "/Output");

    PNGButton8 =
        new SpeedButton(Glyph::CoverPicker, skin::FieldGlyph(), QString(), PaneClientBtm, true);
    PNGButton9 =
        new SpeedButton(Glyph::FolderPicker, skin::FieldGlyph(), QString(), PaneClientBtm, true);
    PNGButton8->setObjectName("PNGButton8");
    PNGButton9->setObjectName("PNGButton9");
    PNGButton8->setGeometry(541, 16, 57, 57);
    PNGButton9->setGeometry(541, 80, 57, 57);
    PNGButton8->setToolTip("Choose the cover picture");
    PNGButton9->setToolTip("Choose the folder the book is saved to");
    for (SpeedButton* button : {PNGButton8, PNGButton9})
        button->setCursor(Qt::PointingHandCursor);
    connect(PNGButton8, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { PNGButton8Click(); }); });
    connect(PNGButton9, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { PNGButton9Click(); }); });

    // Tab order: cover, output folder, title, author.
    setTabOrder(LabeledEdit3, LabeledEdit4);
    setTabOrder(LabeledEdit4, LabeledEdit1);
    setTabOrder(LabeledEdit1, LabeledEdit2);
}

void TForm1::SpeedButton1Click() {
    PaneClientBtm->setVisible(PaneClientBtm->isHidden());
    LayoutWorkArea();
}

void TForm1::PNGButton8Click() {
    const QString path = dialogs_->OpenCoverPath(this);
    if (!path.isEmpty())
        LabeledEdit3->setText(path);
}

void TForm1::PNGButton9Click() {
    const QString folder = dialogs_->ChooseFolder(this, QString());
    if (!folder.isEmpty())
        LabeledEdit4->setText(folder);
}

}  // namespace vellumark::app
