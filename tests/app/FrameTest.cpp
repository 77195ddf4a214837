// The main window's frame: start-up layout, the toolbar table, maximise and restore, the
// settings panel, Help and Home.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>

#include "WindowFixture.h"
#include "app/FrameResize.h"
#include "app/LabeledEdit.h"
#include "app/TImgBtn.h"
#include "app/TitleSprite.h"

namespace vellumark::app::testing {
namespace {

using FrameTest = WindowTest;

TEST_F(FrameTest, StartsBorderlessAtItsDesignedPlaceAndSize) {
    EXPECT_TRUE(form_->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form_->windowTitle(), "Vellumark 3.0");
    EXPECT_EQ(form_->geometry(), QRect(320, 82, 789, 596));
    EXPECT_EQ(form_->minimumSize(), QSize(580, 120));
    EXPECT_FALSE(form_->mask().contains(QPoint(0, 0))) << "rounded corners";

    EXPECT_EQ(Child<QWidget>("Panel1")->geometry(), QRect(0, 0, 789, 135));
    EXPECT_EQ(Child<QWidget>("Panel3")->geometry(), QRect(0, 551, 789, 45));
    EXPECT_EQ(Child<QWidget>("Panel4")->geometry(), QRect(0, 135, 171, 416));
    EXPECT_EQ(Child<QWidget>("Image9")->geometry(), QRect(774, 135, 15, 416));
    EXPECT_EQ(Child<QWidget>("Panel2")->geometry(), QRect(171, 135, 603, 416));
    EXPECT_EQ(Child<QWidget>("DocView")->geometry(), QRect(0, 0, 603, 416));
    EXPECT_TRUE(Child<QWidget>("PaneClientBtm")->isHidden());
    EXPECT_TRUE(Child<QProgressBar>("ProgressBar1")->isHidden());
    EXPECT_TRUE(Child<QWidget>("PanelImage")->isHidden());
    EXPECT_EQ(Child<QWidget>("Label1")->pos(), QPoint(50, 15));
    EXPECT_EQ(Child<QWidget>("Label2")->pos(), QPoint(200, 15));
    EXPECT_EQ(Child<QListWidget>("ListView1")->count(), 0);
    EXPECT_EQ(form_->Doc(), nullptr);
}

TEST_F(FrameTest, TitleButtonsStandInFrontAtTheRightEdge) {
    const char* names[] = {"ImgBtnMin", "ImgBtnMax", "ImgBtnClose"};
    const int lefts[] = {702, 727, 752};
    QWidget* panel1 = Child<QWidget>("Panel1");
    for (int i = 0; i < 3; ++i) {
        auto* button = Child<TImgBtn>(names[i]);
        EXPECT_EQ(button->geometry(), QRect(lefts[i], 6, 25, 31)) << names[i];
        EXPECT_EQ(panel1->childAt(lefts[i] + 12, 15), button) << names[i] << " is in front";
    }
}

TEST_F(FrameTest, ToolbarHasEveryButtonWithItsCaptionTipAndPlace) {
    struct Row {
        const char* name;
        int left, width;
        const char* caption;
        const char* tip;
    };
    const Row rows[] = {
        {"SpeedButton3", 8, 49, "Open", "Open (Ctrl+O)"},
        {"SpeedButton4", 56, 41, "Convert", "Export"},
        {"SpeedButton1", 96, 49, "Options", ""},
        {"SpeedButton19", 152, 49, "Search", "Search (Ctrl+F)"},
        {"SpeedButton5", 200, 49, "ZoomIn", "Zoom In (Ctrl+Plus)"},
        {"SpeedButton6", 248, 49, "ZoomOut", "Zoom Out (Ctrl+Minus)"},
        {"SpeedButton7", 296, 49, "Original", "Original Size (Ctrl+0)"},
        {"SpeedButton8", 344, 49, "FitSize", "Fit By Height (F11 or Ctrl+Shift+F)"},
        {"SpeedButton12", 400, 49, "Print", "Print (Ctrl+P)"},
        {"SpeedButton13", 456, 49, "help", "Help"},
        {"SpeedButton14", 504, 49, "Home", "Homepage"},
    };
    for (const Row& row : rows) {
        auto* button = Child<QAbstractButton>(row.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry(), QRect(row.left, 40, row.width, 57)) << row.name;
        EXPECT_EQ(button->text(), row.caption) << row.name;
        EXPECT_EQ(button->toolTip(), row.tip) << row.name;
    }
    EXPECT_EQ(Child<QWidget>("SpeedButton18")->geometry(), QRect(148, 50, 1, 31));
    EXPECT_EQ(Child<QWidget>("SpeedButton17")->geometry(), QRect(452, 50, 1, 35));
    EXPECT_EQ(Child<QWidget>("SpeedButton2")->geometry(), QRect(556, 50, 1, 35));
    EXPECT_FALSE(Child<QWidget>("SpeedButton2")->isEnabled());
}

TEST_F(FrameTest, TitleButtonsShowNoKeyColourInAnyState) {
    // The buttons as the window draws them: normal, with the mouse over, pressed.
    auto keyPixels = [](QWidget* button) {
        const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x)
                count += shot.pixel(x, y) == qRgb(255, 0, 255);
        }
        return count;
    };
    for (const char* name : {"ImgBtnMin", "ImgBtnMax", "ImgBtnClose"}) {
        auto* button = Child<TImgBtn>(name);
        EXPECT_EQ(keyPixels(button), 0) << name << " normal";
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(button, &enter);
        ASSERT_EQ(button->Shown().toImage(), button->PicUp().toImage());
        EXPECT_EQ(keyPixels(button), 0) << name << " mouse over";
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5),
                          button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(button, &press);
        ASSERT_EQ(button->Shown().toImage(), button->PicDown().toImage());
        EXPECT_EQ(keyPixels(button), 0) << name << " pressed";
        // Let go outside, so that nothing is clicked.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-20, 5),
                            button->mapToGlobal(QPointF(-20, 5)), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(button, &release);
    }
    EXPECT_TRUE(form_->isVisible());
    EXPECT_FALSE(form_->isMaximized());
}

