#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "FakePages.h"
#include "print/PrintJobs.h"

namespace vellumark::print {
namespace {

using testing::FakePages;
using testing::PageColour;

// Each job is drawn on an image of its own, like sheets coming out of a printer.
class ImageSink final : public JobSink {
public:
    explicit ImageSink(QSize sheet) : sheet_(sheet) {}
    QPaintDevice& JobDevice(int page) override {
        pages.push_back(page);
        sheets.push_back(std::make_unique<QImage>(sheet_, QImage::Format_RGB32));
        sheets.back()->fill(Qt::white);
        return *sheets.back();
    }
    void AbortJob() override { ++aborts; }

    std::vector<int> pages;
    std::vector<std::unique_ptr<QImage>> sheets;
    int aborts = 0;

private:
    QSize sheet_;
};

// Each job is a PDF file of its own in a folder.
class PdfSink final : public JobSink {
public:
    explicit PdfSink(const QString& folder) : folder_(folder) {}
    QPaintDevice& JobDevice(int page) override {
        writer_ = std::make_unique<QPdfWriter>(
            QDir(folder_).filePath(QStringLiteral("page%1.pdf").arg(page + 1)));
        return *writer_;
    }

private:
    QString folder_;
    std::unique_ptr<QPdfWriter> writer_;
};

TEST(PrintPages, AllPagesGiveOneJobEachInOrder) {
    const FakePages pages(3, 100, 140);
    ImageSink sink(QSize(480, 660));
    EXPECT_EQ(PrintPages(pages, {0, 2}, sink), 3);
    EXPECT_EQ(sink.pages, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(sink.aborts, 0);
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(sink.sheets[page]->pixel(240, 330), PageColour(page).rgb());
    }
}

TEST(PrintPages, PageIsDoubledAndCentredOnThePrintableArea) {
    // 100 x 140 doubles twice to 400 x 560 on 480 x 660: left 40, top 50.
    const FakePages pages(1, 100, 140);
    ImageSink sink(QSize(480, 660));
    PrintPages(pages, {0, 0}, sink);
    const QImage& sheet = *sink.sheets.front();
    const QRgb ink = PageColour(0).rgb();
    const QRgb paper = qRgb(255, 255, 255);
    EXPECT_EQ(sheet.pixel(40, 50), ink);
    EXPECT_EQ(sheet.pixel(439, 609), ink);
    EXPECT_EQ(sheet.pixel(39, 50), paper);
    EXPECT_EQ(sheet.pixel(40, 49), paper);
    EXPECT_EQ(sheet.pixel(440, 609), paper);
    EXPECT_EQ(sheet.pixel(439, 610), paper);
}

TEST(PrintPages, ASinglePageRangePrintsThatPageOnly) {
    const FakePages pages(5, 10, 10);
    ImageSink sink(QSize(50, 50));
    EXPECT_EQ(PrintPages(pages, {1, 1}, sink), 1);
    EXPECT_EQ(sink.pages, std::vector<int>{1});
}

TEST(PrintPages, AFailingPageEndsTheRunAndKeepsEarlierPages) {
    const FakePages pages(4, 10, 10, 2);
    ImageSink sink(QSize(50, 50));
    try {
        PrintPages(pages, {0, 3}, sink);
        FAIL() << "the damaged page went unnoticed";
    } catch (const Error& error) {
        EXPECT_EQ(error.Page(), 2);
    }
    // The fetch comes before the job opens: no blank sheet for the damaged page.
    EXPECT_EQ(sink.pages, (std::vector<int>{0, 1}));
}

TEST(PrintPages, PagesTheDocumentDoesNotHaveAreRefused) {
    const FakePages pages(2, 10, 10);
    ImageSink sink(QSize(50, 50));
    EXPECT_THROW(PrintPages(pages, {-1, 0}, sink), Error);  // "from page 0"
    EXPECT_TRUE(sink.pages.empty());
    EXPECT_THROW(PrintPages(pages, {1, 2}, sink), Error);  // one beyond the last page
    EXPECT_EQ(sink.pages, std::vector<int>{1});
}

TEST(PrintPages, StopsBetweenPagesWhenAsked) {
    const FakePages pages(5, 10, 10);
    ImageSink sink(QSize(50, 50));
    EXPECT_EQ(PrintPages(pages, {0, 4}, sink, [](int done) { return done < 2; }), 2);
    EXPECT_EQ(sink.pages, (std::vector<int>{0, 1}));
    EXPECT_EQ(pages.Fetches(), 2);
}

TEST(PrintPages, EveryPageBecomesADocumentOfItsOwn) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const FakePages pages(3, 200, 300);
    PdfSink sink(folder.path());
    PrintPages(pages, {0, 2}, sink);
    const QStringList files = QDir(folder.path()).entryList({"*.pdf"}, QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"page1.pdf", "page2.pdf", "page3.pdf"}));
    for (const QString& name : files) {
        QFile file(QDir(folder.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF")) << name.toStdString();
        EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF")) << name.toStdString();
    }
}

}  // namespace
}  // namespace vellumark::print
