// Open, the thumbnail list, page selection and zoom through the window's buttons.
#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <fstream>

#include "WindowFixture.h"
#include "app/LabeledEdit.h"
#include "imaging/Document.h"
#include "viewer/DocView.h"
#include "viewer/ZoomRules.h"

namespace vellumark::app::testing {
namespace {

using DocumentTest = WindowTest;

QString LabelText(QWidget* label) {
    return static_cast<QLabel*>(label)->text();
}

TEST_F(DocumentTest, OpenFillsTheListSelectsPageOneAndFillsTheTitle) {
    const auto path = WriteScan("Scan.part.tif", 3);
    OpenAndWait(path);

    auto* list = Child<QListWidget>("ListView1");
    ASSERT_EQ(list->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->item(i)->text(), QString("page%1").arg(i + 1));
        EXPECT_EQ(list->item(i)->data(Qt::UserRole).toInt(), i);
        EXPECT_EQ(list->item(i)->icon().actualSize(QSize(80, 100)), QSize(80, 100));
    }
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->item(0)->isSelected());
    EXPECT_EQ(LabelText(Child<QWidget>("Label1")), "1/3");
    EXPECT_EQ(LabelText(Child<QWidget>("Label2")), QString::fromStdString(path.string()));
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit1")->text(), "Scan.part");
    EXPECT_TRUE(Child<QWidget>("PaneClientBtm")->isVisible());
    EXPECT_TRUE(Child<QProgressBar>("ProgressBar1")->isHidden());
    ASSERT_NE(form_->Doc(), nullptr);
    EXPECT_EQ(form_->Doc()->PageCount(), 3);
    auto* view = Child<viewer::DocView>("DocView");
    EXPECT_EQ(view->PageNum(), 0);
    EXPECT_EQ(view->Scale(), 1.0);
}

TEST_F(DocumentTest, TheThumbnailsShowThePagesOnceBuilt) {
    OpenAndWait(WriteScan("pages.tif", 2));
    auto* list = Child<QListWidget>("ListView1");
    // The test pages have ink on their left half: the left of the page rectangle is dark.
    const QImage cell = list->item(1)->icon().pixmap(QSize(80, 100)).toImage();
    EXPECT_LT(qGray(cell.pixel(15, 50)), 100);
    EXPECT_GT(qGray(cell.pixel(65, 50)), 200);
}

TEST_F(DocumentTest, SelectingAPageShowsItAtScaleOneAndCountsIt) {
    OpenAndWait(WriteScan("three.tif", 3));
    auto* view = Child<viewer::DocView>("DocView");
    Child<QAbstractButton>("SpeedButton5")->click();
    ASSERT_EQ(view->Scale(), 2.0);

    Child<QListWidget>("ListView1")->setCurrentRow(1);
    EXPECT_EQ(LabelText(Child<QWidget>("Label1")), "2/3");
    EXPECT_EQ(form_->CurPage(), 1);
    EXPECT_EQ(view->PageNum(), 1);
    EXPECT_EQ(view->Scale(), 1.0);

    // Deselecting changes nothing.
    Child<QListWidget>("ListView1")->clearSelection();
    EXPECT_EQ(LabelText(Child<QWidget>("Label1")), "2/3");
    EXPECT_EQ(form_->CurPage(), 1);
}

TEST_F(DocumentTest, ANewlySelectedPageStartsAtItsTopLeftAtScaleOne) {
    // Pages wider and higher than the page view at scale 1.
    vellumark::testing::TestPage wide;
    wide.width = 1400;
    wide.height = 900;
    wide.xResolution = wide.yResolution = 96;
    const auto path = temp_ / "wide.tif";
    vellumark::testing::WriteTestTiff(path, {wide, wide});
    OpenAndWait(path);
    auto* view = Child<viewer::DocView>("DocView");
    QScrollBar* across = view->horizontalScrollBar();
    QScrollBar* down = view->verticalScrollBar();
    ASSERT_GT(across->maximum(), 300);
    across->setValue(300);
    down->setValue(200);
    Child<QAbstractButton>("SpeedButton5")->click();  // zoomed in, keeping the middle

    Child<QListWidget>("ListView1")->setCurrentRow(1);
    EXPECT_EQ(view->PageNum(), 1);
    EXPECT_EQ(view->Scale(), 1.0);
    EXPECT_EQ(across->value(), 0) << "the left margin and first letters show";
    EXPECT_EQ(down->value(), 0);
}