TEST_F(FrameTest, MaximiseAndRestoreByButtonAndByDoubleClick) {
    auto* max = Child<TImgBtn>("ImgBtnMax");
    const QImage sprite = DrawTitleSprite();
    const QImage maximisePicture = CutCell(sprite, kMaximiseCell).normal.toImage();
    const QImage restorePicture = CutCell(sprite, kRestoreCell).normal.toImage();
    EXPECT_EQ(max->Pic().toImage(), maximisePicture);

    const QRect available = form_->screen()->availableGeometry();
    const QRect normal(320, 82, 789, 596);
    // The window system answers a change of state with events of its own: let them arrive.
    auto settlesAt = [&](const QRect& geometry) {
        return QTest::qWaitFor([&] { return form_->geometry() == geometry; });
    };

    QTest::mouseClick(max, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form_->isMaximized());
    EXPECT_TRUE(settlesAt(available));
    EXPECT_TRUE(form_->isMaximized());
    EXPECT_EQ(max->Pic().toImage(), restorePicture);
    EXPECT_EQ(max->pos(), QPoint(available.width() - 62, 6));
    EXPECT_EQ(Child<TImgBtn>("ImgBtnClose")->pos(), QPoint(available.width() - 37, 6));
    EXPECT_FALSE(form_->mask().contains(QPoint(available.width() - 1, 0)));

    QTest::mouseClick(max, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(form_->isMaximized());
    EXPECT_TRUE(settlesAt(normal));
    EXPECT_FALSE(form_->isMaximized());
    EXPECT_EQ(max->Pic().toImage(), maximisePicture);
    EXPECT_EQ(max->pos(), QPoint(727, 6));

    QWidget* band = Child<QWidget>("Image4");
    QTest::mouseDClick(band, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(form_->isMaximized());
    EXPECT_TRUE(settlesAt(available));
    QTest::mousePress(band, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(band, QPoint(120, 60));
    QTest::mouseRelease(band, Qt::LeftButton, {}, QPoint(120, 60));
    EXPECT_EQ(form_->geometry(), available) << "a maximised window does not move";
    QTest::mouseDClick(band, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(form_->isMaximized());
    EXPECT_TRUE(settlesAt(normal));
}

TEST_F(FrameTest, EdgesAndTheGripResizeTheWindowDownToItsMinimumSize) {
    const QList<ResizeHandle*> handles = form_->findChildren<ResizeHandle*>();
    ASSERT_EQ(handles.size(), 8);
    auto handle = [&](Qt::Edges edges) {
        for (ResizeHandle* h : handles) {
            if (h->Edges() == edges)
                return h;
        }
        ADD_FAILURE() << "no handle for edges " << int(edges);
        return handles.front();
    };
    // A drag as the window system delivers it: press, one move, release, in screen positions.
    auto drag = [](ResizeHandle* h, QPoint by) {
        const QPoint local = h->rect().center();
        const QPoint from = h->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, from, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(h, &press);
        QMouseEvent move(QEvent::MouseMove, local + by, from + by, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(h, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, local + by, from + by, Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(h, &release);
    };
    auto settlesAt = [&](const QRect& geometry) {
        return QTest::qWaitFor([&] { return form_->geometry() == geometry; });
    };

    // The grip stands in front of the status bar's grip dots, at the bottom right.
    ResizeHandle* grip = handle(Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(grip->geometry(), QRect(789 - 22, 596 - 22, 22, 22));
    EXPECT_EQ(form_->childAt(789 - 12, 596 - 12), grip);
    EXPECT_EQ(grip->cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(handle(Qt::LeftEdge)->cursor().shape(), Qt::SizeHorCursor);

    drag(grip, QPoint(60, 40));
    EXPECT_TRUE(settlesAt(QRect(320, 82, 849, 636)));
    EXPECT_EQ(Child<QWidget>("Panel3")->geometry(), QRect(0, 591, 849, 45)) << "laid out anew";
    EXPECT_EQ(grip->geometry(), QRect(849 - 22, 636 - 22, 22, 22)) << "the grip follows";

    drag(handle(Qt::LeftEdge), QPoint(-30, 5));
    EXPECT_TRUE(settlesAt(QRect(290, 82, 879, 636))) << "only the left edge moves";
    drag(handle(Qt::TopEdge), QPoint(0, 25));
    EXPECT_TRUE(settlesAt(QRect(290, 107, 879, 611)));
    drag(handle(Qt::TopEdge | Qt::RightEdge), QPoint(-79, -7));
    EXPECT_TRUE(settlesAt(QRect(290, 100, 800, 618)));

    // No smaller than the frame's minimum, wherever the mouse goes.
    drag(grip, QPoint(-2000, -2000));
    EXPECT_TRUE(settlesAt(QRect(290, 100, 580, 120)));
    drag(handle(Qt::TopEdge | Qt::LeftEdge), QPoint(500, 500));
    EXPECT_TRUE(settlesAt(QRect(290, 100, 580, 120))) << "the far edges stay put";

    // Maximised, there is no border to drag.
    QTest::mouseClick(Child<TImgBtn>("ImgBtnMax"), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(form_->isMaximized());
    for (ResizeHandle* h : handles)
        EXPECT_FALSE(h->isVisible());
    QTest::mouseClick(Child<TImgBtn>("ImgBtnMax"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(grip->isVisible());
}

TEST_F(FrameTest, TheTitleBandStaysSeamlessAtTheMinimumSize) {
    form_->resize(form_->minimumSize());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->size() == QSize(580, 120); }));
    QWidget* band = Child<QWidget>("Panel1");
    ASSERT_EQ(band->height(), 120);
    const QImage shot = band->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The stretched middle piece (Image4, from x 324) has the same column as the plain end
    // of the left piece (Image2) beside it, above and below the toolbar's buttons (40 to 97).
    for (int y = 0; y < shot.height(); ++y) {
        if (y < 40 || y > 97) {
            EXPECT_EQ(shot.pixel(330, y), shot.pixel(320, y)) << "row " << y;
        }
    }
}

TEST_F(FrameTest, CloseButtonClosesWithoutAsking) {
    QTest::mouseClick(Child<TImgBtn>("ImgBtnClose"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(log_->messages.empty());
}

TEST_F(FrameTest, SettingsFieldsHaveTheirCaptionsPlacesAndFirstTexts) {
    struct Row {
        const char* name;
        const char* caption;
        QRect bounds;
    };
    const Row rows[] = {
        {"LabeledEdit1", "Title:", QRect(24, 32, 121, 25)},
        {"LabeledEdit2", "Author:", QRect(24, 96, 121, 21)},
        {"LabeledEdit3", "Cover Image:  ", QRect(197, 36, 340, 21)},
        {"LabeledEdit4", "Save  ePub  To:  ", QRect(200, 100, 337, 21)},
    };
    for (const Row& row : rows) {
        auto* edit = Child<LabeledEdit>(row.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->EditLabel()->text(), row.caption);
        EXPECT_EQ(edit->geometry(), row.bounds) << row.name;
        EXPECT_LT(edit->EditLabel()->geometry().bottom(), edit->y()) << "caption above";
    }
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit1")->text(), "");
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit2")->text(), "");
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit3")->text(), "");
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit4")->text(), QDir::homePath() + "/Output");
    EXPECT_EQ(Child<QWidget>("PNGButton8")->geometry(), QRect(541, 16, 57, 57));
    EXPECT_EQ(Child<QWidget>("PNGButton9")->geometry(), QRect(541, 80, 57, 57));
    EXPECT_EQ(Child<QWidget>("PNGButton8")->cursor().shape(), Qt::PointingHandCursor);

    // Tab order: cover, output folder, title, author.
    auto nextField = [](QWidget* from) {
        QWidget* next = from->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next;
    };
    EXPECT_EQ(nextField(Child<QWidget>("LabeledEdit3")), Child<QWidget>("LabeledEdit4"));
    EXPECT_EQ(nextField(Child<QWidget>("LabeledEdit4")), Child<QWidget>("LabeledEdit1"));
    EXPECT_EQ(nextField(Child<QWidget>("LabeledEdit1")), Child<QWidget>("LabeledEdit2"));
    EXPECT_EQ(nextField(Child<QWidget>("LabeledEdit2")), Child<QWidget>("ComboBox1"));
    EXPECT_EQ(nextField(Child<QWidget>("ComboBox1")), Child<QWidget>("ComboBox2"));
    EXPECT_EQ(nextField(Child<QWidget>("ComboBox2")), Child<QWidget>("CheckBox1"));
    EXPECT_EQ(nextField(Child<QWidget>("CheckBox1")), Child<QWidget>("CheckBox2"));
}

TEST_F(FrameTest, TheFormatRowStandsBelowTheFieldsAndClearOfThem) {
    Child<QAbstractButton>("SpeedButton1")->click();
    QWidget* panel = Child<QWidget>("PaneClientBtm");
    ASSERT_TRUE(panel->isVisible());
    QList<QWidget*> fields;
    for (const char* name : {"LabeledEdit1", "LabeledEdit2", "LabeledEdit3", "LabeledEdit4"}) {
        auto* edit = Child<LabeledEdit>(name);
        fields << edit << edit->EditLabel();
    }
    fields << Child<QWidget>("PNGButton8") << Child<QWidget>("PNGButton9");
    int fieldsBottom = 0;
    for (QWidget* field : fields)
        fieldsBottom = std::max(fieldsBottom, field->geometry().bottom());

    const char* added[] = {"Label3",    "ComboBox1", "Label4", "ComboBox2",
                           "CheckBox1", "CheckBox2", "Label5", "ComboBox3"};
    for (const char* name : added) {
        QWidget* control = Child<QWidget>(name);
        ASSERT_NE(control, nullptr);
        const QRect bounds = control->geometry();
        EXPECT_GT(bounds.top(), fieldsBottom) << name << " is below the fields";
        EXPECT_TRUE(panel->rect().contains(bounds)) << name << " is inside the panel";
        EXPECT_TRUE(control->isVisible()) << name;
        QWidget* atCentre = panel->childAt(bounds.center());
        EXPECT_TRUE(atCentre == control || control->isAncestorOf(atCentre))
            << name << " is not covered";
        for (const char* other : added) {
            if (other != name) {
                EXPECT_FALSE(bounds.intersects(Child<QWidget>(other)->geometry()))
                    << name << " and " << other;
            }
        }
    }
    // Each box's caption stands above it, as the fields' captions do.
    EXPECT_EQ(static_cast<QLabel*>(Child<QWidget>("Label3"))->buddy(), Child<QWidget>("ComboBox1"));
    EXPECT_EQ(static_cast<QLabel*>(Child<QWidget>("Label4"))->buddy(), Child<QWidget>("ComboBox2"));
    EXPECT_LT(Child<QWidget>("Label3")->geometry().bottom(), Child<QWidget>("ComboBox1")->y());
    EXPECT_LT(Child<QWidget>("Label4")->geometry().bottom(), Child<QWidget>("ComboBox2")->y());
    // Every caption shows whole: the check box's and each box's longest choice.
    for (const char* name : {"ComboBox1", "ComboBox2", "CheckBox1", "CheckBox2"}) {
        QWidget* control = Child<QWidget>(name);
        EXPECT_GE(control->width(), control->sizeHint().width()) << name;
    }
}

TEST_F(FrameTest, PageSizeAndTextLayerAreOfferedForEpub3Only) {
    auto* format = Child<QComboBox>("ComboBox1");
    auto* pageSize = Child<QComboBox>("ComboBox2");
    auto* textLayer = Child<QCheckBox>("CheckBox1");
    ASSERT_EQ(format->count(), 3);
    EXPECT_EQ(format->currentData().toInt(), static_cast<int>(epub::BookFormat::Epub2))
        << "today's book by default";
    EXPECT_TRUE(format->currentText().startsWith("EPUB 2"));
    EXPECT_FALSE(textLayer->isChecked());

    const auto profiles = epub::DeviceProfiles();
    ASSERT_EQ(pageSize->count(), static_cast<int>(profiles.size()) + 1);
    EXPECT_EQ(pageSize->itemText(0), "96 ppi (as the window shows it)");
    EXPECT_EQ(pageSize->itemText(2), "kobo-libra (1264 x 1680)");
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        EXPECT_EQ(pageSize->itemData(static_cast<int>(i) + 1).toString(),
                  QString::fromUtf8(profiles[i].name.data(), profiles[i].name.size()));
    }
    EXPECT_EQ(pageSize->currentIndex(), 0);

    EXPECT_FALSE(pageSize->isEnabled());
    EXPECT_FALSE(textLayer->isEnabled());
    format->setCurrentIndex(format->findData(static_cast<int>(epub::BookFormat::Epub3)));
    EXPECT_TRUE(pageSize->isEnabled());
    EXPECT_TRUE(textLayer->isEnabled());
    // The contents by chapters needs the text.
    auto* contents = Child<QComboBox>("ComboBox3");
    EXPECT_FALSE(contents->isEnabled());
    textLayer->setChecked(true);
    EXPECT_TRUE(contents->isEnabled());
    EXPECT_EQ(contents->currentText(), "Chapters");
    // The reflowable book is always its text, with the contents by its headings.
    for (const epub::BookFormat other : {epub::BookFormat::Epub2, epub::BookFormat::Reflow}) {
        format->setCurrentIndex(format->findData(static_cast<int>(other)));
        EXPECT_FALSE(pageSize->isEnabled());
        EXPECT_FALSE(textLayer->isEnabled());
        EXPECT_FALSE(contents->isEnabled());
    }
    EXPECT_EQ(format->currentText(), "EPUB 3, reflowable text (OCR)");
}

TEST_F(FrameTest, OptionsTogglesTheSettingsPanelAndThePageViewMakesRoom) {
    auto* options = Child<QAbstractButton>("SpeedButton1");
    QWidget* panel = Child<QWidget>("PaneClientBtm");
    QWidget* view = Child<QWidget>("DocView");
    options->click();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), QRect(0, 416 - 216, 603, 216));
    EXPECT_EQ(view->height(), 416 - 216);
    options->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(view->height(), 416);
}

TEST_F(FrameTest, PickersReplaceTheirFieldOnlyWhenSomethingIsChosen) {
    auto* cover = Child<LabeledEdit>("LabeledEdit3");
    auto* folder = Child<LabeledEdit>("LabeledEdit4");
    cover->setText("typed.jpg");
    Child<QAbstractButton>("PNGButton8")->click();
    Child<QAbstractButton>("PNGButton9")->click();
    EXPECT_EQ(cover->text(), "typed.jpg");
    EXPECT_EQ(folder->text(), QDir::homePath() + "/Output");

    log_->coverPath = "/pictures/front.jpg";
    log_->folder = "/books";
    Child<QAbstractButton>("PNGButton8")->click();
    Child<QAbstractButton>("PNGButton9")->click();
    EXPECT_EQ(cover->text(), "/pictures/front.jpg");
    EXPECT_EQ(folder->text(), "/books");
}

TEST_F(FrameTest, HelpOpensThePageBesideTheProgramAndHomeTheProjectPage) {
    Child<QAbstractButton>("SpeedButton13")->click();
    Child<QAbstractButton>("SpeedButton14")->click();
    ASSERT_EQ(log_->opened.size(), 2) << log_->errors.join("\n").toStdString();
    EXPECT_TRUE(log_->opened[0].isLocalFile());
    EXPECT_TRUE(log_->opened[0].toLocalFile().endsWith("/help/index.html"));
    EXPECT_TRUE(QFileInfo::exists(log_->opened[0].toLocalFile()));
    EXPECT_EQ(log_->opened[1], QUrl("https://vellumark.org/"));
}

TEST_F(FrameTest, PrintWithoutADocumentSaysSoInANote) {
    Child<QAbstractButton>("SpeedButton12")->click();
    ASSERT_EQ(log_->messages.size(), 1u);
    EXPECT_EQ(log_->messages[0].title, "Note!");
    EXPECT_TRUE(log_->errors.isEmpty());
}

TEST_F(FrameTest, ClosingDeletesTheContentFolderButKeepsTheWorkingFolder) {
    const std::filesystem::path working = form_->WorkingFolderPath();
    ASSERT_FALSE(working.empty());
    std::filesystem::create_directories(working / "OEBPS" / "left");
    form_.reset();
    EXPECT_FALSE(std::filesystem::exists(working / "OEBPS"));
    EXPECT_TRUE(std::filesystem::exists(working / "mimetype"));
}

}  // namespace
}  // namespace vellumark::app::testing
