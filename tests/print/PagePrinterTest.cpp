#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>
#include <vector>

#include "FakePages.h"
#include "print/PagePrinter.h"
#include "print/PrintJobs.h"

namespace vellumark::print {
namespace {

using testing::FakePages;

struct Message {
    QString title;
    QString text;
};

// Records the jobs' pages; sheets are small images.
class CountingSink final : public JobSink {
public:
    explicit CountingSink(std::vector<int>& pages) : pages_(pages) {}
    QPaintDevice& JobDevice(int page) override {
        pages_.push_back(page);
        sheet_ = std::make_unique<QImage>(60, 80, QImage::Format_RGB32);
        return *sheet_;
    }

private:
    std::vector<int>& pages_;
    std::unique_ptr<QImage> sheet_;
};

class PagePrinterTest : public ::testing::Test {
protected:
    PagePrinterTest() {
        printer.SetSinkFactory([this](QPrinter&) -> std::unique_ptr<JobSink> {
            return std::make_unique<CountingSink>(jobs);
        });
        printer.SetMessageShower([this](QWidget*, const QString& title, const QString& text) {
            messages.push_back({title, text});
        });
    }

    // Answers the dialog with OK after choosing a page range (or all pages when from is 0).
    void AnswerWithRange(int from, int to) {
        printer.SetDialogRunner([from, to](QPrintDialog& dialog) {
            if (from == 0) {
                dialog.setPrintRange(QAbstractPrintDialog::AllPages);
            } else {
                dialog.setPrintRange(QAbstractPrintDialog::PageRange);
                dialog.setFromTo(from, to);
            }
            return static_cast<int>(QDialog::Accepted);
        });
    }

    PagePrinter printer;
    std::vector<int> jobs;
    std::vector<Message> messages;
};

TEST_F(PagePrinterTest, DialogStartsWithTheStatedSettings) {
    const std::unique_ptr<QPrintDialog> dialog = printer.MakeDialog(nullptr);
    EXPECT_EQ(dialog->printRange(), QAbstractPrintDialog::AllPages);
    EXPECT_EQ(dialog->fromPage(), 1);
    EXPECT_EQ(dialog->toPage(), 1);
    EXPECT_EQ(dialog->minPage(), 0);
    EXPECT_EQ(dialog->maxPage(), 1000);
    EXPECT_TRUE(dialog->testOption(QAbstractPrintDialog::PrintPageRange));
    EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintSelection));
    EXPECT_FALSE(dialog->testOption(QAbstractPrintDialog::PrintToFile));
}

TEST_F(PagePrinterTest, SecondOpeningShowsTheFirstChoices) {
    auto pages = std::make_shared<FakePages>(5, 10, 10);
    AnswerWithRange(2, 3);
    printer.PrintSource(nullptr, pages);
    EXPECT_EQ(jobs, (std::vector<int>{1, 2}));

    QAbstractPrintDialog::PrintRange kind = QAbstractPrintDialog::AllPages;
    int from = 0, to = 0, lowest = -1, highest = -1;
    printer.SetDialogRunner([&](QPrintDialog& dialog) {
        kind = dialog.printRange();
        from = dialog.fromPage();
        to = dialog.toPage();
        lowest = dialog.minPage();
        highest = dialog.maxPage();
        return static_cast<int>(QDialog::Rejected);
    });
    printer.PrintSource(nullptr, pages);
    EXPECT_EQ(kind, QAbstractPrintDialog::PageRange);
    EXPECT_EQ(from, 2);
    EXPECT_EQ(to, 3);
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 1000);
    EXPECT_EQ(jobs.size(), 2u);  // the cancelled second run printed nothing
}

TEST_F(PagePrinterTest, AllPagesPrintsEveryPageOnce) {
    AnswerWithRange(0, 0);
    printer.PrintSource(nullptr, std::make_shared<FakePages>(4, 10, 10));
    EXPECT_EQ(jobs, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(messages.empty());
}

// Qt's dialog and printer never hold a page range that ends before it starts (ResolveRange's
// test covers 3..2); all pages of an empty document is the backwards range that can occur.
TEST_F(PagePrinterTest, DocumentWithoutPagesIsARangeError) {
    AnswerWithRange(0, 0);
    printer.PrintSource(nullptr, std::make_shared<FakePages>(0, 10, 10));
    EXPECT_TRUE(jobs.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Warning");
    EXPECT_EQ(messages[0].text, "Error Page Range!");
}

TEST_F(PagePrinterTest, NoDocumentGivesANoteAndNoDialog) {
    bool dialogShown = false;
    printer.SetDialogRunner([&](QPrintDialog&) {
        dialogShown = true;
        return static_cast<int>(QDialog::Accepted);
    });
    printer.Print(nullptr, nullptr);
    EXPECT_FALSE(dialogShown);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Note!");
    EXPECT_FALSE(messages[0].text.isEmpty());
}

TEST_F(PagePrinterTest, PageErrorIsShownAndEndsTheRun) {
    AnswerWithRange(1, 4);
    printer.PrintSource(nullptr, std::make_shared<FakePages>(4, 10, 10, 1));
    EXPECT_EQ(jobs, std::vector<int>{0});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "page 2 is damaged");
}

TEST_F(PagePrinterTest, PageBeyondTheDocumentIsShownAsAnError) {
    AnswerWithRange(4, 6);
    printer.PrintSource(nullptr, std::make_shared<FakePages>(4, 10, 10));
    EXPECT_EQ(jobs, std::vector<int>{3});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("5")) << messages[0].text.toStdString();
}

TEST(MakeMessageBox, OkOnlyWithoutIcon) {
    const auto box = MakeMessageBox(nullptr, "Warning", "Error Page Range!");
    EXPECT_EQ(box->windowTitle(), "Warning");
    EXPECT_EQ(box->text(), "Error Page Range!");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

}  // namespace
}  // namespace vellumark::print
