// The main window's frame: building the regions, layout on resize, the title band and its
// buttons, and shutdown.
#include "app/TForm1.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "app/FrameResize.h"
#include "app/GuiReporter.h"
#include "app/LabeledEdit.h"
#include "app/Regions.h"
#include "app/Skin.h"
#include "app/SkinImage.h"
#include "app/SpeedButton.h"
#include "app/TImgBtn.h"
#include "epub/DataFolder.h"
#include "imaging/text/TextLayer.h"
#include "print/PagePrinter.h"
#include "search/TForm2.h"
#include "viewer/DocView.h"
#include "viewer/ThumbnailBuilder.h"

namespace vellumark::app {

namespace {

constexpr char kCaption[] = "Vellumark 3.0";
constexpr int kTitleButtonWidth = 25;
constexpr int kTitleButtonHeight = 31;

}  // namespace

QString TitleFromPath(const QString& path) {
    QString name = path.section('/', -1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

QRegion RoundedWindowRegion(QSize size) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), 3, 3);
    return QRegion(path.toFillPolygon().toPolygon());
}

void TForm1::Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        dialogs_->ShowError(this, QString::fromUtf8(error.what()));
    }
}

TForm1::TForm1(TForm1Options options)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      dialogs_(options.dialogs ? std::move(options.dialogs) : MakeQtDialogs()),
      installedContainer_(std::move(options.installedContainer)),
      textReader_(std::move(options.textReader)) {
    setObjectName("Form1");
    setWindowTitle(kCaption);
    setWindowIcon(skin::Logo(64));
    setMinimumSize(580, 120);
    QFont base;
    base.setFamilies({"DejaVu Sans", "Arial"});
    base.setPixelSize(11);
    setFont(base);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, skin::ButtonFace());
    setPalette(palette);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    setGeometry(320, 82, 789, 596);
    connect(&cleanup_, &QFutureWatcher<std::shared_ptr<const imaging::CleanedPages>>::finished,
            this, [this] { Guarded([this] { CleanupFinished(); }); });
    connect(&conversion_, &QFutureWatcher<epub::ConversionResult>::finished, this,
            [this] { ConversionFinished(); });
    FormCreate();
    // The search dialog is made once, after the window, and kept with the word typed in it.
    form2_ = std::make_unique<search::TForm2>(this);
}

TForm1::~TForm1() {
    // A running conversion writes into the content folder: stop it before deleting that.
    if (reporter_)
        reporter_->Abandon();
    conversion_.waitForFinished();
    if (cleanupStop_)
        *cleanupStop_ = true;
    cleanup_.waitForFinished();
    builder_.reset();
    // FormDestroy: the content folder goes; the working folder above it stays.
    if (!contentFolder_.empty()) {
        std::error_code error;
        if (std::filesystem::exists(contentFolder_, error))
            epub::RemoveFolder(contentFolder_);
    }
}

void TForm1::FormCreate() {
    CreatePanel1();
    CreatePanel3();
    CreatePanel4();
    CreatePanel2();

    imageM_ = DrawTitleSprite();
    const std::pair<TImgBtn*, SpriteCell> buttons[] = {
        {ImgBtnMin, kMinimiseCell}, {ImgBtnMax, kMaximiseCell}, {ImgBtnClose, kCloseCell}};
    for (auto [button, cell] : buttons)
        CutPictures(button, cell);
    PlaceTitleButtons();
    for (const ResizeHandlePlace& place : ResizeHandlePlaces(size()))
        resizeHandles_.push_back(new ResizeHandle(place.edges, this));

    ProgressBar1->hide();
    PaneClientBtm->hide();

    // Folders a killed run left behind go before this window makes its own.
    epub::RemoveAbandonedRunFolders({LabeledEdit4->text().toStdString()});
    try {
        workingFolder_ = installedContainer_.empty()
                             ? epub::WorkingFolder::AcquireForWindow()
                             : epub::WorkingFolder::AcquireForWindow(installedContainer_);
        contentFolder_ = workingFolder_->Content();
    } catch (const std::exception& error) {
        // The window still opens: viewing and printing need no working folder.
        workingFolderError_ = error.what();
    }
    FormResize();
}