TEST_F(DocumentTest, ZoomButtonsFollowTheStepsAndBounds) {
    OpenAndWait(WriteScan("zoom.tif", 1));
    auto* view = Child<viewer::DocView>("DocView");
    auto* zoomIn = Child<QAbstractButton>("SpeedButton5");
    auto* zoomOut = Child<QAbstractButton>("SpeedButton6");

    for (int expected = 2; expected <= 9; ++expected) {
        zoomIn->click();
        EXPECT_EQ(view->Scale(), expected);
    }
    zoomIn->click();
    EXPECT_EQ(view->Scale(), 9.0) << "no further than 9";

    double expected = 9.0;
    for (int i = 0; i < 20; ++i) {
        expected = viewer::ZoomOutStep(expected);
        zoomOut->click();
        EXPECT_DOUBLE_EQ(view->Scale(), expected) << "step " << i;
    }
    EXPECT_NEAR(view->Scale(), 0.2, 1e-9) << "stops at about 0.2";

    for (int i = 0; i < 8; ++i)
        zoomIn->click();
    EXPECT_NEAR(view->Scale(), 1.0, 1e-9);
    zoomIn->click();
    EXPECT_NEAR(view->Scale(), 2.0, 1e-9);

    Child<QAbstractButton>("SpeedButton7")->click();
    EXPECT_EQ(view->Scale(), 1.0);

    // Fit by height: the page (160 high at scale 1) fills the view's height.
    Child<QAbstractButton>("SpeedButton8")->click();
    EXPECT_GT(view->Scale(), 1.0);
    Child<QAbstractButton>("SpeedButton7")->click();
    EXPECT_EQ(view->Scale(), 1.0);
}

TEST_F(DocumentTest, OpeningASecondDocumentReplacesTheFirstsThumbnails) {
    OpenAndWait(WriteScan("first.tif", 3));
    Child<LabeledEdit>("LabeledEdit2")->setText("Kept Author");
    OpenAndWait(WriteScan("second.tif", 2));
    auto* list = Child<QListWidget>("ListView1");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "page2");
    EXPECT_EQ(LabelText(Child<QWidget>("Label1")), "1/2");
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit1")->text(), "second");
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit2")->text(), "Kept Author");
}

TEST_F(DocumentTest, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    OpenAndWait(WriteScan("good.tif", 2));
    const auto bad = temp_ / "broken.tif";
    std::ofstream(bad) << "not a scan";
    EXPECT_FALSE(form_->OpenPath(QString::fromStdString(bad.string())));
    ASSERT_EQ(log_->errors.size(), 1);
    EXPECT_EQ(form_->Doc()->PageCount(), 2);
    EXPECT_EQ(Child<QListWidget>("ListView1")->count(), 2);
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit1")->text(), "good");
    EXPECT_TRUE(LabelText(Child<QWidget>("Label2")).endsWith("good.tif"));
}

TEST_F(DocumentTest, CancellingTheOpenDialogChangesNothing) {
    log_->documentPath.clear();
    Child<QAbstractButton>("SpeedButton3")->click();
    EXPECT_EQ(form_->Doc(), nullptr);
    EXPECT_TRUE(Child<QWidget>("PaneClientBtm")->isHidden());
    EXPECT_TRUE(log_->errors.isEmpty());
}

TEST_F(DocumentTest, TheOpenButtonOpensWhatTheDialogGives) {
    log_->documentPath = QString::fromStdString(WriteScan("chosen.tif", 1).string());
    QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
    Child<QAbstractButton>("SpeedButton3")->click();
    if (built.isEmpty()) {
        ASSERT_TRUE(built.wait(30000));
    }
    EXPECT_EQ(Child<QListWidget>("ListView1")->count(), 1);
    EXPECT_EQ(LabelText(Child<QWidget>("Label1")), "1/1");
}

// How many pixels of the page view's middle band are not white: the empty view's hint.
int HintPixels(QWidget* view) {
    auto* docView = static_cast<viewer::DocView*>(view);
    const QImage shown =
        docView->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = shown.height() / 2 - 12; y < shown.height() / 2 + 12; ++y) {
        for (int x = 0; x < shown.width(); ++x)
            count += shown.pixel(x, y) != qRgb(255, 255, 255);
    }
    return count;
}

