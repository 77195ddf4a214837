#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <thread>

#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/text/TextLayer.h"
#include "search/TForm2.h"
#include "viewer/DocView.h"
#include "viewer/ZoomRules.h"

namespace vellumark::search {
namespace {

using imaging::TextLayer;
using imaging::Word;

// What a message box showed before the test pressed its OK button.
struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the next message box that opens, recording what it showed.
void AnswerNextBox(std::vector<BoxSeen>* seen) {
    QTimer::singleShot(10, [seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            AnswerNextBox(seen);
            return;
        }
        seen->push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        box->button(QMessageBox::Ok)->click();
    });
}

class TForm2Test : public ::testing::Test {
protected:
    void SetUp() override {
        testing::TestPage page;
        page.width = 300;
        page.height = 200;
        testing::WriteTestTiff(folder_ / "pages.tif", {page, page, page});
        document_ = imaging::Document::Open(folder_ / "pages.tif");
        view_.SetDocument(document_);
        view_.resize(400, 300);
    }

    // Pages whose words are given by the test, counting reads.
    std::shared_ptr<TextLayer> Layer(std::vector<std::vector<std::string>> pages) {
        return std::make_shared<TextLayer>(
            document_,
            [this, pages](const imaging::PageSource&, int page, const TextLayer::CancelFlag*) {
                ++reads_[page];
                std::vector<Word> words;
                int x = 10;
                for (const auto& text : pages.at(page)) {
                    words.push_back(Word{text, x, 20, 30, 12, true});
                    x += 40;
                }
                return words;
            });
    }

    // Types the word and presses "Find Next", waiting for the step to end.
    void FindNext(const QString& word) {
        auto* edit = dialog_.findChild<QLineEdit*>("LabeledEdit1");
        edit->setText(word);
        QSignalSpy finished(&dialog_, &TForm2::StepFinished);
        QTest::mouseClick(dialog_.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
    }

    testing::TempFolder folder_;
    std::shared_ptr<const imaging::Document> document_;
    viewer::DocView view_;
    TForm2 dialog_;
    SearchCursors cursors_;
    std::atomic<int> reads_[3] = {0, 0, 0};
};

TEST_F(TForm2Test, LayoutIsAsDesigned) {
    dialog_.show();
    EXPECT_EQ(dialog_.windowTitle(), "Search");
    EXPECT_EQ(dialog_.frameGeometry().size(), QSize(307, 182));
    EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog_.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dialog_.font().pointSize(), 8);

    auto* edit = dialog_.findChild<QLineEdit*>("LabeledEdit1");
    auto* label = dialog_.findChild<QLabel*>("LabeledEdit1Label");
    auto* find = dialog_.findChild<QPushButton*>("Button1");
    auto* cancel = dialog_.findChild<QPushButton*>("Button2");
    ASSERT_TRUE(edit && label && find && cancel);
    EXPECT_EQ(edit->geometry(), QRect(104, 32, 153, 21));
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(label->text(), "Search Word:");
    EXPECT_TRUE(label->font().bold());
    EXPECT_LT(label->geometry().right(), edit->x());
    EXPECT_EQ(label->buddy(), edit);
    EXPECT_EQ(find->text(), "Find Next");
    EXPECT_EQ(find->geometry(), QRect(56, 96, 75, 25));
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(cancel->geometry(), QRect(152, 96, 75, 25));
    for (QPushButton* button : {find, cancel}) {
        EXPECT_TRUE(button->font().bold());
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
    // Tab order: the edit box, "Find Next", "Cancel".
    dialog_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), find);
    QTest::keyClick(find, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), cancel);
    QTest::keyClick(cancel, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), edit);

    // The light-blue gradient behind the controls: bluer than it is red, lighter to the right.
    const QImage shot = dialog_.grab().toImage();
    const QColor left = shot.pixelColor(2, 150);
    const QColor right = shot.pixelColor(300, 150);
    EXPECT_GT(left.blue(), left.red());
    EXPECT_GT(right.blue(), right.red());
    EXPECT_GT(right.lightness(), left.lightness());
}