void TForm1::CreatePanel1() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Image2 = new SkinImage(skin::TitleLeft(kCaption), false, Panel1);
    Image3 = new SkinImage(skin::TitleRight(), false, Panel1);
    Image4 = new SkinImage(skin::TitleMiddle(), true, Panel1);
    for (SkinImage* image : {Image2, Image3, Image4}) {
        connect(image, &SkinImage::MouseDown, this, &TForm1::TitleMouseDown);
        connect(image, &SkinImage::MouseMoveTo, this, &TForm1::TitleMouseMove);
        connect(image, &SkinImage::DblClick, this,
                [this] { Guarded([this] { ImgBtnMaxClick(); }); });
    }
    Image2->setObjectName("Image2");
    Image3->setObjectName("Image3");
    Image4->setObjectName("Image4");

    CreateToolbar();

    ImgBtnMin = new TImgBtn(Panel1);
    ImgBtnMax = new TImgBtn(Panel1);
    ImgBtnClose = new TImgBtn(Panel1);
    ImgBtnMin->setObjectName("ImgBtnMin");
    ImgBtnMax->setObjectName("ImgBtnMax");
    ImgBtnClose->setObjectName("ImgBtnClose");
    ImgBtnMin->setToolTip("Minimize");
    ImgBtnMax->setToolTip("Maximize");
    ImgBtnClose->setToolTip("Close");
    for (TImgBtn* button : {ImgBtnMin, ImgBtnMax, ImgBtnClose}) {
        button->resize(kTitleButtonWidth, kTitleButtonHeight);
    }
    connect(ImgBtnMin, &TImgBtn::OnClick, this, &TForm1::ImgBtnMinClick);
    connect(ImgBtnMax, &TImgBtn::OnClick, this, [this] { Guarded([this] { ImgBtnMaxClick(); }); });
    connect(ImgBtnClose, &TImgBtn::OnClick, this, &TForm1::ImgBtnCloseClick);
}

SpeedButton* TForm1::AddSpeedButton(const char* name, int left, int width, const QString& caption,
                                    const QString& toolTip, Glyph glyph,
                                    void (TForm1::*handler)()) {
    auto* button = new SpeedButton(glyph, Qt::white, caption, Panel1);
    button->setObjectName(name);
    button->setGeometry(left, 40, width, 57);
    button->setToolTip(toolTip);
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    return button;
}

void TForm1::AddSeparator(const char* name, int left, int top, int height) {
    auto* separator = new SpeedSeparator(Panel1);
    separator->setObjectName(name);
    separator->setGeometry(left, top, 1, height);
}