TEST_F(DocumentTest, TheEmptyPageViewSaysWhatToDoUntilAScanIsOpen) {
    auto* view = Child<QWidget>("DocView");
    EXPECT_GT(HintPixels(view), 100);
    // A narrow 96 dpi page leaves the middle band white beside it.
    vellumark::testing::TestPage page;
    page.width = 40;
    page.height = 600;
    page.xResolution = page.yResolution = 96;
    page.fill = vellumark::testing::Fill::Solid;
    page.inkColour = {255, 255, 255};
    const auto path = temp_ / "blank.tif";
    vellumark::testing::WriteTestTiff(path, {page});
    OpenAndWait(path);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !static_cast<viewer::DocView*>(view)->IsRendering(); }));
    EXPECT_LT(HintPixels(view), 24 * 3) << "only the page's thin edges";
}

// A drop of `urls` on the window as the window system delivers it: enter, then drop.
bool Drop(QWidget* window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(400, 300);  // over the page view
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

TEST_F(DocumentTest, DroppingAFileOpensItAsOpenDoes) {
    const auto path = WriteScan("dropped.tif", 2);
    QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
    ASSERT_TRUE(Drop(form_.get(), {QUrl::fromLocalFile(QString::fromStdString(path.string()))}));
    ASSERT_TRUE(built.count() > 0 || built.wait(30000));
    ASSERT_NE(form_->Doc(), nullptr);
    EXPECT_EQ(form_->Doc()->PageCount(), 2);
    EXPECT_EQ(Child<QListWidget>("ListView1")->count(), 2);
    EXPECT_EQ(Child<LabeledEdit>("LabeledEdit1")->text(), "dropped");
    EXPECT_EQ(LabelText(Child<QWidget>("Label2")), QString::fromStdString(path.string()));

    // A file that is no scan is reported as Open reports it; the open document stays.
    const auto bad = temp_ / "notes.txt";
    std::ofstream(bad) << "not a scan";
    Drop(form_.get(), {QUrl::fromLocalFile(QString::fromStdString(bad.string()))});
    EXPECT_EQ(log_->errors.size(), 1);
    EXPECT_EQ(form_->Doc()->PageCount(), 2);

    // A folder or a web address is not taken.
    EXPECT_FALSE(Drop(form_.get(), {QUrl::fromLocalFile(QString::fromStdString(temp_.Path()))}));
    EXPECT_FALSE(Drop(form_.get(), {QUrl("https://vellumark.org/scan.tif")}));
    EXPECT_EQ(log_->errors.size(), 1);
}

TEST_F(DocumentTest, KeyboardShortcutsPressTheToolbarButtons) {
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QWidget* keys = form_.get();

    // Ctrl+P without a document: Print's note.
    QTest::keyClick(keys, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(log_->messages.size(), 1u);
    EXPECT_EQ(log_->messages[0].title, "Note!");

    log_->documentPath = QString::fromStdString(WriteScan("keys.tif", 1).string());
    QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
    QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(built.count() > 0 || built.wait(30000));
    ASSERT_NE(form_->Doc(), nullptr);
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));

    auto* view = Child<viewer::DocView>("DocView");
    QTest::keyClick(keys, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(view->Scale(), 2.0);
    QTest::keyClick(keys, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(view->Scale(), 3.0);
    QTest::keyClick(keys, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(view->Scale(), 2.0);
    QTest::keyClick(keys, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(view->Scale(), 1.0);
    QTest::keyClick(keys, Qt::Key_F11);
    const double fitted = view->Scale();
    EXPECT_GT(fitted, 1.0) << "the 160-pixel page fits the view's height";
    QTest::keyClick(keys, Qt::Key_0, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->Scale(), fitted);

    // Ctrl+F opens the search dialog.
    QString caption;
    QTimer::singleShot(0, [&caption] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        dialog->findChild<QPushButton*>("Button2")->click();
    });
    QTest::keyClick(keys, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(caption, "Search");

    // A disabled button's keys do nothing (the buttons are disabled while converting).
    Child<QAbstractButton>("SpeedButton3")->setEnabled(false);
    log_->documentPath = QString::fromStdString(WriteScan("other.tif", 3).string());
    QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(form_->Doc()->PageCount(), 1);
    EXPECT_TRUE(log_->errors.isEmpty());
}

TEST_F(DocumentTest, SearchOpensTheSearchDialogModallyEachTime) {
    OpenAndWait(WriteScan("searched.tif", 1));
    QStringList captions;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [&captions] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            captions << dialog->windowTitle();
            dialog->findChild<QPushButton*>("Button2")->click();  // "Cancel"
        });
        Child<QAbstractButton>("SpeedButton19")->click();
    }
    EXPECT_EQ(captions, QStringList({"Search", "Search"}));
    EXPECT_TRUE(log_->errors.isEmpty());
}

}  // namespace
}  // namespace vellumark::app::testing
