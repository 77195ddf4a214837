#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "BookChecks.h"
#include "FakePages.h"
#include "TestTiff.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/Jpeg.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::BookEntries;
using testing::FakePages;
using testing::RecordingReporter;

const BookIdentity kIdentity{"0f8fad5b-d9cb-469f-a165-70867728950e", "2024-03-01",
                             "2024-03-01T09:30:00Z"};

class BookTest : public ::testing::Test {
protected:
    BookTest() {
        settings_.title = "Tom & Jerry <1>";
        settings_.author = "Ann Author";
        settings_.outputFolder = (temp_ / "out").string();
    }

    ConversionResult Build(const imaging::PageSource& pages, RecordingReporter& reporter,
                           unsigned jobs = 0) {
        WorkingFolder working = WorkingFolder::CreatePrivate(VELLUMARK_TEST_EPUBFILES);
        settings_.workingFolder = working.Path();
        settings_.jobs = jobs;
        return Convert(&pages, settings_, reporter, kIdentity);
    }

    fs::path MakeCover(const std::string& name) {
        imaging::Picture picture{16, 24, std::vector<std::uint8_t>(16 * 24 * 3, 200)};
        const auto jpeg = imaging::EncodeJpeg(picture);
        const fs::path path = temp_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        return path;
    }

    vellumark::testing::TempFolder temp_;
    ConversionSettings settings_;
};

TEST_F(BookTest, CoverAndPagesMakeAValidBook) {
    FakePages pages(3);
    const fs::path cover = MakeCover("My Cover.JPG");
    settings_.cover = cover.string();
    RecordingReporter reporter;
    const auto result = Build(pages, reporter);
    ASSERT_EQ(result.outcome, ConversionOutcome::Succeeded) << result.message;
    const fs::path book = temp_ / "out" / "Tom & Jerry <1>.epub";
    EXPECT_EQ(result.output, book);
    EXPECT_EQ(result.message, "Successed to build: " + book.string());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(reporter.statuses, (std::vector<std::string>{kConvertingText, kSucceededText}));
    EXPECT_EQ(reporter.lastDone, 3);
    EXPECT_FALSE(reporter.calledFromOtherThread);
    // Only the book is left in the output folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(temp_ / "out"), fs::directory_iterator()), 1);

    const std::string entries = BookEntries(book);
    EXPECT_EQ(entries.rfind("mimetype stored 20 ", 0), 0u) << entries;
    for (const char* name : {"META-INF/container.xml", "OEBPS/cover.jpg", "OEBPS/cover.html",
                             "OEBPS/1.jpg", "OEBPS/3.jpg", "OEBPS/page3.html", "OEBPS/fb.opf",
                             "OEBPS/fb.ncx", "OEBPS/stylesheet.css"}) {
        EXPECT_NE(entries.find(std::string(name) + " "), std::string::npos) << name;
    }
    testing::ExpectValidBook(book);
}

TEST_F(BookTest, OneThreadAndTwoGiveTheSameBook) {
    FakePages pages(7);
    RecordingReporter first, second;
    settings_.outputFolder = (temp_ / "one").string();
    ASSERT_EQ(Build(pages, first, 1).outcome, ConversionOutcome::Succeeded);
    settings_.outputFolder = (temp_ / "two").string();
    ASSERT_EQ(Build(pages, second, 2).outcome, ConversionOutcome::Succeeded);
    const std::string one = BookEntries(temp_ / "one" / "Tom & Jerry <1>.epub");
    EXPECT_FALSE(one.empty());
    EXPECT_EQ(one, BookEntries(temp_ / "two" / "Tom & Jerry <1>.epub"));
}

TEST_F(BookTest, OverwriteReplacesTheWholeOldBook) {
    FakePages many(5), few(1);
    RecordingReporter reporter;
    reporter.overwrite = true;
    ASSERT_EQ(Build(many, reporter).outcome, ConversionOutcome::Succeeded);
    EXPECT_EQ(reporter.overwriteQuestions, 0);
    ASSERT_EQ(Build(few, reporter).outcome, ConversionOutcome::Succeeded);
    EXPECT_EQ(reporter.overwriteQuestions, 1);
    // Nothing of the longer book survives in the new one.
    EXPECT_EQ(BookEntries(temp_ / "out" / "Tom & Jerry <1>.epub").find("OEBPS/5.jpg"),
              std::string::npos);
}

TEST_F(BookTest, CancelledConversionLeavesNoBook) {
    FakePages pages(20);
    RecordingReporter reporter;
    reporter.cancelAfterPages = 1;
    const auto result = Build(pages, reporter, 1);
    EXPECT_EQ(result.outcome, ConversionOutcome::Cancelled);
    EXPECT_FALSE(fs::exists(temp_ / "out"));
}

TEST_F(BookTest, EmptyDocumentStillMakesAValidBook) {
    FakePages none(0);
    RecordingReporter reporter;
    ASSERT_EQ(Build(none, reporter).outcome, ConversionOutcome::Succeeded);
    const std::string entries = BookEntries(temp_ / "out" / "Tom & Jerry <1>.epub");
    EXPECT_NE(entries.find("OEBPS/fb.opf"), std::string::npos);
    EXPECT_EQ(entries.find(".jpg"), std::string::npos);
}

}  // namespace
}  // namespace vellumark::epub