void TForm1::CreateToolbar() {
    SpeedButton3 = AddSpeedButton("SpeedButton3", 8, 49, "Open", "Open", Glyph::Open,
                                  &TForm1::SpeedButton3Click);
    SpeedButton4 = AddSpeedButton("SpeedButton4", 56, 41, "Convert", "Export", Glyph::Convert,
                                  &TForm1::SpeedButton4Click);
    SpeedButton1 = AddSpeedButton("SpeedButton1", 96, 49, "Options", QString(), Glyph::Options,
                                  &TForm1::SpeedButton1Click);
    AddSeparator("SpeedButton18", 148, 50, 31);
    SpeedButton19 = AddSpeedButton("SpeedButton19", 152, 49, "Search", "Search", Glyph::Search,
                                   &TForm1::SpeedButton19Click);
    SpeedButton5 = AddSpeedButton("SpeedButton5", 200, 49, "ZoomIn", "Zoom In", Glyph::ZoomIn,
                                  &TForm1::SpeedButton5Click);
    SpeedButton6 = AddSpeedButton("SpeedButton6", 248, 49, "ZoomOut", "Zoom Out", Glyph::ZoomOut,
                                  &TForm1::SpeedButton6Click);
    SpeedButton7 = AddSpeedButton("SpeedButton7", 296, 49, "Original", "Original Size",
                                  Glyph::Original, &TForm1::SpeedButton7Click);
    SpeedButton8 = AddSpeedButton("SpeedButton8", 344, 49, "FitSize", "Fit By Height",
                                  Glyph::FitSize, &TForm1::SpeedButton8Click);
    SpeedButton12 = AddSpeedButton("SpeedButton12", 400, 49, "Print", "Print", Glyph::Print,
                                   &TForm1::SpeedButton12Click);
    AddSeparator("SpeedButton17", 452, 50, 35);
    SpeedButton13 = AddSpeedButton("SpeedButton13", 456, 49, "help", "Help", Glyph::Help,
                                   &TForm1::SpeedButton13Click);
    SpeedButton14 = AddSpeedButton("SpeedButton14", 504, 49, "Home", "Homepage", Glyph::Home,
                                   &TForm1::SpeedButton14Click);
    AddSeparator("SpeedButton2", 556, 50, 35);

    AddShortcut(SpeedButton3, {QKeySequence(Qt::CTRL | Qt::Key_O)}, "Ctrl+O");
    AddShortcut(SpeedButton19, {QKeySequence(Qt::CTRL | Qt::Key_F)}, "Ctrl+F");
    // Ctrl+= too: on many keyboards plus is shifted equals.
    AddShortcut(SpeedButton5,
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                "Ctrl+Plus");
    AddShortcut(SpeedButton6, {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, "Ctrl+Minus");
    AddShortcut(SpeedButton7, {QKeySequence(Qt::CTRL | Qt::Key_0)}, "Ctrl+0");
    AddShortcut(SpeedButton8,
                {QKeySequence(Qt::Key_F11), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                "F11 or Ctrl+Shift+F");
    AddShortcut(SpeedButton12, {QKeySequence(Qt::CTRL | Qt::Key_P)}, "Ctrl+P");
}

void TForm1::AddShortcut(SpeedButton* button, const QList<QKeySequence>& keys,
                         const QString& shown) {
    auto* shortcut = new QShortcut(this);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WindowShortcut);
    // click() does nothing while the button is disabled (a conversion is running).
    connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    button->setToolTip(QString("%1 (%2)").arg(button->toolTip(), shown));
}

void TForm1::CreatePanel3() {
    Panel3 = new QWidget(this);
    Panel3->setObjectName("Panel3");
    Image1 = new SkinImage(skin::StatusLeft(), false, Panel3);
    Image5 = new SkinImage(skin::StatusRight(), false, Panel3);
    Image6 = new SkinImage(skin::StatusMiddle(), true, Panel3);
    Image1->setObjectName("Image1");
    Image5->setObjectName("Image5");
    Image6->setObjectName("Image6");
    Label1 = new QLabel(Panel3);
    Label2 = new QLabel(Panel3);
    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    for (QLabel* label : {Label1, Label2}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setTextFormat(Qt::PlainText);
    }

    Button1 = new QPushButton("Cancel", Panel3);
    Button1->setObjectName("Button1");
    Button1->setToolTip("Stop the conversion (Esc)");
    Button1->setCursor(Qt::PointingHandCursor);
    Button1->hide();
    connect(Button1, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { Button1Click(); }); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, Button1, &QAbstractButton::click);
}

// The labels stand 50 and 200 pixels into the status bar, over Image1. While a conversion runs
// the status bar is its own: the status text with the page progress in Label1, widened so that
// the longer texts fit, and Cancel at the right; the path comes back after.
void TForm1::PlaceStatusLabels() {
    const int w = Panel3->width();
    const int left = Image1->x() + 50;
    Label1->raise();
    Label2->raise();
    Label2->setGeometry(Image1->x() + 200, 15, std::max(0, w - 200 - 75), 16);
    Label2->setVisible(!converting_);
    Button1->setVisible(converting_);
    if (!converting_) {
        Label1->setGeometry(left, 15, 145, 16);
        return;
    }
    // Clear of the grip picture at the right end (Image5).
    const int buttonWidth = 72;
    const int buttonLeft = std::max(left + 145, w - 69 - 8 - buttonWidth);
    Button1->setGeometry(buttonLeft, 11, buttonWidth, 23);
    Button1->raise();
    Label1->setGeometry(left, 15, buttonLeft - 8 - left, 16);
}

