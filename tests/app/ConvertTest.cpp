// Convert through the window: the notes, a whole conversion with its messages, the overwrite
// question, and the controls held off while the job runs.
#include <QAbstractButton>
#include <QLabel>
#include <fstream>

#include "WindowFixture.h"
#include "app/LabeledEdit.h"

namespace vellumark::app::testing {
namespace {

class ConvertTest : public WindowTest {
protected:
    // Presses Convert and waits for the job to end.
    epub::ConversionOutcome Convert() {
        QSignalSpy ended(form_.get(), &TForm1::ConversionEnded);
        Child<QAbstractButton>("SpeedButton4")->click();
        EXPECT_TRUE(ended.wait(60000));
        return ended.isEmpty() ? epub::ConversionOutcome::Failed
                               : ended.front().front().value<epub::ConversionOutcome>();
    }

    void Fill(const QString& title, const QString& author) {
        Child<LabeledEdit>("LabeledEdit1")->setText(title);
        Child<LabeledEdit>("LabeledEdit2")->setText(author);
        Child<LabeledEdit>("LabeledEdit4")->setText(QString::fromStdString(output().string()));
    }

    std::filesystem::path output() const { return temp_.Path() / "books"; }
};

TEST_F(ConvertTest, MissingTitleOrAuthorGivesItsNote) {
    OpenAndWait(WriteScan("scan.tif", 1));
    Fill("", "Someone");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    Fill("A Title", "");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    ASSERT_EQ(log_->messages.size(), 2);
    EXPECT_EQ(log_->messages[0].title, "Note!");
    EXPECT_EQ(log_->messages[0].text, "Please set the epub title!");
    EXPECT_EQ(log_->messages[1].title, "Note!");
    EXPECT_EQ(log_->messages[1].text, "Please set the author name!");
    EXPECT_FALSE(std::filesystem::exists(output() / "A Title.epub"));
    EXPECT_TRUE(log_->errors.isEmpty());
}

TEST_F(ConvertTest, WithoutADocumentTheEngineGivesItsNote) {
    Fill("A Title", "Someone");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    ASSERT_EQ(log_->messages.size(), 1);
    EXPECT_EQ(log_->messages[0].title, "Note!");
    EXPECT_FALSE(log_->messages[0].text.isEmpty());
    EXPECT_TRUE(Child<QAbstractButton>("SpeedButton4")->isEnabled());
}

TEST_F(ConvertTest, ASuccessfulConversionWritesTheBookAndSaysSo) {
    OpenAndWait(WriteScan("scan.tif", 3));
    Fill("My Book", "An Author");

    QSignalSpy ended(form_.get(), &TForm1::ConversionEnded);
    Child<QAbstractButton>("SpeedButton4")->click();
    // Held off while the job runs.
    for (const char* name :
         {"SpeedButton3", "SpeedButton4", "SpeedButton12", "SpeedButton19", "LabeledEdit1",
          "LabeledEdit2", "LabeledEdit3", "LabeledEdit4", "PNGButton8", "PNGButton9"}) {
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(form_->IsConverting());
    ASSERT_TRUE(ended.wait(60000));
    ASSERT_EQ(ended.front().front().value<epub::ConversionOutcome>(),
              epub::ConversionOutcome::Succeeded)
        << log_->errors.join("\n").toStdString();

    const std::filesystem::path book = output() / "My Book.epub";
    EXPECT_TRUE(std::filesystem::exists(book));
    EXPECT_GT(std::filesystem::file_size(book), 100u);
    EXPECT_EQ(static_cast<QLabel*>(Child<QWidget>("Label1"))->text(), "Successed!");
    ASSERT_FALSE(log_->messages.empty());
    EXPECT_EQ(log_->messages.back().title, "Congratulation");
    EXPECT_EQ(log_->messages.back().text,
              "Successed to build: " + QString::fromStdString(book.string()));
    ASSERT_EQ(log_->opened.size(), 1);
    EXPECT_EQ(log_->opened[0], QUrl::fromLocalFile(QString::fromStdString(output().string())));
    for (const char* name : {"SpeedButton3", "SpeedButton4", "LabeledEdit1", "PNGButton9"}) {
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(form_->IsConverting());
}

TEST_F(ConvertTest, AnExistingBookIsReplacedOnlyWhenTheUserAgrees) {
    OpenAndWait(WriteScan("scan.tif", 1));
    Fill("Twice", "An Author");
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    const std::filesystem::path book = output() / "Twice.epub";
    std::filesystem::resize_file(book, 10);  // marks the old book

    log_->overwrite = false;
    const std::size_t messagesBefore = log_->messages.size();
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Declined);
    EXPECT_EQ(log_->overwriteQuestions, 1);
    EXPECT_EQ(std::filesystem::file_size(book), 10u);
    EXPECT_EQ(log_->messages.size(), messagesBefore) << "no message after No";

    log_->overwrite = true;
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    EXPECT_EQ(log_->overwriteQuestions, 2);
    EXPECT_GT(std::filesystem::file_size(book), 10u);
}

TEST_F(ConvertTest, AFailedWriteIsReportedAndTheControlsComeBack) {
    OpenAndWait(WriteScan("scan.tif", 1));
    // The output "folder" is a file: the book cannot be written there.
    const auto blocker = temp_ / "not-a-folder";
    std::ofstream(blocker) << "x";
    Fill("Blocked", "An Author");
    Child<LabeledEdit>("LabeledEdit4")->setText(QString::fromStdString(blocker.string()));
    const epub::ConversionOutcome outcome = Convert();
    EXPECT_NE(outcome, epub::ConversionOutcome::Succeeded);
    EXPECT_FALSE(log_->errors.isEmpty() && log_->messages.empty()) << "the failure is shown";
    EXPECT_TRUE(Child<QWidget>("SpeedButton4")->isEnabled());
    EXPECT_TRUE(Child<QWidget>("LabeledEdit4")->isEnabled());
}

TEST_F(ConvertTest, ClosingDuringAConversionWaitsForItAndCleansUp) {
    OpenAndWait(WriteScan("scan.tif", 3));
    Fill("Closing", "An Author");
    const std::filesystem::path working = form_->WorkingFolderPath();
    Child<QAbstractButton>("SpeedButton4")->click();
    form_.reset();
    EXPECT_FALSE(std::filesystem::exists(working / "OEBPS"));
}

}  // namespace
}  // namespace vellumark::app::testing
