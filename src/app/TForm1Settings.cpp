// The conversion settings panel: its fields, the two pickers, the book's format with its page
// size and text layer, and the Options toggle.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <algorithm>

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

    // The book's format and what only EPUB 3 has, in a row below the fields above, which keep
    // their places: captions above the boxes as the fields have them.
    ComboBox1 = new QComboBox(PaneClientBtm);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->addItem("EPUB 2 (fits the screen)", static_cast<int>(epub::BookFormat::Epub2));
    ComboBox1->addItem("EPUB 3 (fixed layout)", static_cast<int>(epub::BookFormat::Epub3));
    ComboBox1->addItem("EPUB 3, reflowable text (OCR)", static_cast<int>(epub::BookFormat::Reflow));
    ComboBox1->setToolTip(
        "EPUB 2: every reader shows it, each page scaled to the screen.\n"
        "EPUB 3 fixed layout: each page as scanned, and it can carry the page text.\n"
        "EPUB 3 reflowable text: the pages' text, read by OCR, laid out by the reader at any "
        "size.");
    ComboBox1->setGeometry(24, 160, 205, 22);

    ComboBox2 = new QComboBox(PaneClientBtm);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->addItem("96 ppi (as the window shows it)", QString());
    ComboBox2->setItemData(0, "Pages at 96 pixels per inch of the paper", Qt::ToolTipRole);
    for (const epub::DeviceProfile& profile : epub::DeviceProfiles()) {
        ComboBox2->addItem(ProfileCaption(profile), QString::fromUtf8(profile.name));
        ComboBox2->setItemData(ComboBox2->count() - 1,
                               "Pages made for the screen of " + QString::fromUtf8(profile.device),
                               Qt::ToolTipRole);
    }
    ComboBox2->setToolTip("EPUB 3: the screen the pages are made for");
    ComboBox2->setGeometry(241, 160, 296, 22);

    struct Caption {
        QComboBox* box;
        const char* name;
        const char* text;
    };
    for (const Caption& caption :
         {Caption{ComboBox1, "Label3", "Format:"}, Caption{ComboBox2, "Label4", "Page Size:"}}) {
        auto* label = new QLabel(caption.text, PaneClientBtm);
        label->setObjectName(caption.name);
        QComboBox* box = caption.box;
        label->setBuddy(box);
        label->adjustSize();
        label->move(box->x(), box->y() - label->height() - 3);
    }

    // The two choices share a row below the boxes, each under the box it goes with.
    CheckBox1 = new QCheckBox("Text layer (OCR)", PaneClientBtm);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setToolTip(
        "EPUB 3: the words of each page, read by OCR, lie invisibly over the page picture,\n"
        "so that readers can search the book and read it aloud");
    CheckBox1->setGeometry(24, 190, 161, 18);

    CheckBox2 = new QCheckBox("Clean up pages", PaneClientBtm);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setToolTip(
        "Each page turned upright and levelled, a sheet of two facing pages split in two,\n"
        "each page cut to its content with a small margin (body pages share one size),\n"
        "and dust cleared from black-and-white pages");
    CheckBox2->setGeometry(197, 190, 150, 18);

    // EPUB 3 with its text: the contents lists the chapters found, or every page.
    ComboBox3 = new QComboBox(PaneClientBtm);
    ComboBox3->setObjectName("ComboBox3");
    ComboBox3->addItem("Chapters", static_cast<int>(epub::TocKind::Chapters));
    ComboBox3->addItem("Pages", static_cast<int>(epub::TocKind::Pages));
    ComboBox3->setToolTip(
        "EPUB 3 with the text layer: the table of contents lists the chapters found in the text\n"
        "(every page when none are found), or every page");
    const int contentsWidth = std::max(100, ComboBox3->sizeHint().width());
    ComboBox3->setGeometry(537 - contentsWidth, 188, contentsWidth, 22);
    auto* contents = new QLabel("Contents:", PaneClientBtm);
    contents->setObjectName("Label5");
    contents->setBuddy(ComboBox3);
    contents->adjustSize();
    contents->move(ComboBox3->x() - contents->width() - 6,
                   ComboBox3->y() + (ComboBox3->height() - contents->height()) / 2);

    connect(CheckBox2, &QCheckBox::toggled, this,
            [this] { Guarded([this] { CheckBox2Click(); }); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { ComboBox1Change(); }); });
    ComboBox1Change();

    // Tab order: cover, output folder, title, author, then the format row and the text layer.
    setTabOrder(LabeledEdit3, LabeledEdit4);
    setTabOrder(LabeledEdit4, LabeledEdit1);
    setTabOrder(LabeledEdit1, LabeledEdit2);
    setTabOrder(LabeledEdit2, ComboBox1);
    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
    setTabOrder(CheckBox2, ComboBox3);
    connect(CheckBox1, &QCheckBox::toggled, this,
            [this] { Guarded([this] { ComboBox1Change(); }); });
}

QString ProfileCaption(const epub::DeviceProfile& profile) {
    return QString("%1 (%2 x %3)")
        .arg(QString::fromUtf8(profile.name))
        .arg(profile.screen.width)
        .arg(profile.screen.height);
}

void TForm1::ComboBox1Change() {
    const bool fixed = ChosenFormat() == epub::BookFormat::Epub3;
    ComboBox2->setEnabled(fixed && !converting_);
    CheckBox1->setEnabled(fixed && !converting_);
    ComboBox3->setEnabled(fixed && CheckBox1->isChecked() && !converting_);
}

epub::TocKind TForm1::ChosenToc() const {
    return static_cast<epub::TocKind>(ComboBox3->currentData().toInt());
}

epub::BookFormat TForm1::ChosenFormat() const {
    return static_cast<epub::BookFormat>(ComboBox1->currentData().toInt());
}

std::optional<epub::PageBox> TForm1::ChosenPageBox() const {
    const epub::DeviceProfile* profile =
        epub::FindDeviceProfile(ComboBox2->currentData().toString().toStdString());
    if (profile == nullptr)
        return std::nullopt;
    return profile->screen;
}

imaging::CleanupOptions TForm1::ChosenCleanup() const {
    imaging::CleanupOptions options;
    if (!CheckBox2->isChecked())
        return options;
    options.upright = imaging::OrientationDataInstalled();
    options.deskew = options.crop = options.splitSpreads = options.despeckle = true;
    return options;
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