void TForm1::CreatePanel4() {
    Panel4 = new QWidget(this);
    Panel4->setObjectName("Panel4");
    Image7 = new SkinImage(skin::EdgeLeft(), true, Panel4);
    Image8 = new SkinImage(skin::EdgeInner(), true, Panel4);
    Image7->setObjectName("Image7");
    Image8->setObjectName("Image8");
    ListView1 = new QListWidget(Panel4);
    ListView1->setObjectName("ListView1");
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setIconSize(QSize(80, 100));
    ListView1->setGridSize(QSize(118, 124));
    ListView1->setMovement(QListView::Static);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setUniformItemSizes(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setFrameShape(QFrame::NoFrame);
    ListView1->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = ListView1->palette();
    palette.setColor(QPalette::Base, skin::ListBackground());
    palette.setColor(QPalette::Highlight, skin::Accent());
    ListView1->setPalette(palette);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                for (const QModelIndex& index : selected.indexes()) {
                    Guarded([&] { ListView1SelectItem(ListView1->item(index.row()), true); });
                }
            });
    Image9 = new SkinImage(skin::EdgeRight(), true, this);
    Image9->setObjectName("Image9");
}

void TForm1::CreatePanel2() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    QPalette palette = Panel2->palette();
    palette.setColor(QPalette::Window, Qt::white);
    Panel2->setPalette(palette);
    Panel2->setAutoFillBackground(true);

    DocView = new viewer::DocView(Panel2);
    DocView->setObjectName("DocView");
    DocView->setFrameShape(QFrame::NoFrame);
    DocView->SetEmptyHint("Open a scan (.tif, .mdi, .pdf, .djvu, .jpg, .png, .cbz) or drop it here");

    ProgressBar1 = new QProgressBar(Panel2);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet(
        "QProgressBar { border: none; background: #dfe6ef; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #5b95dc, stop:1 #2f6cb8); }");

    CreateSettingsPanel();

    PanelImage = new QWidget(Panel2);
    PanelImage->setObjectName("PanelImage");
    PanelImage->hide();
}

void TForm1::CutPictures(TImgBtn* button, SpriteCell cell) {
    const CellPictures pictures = CutCell(imageM_, cell);
    button->SetPic(pictures.normal);
    button->SetPicUp(pictures.over);
    button->SetPicDown(pictures.pressed);
}

void TForm1::PlaceTitleButtons() {
    const TImgBtn* order[] = {ImgBtnMin, ImgBtnMax, ImgBtnClose};
    for (int i = 0; i < 3; ++i) {
        auto* button = const_cast<TImgBtn*>(order[i]);
        button->raise();
        button->move(TitleButtonLeft(width(), i), kTitleButtonTop);
    }
}

void TForm1::FormResize() {
    setMask(RoundedWindowRegion(size()));
    const Regions regions = DockRegions(size());
    Panel1->setGeometry(regions.panel1);
    Panel3->setGeometry(regions.panel3);
    Panel4->setGeometry(regions.panel4);
    Image9->setGeometry(regions.image9);
    Panel2->setGeometry(regions.panel2);

    const int w = regions.panel1.width();
    const int h1 = regions.panel1.height();
    Image2->setGeometry(0, 0, 324, h1);
    Image3->setGeometry(w - 180, 0, 180, h1);
    Image4->setGeometry(324, 0, std::max(0, w - 504), h1);
    Image4->lower();

    const int h3 = regions.panel3.height();
    Image1->setGeometry(0, 0, 227, h3);
    Image5->setGeometry(w - 69, 0, 69, h3);
    Image6->setGeometry(227, 0, std::max(0, w - 296), h3);
    Image6->lower();
    PlaceStatusLabels();

    const int h4 = regions.panel4.height();
    Image7->setGeometry(0, 0, 8, h4);
    Image8->setGeometry(regions.panel4.width() - 21, 0, 21, h4);
    ListView1->setGeometry(8, 0, std::max(0, regions.panel4.width() - 29), h4);

    LayoutWorkArea();
    PlaceTitleButtons();
    PlaceResizeHandles();
}