TEST_F(TForm2Test, EnterAndEscapeDoNothing) {
    dialog_.show();
    auto* edit = dialog_.findChild<QLineEdit*>("LabeledEdit1");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(&dialog_, Qt::Key_Escape);
    EXPECT_TRUE(dialog_.isVisible());
    QTest::mouseClick(dialog_.findChild<QPushButton*>("Button2"), Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(TForm2Test, StepsMoveTheCursorsToEachHitAndShowItsPage) {
    dialog_.SetTarget(Layer({{"an", "Aardvark", "and", "another", "aardvark,"},
                             {"no", "hit", "here"},
                             {"the", "AARDVARK"}}),
                      &view_, &cursors_);
    dialog_.show();

    const std::vector<SearchCursors> expected{{0, 2}, {0, 5}, {2, 2}};
    for (const SearchCursors& want : expected) {
        FindNext("aardvark");
        EXPECT_EQ(cursors_.page, want.page);
        EXPECT_EQ(cursors_.word, want.word);
        EXPECT_EQ(view_.PageNum(), want.page);
        EXPECT_FALSE(dialog_.IsSearching());
    }
    // Every page was read once, however many steps went over it.
    for (const auto& count : reads_)
        EXPECT_EQ(count, 1);

    std::vector<BoxSeen> boxes;
    AnswerNextBox(&boxes);
    FindNext("aardvark");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Result");
    EXPECT_EQ(boxes[0].text, "Not Find!");
    EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(cursors_.page, 2);
    EXPECT_EQ(cursors_.word, 2);
    EXPECT_TRUE(dialog_.isVisible());

    // Another word continues from where the cursors stand.
    AnswerNextBox(&boxes);
    FindNext("another");
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(TForm2Test, AHitIsShownWhereTheDialogDoesNotHideIt) {
    // The view where the main window has it, so that the dialog at its own place stands over
    // the view's top left, where the page's first words are.
    view_.setGeometry(491, 217, 400, 300);
    view_.show();
    dialog_.SetTarget(Layer({{"first", "words"}, {"x"}, {"y"}}), &view_, &cursors_);
    dialog_.show();
    const QRect dialogRect = dialog_.frameGeometry();
    const QRect firstWord(view_.viewport()->mapToGlobal(QPoint(50 + 10, 50 + 20)), QSize(30, 12));
    ASSERT_TRUE(firstWord.intersects(dialogRect)) << "the test's premise";

    FindNext("first");
    ASSERT_EQ(cursors_.word, 1);
    QCoreApplication::processEvents();  // the view lays out the scroll bars it needed
    // Where the view now shows the word (the view's own tests check it draws it there).
    const QPoint scroll(view_.horizontalScrollBar()->value(), view_.verticalScrollBar()->value());
    const QPoint origin = viewer::PageOrigin(QSize(300, 200), view_.viewport()->size(), scroll);
    const QRect shown(origin + QPoint(10, 20), QSize(30, 12));
    EXPECT_TRUE(view_.viewport()->rect().contains(shown));
    EXPECT_FALSE(
        QRect(view_.viewport()->mapToGlobal(shown.topLeft()), shown.size()).intersects(dialogRect));
    EXPECT_EQ(dialog_.frameGeometry(), dialogRect) << "the dialog keeps its size and place";
}

TEST_F(TForm2Test, EmptyWordIsNotFound) {
    dialog_.SetTarget(Layer({{"a"}, {"b"}, {"c"}}), &view_, &cursors_);
    dialog_.show();
    std::vector<BoxSeen> boxes;
    AnswerNextBox(&boxes);
    FindNext("");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Not Find!");
    EXPECT_EQ(cursors_.page, 0);
    EXPECT_EQ(cursors_.word, 0);
}

TEST_F(TForm2Test, FailedStepEndsSilently) {
    dialog_.SetTarget(
        std::make_shared<TextLayer>(
            document_,
            [](const imaging::PageSource&, int, const TextLayer::CancelFlag*) -> std::vector<Word> {
                throw Error(ErrorCode::BadInput, "damaged page");
            }),
        &view_, &cursors_);
    cursors_ = {1, 4};
    dialog_.show();
    FindNext("word");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(cursors_.page, 1);
    EXPECT_EQ(cursors_.word, 4);
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(TForm2Test, CancelStopsARunningStep) {
    std::atomic<bool> started = false;
    dialog_.SetTarget(std::make_shared<TextLayer>(
                          document_,
                          [&](const imaging::PageSource&, int,
                              const TextLayer::CancelFlag* cancel) -> std::vector<Word> {
                              started = true;
                              // A slow recogniser that notices cancellation.
                              while (cancel == nullptr || !cancel->load()) {
                                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
                              }
                              throw Error(ErrorCode::Cancelled, "cancelled");
                          }),
                      &view_, &cursors_);
    dialog_.show();
    dialog_.findChild<QLineEdit*>("LabeledEdit1")->setText("word");
    QSignalSpy finished(&dialog_, &TForm2::StepFinished);
    QTest::mouseClick(dialog_.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    EXPECT_TRUE(dialog_.IsSearching());
    EXPECT_FALSE(dialog_.findChild<QPushButton*>("Button1")->isEnabled());
    EXPECT_TRUE(dialog_.findChild<QProgressBar*>("BusyBar")->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return started.load() &&
               dialog_.findChild<QLabel*>("StatusLabel")->text() == "Reading page 1 of 3...";
    }));

    QTest::mouseClick(dialog_.findChild<QPushButton*>("Button2"), Qt::LeftButton);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_FALSE(dialog_.IsSearching());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(cursors_.page, 0);
    EXPECT_EQ(cursors_.word, 0);

    // Opened again, the word is still there and "Find Next" works again.
    dialog_.show();
    EXPECT_EQ(dialog_.findChild<QLineEdit*>("LabeledEdit1")->text(), "word");
    EXPECT_TRUE(dialog_.findChild<QPushButton*>("Button1")->isEnabled());
    EXPECT_FALSE(dialog_.findChild<QProgressBar*>("BusyBar")->isVisible());
}

TEST_F(TForm2Test, NoDocumentEndsQuietly) {
    dialog_.SetTarget(nullptr, &view_, &cursors_);
    dialog_.show();
    QSignalSpy finished(&dialog_, &TForm2::StepFinished);
    dialog_.findChild<QLineEdit*>("LabeledEdit1")->setText("word");
    QTest::mouseClick(dialog_.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(dialog_.IsSearching());
}

}  // namespace
}  // namespace vellumark::search