// In front of everything along the border; a maximised window has no border to drag.
void TForm1::PlaceResizeHandles() {
    const std::vector<ResizeHandlePlace> places = ResizeHandlePlaces(size());
    for (std::size_t i = 0; i < resizeHandles_.size() && i < places.size(); ++i) {
        ResizeHandle* handle = resizeHandles_[i];
        handle->setGeometry(places[i].rect);
        handle->setVisible(!isMaximized());
        handle->raise();
    }
}

void TForm1::LayoutWorkArea() {
    const WorkArea area =
        DockWorkArea(Panel2->size(), !PaneClientBtm->isHidden(), !ProgressBar1->isHidden());
    DocView->setGeometry(area.docView);
    if (!area.settings.isNull())
        PaneClientBtm->setGeometry(area.settings);
    if (!area.progress.isNull())
        ProgressBar1->setGeometry(area.progress);
}

// Maximised, the window covers the screen's free area (the desktop's panels stay visible). The
// geometry is set before the state: without a window manager nobody else would resize the
// window, and setting a geometry afterwards would end the maximised state.
void TForm1::Maximise() {
    normalGeometry_ = geometry();
    if (screen() != nullptr)
        setGeometry(screen()->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::Restore() {
    setWindowState(windowState() & ~Qt::WindowMaximized);
    if (normalGeometry_.isValid())
        setGeometry(normalGeometry_);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The desktop may maximise or restore the window by itself: keep the button's pictures true.
    if (event->type() == QEvent::WindowStateChange && ImgBtnMax != nullptr) {
        CutPictures(ImgBtnMax, isMaximized() ? kRestoreCell : kMaximiseCell);
        PlaceResizeHandles();
    }
}

void TForm1::ImgBtnMinClick() {
    try {
        showMinimized();
    } catch (...) {
    }
}

void TForm1::ImgBtnMaxClick() {
    const bool wasMaximised = isMaximized();
    ImgBtnMax->raise();
    ImgBtnMax->move(TitleButtonLeft(width(), 1), kTitleButtonTop);
    if (!wasMaximised) {
        CutPictures(ImgBtnMax, kRestoreCell);
        Maximise();
    } else {
        CutPictures(ImgBtnMax, kMaximiseCell);
        Restore();
    }
}

void TForm1::ImgBtnCloseClick() {
    try {
        close();
    } catch (...) {
    }
}

void TForm1::TitleMouseDown(Qt::MouseButton button) {
    manualDrag_ = false;
    if (isMaximized() || button != Qt::LeftButton)
        return;
    if (windowHandle() != nullptr && windowHandle()->startSystemMove())
        return;
    // No window manager to move us (a bare X server): follow the mouse ourselves.
    manualDrag_ = true;
    dragOffset_ = QCursor::pos() - frameGeometry().topLeft();
}

void TForm1::TitleMouseMove(QPoint globalPos) {
    if (manualDrag_ && !isMaximized())
        move(globalPos - dragOffset_);
}

bool TForm1::IsConverting() const {
    return converting_;
}

bool TForm1::IsBuildingPageList() const {
    return builder_ && builder_->IsRunning();
}

std::filesystem::path TForm1::WorkingFolderPath() const {
    return workingFolder_ ? workingFolder_->Path() : std::filesystem::path();
}

void TForm1::SpeedButton13Click() {
    const std::filesystem::path page = epub::DataFolder() / "help" / "index.html";
    if (!std::filesystem::exists(page)) {
        dialogs_->ShowError(this,
                            "The help page is missing: " + QString::fromStdString(page.string()));
        return;
    }
    dialogs_->OpenUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())));
}

void TForm1::SpeedButton14Click() {
    dialogs_->OpenUrl(QUrl("https://vellumark.org/"));
}

}  // namespace vellumark::app
